#include "session/paramfirmadlg.h"

#include "core/avancoenter.h"
#include "core/connection.h"
#include "core/controlos.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "reports/totconta.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>

ParamFirmaDlg::ParamFirmaDlg(Session &s, const QString &codFirma, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
    , m_codFirma(codFirma.trimmed())
{
    setObjectName(QStringLiteral("Param_Firma"));
    setWindowTitle(QStringLiteral("Parâmetros da Firma"));

    CodFirma = new QLabel(m_codFirma, this);
    CodFirma->setObjectName(QStringLiteral("CodFirma"));
    Designacao = new QLineEdit(this);
    Designacao->setObjectName(QStringLiteral("Designacao"));
    Designacao->setMaxLength(50);
    mostraCampoInteiro(Designacao);
    PlanosExt = new QCheckBox(QStringLiteral("Planos na aplicação externa"), this);
    PlanosExt->setObjectName(QStringLiteral("PlanosExt"));
    TipoLig = new QComboBox(this);
    TipoLig->setObjectName(QStringLiteral("TipoLig"));
    TipoLig->addItem(QString(), QString());
    TipoLig->addItem(QStringLiteral("A - SENDYS"), QStringLiteral("A"));
    TipoLig->addItem(QStringLiteral("S - SAGE"), QStringLiteral("S"));
    TipoLig->addItem(QStringLiteral("T - Primavera"), QStringLiteral("T"));
    TipoLig->addItem(QStringLiteral("H - PHC"), QStringLiteral("H"));
    EmpCtb = new QLineEdit(this);
    EmpCtb->setObjectName(QStringLiteral("EmpCtb"));
    AnaExt = new QCheckBox(QStringLiteral("Usa centros de custo"), this);
    AnaExt->setObjectName(QStringLiteral("AnaExt"));
    Analitica = new QLineEdit(this);
    Analitica->setObjectName(QStringLiteral("Analitica"));
    Analitica->setPlaceholderText(QStringLiteral("ex.: 6*7"));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    new AvancoComEnter({ Designacao, PlanosExt, TipoLig, EmpCtb, AnaExt, Analitica }, OKButton, this);

    auto *campos = new QFormLayout;
    campos->addRow(QStringLiteral("Firma:"), CodFirma);
    campos->addRow(QStringLiteral("Nome:"), Designacao);
    campos->addRow(QString(), PlanosExt);
    campos->addRow(QStringLiteral("Aplicação externa:"), TipoLig);
    campos->addRow(QStringLiteral("Código na aplicação externa:"), EmpCtb);
    campos->addRow(QString(), AnaExt);
    campos->addRow(QStringLiteral("Contas com centro de custo (separadas por *):"), Analitica);
    auto *l = new QVBoxLayout(this);
    l->addLayout(campos);
    l->addLayout(linhaDeBotoes({ OKButton, CancelButton }));

    connect(OKButton, &QPushButton::clicked, this, &ParamFirmaDlg::grava);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    carrega();
}

void ParamFirmaDlg::carrega()
{
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    QSqlQuery q(db);
    if (!db.isValid()
        || !executa(q,
            QStringLiteral(
                "SELECT Designacao, Analitica, Planos_Ext, EmpCtb, Ana_Ext, Tipo_Lig FROM ParamFirma WHERE CodFirma = ?"),
            { m_codFirma }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler os parâmetros da firma."), erro);
        return;
    }
    if (!q.next()) {
        m_s.msg->informa(QStringLiteral("A firma \"%1\" não existe!").arg(m_codFirma));
        return;
    }
    Designacao->setText(q.value(0).toString().trimmed());
    Analitica->setText(q.value(1).toString().trimmed());
    PlanosExt->setChecked(q.value(2).toInt() != 0);
    EmpCtb->setText(q.value(3).toString().trimmed());
    AnaExt->setChecked(q.value(4).toInt() != 0);
    const int i = TipoLig->findData(q.value(5).toString().trimmed());
    TipoLig->setCurrentIndex(i < 0 ? 0 : i);
    m_carregado = true;
}

void ParamFirmaDlg::grava()
{
    if (!m_carregado)
        return;
    const QString nome = Designacao->text().trimmed();
    const QString tipo = TipoLig->currentData().toString();
    const QString empCtb = EmpCtb->text().trimmed();
    const QString analitica = Analitica->text().trimmed();
    if (nome.isEmpty()) {
        m_s.msg->informa(QStringLiteral("Indique o nome da firma!"));
        return;
    }
    if (!semCaracteresDeControlo(m_s.msg,
            { { QStringLiteral("Nome"), nome, Designacao }, { QStringLiteral("Código na aplicação externa"), empCtb, EmpCtb },
                { QStringLiteral("Contas com centro de custo"), analitica, Analitica } }))
        return;
    if (PlanosExt->isChecked() && tipo.isEmpty()) {
        m_s.msg->informa(QStringLiteral("Escolha a aplicação externa onde estão os planos!"));
        return;
    }
    if (empCtb.size() > 4) {
        m_s.msg->informa(QStringLiteral("O código da firma na aplicação externa tem no máximo 4 caracteres!"));
        return;
    }
    if (analitica.size() > 50) {
        m_s.msg->informa(QStringLiteral("As contas com centro de custo têm no máximo 50 caracteres!"));
        return;
    }
    // Each prefix becomes a row of the totals export's work table, whose column holds 22.
    for (const QString &prefixo : prefixosAnalitica(analitica))
        if (prefixo.size() > 22) {
            m_s.msg->informa(QStringLiteral("O prefixo de conta \"%1\" tem mais de 22 caracteres!").arg(prefixo));
            Analitica->setFocus();
            return;
        }
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    QSqlQuery q(db);
    if (!db.isValid()
        || !executa(q,
            QStringLiteral("UPDATE ParamFirma SET Designacao = ?, Analitica = ?, Planos_Ext = ?, EmpCtb = ?, Ana_Ext = ?, "
                           "Tipo_Lig = ? WHERE CodFirma = ?"),
            { nome, analitica, PlanosExt->isChecked() ? 1 : 0, empCtb, AnaExt->isChecked() ? 1 : 0, tipo, m_codFirma }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível gravar os parâmetros da firma."), erro);
        return;
    }
    // Removed meanwhile from another workstation: nothing was written.
    if (q.numRowsAffected() == 0) {
        m_s.msg->informa(QStringLiteral("A firma \"%1\" não existe!").arg(m_codFirma));
        return;
    }
    accept();
    emit gravado(m_codFirma);
}
