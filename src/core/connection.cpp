#include "core/connection.h"

#include "core/appfolder.h"
#include "core/inifile.h"
#include "core/ocultasenhas.h"
#include "core/odbc.h"
#include "core/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>

namespace {
const QString kPrefixo = QStringLiteral("molvar-");

// Numbered in the order of first use: Qt prints connection names in its warnings, and a
// digest of a string that holds a password could be tested against guesses offline.
QString nomeLigacao(const QString &ligacao)
{
    static QMutex m;
    static QHash<QString, QString> nomes;
    QMutexLocker l(&m);
    auto i = nomes.constFind(ligacao);
    if (i == nomes.cend())
        i = nomes.insert(ligacao, kPrefixo + QString::number(nomes.size() + 1));
    return *i;
}
} // namespace

DadosLigacao DadosLigacao::interpreta(const QString &ligacao)
{
    DadosLigacao d;
    QString driver;
    for (const ParLigacao &p : paresLigacao(ligacao)) {
        const QString &k = p.chave;
        const QString &v = p.valor;
        if (k == QLatin1String("driver") || k == QLatin1String("provider"))
            driver = v.toLower();
        else if (k == QLatin1String("database") || k == QLatin1String("initial catalog") || k == QLatin1String("dbname"))
            d.baseDados = v;
        else if (k == QLatin1String("server") || k == QLatin1String("host") || k == QLatin1String("data source"))
            d.servidor = v;
        else if (k == QLatin1String("port"))
            d.porta = v.toInt();
        else if (k == QLatin1String("uid") || k == QLatin1String("user") || k == QLatin1String("user id"))
            d.utilizador = v;
        else if (k == QLatin1String("pwd") || k == QLatin1String("password"))
            d.senha = v;
    }
    registaSenha(d.senha);
    if (eLigacaoOdbc(ligacao))
        d.tipo = Tipo::Odbc;
    else if (driver == QLatin1String("sqlite") || driver == QLatin1String("qsqlite"))
        d.tipo = Tipo::SQLite;
    else if (driver == QLatin1String("postgresql") || driver == QLatin1String("postgres") || driver == QLatin1String("qpsql"))
        d.tipo = Tipo::PostgreSQL;
    if (ligacao.trimmed().isEmpty())
        d.erro = QStringLiteral("A ligação não está configurada.");
    else if (d.tipo == Tipo::Nenhum)
        d.erro = QStringLiteral("A ligação \"%1\" não indica um controlador conhecido (Driver=SQLite, Driver=PostgreSQL, "
                                "Driver={controlador ODBC} ou DSN=origem de dados ODBC).")
                     .arg(ocultaSenhas(ligacao));
    else if (d.tipo != Tipo::Odbc && d.baseDados.isEmpty())
        d.erro = QStringLiteral("A ligação \"%1\" não indica a base de dados (Database=...).").arg(ocultaSenhas(ligacao));
    return d;
}

DadosLigacao DadosLigacao::interpretaPropria(const QString &ligacao)
{
    DadosLigacao d = interpreta(ligacao);
    if (d.erro.isEmpty() && d.tipo == Tipo::Odbc)
        d.erro = QStringLiteral("A base de dados do programa tem de ser SQLite (Driver=SQLite;) ou PostgreSQL "
                                "(Driver=PostgreSQL;). Uma ligação ODBC só serve para a base de dados da aplicação externa.");
    return d;
}

QString DadosLigacao::ficheiroSqlite() const
{
    if (QDir::isAbsolutePath(baseDados))
        return baseDados;
    return QDir(appFolder()).filePath(baseDados);
}

QString ligacaoDaSeccao(const QString &seccao)
{
    return LeIni(seccao, QStringLiteral("Connect_sql")) + LeIni(seccao, QStringLiteral("Connect_sql1"))
        + LeIni(seccao, QStringLiteral("Connect_sql2")) + LeIni(seccao, QStringLiteral("Connect_sql3"));
}

QList<ChaveIni> chavesDaLigacao(const QString &seccao, const QString &ligacao)
{
    return { { seccao, QStringLiteral("Connect_sql"), ligacao }, { seccao, QStringLiteral("Connect_sql1"), QString() },
        { seccao, QStringLiteral("Connect_sql2"), QString() }, { seccao, QStringLiteral("Connect_sql3"), QString() } };
}

int esperaBloqueioMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("MOLVAR_ESPERA_BLOQUEIO_MS", &ok);
    return ok && ms > 0 ? ms : 10000;
}

namespace {
QSet<QString> &emTransacao()
{
    static QSet<QString> nomes;
    return nomes;
}

// How many times each connection has been opened: a new session lacks the temporary
// tables of the one before.
QHash<QString, int> &sessoes()
{
    static QHash<QString, int> n;
    return n;
}

// The connections whose later reads need their session, with the session they need.
QHash<QString, int> &comDadosDaSessao()
{
    static QHash<QString, int> n;
    return n;
}

bool sessaoPerdida(const QSqlDatabase &db)
{
    const auto i = comDadosDaSessao().constFind(db.connectionName());
    return i != comDadosDaSessao().cend() && *i != sessoes().value(db.connectionName());
}

QString dadosDaSessaoPerdidos(const QString &erro)
{
    const QString m = QStringLiteral("A ligação ao servidor de base de dados perdeu-se, e com ela os dados que esta "
                                     "operação tinha preparado. Repita a operação.");
    return erro.isEmpty() ? m : m + QStringLiteral("\n(%1)").arg(erro);
}

void preparaPostgres(QSqlDatabase db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SET client_encoding TO 'UTF8'"));
}

// What every SQLite connection of the program needs once open.
bool preparaSqlite(QSqlDatabase db, QString *erro)
{
    QSqlQuery q(db);
    // Text comparisons are exact on both databases.
    if (!q.exec(QStringLiteral("PRAGMA case_sensitive_like=ON"))) {
        // Without it every LIKE would ignore case: refuse the connection rather than search wrongly.
        if (erro)
            *erro = QStringLiteral("Não foi possível preparar a base de dados: %1").arg(textoErro(q.lastError()));
        q = QSqlQuery();
        db.close();
        return false;
    }
    // WAL is written into the file for good: a file of another program, named by mistake,
    // keeps its own journal.
    bool alheia = true;
    if (eDeOutroPrograma(db, &alheia, nullptr) && !alheia)
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    return true;
}
} // namespace

QSqlDatabase abreLigacao(const QString &ligacao, QString *erro)
{
    const QString nome = nomeLigacao(ligacao);
    // An ODBC connection keeps its own cache (see core/odbc.h).
    if (eLigacaoOdbc(ligacao))
        return abreOdbc(nome, ligacao, erro);
    if (QSqlDatabase::contains(nome)) {
        QSqlDatabase db = QSqlDatabase::database(nome, false);
        if (db.isOpen())
            return db;
    }
    const DadosLigacao d = DadosLigacao::interpreta(ligacao);
    if (!d.erro.isEmpty()) {
        if (erro)
            *erro = d.erro;
        return {};
    }
    QSqlDatabase db = QSqlDatabase::contains(nome)
        ? QSqlDatabase::database(nome, false)
        : QSqlDatabase::addDatabase(
            d.tipo == DadosLigacao::Tipo::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), nome);
    if (!db.isValid()) {
        if (erro)
            *erro = QStringLiteral("O controlador de base de dados não está instalado: %1").arg(textoErro(db.lastError()));
        return {};
    }
    if (d.tipo == DadosLigacao::Tipo::SQLite) {
        const QString ficheiro = d.ficheiroSqlite();
        // Opening a missing SQLite file would silently create an empty database; the
        // set-up creates it on purpose (see criaBaseDados), every other use must not.
        if (!QFileInfo::exists(ficheiro)) {
            if (erro)
                *erro = QStringLiteral("A base de dados \"%1\" não existe.").arg(ficheiro);
            return {};
        }
        db.setDatabaseName(ficheiro);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(esperaBloqueioMs()));
    } else {
        db.setDatabaseName(d.baseDados);
        db.setHostName(d.servidor.isEmpty() ? QStringLiteral("127.0.0.1") : d.servidor);
        if (d.porta > 0)
            db.setPort(d.porta);
        db.setUserName(d.utilizador);
        db.setPassword(d.senha);
        // A lock wait ends like SQLite's busy timeout, never freezing a window without limit.
        // The program's own waits (a lock wait, a question asked inside a transaction) must
        // not be cut short by limits an administrator set for the database or the login. Its
        // transactions wait for each other's rows under READ COMMITTED: a stricter default would
        // refuse the second one instead ("could not serialize access"). In the conninfo value
        // "\\ " is the escaped blank that the server's option needs.
        db.setConnectOptions(QStringLiteral("connect_timeout=5;options='-c lock_timeout=%1 -c statement_timeout=0 "
                                            "-c idle_in_transaction_session_timeout=0 "
                                            "-c default_transaction_isolation=read\\\\ committed'")
                                 .arg(esperaBloqueioMs()));
    }
    if (!db.open()) {
        if (erro)
            *erro = QStringLiteral("Não foi possível abrir a base de dados: %1").arg(textoErro(db.lastError()));
        return {};
    }
    if (d.tipo == DadosLigacao::Tipo::SQLite) {
        if (!preparaSqlite(db, erro))
            return {};
    } else {
        preparaPostgres(db);
        ++sessoes()[nome];
    }
    return db;
}

void marcaTransacao(const QSqlDatabase &db, bool aberta)
{
    if (aberta)
        emTransacao().insert(db.connectionName());
    else
        emTransacao().remove(db.connectionName());
}

void marcaDadosDaSessao(const QSqlDatabase &db, bool guarda)
{
    if (guarda)
        comDadosDaSessao().insert(db.connectionName(), sessoes().value(db.connectionName()));
    else
        comDadosDaSessao().remove(db.connectionName());
}

EstadoLigacao verificaLigacao(QSqlDatabase db, QString *erro)
{
    // A cached PostgreSQL connection still reports open after the server dropped it (a
    // restart, a terminated backend). Inside a transaction the work is lost with it: that
    // failure stands. A refusal because the transaction has failed (25P02) proves it alive.
    if (!ePostgres(db) || emTransacao().contains(db.connectionName()))
        return EstadoLigacao::Viva;
    {
        QSqlQuery q(db);
        const bool viva = q.exec(QStringLiteral("SELECT 1"));
        if (viva || q.lastError().nativeErrorCode() == QLatin1String("25P02"))
            return EstadoLigacao::Viva;
    }
    db.close();
    if (!db.open()) {
        if (erro)
            *erro = QStringLiteral("Não foi possível abrir a base de dados: %1").arg(textoErro(db.lastError()));
        return EstadoLigacao::Perdida;
    }
    preparaPostgres(db);
    ++sessoes()[db.connectionName()];
    return EstadoLigacao::Reaberta;
}

QString resultadoIncerto(const QString &erro)
{
    return QStringLiteral("A ligação à base de dados perdeu-se antes de chegar a resposta: a alteração pode ter ficado "
                          "gravada ou não. Confirme os dados antes de a repetir.\n(%1)")
        .arg(erro);
}

namespace {
QString sufixoLeitura(const QString &dono)
{
    return QStringLiteral("-leitura-") + dono;
}
} // namespace

QSqlDatabase ligacaoDeLeitura(QSqlDatabase db, const QString &dono, QString *erro)
{
    if (!db.isValid() || db.driverName() != QLatin1String("QSQLITE"))
        return db;
    const QString nome = db.connectionName() + sufixoLeitura(dono);
    if (QSqlDatabase::contains(nome)) {
        QSqlDatabase leitor = QSqlDatabase::database(nome, false);
        if (leitor.isOpen())
            return leitor;
        QSqlDatabase::removeDatabase(nome);
    }
    QSqlDatabase leitor = QSqlDatabase::cloneDatabase(db, nome);
    if (!leitor.open()) {
        if (erro)
            *erro = QStringLiteral("Não foi possível abrir a base de dados: %1").arg(textoErro(leitor.lastError()));
        return {};
    }
    if (!preparaSqlite(leitor, erro))
        return {};
    return leitor;
}

namespace {
void fecha(const QString &nome)
{
    {
        QSqlDatabase db = QSqlDatabase::database(nome, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(nome);
}
} // namespace

void fechaLeitura(const QString &dono)
{
    for (const QString &nome : QSqlDatabase::connectionNames())
        if (nome.startsWith(kPrefixo) && nome.endsWith(sufixoLeitura(dono)))
            fecha(nome);
}

void fechaLigacao(const QString &ligacao)
{
    const QString nome = nomeLigacao(ligacao);
    // Its grids' reading connections first.
    for (const QString &n : QSqlDatabase::connectionNames())
        if (n.startsWith(nome + QStringLiteral("-leitura-")))
            fecha(n);
    if (QSqlDatabase::contains(nome))
        fecha(nome);
}

void fechaTodasLigacoes()
{
    for (const QString &nome : QSqlDatabase::connectionNames())
        if (nome.startsWith(kPrefixo))
            fecha(nome);
}

bool ePostgres(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

bool esperaEsgotada(const QSqlError &e)
{
    // PostgreSQL's lock_timeout (lock_not_available), or two workstations each waiting for
    // the other (deadlock_detected: the server undid one of them); SQLite's busy timeout, or a
    // write refused because another connection holds the lock.
    if (e.nativeErrorCode() == QLatin1String("55P03") || e.nativeErrorCode() == QLatin1String("40P01"))
        return true;
    const QString t = e.databaseText();
    return t.contains(QLatin1String("database is locked")) || t.contains(QLatin1String("database table is locked"));
}

bool chaveRepetida(const QSqlError &e)
{
    // PostgreSQL's unique_violation; SQLite's extended codes for UNIQUE and PRIMARY KEY.
    const QString c = e.nativeErrorCode();
    return c == QLatin1String("23505") || c == QLatin1String("2067") || c == QLatin1String("1555");
}

bool transacaoTerminadaPeloServidor(const QSqlError &e)
{
    // idle_in_transaction_session_timeout ends the session only while it waits for the
    // program's next statement: what that statement (a COMMIT too) asked for never ran. The
    // server's answer then comes without its code.
    return e.nativeErrorCode() == QLatin1String("25P03") || e.databaseText().contains(QLatin1String("idle-in-transaction"));
}

namespace {
// A connection inside a transaction that is open no longer: the server ended it, or it was
// cut, and the transaction went with it. A failure just met there is that loss.
bool transacaoSemLigacao()
{
    // Only this thread's connections: another thread's is invalid here, not closed.
    for (const QString &nome : std::as_const(emTransacao()))
        if (const QSqlDatabase d = QSqlDatabase::database(nome, false); d.isValid() && !d.isOpen())
            return true;
    return false;
}

// The server ended the session (an administrator, a shutdown, a restart) or it was cut. ODBC
// gives no SQLSTATE, only its drivers' texts: PostgreSQL's, and FreeTDS's for SQL Server.
bool ligacaoTerminada(const QSqlError &e)
{
    const QString c = e.nativeErrorCode();
    const QString t = e.databaseText();
    const QLatin1String textos[] = { QLatin1String("server closed the connection"), QLatin1String("no connection to the server"),
        QLatin1String("connection lost"), QLatin1String("connection has been lost"), QLatin1String("Communication link failure"),
        QLatin1String("Read from the server failed"), QLatin1String("Write to the server failed") };
    return c == QLatin1String("57P01") || c == QLatin1String("57P02") || c == QLatin1String("57P03")
        || std::any_of(std::begin(textos), std::end(textos), [&](QLatin1String x) { return t.contains(x); });
}
} // namespace

QString textoErro(const QSqlError &e)
{
    QString t = e.databaseText().trimmed();
    const QString d = e.driverText().trimmed();
    if (t.isEmpty())
        t = d;
    else if (!d.isEmpty() && !t.contains(d))
        t = d + QStringLiteral(": ") + t;
    // A driver may echo the connection string, or the password alone.
    t = ocultaSenhas(t);
    if (transacaoSemLigacao())
        return ligacaoPerdidaNaTransacao(t);
    if (esperaEsgotada(e))
        return QStringLiteral("Outro posto de trabalho está a usar estes registos. Tente novamente daqui a pouco.\n(%1)").arg(t);
    if (chaveRepetida(e))
        return QStringLiteral("Outro posto de trabalho gravou entretanto um registo com a mesma chave. Veja os dados e tente "
                              "novamente.\n(%1)")
            .arg(t);
    // SQLite's SQLITE_FULL, PostgreSQL's disk_full.
    if (e.nativeErrorCode() == QLatin1String("13") || e.nativeErrorCode() == QLatin1String("53100"))
        return QStringLiteral("O disco onde está a base de dados não tem espaço livre.\n(%1)").arg(t);
    if (e.nativeErrorCode() == QLatin1String("57014"))
        return QStringLiteral("O servidor de base de dados interrompeu a operação por exceder o tempo que ele permite, ou a "
                              "pedido do administrador.\n(%1)")
            .arg(t);
    if (transacaoTerminadaPeloServidor(e))
        return QStringLiteral("O servidor de base de dados terminou a ligação porque o trabalho ficou parado mais tempo do que "
                              "ele permite: nada foi gravado.\n(%1)")
            .arg(t);
    if (ligacaoTerminada(e))
        return QStringLiteral("A ligação ao servidor de base de dados perdeu-se.\n(%1)").arg(t);
    return t.isEmpty() ? QStringLiteral("erro desconhecido") : t;
}

QString ligacaoPerdidaNaTransacao(const QString &erro)
{
    const QString m = QStringLiteral("A ligação ao servidor de base de dados perdeu-se a meio do trabalho: nada foi gravado. "
                                     "Tente novamente.");
    return erro.isEmpty() ? m : m + QStringLiteral("\n(%1)").arg(erro);
}

namespace {
bool correUmaVez(QSqlQuery &q, const QString &sql, const QVariantList &params, QString *erro)
{
    // PostgreSQL cannot prepare DDL: a statement without values runs directly.
    if (params.isEmpty()) {
        if (!q.exec(sql)) {
            if (erro)
                *erro = textoErro(q.lastError());
            return false;
        }
        return true;
    }
    // Qt's PostgreSQL driver writes the values into the statement's text, where a NUL cuts it
    // short (a broken quote), and SQLite's LIKE stops at one: such a value is never sent.
    for (const QVariant &v : params)
        if (v.typeId() == QMetaType::QString && v.toString().contains(QChar(u'\0'))) {
            if (erro)
                *erro = QStringLiteral("Um dos valores tem o carácter nulo (U+0000), que a base de dados não pode guardar nem "
                                       "procurar: nada foi enviado.");
            return false;
        }
    if (!q.prepare(sql)) {
        if (erro)
            *erro = textoErro(q.lastError());
        return false;
    }
    for (const QVariant &v : params)
        q.addBindValue(v);
    if (!q.exec()) {
        if (erro)
            *erro = textoErro(q.lastError());
        return false;
    }
    return true;
}

// The program's PostgreSQL connection that a query runs on: the one where a dropped
// connection may be opened again (outside a transaction). Invalid elsewhere.
QSqlDatabase ligacaoPostgres(const QSqlQuery &q)
{
    if (!q.driver() || q.driver()->dbmsType() != QSqlDriver::PostgreSQL)
        return {};
    for (const QString &nome : QSqlDatabase::connectionNames()) {
        if (!nome.startsWith(kPrefixo))
            continue;
        QSqlDatabase db = QSqlDatabase::database(nome, false);
        if (db.driver() == q.driver())
            return db;
    }
    return {};
}

// A statement that cannot have changed anything, and so may run a second time.
bool eLeitura(const QString &sql)
{
    const QString s = sql.trimmed();
    for (const QLatin1String palavra : { QLatin1String("SELECT"), QLatin1String("SHOW") })
        if (s.startsWith(palavra, Qt::CaseInsensitive)
            && (s.size() == palavra.size() || !s.at(palavra.size()).isLetterOrNumber()))
            return true;
    return false;
}
} // namespace

namespace {
// A query on the reopened connection, read as the caller set up the one it replaces.
QSqlQuery consultaComoA(QSqlDatabase db, const QSqlQuery &antiga)
{
    QSqlQuery q(db);
    q.setForwardOnly(antiga.isForwardOnly());
    q.setNumericalPrecisionPolicy(antiga.numericalPrecisionPolicy());
    return q;
}
} // namespace

bool executa(QSqlQuery &q, const QString &sql, const QVariantList &params, QString *erro)
{
    QSqlDatabase db = ligacaoPostgres(q);
    const bool leitura = eLeitura(sql);
    if (db.isValid() && sessaoPerdida(db)) {
        if (erro)
            *erro = dadosDaSessaoPerdidos(QString());
        return false;
    }
    const bool naTransacao = db.isValid() && emTransacao().contains(db.connectionName());
    if (naTransacao && !db.isOpen()) {
        // An earlier statement of the transaction lost the connection.
        if (erro)
            *erro = ligacaoPerdidaNaTransacao(QString());
        return false;
    }
    if (db.isValid() && !leitura) {
        // A write is sent once, and only over a connection known to be alive: a failure after
        // it was sent then means its outcome is unknown, never that it did not run.
        switch (verificaLigacao(db, erro)) {
        case EstadoLigacao::Viva:
            break;
        case EstadoLigacao::Reaberta:
            q = consultaComoA(db, q);
            break;
        case EstadoLigacao::Perdida:
            return false;
        }
    }
    if (correUmaVez(q, sql, params, erro))
        return true;
    if (!db.isValid())
        return false;
    if (naTransacao)
        return false;
    const EstadoLigacao estado = verificaLigacao(db);
    if (!leitura) {
        if (estado != EstadoLigacao::Viva && erro)
            *erro = resultadoIncerto(*erro);
        return false;
    }
    if (estado != EstadoLigacao::Reaberta)
        return false;
    if (sessaoPerdida(db)) {
        // What the read needed went with the old session.
        if (erro)
            *erro = dadosDaSessaoPerdidos(*erro);
        return false;
    }
    // A read on a connection the server dropped runs again, once, silently, when it opens again.
    q = consultaComoA(db, q);
    if (erro)
        erro->clear();
    return correUmaVez(q, sql, params, erro);
}

QVariant valorUnico(QSqlDatabase db, const QString &sql, const QVariantList &params, QString *erro)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!executa(q, sql, params, erro) || !q.next())
        return {};
    return q.value(0);
}

QDate dataDaBase(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return v.toDate();
    case QMetaType::QString:
        return QDate::fromString(v.toString().left(10), Qt::ISODate);
    default:
        return {};
    }
}

namespace {
const QChar kEscape = QLatin1Char('!');
}

QString condicaoLike(const QString &coluna)
{
    return coluna + QStringLiteral(" LIKE ? ESCAPE '") + kEscape + QLatin1Char('\'');
}

QString padraoLike(const QString &texto, bool contem)
{
    QString p;
    p.reserve(texto.size() + 4);
    if (contem)
        p += QLatin1Char('%');
    for (const QChar c : texto) {
        // "[" opens a set of characters in SQL Server's LIKE.
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('[') || c == kEscape)
            p += kEscape;
        p += c;
    }
    p += QLatin1Char('%');
    return p;
}
