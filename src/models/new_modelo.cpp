#include "models/new_modelo.h"

#include "core/connection.h"
#include "core/controlos.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "models/cod_modelo.h"
#include "models/listaopcoes.h"
#include "models/valorescaixa.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
QLineEdit *caixaContagem(QWidget *pai, const char *nome, const char *texto)
{
    return caixa(pai, nome, 2, QString::fromLatin1(texto));
}

} // namespace

CabecalhoModelo::CabecalhoModelo(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    tipodet = new DataCombo(this);
    tipodet->setObjectName(QStringLiteral("tipodet"));
    nlincab = caixaContagem(this, "nlincab", "1");
    nlinini = caixaContagem(this, "nlinini", "1");
    nlinsep = caixaContagem(this, "nlinsep", "0");
    nlinfim = caixaContagem(this, "nlinfim", "0");
    CodButton = new QPushButton(QStringLiteral("Codificar"), this);
    CodButton->setObjectName(QStringLiteral("CodButton"));
    CodButton->setAutoDefault(false);
    CancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);

    m_grelha = new QGridLayout(this);
    m_grelha->addWidget(rotulo(this, "Label1", QStringLiteral("Modelo")), 0, 0);
    m_grelha->addWidget(rotulo(this, "Label2", QStringLiteral("Tipo de detalhe")), 0, 1, 1, 3);
    m_grelha->addWidget(tipodet, 1, 1, 1, 3);
    m_grelha->addWidget(rotulo(this, "Label8", QStringLiteral("Nº Linhas Cab")), 2, 0);
    m_grelha->addWidget(rotulo(this, "Label7", QStringLiteral("Nº Linhas Ini")), 2, 1);
    m_grelha->addWidget(rotulo(this, "Label9", QStringLiteral("Nº Linhas Sep")), 2, 2);
    m_grelha->addWidget(rotulo(this, "Label11", QStringLiteral("Nº Linhas Fim")), 2, 3);
    m_grelha->addWidget(nlincab, 3, 0);
    m_grelha->addWidget(nlinini, 3, 1);
    m_grelha->addWidget(nlinsep, 3, 2);
    m_grelha->addWidget(nlinfim, 3, 3);
    auto *botoes = new QHBoxLayout;
    botoes->addStretch();
    botoes->addWidget(CodButton);
    botoes->addWidget(CancelButton);
    botoes->addStretch();
    m_grelha->addLayout(botoes, 4, 0, 1, 4);
    m_grelha->setColumnStretch(1, 1);
    resize(520, 170);

    connect(CodButton, &QPushButton::clicked, this, &CabecalhoModelo::codifica);
    connect(CancelButton, &QPushButton::clicked, this, &QWidget::close);

    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    m_listaLida = db.isValid() && preencheOpcoes(tipodet, db, 13, &erro);
    if (!m_listaLida)
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler os tipos de detalhe."), erro);
}

void CabecalhoModelo::colocaNome(QWidget *nome)
{
    m_grelha->addWidget(nome, 1, 0);
}

QVariantList CabecalhoModelo::contagens() const
{
    QVariantList v;
    for (const QLineEdit *c : { nlincab, nlinini, nlinsep, nlinfim })
        v << int(numeroDaCaixa(c->text()));
    return v;
}

void CabecalhoModelo::mostraTipoDetalhe(int codigo)
{
    for (int i = 0; i < tipodet->rowCount(); ++i) {
        const QSqlRecord r = tipodet->row(i);
        if (r.value(QStringLiteral("codigo")).toInt() == codigo) {
            tipodet->setText(r.value(QStringLiteral("designacao")).toString());
            return;
        }
    }
}

void CabecalhoModelo::codifica()
{
    if (nomeMostrado().isEmpty() || nlincab->text().isEmpty() || nlinini->text().isEmpty() || nlinsep->text().isEmpty()
        || nlinfim->text().isEmpty()) {
        focaNome();
        return;
    }
    for (QLineEdit *c : { nlincab, nlinini, nlinsep, nlinfim })
        if (!contagemDeLinhasValida(c->text())) {
            m_s.msg->informa(QStringLiteral("O número de linhas tem de ser um número inteiro de 0 a 99."));
            c->setFocus();
            return;
        }
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid()) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível guardar o modelo."), erro);
        return;
    }
    QVariant id;
    if (!verificaNome(db, &id))
        return;
    // A list that could not be read or is empty offers no detail type: nothing is saved.
    if (!m_listaLida || tipodet->rowCount() == 0)
        return;
    int tipoDetalhe = 0;
    if (!codigoDaOpcao(tipodet, &tipoDetalhe)) {
        tipodet->setFocus();
        return;
    }
    if (!escreve(db, id, tipoDetalhe))
        return;
    m_s.gModelo = nomeMostrado().trimmed();
    auto *cod = new Cod_Modelo(m_s, this);
    cod->setAttribute(Qt::WA_DeleteOnClose);
    cod->exec();
    close();
}

New_Modelo::New_Modelo(Session &s, QWidget *parent)
    : CabecalhoModelo(s, parent)
{
    setObjectName(QStringLiteral("New_Modelo"));
    setWindowTitle(QStringLiteral("Novo modelo"));
    modelo = new QLineEdit(this);
    modelo->setObjectName(QStringLiteral("modelo"));
    modelo->setMaxLength(kTamanhoNomeModelo);
    colocaNome(modelo);
    setTabOrder(modelo, tipodet);
    modelo->setFocus();
}

QString New_Modelo::nomeMostrado() const
{
    return modelo->text();
}

void New_Modelo::focaNome()
{
    modelo->setFocus();
}

bool New_Modelo::verificaNome(QSqlDatabase db, QVariant *)
{
    modelo->setText(modelo->text().trimmed());
    // A name of blanks only would be stored empty.
    if (modelo->text().isEmpty()) {
        modelo->setFocus();
        return false;
    }
    if (!semCaracteresDeControlo(m_s.msg, { { QStringLiteral("Modelo"), modelo->text(), modelo } }))
        return false;
    QSqlQuery q(db);
    QString erro;
    if (!executa(q, QStringLiteral("SELECT * FROM modexptxt where ") + condicaoNomeModelo(),
            { nomeModeloComparado(modelo->text()) }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível verificar o modelo."), erro);
        return false;
    }
    if (q.next()) {
        m_s.msg->informa(QStringLiteral("O modelo já foi definido"));
        modelo->setFocus();
        return false;
    }
    return true;
}

bool New_Modelo::escreve(QSqlDatabase db, const QVariant &, int tipoDetalhe)
{
    QSqlQuery q(db);
    QString erro;
    // The unique name index skips a model that another workstation has just defined.
    if (!executa(q,
            QStringLiteral("INSERT INTO Modexptxt (Modelo, Activo, TipoDet, NlinCab, NlinIni, NlinSep, NlinFim) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"),
            QVariantList { nomeModeloGuardado(modelo->text()), 0, tipoDetalhe } + contagens(), &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível guardar o modelo."), erro);
        return false;
    }
    if (q.numRowsAffected() == 0) {
        m_s.msg->informa(QStringLiteral("O modelo já foi definido"));
        modelo->setFocus();
        return false;
    }
    return true;
}

Alt_Modelo::Alt_Modelo(Session &s, QWidget *parent)
    : CabecalhoModelo(s, parent)
{
    setObjectName(QStringLiteral("Alt_Modelo"));
    setWindowTitle(QStringLiteral("Alteração de modelos"));
    Modelo = new DataCombo(this);
    Modelo->setObjectName(QStringLiteral("Modelo"));
    colocaNome(Modelo);
    setTabOrder(Modelo, tipodet);
    connect(Modelo, &DataCombo::textChanged, this, &Alt_Modelo::modeloMudou);

    if (preencheModelos(Modelo, m_s) && Modelo->rowCount() > 0) {
        mostraModelo(0);
    }
    mostraTipoDetalhe(m_tipoDet);
    Modelo->setFocus();
}

void Alt_Modelo::showEvent(QShowEvent *e)
{
    CabecalhoModelo::showEvent(e);
    // The texts set while loading must not count as the user's choice.
    m_activado = true;
}

void Alt_Modelo::mostraModelo(int linha)
{
    const QSqlRecord r = Modelo->row(linha);
    Modelo->setText(r.value(QStringLiteral("Modelo")).toString());
    m_tipoDet = static_cast<qint16>(r.value(QStringLiteral("TipoDet")).toInt());
    nlincab->setText(r.value(QStringLiteral("NlinCab")).toString());
    nlinini->setText(r.value(QStringLiteral("NlinIni")).toString());
    nlinsep->setText(r.value(QStringLiteral("NlinSep")).toString());
    nlinfim->setText(r.value(QStringLiteral("NlinFim")).toString());
}

void Alt_Modelo::modeloMudou()
{
    if (!m_activado || Modelo->rowCount() == 0 || Modelo->text().isEmpty())
        return;
    // Exact: stored names are padded to ten characters, so a name picked from the list
    // matches and a shorter typed one does not; the boxes then keep what they show.
    const int linha = Modelo->findRow(Modelo->text());
    if (linha < 0)
        return;
    mostraModelo(linha);
    mostraTipoDetalhe(m_tipoDet);
}

QString Alt_Modelo::nomeMostrado() const
{
    return Modelo->text();
}

void Alt_Modelo::focaNome()
{
    Modelo->setFocus();
}

bool Alt_Modelo::verificaNome(QSqlDatabase db, QVariant *id)
{
    if (!semCaracteresDeControlo(m_s.msg, { { QStringLiteral("Modelo"), Modelo->text(), Modelo } }))
        return false;
    QSqlQuery q(db);
    QString erro;
    if (!executa(q, QStringLiteral("SELECT * FROM modexptxt where ") + condicaoNomeModelo(),
            { nomeModeloComparado(Modelo->text()) }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível verificar o modelo."), erro);
        return false;
    }
    if (!q.next()) {
        m_s.msg->informa(QStringLiteral("O modelo não está definido"));
        Modelo->setFocus();
        return false;
    }
    *id = q.record().value(QStringLiteral("Id"));
    return true;
}

bool Alt_Modelo::escreve(QSqlDatabase db, const QVariant &id, int tipoDetalhe)
{
    QSqlQuery q(db);
    QString erro;
    // The header found by the lookup; its name and Activo stay as they are.
    if (!executa(q,
            QStringLiteral("UPDATE Modexptxt SET TipoDet = ?, NlinCab = ?, NlinIni = ?, NlinSep = ?, NlinFim = ? WHERE Id = ?"),
            QVariantList { tipoDetalhe } + contagens() + QVariantList { id }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível guardar o modelo."), erro);
        return false;
    }
    if (q.numRowsAffected() == 0) {
        // Deleted at another workstation since the lookup.
        m_s.msg->informa(QStringLiteral("O modelo não está definido"));
        Modelo->setFocus();
        return false;
    }
    return true;
}
