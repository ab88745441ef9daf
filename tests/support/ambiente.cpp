#include "support/ambiente.h"

#include "core/connection.h"
#include "core/inifile.h"
#include "core/schema.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
int g_contador = 0;

QString servidorPg()
{
    QString s = qEnvironmentVariable("MOLVAR_TEST_PG").trimmed();
    if (!s.isEmpty() && !s.endsWith(QLatin1Char(';')))
        s += QLatin1Char(';');
    return s;
}

bool gravaLigacao(const QString &seccao, const QString &ligacao)
{
    return GravaIni(chavesDaLigacao(seccao, ligacao));
}
} // namespace

bool Ambiente::usaPostgres()
{
    return qEnvironmentVariable("MOLVAR_TEST_DB") == QLatin1String("pg");
}

QString Ambiente::modoExterno()
{
    const QString m = qEnvironmentVariable("MOLVAR_TEST_EXT");
    return m.isEmpty() ? QStringLiteral("native") : m;
}

QString Ambiente::ligacaoPg(const QString &base)
{
    return servidorPg() + QStringLiteral("Database=") + base + QLatin1Char(';');
}

bool Ambiente::baseDisponivel(QString *motivo)
{
    if (!usaPostgres() && modoExterno() != QLatin1String("odbc-pg"))
        return true;
    if (servidorPg().isEmpty()) {
        *motivo = QStringLiteral("MOLVAR_TEST_PG não indica nenhum servidor");
        return false;
    }
    QString e;
    const QString ligacao = servidorPg() + QStringLiteral("Database=postgres;");
    const bool ok = abreLigacao(ligacao, &e).isValid();
    fechaLigacao(ligacao);
    if (!ok)
        *motivo = e;
    return ok;
}

Ambiente::Ambiente(bool criaBase)
{
    m_homeAnterior = qgetenv("MOLVAR_HOME");
    if (!m_dir.isValid()) {
        m_erro = QStringLiteral("sem pasta temporária");
        return;
    }
    qputenv("MOLVAR_HOME", m_dir.path().toUtf8());
    qputenv("MOLVAR_NO_OPEN", "1");
    garanteIni(nullptr);
    QString ligacao = QStringLiteral("Driver=SQLite;Database=molvar.db;");
    if (usaPostgres()) {
        m_basePg = QStringLiteral("molvar_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_contador);
        ligacao = servidorPg() + QStringLiteral("Database=") + m_basePg + QLatin1Char(';');
    }
    gravaLigacao(QStringLiteral("DATABASE1"), ligacao);
    sessao.carregaConfiguracao();
    sessao.msg = &msgs;
    sessao.abrirFolhas = false;
    if (criaBase && !criaBaseDados(sessao.gLigacao1, &m_erro, QString::fromLatin1(kSenhaAdminTeste)) && m_erro.isEmpty())
        m_erro = QStringLiteral("a criação da base de dados falhou");
}

Ambiente::~Ambiente()
{
    // A test stopped by a failed check leaves its windows open on this session: they go
    // with it, before its connections, so that the next test starts clean. Qt's own
    // windows (tooltips, popups) are Qt's to keep.
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QList<QPointer<QWidget>> janelas;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!w->parentWidget() && !QByteArray(w->metaObject()->className()).startsWith('Q'))
                janelas << w;
        for (const QPointer<QWidget> &w : std::as_const(janelas))
            delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    fechaTodasLigacoes();
    // So do the test's own connections (another workstation's, an administrator's).
    for (const QString &nome : QSqlDatabase::connectionNames()) {
        QSqlDatabase::database(nome, false).close();
        QSqlDatabase::removeDatabase(nome);
    }
    QStringList bases = m_externasPg;
    if (!m_basePg.isEmpty())
        bases << m_basePg;
    if (!bases.isEmpty()) {
        const QString adm = servidorPg() + QStringLiteral("Database=postgres;");
        if (QSqlDatabase db = abreLigacao(adm); db.isValid()) {
            QSqlQuery q(db);
            for (const QString &b : bases)
                q.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(b));
        }
        fechaLigacao(adm);
    }
    if (m_homeAnterior.isNull())
        qunsetenv("MOLVAR_HOME");
    else
        qputenv("MOLVAR_HOME", m_homeAnterior);
}

QSqlDatabase Ambiente::db() const
{
    return abreLigacao(sessao.gLigacao1);
}

namespace {
// The test's own ODBC data source for the test server, in the build folder (ODBCINI), so
// that the system's configuration is neither needed nor touched.
QString fonteOdbcPg(QString *erro)
{
    const QString nome = QStringLiteral("molvar_teste_pg");
    QString ficheiro = qEnvironmentVariable("ODBCINI");
    if (ficheiro.isEmpty()) {
        ficheiro = QCoreApplication::applicationDirPath() + QStringLiteral("/odbc.ini");
        qputenv("ODBCINI", QFile::encodeName(ficheiro));
    }
    const DadosLigacao d = DadosLigacao::interpreta(servidorPg() + QStringLiteral("Database=postgres;"));
    const QString texto = QStringLiteral("[%1]\nDriver=PostgreSQL Unicode\nServername=%2\nPort=%3\nUsername=%4\n")
                              .arg(nome, d.servidor.isEmpty() ? QStringLiteral("127.0.0.1") : d.servidor)
                              .arg(d.porta > 0 ? d.porta : 5432)
                              .arg(d.utilizador);
    QFile atual(ficheiro);
    if (atual.open(QIODevice::ReadOnly) && QString::fromUtf8(atual.readAll()) == texto)
        return nome;
    // Several test programs run at once: the file is replaced whole, never half-written.
    QDir().mkpath(QFileInfo(ficheiro).path());
    QSaveFile f(ficheiro);
    if (!f.open(QIODevice::WriteOnly) || f.write(texto.toUtf8()) < 0 || !f.commit()) {
        *erro = QStringLiteral("odbc.ini: ") + f.errorString();
        return {};
    }
    return nome;
}
QString ligacaoSqliteOdbc(const QString &ficheiro)
{
    return QStringLiteral("Driver={SQLite3};Database=%1;").arg(ficheiro);
}
} // namespace

QString Ambiente::criaBaseExterna(const QString &pacote)
{
    const QString modo = modoExterno();
    const bool pg = modo == QLatin1String("odbc-pg") || (modo == QLatin1String("native") && usaPostgres());
    QString nativa; // the string the stand-in is made through
    QString ficheiro;
    QString base;
    if (pg) {
        base = QStringLiteral("molvar_x%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_contador);
        const QString adm = ligacaoPg(QStringLiteral("postgres"));
        QSqlQuery c(abreLigacao(adm));
        if (!c.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(base)))
            qWarning() << "base externa:" << textoErro(c.lastError());
        m_externasPg << base;
        nativa = ligacaoPg(base);
    } else {
        ficheiro = m_dir.filePath(QStringLiteral("externa_%1.db").arg(pacote));
        nativa = QStringLiteral("Driver=SQLite;Database=%1;").arg(ficheiro);
        // The file is made afresh: no connection may stay on the old one.
        fechaLigacao(nativa);
        fechaLigacao(ligacaoSqliteOdbc(ficheiro));
        QFile f(ficheiro);
        f.open(QIODevice::WriteOnly);
    }
    {
        QSqlDatabase db = abreLigacao(nativa);
        QSqlQuery q(db);
        const QString id = pg ? QStringLiteral("Id integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                              : QStringLiteral("Id INTEGER PRIMARY KEY");
        QStringList ddl;
        if (pacote == QLatin1String("A")) {
            ddl << QStringLiteral("CREATE TABLE PlanoContas (%1, CodFirma char(4), CodExercicio char(4), Conta varchar(22), "
                                  "Lancadora smallint, Designacao varchar(40))")
                       .arg(id)
                << QStringLiteral("CREATE TABLE PlanoCCusto (%1, CodFirma char(4), CodExercicio char(4), CCusto varchar(16), "
                                  "Lancador smallint, Designacao varchar(40))")
                       .arg(id);
        } else if (pacote == QLatin1String("S")) {
            ddl << QStringLiteral("CREATE TABLE poc (conta varchar(22), descr varchar(40), nivint integer)")
                << QStringLiteral("CREATE TABLE ccusto (cod varchar(16), descr varchar(40), enqcus varchar(10))");
        } else if (pacote == QLatin1String("T")) {
            ddl << QStringLiteral(
                "CREATE TABLE planocontas (conta varchar(22), descricao varchar(40), tipoconta varchar(10), ano varchar(4))")
                << QStringLiteral("CREATE TABLE planocentros (centro varchar(16), descricao varchar(40), tipoconta varchar(10), "
                                  "ano varchar(4))");
        }
        // Texts wider than the program's own columns, so that a value too long for them can be kept.
        ddl << QStringLiteral("CREATE TABLE SNC_Conv (contapoc varchar(40), contasnc varchar(40))");
        for (const QString &sql : ddl)
            if (!q.exec(sql))
                qWarning() << "base externa:" << textoErro(q.lastError());
    }
    QString ligacao = nativa;
    if (modo != QLatin1String("native")) {
        // Made natively, reached through ODBC only.
        fechaLigacao(nativa);
        if (pg) {
            QString e;
            const QString fonte = fonteOdbcPg(&e);
            if (fonte.isEmpty())
                qWarning() << "base externa:" << e;
            const DadosLigacao d = DadosLigacao::interpreta(nativa);
            ligacao = QStringLiteral("DSN=%1;Database=%2;Uid=%3;Pwd=%4;").arg(fonte, base, d.utilizador, d.senha);
        } else {
            ligacao = ligacaoSqliteOdbc(ficheiro);
        }
    }
    gravaLigacao(QStringLiteral("DATABASE2"), ligacao);
    sessao.gLigacao2 = ligacao;
    return ligacao;
}

QSqlDatabase Ambiente::dbExterna() const
{
    return abreLigacao(sessao.gLigacao2);
}

bool Ambiente::entra(const QString &firma, qint16 ano, qint16 mes)
{
    std::optional<DadosFirma> dados;
    QString e;
    if (!leDadosFirma(db(), firma, &dados, &e) || !dados) {
        qWarning() << "entra:" << firma << e;
        return false;
    }
    sessao.entra(*dados, QString::fromLatin1(kAdminLogin), QStringLiteral("Administrador"), true, QDate(ano, mes, 1));
    return true;
}
