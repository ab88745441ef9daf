#include "session/molvarentrada.h"

#include "core/avancoenter.h"
#include "core/connection.h"
#include "core/controlos.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/schema.h"
#include "core/senha.h"
#include "core/session.h"
#include "session/main_confsql.h"
#include "session/molvarinsfirma.h"
#include "session/paramfirmadlg.h"
#include "session/senhaadmin.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVBoxLayout>

namespace {

QDate leData(const QString &texto)
{
    // Days and months may be typed with or without their leading zero.
    const QDate d = QDate::fromString(texto.trimmed(), QStringLiteral("d-M-yyyy"));
    return d.isValid() && d.year() >= 1900 ? d : QDate();
}
} // namespace

Molvarentrada::Molvarentrada(Session &s, QWidget *parent)
    : QMainWindow(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Molvarentrada"));
    setWindowTitle(QStringLiteral("Molvaralizações Contabilisticas"));

    auto *menu = menuBar()->addMenu(QStringLiteral("&Iniciar"));
    config_sql = menu->addAction(QStringLiteral("&Configurações "));
    config_sql->setObjectName(QStringLiteral("config_sql"));
    instalar_bd = menu->addAction(QStringLiteral("Instalar Base de Dados"));
    instalar_bd->setObjectName(QStringLiteral("instalar_bd"));
    criar_firma = menu->addAction(QStringLiteral("Criar Firma"));
    criar_firma->setObjectName(QStringLiteral("criar_firma"));
    param_firma = menu->addAction(QStringLiteral("Parâmetros da Firma"));
    param_firma->setObjectName(QStringLiteral("param_firma"));
    menu->addSeparator();
    sair = menu->addAction(QStringLiteral("&Sair"));
    sair->setObjectName(QStringLiteral("sair"));

    auto *centro = new QWidget(this);
    Utilizador = new QLineEdit(centro);
    Utilizador->setObjectName(QStringLiteral("Utilizador"));
    Utilizador->setMaxLength(10);
    Senha = caixaSenha(centro, "Senha");
    DataCombo1 = new DataCombo(centro);
    DataCombo1->setObjectName(QStringLiteral("DataCombo1"));
    NomeFirma = new QLabel(centro);
    NomeFirma->setObjectName(QStringLiteral("NomeFirma"));
    // Room for a whole company name: ParamFirma.Designacao holds up to 50 characters.
    NomeFirma->setMinimumWidth(larguraDeLetras(NomeFirma, 50));
    DTPicker1 = new QLineEdit(centro);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setPlaceholderText(QStringLiteral("dd-mm-aaaa"));
    DTPicker1->setMaxLength(10);
    Validar = new QPushButton(QStringLiteral("Validar"), centro);
    Validar->setObjectName(QStringLiteral("Validar"));
    Validar->setDefault(true);
    Sair = new QPushButton(QStringLiteral("Sair"), centro);
    Sair->setObjectName(QStringLiteral("Sair"));
    new AvancoComEnter({ Utilizador, Senha, DataCombo1, DTPicker1 }, Validar, this);

    auto *firma = new QHBoxLayout;
    firma->addWidget(DataCombo1);
    firma->addWidget(NomeFirma, 1);
    auto *campos = new QFormLayout;
    campos->addRow(QStringLiteral("Utilizador:"), Utilizador);
    campos->addRow(QStringLiteral("Senha:"), Senha);
    campos->addRow(QStringLiteral("Firma:"), firma);
    campos->addRow(QStringLiteral("Data de processamento:"), DTPicker1);
    auto *l = new QVBoxLayout(centro);
    l->addLayout(campos);
    l->addStretch();
    l->addLayout(linhaDeBotoes({ Validar, Sair }));
    setCentralWidget(centro);

    connect(config_sql, &QAction::triggered, this, &Molvarentrada::configura);
    connect(instalar_bd, &QAction::triggered, this, &Molvarentrada::instala);
    connect(criar_firma, &QAction::triggered, this, &Molvarentrada::criaFirma);
    connect(param_firma, &QAction::triggered, this, [this] {
        const QString codigo = DataCombo1->text().trimmed();
        if (codigo.isEmpty()) {
            m_s.msg->informa(QStringLiteral("Escolha uma Firma!"));
            return;
        }
        if (semCaracteresDeControlo(m_s.msg, { { QStringLiteral("Firma"), codigo, DataCombo1 } }))
            abreParametros(codigo);
    });
    connect(sair, &QAction::triggered, this, &QWidget::close);
    connect(Sair, &QPushButton::clicked, this, &QWidget::close);
    connect(Validar, &QPushButton::clicked, this, &Molvarentrada::valida);
    connect(DataCombo1, &DataCombo::textChanged, this, &Molvarentrada::mostraNome);
    connect(DTPicker1, &QLineEdit::returnPressed, this, &Molvarentrada::valida);
    connect(Senha, &QLineEdit::returnPressed, this, &Molvarentrada::valida);

    carrega();
}

void Molvarentrada::carrega()
{
    m_s.carregaConfiguracao();
    QString erro = DadosLigacao::interpretaPropria(m_s.gLigacao1).erro;
    QSqlDatabase db = erro.isEmpty() ? abreLigacao(m_s.gLigacao1, &erro) : QSqlDatabase();
    bool ok = db.isValid();
    if (ok) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        ok = executa(q, QStringLiteral("select * from EUsers"), {}, &erro);
    }
    m_baseOk = ok;
    instalar_bd->setEnabled(!ok);
    criar_firma->setEnabled(ok);
    param_firma->setEnabled(ok);
    Validar->setEnabled(ok);
    if (!ok) {
        DataCombo1->clearRowSource();
        DataCombo1->setText(QString());
        m_s.msg->informa(QStringLiteral("Configure as Ligações SQL ou Instale Base de Dados!\n\n") + erro);
        return;
    }
    // Installing is offered only on a database that cannot be read: one installed by an
    // earlier version is brought up to date here. The program works on without it.
    if (!actualizaBaseDados(db, &erro))
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível actualizar a base de dados."), erro);

    FirmaRefresca();

    // The company and date of the last session are the defaults.
    QSqlQuery q(db);
    QString firma, data;
    if (!executa(q, QStringLiteral("SELECT CodFirma, LastUse FROM MolvarLastUse"), {}, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler a última firma usada."), erro);
    } else if (q.next()) {
        firma = q.value(0).toString().trimmed();
        data = q.value(1).toString().trimmed();
    }
    if (!firma.isEmpty())
        DataCombo1->setText(firma);
    DTPicker1->setText(leData(data).isValid() ? data : QDate::currentDate().toString(QLatin1String(kFormatoData)));
}

void Molvarentrada::FirmaRefresca()
{
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid()
        || !DataCombo1->setRowSource(db,
            QStringLiteral("SELECT RTRIM(CodFirma) AS \"CodFirma\", Designacao AS \"Designacao\" "
                           "FROM ParamFirma ORDER BY CodFirma"),
            {}, QStringLiteral("CodFirma"), QString(), &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler a lista de firmas."), erro);
        return;
    }
    mostraNome();
}

void Molvarentrada::mostraNome()
{
    const int i = DataCombo1->findRow(DataCombo1->text().trimmed());
    NomeFirma->setText(i < 0 ? QString() : DataCombo1->row(i).value(QStringLiteral("Designacao")).toString().trimmed());
}

void Molvarentrada::configura()
{
    auto *d = new MainConfSql(m_s, MainConfSql::Momento::Arranque, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    connect(d, &MainConfSql::gravado, this, &Molvarentrada::carrega);
    d->open();
}

void Molvarentrada::instala()
{
    // No password is known to all: the administrator's is chosen here.
    auto *d = new SenhaAdmin(m_s.msg,
        QStringLiteral("Escolha a senha do administrador (utilizador \"%1\").").arg(QString::fromLatin1(kAdminLogin)), this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    connect(d, &QDialog::accepted, this, [this, d] {
        QString erro;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool ok = criaBaseDados(m_s.gLigacao1, &erro, d->senha());
        QApplication::restoreOverrideCursor();
        if (!ok) {
            m_s.msg->erroBaseDados(QStringLiteral("Não foi possível instalar a base de dados."), erro);
            return;
        }
        m_s.msg->informa(QStringLiteral("Base de Dados Criada!"));
        carrega();
    });
    d->open();
}

void Molvarentrada::criaFirma()
{
    auto *d = new MolvarInsFirma(m_s, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    connect(d, &MolvarInsFirma::firmaCriada, this, [this](const QString &codigo) {
        FirmaRefresca();
        DataCombo1->setText(codigo);
        // A new company is given its parameters straight away.
        abreParametros(codigo);
    });
    d->open();
}

void Molvarentrada::abreParametros(const QString &codigo)
{
    auto *d = new ParamFirmaDlg(m_s, codigo, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    if (!d->carregado()) {
        d->close();
        return;
    }
    connect(d, &ParamFirmaDlg::gravado, this, [this](const QString &c) {
        FirmaRefresca();
        DataCombo1->setText(c);
    });
    d->open();
}

void Molvarentrada::valida()
{
    if (!m_baseOk)
        return;
    const QString login = Utilizador->text().trimmed();
    const QString codigo = DataCombo1->text().trimmed();
    const QDate data = leData(DTPicker1->text());
    if (login.isEmpty()) {
        m_s.msg->informa(QStringLiteral("Indique o Utilizador!"));
        Utilizador->setFocus();
        return;
    }
    if (codigo.isEmpty()) {
        m_s.msg->informa(QStringLiteral("Escolha uma Firma!"));
        DataCombo1->setFocus();
        return;
    }
    if (!data.isValid()) {
        m_s.msg->informa(QStringLiteral("A data de processamento \"%1\" não é uma data válida! Use o formato dd-mm-aaaa.")
                             .arg(DTPicker1->text().trimmed()));
        DTPicker1->setFocus();
        return;
    }
    if (!semCaracteresDeControlo(
            m_s.msg, { { QStringLiteral("Utilizador"), login, Utilizador }, { QStringLiteral("Firma"), codigo, DataCombo1 } }))
        return;

    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    QSqlQuery u(db);
    if (!db.isValid()
        || !executa(u, QStringLiteral("SELECT Login, passw, Nome, Admin FROM EUsers WHERE Login = ?"), { login }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível validar o utilizador."), erro);
        return;
    }
    // The same answer, and the same time spent, for an unknown user and a wrong password.
    // An empty password never opens the door, whatever is stored.
    static const QString semUtilizador = hashSenha(QString());
    const bool conhecido = u.next();
    const QString senha = Senha->text();
    bool antiga = false;
    const bool certa = confereSenha(senha, conhecido ? u.value(1).toString() : semUtilizador, &antiga);
    if (!conhecido || !certa || senha.isEmpty()) {
        // Past the limit of every password box the limit is named, whoever the user.
        m_s.msg->informa(
            caracteresSenha(senha) > kSenhaMaxima ? senhaRecusada(senha) : QStringLiteral("Utilizador ou Senha Inválidos!"));
        Senha->clear();
        Senha->setFocus();
        return;
    }
    const Entrada entrada { u.value(0).toString().trimmed(), u.value(2).toString().trimmed(), u.value(3).toInt() != 0,
        u.value(1).toString(), data };

    std::optional<DadosFirma> lida;
    if (!leDadosFirma(db, codigo, &lida, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler os parâmetros da firma."), erro);
        return;
    }
    if (!lida) {
        m_s.msg->informa(QStringLiteral("A firma \"%1\" não existe!").arg(codigo));
        DataCombo1->setFocus();
        return;
    }
    const DadosFirma firma = *lida;

    const QString recusa = senhaRecusada(senha);
    if (recusa.isEmpty()) {
        // A hash an earlier version made of the text in another form is kept again in today's.
        if (!antiga || trocaSenha(entrada, senha))
            entra(entrada, firma);
        return;
    }
    // A password known to all (the one every earlier installation gave the administrator), or
    // one that today's rules refuse: a new one is chosen before the session starts.
    const QString explicacao = senha == QLatin1String(kSenhaAdminAntiga)
        ? QStringLiteral("A sua senha ainda é a senha de origem, que todos conhecem. Escolha uma nova senha para entrar.")
        : QStringLiteral("A sua senha foi escolhida numa versão anterior e já não é aceite:\n%1\nEscolha uma nova senha para "
                         "entrar.")
              .arg(recusa);
    auto *d = new SenhaAdmin(m_s.msg, explicacao, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    connect(d, &QDialog::accepted, this, [this, d, entrada, firma] {
        if (trocaSenha(entrada, d->senha()))
            entra(entrada, firma);
    });
    connect(d, &QDialog::rejected, this, [this] {
        Senha->clear();
        Senha->setFocus();
    });
    d->open();
}

bool Molvarentrada::trocaSenha(const Entrada &entrada, const QString &nova)
{
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    QSqlQuery q(db);
    // Only over the hash just checked: a password changed meanwhile elsewhere is not overwritten.
    if (!db.isValid()
        || !executa(q, QStringLiteral("UPDATE EUsers SET passw = ? WHERE Login = ? AND passw = ?"),
            { hashSenha(nova), entrada.login, entrada.passw }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível gravar a nova senha."), erro);
        return false;
    }
    if (q.numRowsAffected() != 1) {
        m_s.msg->informa(QStringLiteral("A senha deste utilizador foi alterada entretanto. Entre de novo."));
        Senha->clear();
        Senha->setFocus();
        return false;
    }
    return true;
}

void Molvarentrada::entra(const Entrada &entrada, const DadosFirma &firma)
{
    m_s.entra(firma, entrada.login, entrada.nome, entrada.admin, entrada.data);
    emit entrou();
    close();
}
