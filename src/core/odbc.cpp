#include "core/odbc.h"

#include "core/connection.h"
#include "core/ocultasenhas.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>

#include <algorithm>
#include <vector>

namespace {
const QString kQodbc = QStringLiteral("QODBC");

bool controladorProprio(const QString &nome)
{
    const QString n = nome.toLower();
    return n == QLatin1String("sqlite") || n == QLatin1String("qsqlite") || n == QLatin1String("postgresql")
        || n == QLatin1String("postgres") || n == QLatin1String("qpsql");
}

// The Debian package of the common drivers, under the names their packages register.
QString pacoteDebian(const QString &controlador)
{
    const QString n = controlador.toLower();
    if (n == QLatin1String("freetds"))
        return QStringLiteral("tdsodbc");
    if (n.startsWith(QLatin1String("postgresql")))
        return QStringLiteral("odbc-postgresql");
    if (n.startsWith(QLatin1String("sqlite")))
        return QStringLiteral("libsqliteodbc");
    return {};
}

QString valorDe(const QList<ParLigacao> &pares, std::initializer_list<const char *> chaves)
{
    for (const ParLigacao &p : pares)
        for (const char *c : chaves)
            if (p.chave == QLatin1String(c))
                return p.valor;
    return {};
}

bool temChave(const QList<ParLigacao> &pares, const QString &chave)
{
    return std::any_of(pares.cbegin(), pares.cend(), [&](const ParLigacao &p) { return p.chave == chave; });
}

// The [ODBC] pairs of a file data source (a ".dsn" file). unixODBC reads FILEDSN= only through
// its narrow-character entry point, not through the wide one Qt's driver calls: the program
// reads the file itself. False when it cannot be read.
bool leFicheiroDsn(const QString &caminho, QList<ParLigacao> *pares)
{
    QFile f(caminho);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool dentro = false;
    while (!f.atEnd()) {
        const QString linha = QString::fromUtf8(f.readLine()).trimmed();
        if (linha.startsWith(QLatin1Char('['))) {
            dentro = linha.compare(QLatin1String("[ODBC]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype igual = linha.indexOf(QLatin1Char('='));
        if (!dentro || igual <= 0 || linha.startsWith(QLatin1Char(';')) || linha.startsWith(QLatin1Char('#')))
            continue;
        ParLigacao p;
        p.chave = linha.left(igual).trimmed().toLower();
        p.valor = linha.mid(igual + 1).trimmed();
        // A ";" would end the value in a connection string.
        p.chavetas = p.valor.contains(QLatin1Char(';')) && !p.valor.startsWith(QLatin1Char('{'));
        if (p.chave == QLatin1String("pwd") || p.chave == QLatin1String("password"))
            registaSenha(p.valor);
        pares->append(p);
    }
    return true;
}

// Qt's ODBC driver takes a string with "DRIVER=" or "SERVER=" as it is, but puts "DSN=" (or,
// for a ".dsn" file, "FILEDSN=") before anything else: a data source string is handed over
// without its own key, its name first, so that the driver manager receives what was written.
// "Driver = {FreeTDS}", with blanks around "=", would be taken for a data source name: the
// pairs are then handed over without the blanks. A file data source is handed over as the
// pairs of the string followed by those of the file that the string does not give.
// Empty, with erro, when the file cannot be read.
QString nomeParaQt(const QString &ligacao, QString *erro)
{
    const QList<ParLigacao> lidos = paresLigacao(ligacao);
    const QString ficheiro = valorDe(lidos, { "filedsn" });
    if (ficheiro.isEmpty()
        && (ligacao.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive)
            || ligacao.contains(QLatin1String("SERVER="), Qt::CaseInsensitive)))
        return ligacao;
    QList<ParLigacao> todos;
    for (const ParLigacao &p : lidos)
        if (p.chave != QLatin1String("filedsn"))
            todos << p;
    if (!ficheiro.isEmpty()) {
        QList<ParLigacao> doFicheiro;
        if (!leFicheiroDsn(ficheiro, &doFicheiro)) {
            *erro = QStringLiteral("O ficheiro da origem de dados ODBC \"%1\" não pode ser lido.").arg(ficheiro);
            return {};
        }
        for (const ParLigacao &p : std::as_const(doFicheiro))
            if (!temChave(todos, p.chave))
                todos << p;
    }
    QString fonte;
    QStringList pares, resto;
    bool controlador = false;
    for (const ParLigacao &p : std::as_const(todos)) {
        const QString valor = p.chavetas
            ? QLatin1Char('{') + QString(p.valor).replace(QLatin1Char('}'), QStringLiteral("}}")) + QLatin1Char('}')
            : p.valor;
        pares << p.chave + QLatin1Char('=') + valor;
        controlador = controlador || p.chave == QLatin1String("driver") || p.chave == QLatin1String("server");
        if (p.chave == QLatin1String("dsn") && fonte.isEmpty())
            fonte = valor;
        else
            resto << pares.last();
    }
    if (controlador)
        return pares.join(QLatin1Char(';')) + QLatin1Char(';');
    if (fonte.isEmpty())
        return ligacao;
    return (QStringList { fonte } + resto).join(QLatin1Char(';')) + QLatin1Char(';');
}

// A result already read: a forward-only statement's rows, kept so that a view can go back.
class ResultadoEmMemoria : public QSqlResult
{
public:
    ResultadoEmMemoria(const QSqlDriver *driver, const QSqlRecord &registo, std::vector<QList<QVariant>> &&linhas)
        : QSqlResult(driver)
        , m_registo(registo)
        , m_linhas(std::move(linhas))
    {
        setSelect(true);
        setActive(true);
        setAt(QSql::BeforeFirstRow);
    }

protected:
    QVariant data(int i) override { return valida(i) ? m_linhas[at()].at(i) : QVariant(); }
    bool isNull(int i) override { return !valida(i) || m_linhas[at()].at(i).isNull(); }
    bool reset(const QString &) override { return false; }
    bool fetch(int i) override
    {
        if (i < 0 || i >= static_cast<int>(m_linhas.size()))
            return false;
        setAt(i);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override { return fetch(static_cast<int>(m_linhas.size()) - 1); }
    int size() override { return static_cast<int>(m_linhas.size()); }
    int numRowsAffected() override { return -1; }
    QSqlRecord record() const override { return m_registo; }

private:
    bool valida(int i) const
    {
        return at() >= 0 && at() < static_cast<int>(m_linhas.size()) && i >= 0 && i < m_linhas[at()].size();
    }
    QSqlRecord m_registo;
    std::vector<QList<QVariant>> m_linhas;
};
} // namespace

QList<ParLigacao> paresLigacao(const QString &ligacao)
{
    QList<ParLigacao> pares;
    qsizetype i = 0;
    const qsizetype n = ligacao.size();
    while (i < n) {
        const qsizetype igual = ligacao.indexOf(QLatin1Char('='), i);
        const qsizetype fim = ligacao.indexOf(QLatin1Char(';'), i);
        if (igual < 0 || (fim >= 0 && fim < igual)) {
            // A part without "=" is skipped.
            if (fim < 0)
                break;
            i = fim + 1;
            continue;
        }
        ParLigacao p;
        p.chave = ligacao.mid(i, igual - i).trimmed().toLower();
        qsizetype v = igual + 1;
        while (v < n && ligacao.at(v).isSpace())
            ++v;
        qsizetype proximo;
        if (v < n && ligacao.at(v) == QLatin1Char('{')) {
            // "}}" inside the braces is one "}" of the value, as ODBC drivers read it.
            qsizetype ate = v + 1;
            for (; ate < n; ++ate) {
                if (ligacao.at(ate) != QLatin1Char('}'))
                    p.valor += ligacao.at(ate);
                else if (ate + 1 < n && ligacao.at(ate + 1) == QLatin1Char('}'))
                    p.valor += ligacao.at(ate++);
                else
                    break;
            }
            p.chavetas = true;
            const qsizetype pv = ligacao.indexOf(QLatin1Char(';'), ate);
            proximo = pv < 0 ? n : pv + 1;
        } else {
            const qsizetype pv = ligacao.indexOf(QLatin1Char(';'), v);
            p.valor = ligacao.mid(v, (pv < 0 ? n : pv) - v).trimmed();
            proximo = pv < 0 ? n : pv + 1;
        }
        if (!p.chave.isEmpty())
            pares << p;
        i = proximo;
    }
    return pares;
}

bool eLigacaoOdbc(const QString &ligacao)
{
    for (const ParLigacao &p : paresLigacao(ligacao)) {
        if (p.chave == QLatin1String("dsn") || p.chave == QLatin1String("filedsn"))
            return true;
        if (p.chave == QLatin1String("driver"))
            return p.chavetas || !controladorProprio(p.valor);
    }
    return false;
}

namespace {
// SQLite's own LIKE ignores case; the program's comparisons are exact, as on a native SQLite
// connection. Other servers are left as their collation makes them.
bool preparaSqliteOdbc(QSqlDatabase db, QString *erro)
{
    const auto tipo = db.driver()->dbmsType();
    if (tipo != QSqlDriver::UnknownDbms && tipo != QSqlDriver::SQLite)
        return true;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT sqlite_version()")))
        return true;
    q.finish();
    if (q.exec(QStringLiteral("PRAGMA case_sensitive_like=ON")))
        return true;
    if (erro)
        *erro = QStringLiteral("Não foi possível preparar a base de dados: %1").arg(textoErro(q.lastError()));
    q = QSqlQuery();
    db.close();
    return false;
}
} // namespace

QSqlDatabase abreOdbc(const QString &nome, const QString &ligacao, QString *erro)
{
    auto falha = [&](const QString &texto) {
        if (erro)
            *erro = ocultaSenhas(texto);
        return QSqlDatabase();
    };
    // A cached connection whose server went away (a restart, a dropped network) is opened again
    // once, silently. "SELECT 1" reads the same on SQL Server, PostgreSQL and SQLite.
    if (QSqlDatabase::contains(nome)) {
        QSqlDatabase db = QSqlDatabase::database(nome, false);
        if (db.isOpen()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT 1")))
                return db;
            q = QSqlQuery();
            db.close();
        }
    }
    // The password is known, to be masked should a driver echo it.
    DadosLigacao::interpreta(ligacao);
    if (!QSqlDatabase::isDriverAvailable(kQodbc))
        return falha(QStringLiteral("O controlador ODBC do Qt não está instalado (pacote Debian libqt6sql6-odbc)."));
    QSqlDatabase db
        = QSqlDatabase::contains(nome) ? QSqlDatabase::database(nome, false) : QSqlDatabase::addDatabase(kQodbc, nome);
    QString e;
    const QString nomeQt = nomeParaQt(ligacao, &e);
    if (nomeQt.isEmpty())
        return falha(e);
    db.setDatabaseName(nomeQt);
    // A server that does not answer is given up after a few seconds, like PostgreSQL's.
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=5"));
    if (db.open()) {
        if (!preparaSqliteOdbc(db, erro))
            return {};
        return db;
    }

    const QString texto = textoErro(db.lastError());
    const QList<ParLigacao> pares = paresLigacao(ligacao);
    const QString controlador = valorDe(pares, { "driver" });
    const QString fonte = valorDe(pares, { "dsn", "filedsn" });
    // unixODBC's words for a driver it cannot load and for a name it does not know.
    const bool semBiblioteca = texto.contains(QLatin1String("Can't open lib"), Qt::CaseInsensitive);
    const bool semNome = texto.contains(QLatin1String("Data source name not found"), Qt::CaseInsensitive);
    if (!controlador.isEmpty() && (semBiblioteca || semNome)) {
        QString m = QStringLiteral("O controlador ODBC \"%1\" não está instalado neste computador (\"odbcinst -q -d\" "
                                   "lista os instalados).")
                        .arg(controlador);
        const QString pacote = pacoteDebian(controlador);
        if (!pacote.isEmpty())
            m += QStringLiteral(" Instale o pacote Debian %1.").arg(pacote);
        // Strings written for Windows name Microsoft's drivers, which Debian does not carry.
        else if (controlador.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive))
            m += QStringLiteral(" Para o SQL Server, instale o pacote Debian tdsodbc e escreva Driver={FreeTDS}.");
        return falha(m + QStringLiteral("\n(%1)").arg(texto));
    }
    if (!fonte.isEmpty() && semNome)
        return falha(QStringLiteral("A origem de dados ODBC \"%1\" não está definida (odbc.ini).\n(%2)").arg(fonte, texto));
    if (semBiblioteca)
        return falha(QStringLiteral("O controlador ODBC da origem de dados \"%1\" não está instalado neste computador.\n(%2)")
                         .arg(fonte, texto));
    return falha(QStringLiteral("Não foi possível ligar ao servidor da base de dados: %1").arg(texto));
}

bool eOdbc(const QSqlDatabase &db)
{
    return db.driverName() == kQodbc;
}

bool leVista(QSqlQuery &q, QString *erro)
{
    if (!q.isForwardOnly() || !q.isActive() || !q.isSelect())
        return true;
    const QSqlRecord registo = q.record();
    const int colunas = registo.count();
    std::vector<QList<QVariant>> linhas;
    while (q.next()) {
        QList<QVariant> l;
        l.reserve(colunas);
        for (int c = 0; c < colunas; ++c)
            l << q.value(c);
        linhas.push_back(std::move(l));
    }
    if (q.lastError().isValid()) {
        if (erro)
            *erro = textoErro(q.lastError());
        return false;
    }
    q = QSqlQuery(new ResultadoEmMemoria(q.driver(), registo, std::move(linhas)));
    return true;
}
