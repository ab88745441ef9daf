#include "core/schema.h"

#include "core/appfolder.h"
#include "core/connection.h"
#include "core/senha.h"
#include "core/transacao.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Percentage of each PostgreSQL page of Molvar filled by inserts (see criaBaseDados).
const int kEnchimentoMolvar = 50;

// Column types are written once for both databases; only the identity key differs.
const char *const kTabelas[] = {
    "CREATE TABLE IF NOT EXISTS Molvar ("
    " Chave @ID@,"
    " Ref integer NOT NULL,"
    " CodFirma char(4) NOT NULL,"
    " Descr varchar(30),"
    " Ndoc varchar(8),"
    " Mes smallint NOT NULL,"
    " Ano smallint NOT NULL,"
    " Valor numeric(15,2) NOT NULL DEFAULT 0,"
    " Valor_Ori numeric(15,2),"
    " Moeda varchar(3) NOT NULL DEFAULT 'EUR',"
    " CPocDeb varchar(22),"
    " CPocCre varchar(22),"
    " Analitica varchar(16),"
    " TTCTB char(1) DEFAULT '0',"
    " DataCtb date,"
    " Diario char(2),"
    " NumDiario integer,"
    " LinhaDeb integer,"
    " LinhaCre integer,"
    " ConExport integer)",

    "CREATE TABLE IF NOT EXISTS ParamFirma ("
    " CodFirma char(4) NOT NULL PRIMARY KEY,"
    " Designacao varchar(50),"
    " Analitica varchar(50),"
    " Planos_Ext smallint NOT NULL DEFAULT 0,"
    " EmpCtb varchar(4),"
    " Ana_Ext smallint NOT NULL DEFAULT 0,"
    " Tipo_Lig char(1),"
    " SNC smallint NOT NULL DEFAULT 0)",

    "CREATE TABLE IF NOT EXISTS PlanoContas ("
    " Id @ID@,"
    " CodFirma char(4) NOT NULL,"
    " CodExercicio char(4) NOT NULL,"
    " Conta varchar(22) NOT NULL,"
    " Lancadora smallint NOT NULL DEFAULT 0,"
    " Designacao varchar(30))",

    "CREATE TABLE IF NOT EXISTS PlanoCCusto ("
    " Id @ID@,"
    " CodFirma char(4) NOT NULL,"
    " CodExercicio char(4) NOT NULL,"
    " CCusto varchar(16) NOT NULL,"
    " Lancador smallint NOT NULL DEFAULT 0,"
    " Designacao varchar(30))",

    "CREATE TABLE IF NOT EXISTS RestAnal ("
    " Id @ID@,"
    " CodFirma char(4),"
    " RestContas varchar(22),"
    " Utilizador varchar(50))", // holds EUsers.Nome

    "CREATE TABLE IF NOT EXISTS Copiamlv ("
    " Id @ID@,"
    " CodFirma char(4),"
    " Descr varchar(30),"
    " Valor numeric(15,2),"
    " Exercicio smallint,"
    " Analitica varchar(16),"
    " Ndoc char(8),"
    " DebCre char(1),"
    " Conta varchar(22),"
    " Ref integer,"
    " DataCtb date,"
    " Linha integer,"
    " Diario char(2),"
    " NumDiario integer,"
    " Utilizador varchar(25))",

    "CREATE TABLE IF NOT EXISTS Diarios ("
    " CodFirma char(4) NOT NULL,"
    " Diario char(2) NOT NULL,"
    " Descricao varchar(30),"
    " Contador integer NOT NULL DEFAULT 0,"
    " PRIMARY KEY (CodFirma, Diario))",

    "CREATE TABLE IF NOT EXISTS ContadorExport ("
    " Contador integer NOT NULL DEFAULT 0)",

    // passw holds a salted hash, hence wider than the ten characters typed.
    "CREATE TABLE IF NOT EXISTS EUsers ("
    " Login varchar(10) NOT NULL PRIMARY KEY,"
    " passw varchar(200),"
    " Nome varchar(50),"
    " Admin smallint NOT NULL DEFAULT 0)",

    "CREATE TABLE IF NOT EXISTS MolvarLastUse ("
    " CodFirma char(4),"
    " LastUse varchar(10))",

    "CREATE TABLE IF NOT EXISTS MenusMod ("
    " Id @ID@,"
    " TipoMenu integer NOT NULL,"
    " Codigo integer NOT NULL,"
    " Designacao varchar(40))",

    "CREATE TABLE IF NOT EXISTS Modexptxt ("
    " Id @ID@,"
    " Modelo char(10) NOT NULL,"
    " Activo smallint NOT NULL DEFAULT 0,"
    " TipoDet integer,"
    " NlinCab integer,"
    " NlinIni integer,"
    " NlinFim integer,"
    " NlinSep integer)",

    "CREATE TABLE IF NOT EXISTS TotaisCpoc ("
    " Id @ID@,"
    " CodFirma char(4),"
    " Conta varchar(22),"
    " Analitica varchar(16),"
    " TotalDeb numeric(15,2),"
    " TotalCre numeric(15,2),"
    " Utilizador varchar(25))",
};

const char *const kIndices[] = {
    "CREATE INDEX IF NOT EXISTS ix_molvar_firma_ref ON Molvar (CodFirma, Ref, Ano, Mes)",
    "CREATE INDEX IF NOT EXISTS ix_molvar_firma_ano_mes ON Molvar (CodFirma, Ano, Mes)",
    "CREATE INDEX IF NOT EXISTS ix_molvar_ref ON Molvar (Ref)",
    "CREATE INDEX IF NOT EXISTS ix_copiamlv_utilizador ON Copiamlv (Utilizador)",
    "CREATE INDEX IF NOT EXISTS ix_restanal_utilizador ON RestAnal (Utilizador, CodFirma)",
    "CREATE UNIQUE INDEX IF NOT EXISTS ix_modexptxtdet ON modexptxtdet (modelo, tipocod)",
};

// What the database itself keeps unique, whatever several workstations insert at once: a
// chart code per company and year, and a model name compared as the editor compares it
// (blanks around it ignored). The unique indexes replace the plain ones of older databases.
struct Unicidade {
    const char *indice;
    const char *tabela;
    const char *chave; // the indexed expressions
    const char *nomes; // how one repeated key is named, %1.. being the parts of the key
    const char *indiceAntigo;
};
const Unicidade kUnicidades[] = {
    { "ux_planocontas", "PlanoContas", "CodFirma, CodExercicio, Conta", "firma %1, exercício %2, conta %3", "ix_planocontas" },
    { "ux_planoccusto", "PlanoCCusto", "CodFirma, CodExercicio, CCusto", "firma %1, exercício %2, centro de custo %3",
        "ix_planoccusto" },
    { "ux_modexptxt", "Modexptxt", "TRIM(Modelo)", "modelo %1", nullptr },
};

// The keys held more than once, named for the message; empty when there are none.
bool repetidas(QSqlDatabase db, QStringList *nomes, QString *erro)
{
    QSqlQuery q(db);
    for (const Unicidade &u : kUnicidades) {
        const QString chave = QString::fromLatin1(u.chave);
        if (!executa(q,
                QStringLiteral("SELECT %1, COUNT(*) FROM %2 GROUP BY %1 HAVING COUNT(*) > 1 ORDER BY %1")
                    .arg(chave, QLatin1String(u.tabela)),
                {}, erro))
            return false;
        const int partes = static_cast<int>(chave.count(QLatin1Char(',')) + 1);
        while (q.next()) {
            // One arg() for all parts: a part holding "%1" is not filled in by the next.
            QStringList v;
            for (int i = 0; i < partes; ++i)
                v << q.value(i).toString().trimmed();
            const QString modelo = QString::fromUtf8(u.nomes);
            const QString nome = partes == 1 ? modelo.arg(v.value(0)) : modelo.arg(v.value(0), v.value(1), v.value(2));
            *nomes << QStringLiteral("%1: %2 (%3 linhas)")
                          .arg(QLatin1String(u.tabela), nome, QString::number(q.value(partes).toInt()));
        }
        if (q.lastError().isValid()) {
            *erro = textoErro(q.lastError());
            return false;
        }
    }
    return true;
}

// The coded items of the export models: the file-name row (tipocod 0) and one row per
// line layout, with twelve columns for each of up to 24 fields.
QString tabelaModexptxtdet(const QString &id)
{
    QStringList c;
    c << QStringLiteral("Id ") + id << QStringLiteral("modelo varchar(10) NOT NULL")
      << QStringLiteral("tipocod integer NOT NULL");
    c << QStringLiteral("Fnome integer") << QStringLiteral("Fext integer") << QStringLiteral("Ffnome varchar(10)")
      << QStringLiteral("Ffext varchar(10)") << QStringLiteral("ftnome integer") << QStringLiteral("ftext integer")
      << QStringLiteral("Fpnome integer") << QStringLiteral("Fpext integer");
    for (int i = 1; i <= 4; ++i)
        c << QStringLiteral("Fpnome%1 integer").arg(i) << QStringLiteral("Ftnome%1 integer").arg(i)
          << QStringLiteral("Ffnome%1 varchar(10)").arg(i);
    for (int i = 1; i <= 3; ++i)
        c << QStringLiteral("Fpext%1 integer").arg(i) << QStringLiteral("Ftext%1 integer").arg(i)
          << QStringLiteral("Ffext%1 varchar(10)").arg(i);
    c << QStringLiteral("Lcampos integer");
    for (int n = 1; n <= 24; ++n) {
        c << QStringLiteral("Lpcampo%1 integer").arg(n) << QStringLiteral("Ltcampo%1 integer").arg(n)
          << QStringLiteral("Ltccampo%1 varchar(1)").arg(n) << QStringLiteral("Ltscampo%1 integer").arg(n)
          << QStringLiteral("Lacampo%1 integer").arg(n) << QStringLiteral("Lfcampo%1 varchar(255)").arg(n)
          << QStringLiteral("Ldcampo%1 integer").arg(n) << QStringLiteral("Lndcampo%1 integer").arg(n)
          << QStringLiteral("Ltvcampo%1 integer").arg(n) << QStringLiteral("Lodcampo%1 integer").arg(n)
          << QStringLiteral("Lsdcampo%1 integer").arg(n) << QStringLiteral("Ladcampo%1 integer").arg(n);
    }
    return QStringLiteral("CREATE TABLE IF NOT EXISTS modexptxtdet (") + c.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The fourteen option lists of the model editor. The codes the editor tests are fixed:
// list 1 code 0 (file name), lists 2 and 3 codes 0/1/2 (fixed, parts, random), lists 4 and
// 5 code 0 "Fixo", list 8 code 2 (no decimal symbol), list 10 code 0 (four digits),
// list 14 code 2 (no separator).
struct Opcao {
    int tipo, codigo;
    const char *texto;
};
const Opcao kOpcoes[] = {
    { 1, 0, "Nome do Ficheiro" },
    { 1, 1, "Linha de Cabeçalho" },
    { 1, 2, "Linha Inicial" },
    { 1, 3, "Linha de Detalhe" },
    { 1, 4, "Linha Separadora" },
    { 1, 5, "Linha Final" },
    { 2, 0, "Texto Fixo" },
    { 2, 1, "Composto por Partes" },
    { 2, 2, "Aleatório" },
    { 3, 0, "Texto Fixo" },
    { 3, 1, "Composto por Partes" },
    { 3, 2, "Aleatório" },
    { 4, 0, "Fixo" },
    { 4, 1, "Código da Firma" },
    { 4, 2, "Ano" },
    { 4, 3, "Mês" },
    { 4, 4, "Dia" },
    { 4, 5, "Número de Exportação" },
    { 4, 6, "Diário" },
    { 4, 7, "Número do Diário" },
    { 5, 0, "Fixo" },
    { 5, 1, "Número de Exportação" },
    { 5, 2, "Mês" },
    { 5, 3, "Ano" },
    { 5, 4, "Diário" },
    { 6, 0, "Texto Fixo" },
    { 6, 1, "Código da Firma" },
    { 6, 2, "Referência" },
    { 6, 3, "Descrição" },
    { 6, 4, "Número do Documento" },
    { 6, 5, "Conta" },
    { 6, 6, "Centro de Custo" },
    { 6, 7, "Valor" },
    { 6, 8, "Débito/Crédito" },
    { 6, 9, "Data de Integração" },
    { 6, 10, "Diário" },
    { 6, 11, "Número do Diário" },
    { 6, 12, "Número da Linha" },
    { 6, 13, "Mês" },
    { 6, 14, "Ano" },
    { 6, 15, "Moeda" },
    { 6, 16, "Número de Exportação" },
    { 7, 0, "Esquerda" },
    { 7, 1, "Direita" },
    { 7, 2, "Centro" },
    { 8, 0, "Vírgula" },
    { 8, 1, "Ponto" },
    { 8, 2, "Sem Símbolo Decimal" },
    { 9, 0, "Dia Mês Ano" },
    { 9, 1, "Mês Dia Ano" },
    { 9, 2, "Ano Mês Dia" },
    { 10, 0, "Quatro Dígitos" },
    { 10, 1, "Dois Dígitos" },
    { 11, 0, "D / C" },
    { 11, 1, "+ / -" },
    { 11, 2, "1 / 2" },
    { 11, 3, "Coluna de Débito e de Crédito" },
    { 12, 0, "Sinal Antes do Valor" },
    { 12, 1, "Sinal Depois do Valor" },
    { 12, 2, "Entre Parênteses" },
    { 12, 3, "Sem Sinal" },
    { 13, 0, "Uma Linha por Movimento" },
    { 13, 1, "Débito e Crédito na Mesma Linha" },
    { 13, 2, "Uma Linha por Documento" },
    { 14, 0, "Hífen (-)" },
    { 14, 1, "Barra (/)" },
    { 14, 2, "Sem Separador" },
    { 14, 3, "Ponto (.)" },
};

bool criaBaseSqlite(const DadosLigacao &d, QString *erro)
{
    const QString ficheiro = d.ficheiroSqlite();
    if (QFileInfo::exists(ficheiro))
        return true;
    if (!criaPastaPrivada(QFileInfo(ficheiro).absolutePath())) {
        *erro = QStringLiteral("Não foi possível criar a pasta da base de dados \"%1\".").arg(QFileInfo(ficheiro).absolutePath());
        return false;
    }
    // For the owner only: it holds every company's books and the password hashes. SQLite
    // gives its -wal and -shm files the mode of the database file.
    const int fd = ::open(QFile::encodeName(ficheiro).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0 && errno != EEXIST) {
        *erro = QStringLiteral("Não foi possível criar a base de dados \"%1\": %2")
                    .arg(ficheiro, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    if (fd >= 0)
        ::close(fd);
    return true;
}

bool criaBasePostgres(const QString &ligacao, const DadosLigacao &d, QString *erro)
{
    QString ignorado;
    if (abreLigacao(ligacao, &ignorado).isValid())
        return true;
    // A database name cannot be bound: accept only plain names and quote them.
    static const QRegularExpression nomeValido(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    if (!nomeValido.match(d.baseDados).hasMatch()) {
        *erro = QStringLiteral("O nome da base de dados \"%1\" não é válido (letras, algarismos e \"_\").").arg(d.baseDados);
        return false;
    }
    QString servidor = ligacao;
    servidor.replace(QRegularExpression(QStringLiteral("(?i)(database|initial catalog|dbname)\\s*=[^;]*")),
        QStringLiteral("Database=postgres"));
    QString e;
    bool criada = false;
    {
        QSqlDatabase adm = abreLigacao(servidor, &e);
        if (!adm.isValid()) {
            *erro = QStringLiteral("Não foi possível ligar ao servidor PostgreSQL: %1").arg(e);
            return false;
        }
        QSqlQuery q(adm);
        bool existe = false;
        if (executa(q, QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"), { d.baseDados }, &e) && q.next())
            existe = true;
        criada = existe || q.exec(QStringLiteral("CREATE DATABASE \"%1\" ENCODING 'UTF8' TEMPLATE template0").arg(d.baseDados));
        if (!criada)
            *erro
                = QStringLiteral("Não foi possível criar a base de dados \"%1\": %2").arg(d.baseDados, textoErro(q.lastError()));
    }
    // The handles above are gone: the server connection can be closed cleanly.
    fechaLigacao(servidor);
    return criada;
}

} // namespace

bool eDeOutroPrograma(QSqlDatabase db, bool *alheia, QString *erro)
{
    QSqlQuery q(db);
    // An extension's own tables and views (pg_stat_statements, say) are no program's data.
    const QString sql = ePostgres(db)
        ? QStringLiteral("SELECT COUNT(*), COUNT(*) FILTER (WHERE c.relname = 'eusers' AND c.relkind IN ('r', 'p')) "
                         "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                         "WHERE n.nspname = ANY (current_schemas(false)) AND c.relkind IN ('r', 'p', 'v', 'm', 'f') "
                         "AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.classid = 'pg_class'::regclass "
                         "AND d.objid = c.oid AND d.deptype = 'e')")
        : QStringLiteral(
            "SELECT COUNT(*), COALESCE(SUM(CASE WHEN type = 'table' AND lower(name) = 'eusers' THEN 1 ELSE 0 END), 0) "
            "FROM sqlite_master WHERE type IN ('table', 'view') AND substr(lower(name), 1, 7) <> 'sqlite_'");
    if (!executa(q, sql, {}, erro) || !q.next()) {
        if (erro && erro->isEmpty())
            *erro = textoErro(q.lastError());
        return false;
    }
    *alheia = q.value(0).toLongLong() > 0 && q.value(1).toLongLong() == 0;
    if (*alheia && erro)
        *erro = QStringLiteral("A base de dados \"%1\" tem tabelas de outro programa e não a tabela EUsers deste: não é a base "
                               "de dados do programa, e nada nela foi alterado. Verifique a base de dados do programa nas "
                               "Configurações.")
                    .arg(db.databaseName());
    return true;
}

namespace {

int larguraUtilizador(QSqlDatabase db, QString *erro)
{
    QSqlQuery q(db);
    if (!executa(q,
            QStringLiteral("SELECT character_maximum_length FROM information_schema.columns "
                           "WHERE table_schema = current_schema() AND table_name = 'restanal' "
                           "AND column_name = 'utilizador'"),
            {}, erro))
        return -1;
    return q.next() ? q.value(0).toInt() : 0;
}

// True when something of what this version needs is missing; false with erro on failure.
bool faltaActualizar(QSqlDatabase db, bool *falta, QString *erro)
{
    QSqlQuery q(db);
    QVariantList indices;
    for (const Unicidade &u : kUnicidades)
        indices << QString::fromLatin1(u.indice);
    const QString marcas = QStringList(indices.size(), QStringLiteral("?")).join(QLatin1Char(','));
    if (!executa(q,
            (ePostgres(db)
                    ? QStringLiteral("SELECT COUNT(*) FROM pg_indexes WHERE schemaname = current_schema() AND indexname IN (%1)")
                    : QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name IN (%1)"))
                .arg(marcas),
            indices, erro)
        || !q.next())
        return false;
    *falta = q.value(0).toInt() < indices.size();
    q.finish();
    if (*falta || !ePostgres(db))
        return true;
    const int largura = larguraUtilizador(db, erro);
    if (largura < 0)
        return false;
    *falta = largura > 0 && largura < 50;
    if (*falta)
        return true;
    if (!executa(q,
            QStringLiteral("SELECT COUNT(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                           "WHERE n.nspname = current_schema() AND c.relname = 'molvar' AND ? = ANY (c.reloptions)"),
            { QStringLiteral("fillfactor=%1").arg(kEnchimentoMolvar) }, erro)
        || !q.next())
        return false;
    *falta = q.value(0).toInt() == 0;
    return true;
}

// What an earlier version's database lacks, inside the caller's transaction.
bool aplicaActualizacoes(QSqlDatabase db, QString *erro)
{
    QSqlQuery q(db);
    if (ePostgres(db)) {
        // The tables that take unique indexes are held against writers (and another
        // workstation bringing the database up to date) before their keys are read: a key
        // repeated after the check would make the index fail without naming the rows.
        if (!executa(q, QStringLiteral("LOCK TABLE PlanoContas, PlanoCCusto, Modexptxt IN SHARE ROW EXCLUSIVE MODE"), {}, erro))
            return false;
        // RestAnal.Utilizador once held 25 characters: it is widened to the user names it
        // receives (SQLite does not enforce widths; widening keeps every stored value).
        const int largura = larguraUtilizador(db, erro);
        if (largura < 0)
            return false;
        if (largura > 0 && largura < 50
            && !executa(q, QStringLiteral("ALTER TABLE RestAnal ALTER COLUMN Utilizador TYPE varchar(50)"), {}, erro))
            return false;
        // Every accrual row is rewritten once in its life (the SNC conversion, the monthly
        // integration) without touching an indexed column. With room left on its page the new
        // version stays there and no index is touched: a whole-table conversion runs about
        // four times faster, for a table about twice the size. Pages written before keep
        // their old fill.
        if (!executa(q, QStringLiteral("ALTER TABLE Molvar SET (fillfactor = %1)").arg(kEnchimentoMolvar), {}, erro))
            return false;
    }
    QStringList repetidos;
    if (!repetidas(db, &repetidos, erro))
        return false;
    if (!repetidos.isEmpty()) {
        // Which row of a pair to keep is the user's choice: nothing is changed.
        const qsizetype mostrados = qMin<qsizetype>(repetidos.size(), 20);
        *erro = QStringLiteral("A base de dados tem linhas repetidas que têm de ser únicas; nada foi alterado. Apague as "
                               "repetidas:\n")
            + repetidos.mid(0, mostrados).join(QLatin1Char('\n'));
        if (repetidos.size() > mostrados)
            *erro += QStringLiteral("\n(e mais %1)").arg(repetidos.size() - mostrados);
        return false;
    }
    for (const Unicidade &u : kUnicidades) {
        if (!executa(q,
                QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                    .arg(QLatin1String(u.indice), QLatin1String(u.tabela), QLatin1String(u.chave)),
                {}, erro))
            return false;
        if (u.indiceAntigo && !executa(q, QStringLiteral("DROP INDEX IF EXISTS %1").arg(QLatin1String(u.indiceAntigo)), {}, erro))
            return false;
    }
    return true;
}

} // namespace

bool actualizaBaseDados(QSqlDatabase db, QString *erro)
{
    // Only a database that lacks something takes a write lock: every start reads, few write.
    bool falta = false;
    if (!faltaActualizar(db, &falta, erro))
        return false;
    if (!falta)
        return true;
    Transacao t(db);
    bool alheia = false;
    if (t.iniciada(erro) && eDeOutroPrograma(db, &alheia, erro) && !alheia && aplicaActualizacoes(db, erro) && t.confirma(erro))
        return true;
    if (alheia)
        return false;
    t.anula();
    // Another workstation starting at the same moment may have brought it up to date first.
    QString ignorado;
    return faltaActualizar(db, &falta, &ignorado) && !falta;
}

bool criaBaseDados(const QString &ligacao, QString *erro, const QString &senhaAdmin)
{
    QString e;
    const DadosLigacao d = DadosLigacao::interpretaPropria(ligacao);
    if (!d.erro.isEmpty()) {
        *erro = d.erro;
        return false;
    }
    if (d.tipo == DadosLigacao::Tipo::SQLite ? !criaBaseSqlite(d, erro) : !criaBasePostgres(ligacao, d, erro))
        return false;

    QSqlDatabase db = abreLigacao(ligacao, &e);
    if (!db.isValid()) {
        *erro = e;
        return false;
    }
    const QString id = ePostgres(db) ? QStringLiteral("integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                                     : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    Transacao t(db);
    if (!t.iniciada(&e)) {
        *erro = QStringLiteral("Não foi possível criar as tabelas: %1").arg(e);
        return false;
    }
    bool alheia = false;
    if (!eDeOutroPrograma(db, &alheia, &e) || alheia) {
        *erro = alheia ? e : QStringLiteral("Não foi possível ler as tabelas da base de dados: %1").arg(e);
        return false;
    }
    QSqlQuery q(db);
    auto corre = [&](const QString &sql, const QVariantList &params = {}) {
        if (executa(q, sql, params, &e))
            return true;
        *erro = QStringLiteral("Não foi possível criar as tabelas: %1").arg(e);
        return false;
    };
    for (const char *sql : kTabelas)
        if (!corre(QString::fromUtf8(sql).replace(QStringLiteral("@ID@"), id)))
            return false;
    if (!corre(tabelaModexptxtdet(id)))
        return false;
    for (const char *sql : kIndices)
        if (!corre(QString::fromUtf8(sql)))
            return false;
    if (!aplicaActualizacoes(db, &e)) {
        *erro = QStringLiteral("Não foi possível criar as tabelas: %1").arg(e);
        return false;
    }

    if (!executa(q, QStringLiteral("SELECT COUNT(*) FROM EUsers WHERE Login = ?"), { QString::fromLatin1(kAdminLogin) }, &e)
        || !q.next()) {
        *erro = QStringLiteral("Não foi possível criar as tabelas: %1").arg(e);
        return false;
    }
    if (q.value(0).toInt() == 0 && !senhaAdmin.isEmpty()
        && !corre(QStringLiteral("INSERT INTO EUsers (Login, passw, Nome, Admin) VALUES (?, ?, ?, 1)"),
            { QString::fromLatin1(kAdminLogin), hashSenha(senhaAdmin), QStringLiteral("Administrador") }))
        return false;

    if (!executa(q, QStringLiteral("SELECT COUNT(*) FROM ContadorExport"), {}, &e) || !q.next()) {
        *erro = QStringLiteral("Não foi possível criar as tabelas: %1").arg(e);
        return false;
    }
    if (q.value(0).toInt() == 0 && !corre(QStringLiteral("INSERT INTO ContadorExport (Contador) VALUES (0)")))
        return false;

    if (!executa(q, QStringLiteral("SELECT COUNT(*) FROM MenusMod"), {}, &e) || !q.next()) {
        *erro = QStringLiteral("Não foi possível criar as tabelas: %1").arg(e);
        return false;
    }
    if (q.value(0).toInt() == 0) {
        for (const Opcao &o : kOpcoes)
            if (!corre(QStringLiteral("INSERT INTO MenusMod (TipoMenu, Codigo, Designacao) VALUES (?, ?, ?)"),
                    { o.tipo, o.codigo, QString::fromUtf8(o.texto) }))
                return false;
    }
    if (!t.confirma(&e)) {
        *erro = QStringLiteral("Não foi possível criar as tabelas: %1").arg(e);
        return false;
    }
    return true;
}
