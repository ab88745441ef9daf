#include "support/ambiente.h"

#include "core/connection.h"
#include "core/inifile.h"
#include "core/schema.h"

#include <QCoreApplication>
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
    // The whole string in Connect_sql; the other three keys stay empty.
    return GravaIni(seccao, QStringLiteral("Connect_sql"), ligacao) && GravaIni(seccao, QStringLiteral("Connect_sql1"), QString())
        && GravaIni(seccao, QStringLiteral("Connect_sql2"), QString())
        && GravaIni(seccao, QStringLiteral("Connect_sql3"), QString());
}
} // namespace

bool Ambiente::usaPostgres()
{
    return qEnvironmentVariable("MOLVAR_TEST_DB") == QLatin1String("pg");
}

bool Ambiente::baseDisponivel(QString *motivo)
{
    if (!usaPostgres())
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
    fechaTodasLigacoes();
    if (!m_basePg.isEmpty()) {
        const QString adm = servidorPg() + QStringLiteral("Database=postgres;");
        QSqlDatabase db = abreLigacao(adm);
        if (db.isValid()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_basePg));
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

QString Ambiente::criaBaseExterna(const QString &pacote)
{
    const QString ficheiro = m_dir.filePath(QStringLiteral("externa_%1.db").arg(pacote));
    {
        QFile f(ficheiro);
        f.open(QIODevice::WriteOnly);
    }
    const QString ligacao = QStringLiteral("Driver=SQLite;Database=%1;").arg(ficheiro);
    QSqlDatabase db = abreLigacao(ligacao);
    QSqlQuery q(db);
    QStringList ddl;
    if (pacote == QLatin1String("A")) {
        ddl << QStringLiteral(
            "CREATE TABLE PlanoContas (Id INTEGER PRIMARY KEY, CodFirma char(4), CodExercicio char(4), Conta varchar(22), "
            "Lancadora smallint, Designacao varchar(30))")
            << QStringLiteral("CREATE TABLE PlanoCCusto (Id INTEGER PRIMARY KEY, CodFirma char(4), CodExercicio char(4), CCusto "
                              "varchar(16), "
                              "Lancador smallint, Designacao varchar(30))");
    } else if (pacote == QLatin1String("S")) {
        ddl << QStringLiteral("CREATE TABLE poc (conta varchar(22), descr varchar(40), nivint integer)")
            << QStringLiteral("CREATE TABLE ccusto (cod varchar(16), descr varchar(40), enqcus varchar(10))");
    } else if (pacote == QLatin1String("T")) {
        ddl << QStringLiteral(
            "CREATE TABLE planocontas (conta varchar(22), descricao varchar(40), tipoconta varchar(10), ano varchar(4))")
            << QStringLiteral("CREATE TABLE planocentros (centro varchar(16), descricao varchar(40), tipoconta varchar(10), ano "
                              "varchar(4))");
    }
    ddl << QStringLiteral("CREATE TABLE SNC_Conv (contapoc varchar(22), contasnc varchar(22))");
    for (const QString &sql : ddl)
        if (!q.exec(sql))
            qWarning() << "base externa:" << textoErro(q.lastError());
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
    QSqlQuery q(db());
    QString e;
    if (!executa(q,
            QStringLiteral("SELECT CodFirma, Designacao, Analitica, Planos_Ext, EmpCtb, Ana_Ext, Tipo_Lig, SNC FROM ParamFirma "
                           "WHERE CodFirma = ?"),
            { firma }, &e)
        || !q.next()) {
        qWarning() << "entra:" << firma << e;
        return false;
    }
    sessao.gCodFirma = q.value(0).toString().trimmed();
    sessao.gNomeFirma = q.value(1).toString();
    sessao.gAnalitica = q.value(2).toString();
    sessao.gContasAnalitica = sessao.gAnalitica;
    sessao.gPlanosExt = q.value(3).toInt() != 0;
    sessao.gEmpCtb = q.value(4).toString().trimmed();
    sessao.gAnaExt = q.value(5).toInt() != 0;
    sessao.gTipoLig = q.value(6).toString().trimmed();
    sessao.gSnc = q.value(7).toInt() != 0;
    sessao.gAno = ano;
    sessao.gMes = mes;
    sessao.gDataProc = QStringLiteral("01-%1-%2").arg(mes, 2, 10, QLatin1Char('0')).arg(ano);
    sessao.gLogin = QStringLiteral("admin");
    sessao.gNomeUtilizador = QStringLiteral("Administrador");
    return true;
}
