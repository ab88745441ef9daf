#include "models/cod_det.h"

#include "core/connection.h"
#include "core/controlos.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "models/listaopcoes.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char *const kNomesCombos[kListasCampo]
    = { "Lpcampo1", "Ltscampo1", "Lacampo1", "Ldcampo1", "Lodcampo1", "Lsdcampo1", "Ladcampo1", "Ltvcampo1" };
} // namespace

Cod_det::Cod_det(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Cod_det"));
    constroi();
    carrega();
}

Cod_det::~Cod_det() = default;

void Cod_det::constroi()
{
    setWindowTitle(QStringLiteral("Codificação do detalhe do modelo"));
    resize(640, 520);
    for (int l = 0; l < kListasCampo; ++l) {
        m_combos[l] = new DataCombo(this);
        m_combos[l]->setObjectName(QString::fromLatin1(kNomesCombos[l]));
    }
    m_Label1 = rotulo(this, "Label1", "Linhas de separação");
    QFont f = m_Label1->font();
    f.setBold(true);
    m_Label1->setFont(f);
    m_Lcampos = caixa(this, "Lcampos", 2, QStringLiteral("1"));
    m_Pcampo = caixa(this, "Pcampo", 2, QStringLiteral(" "));
    m_Ltcampo1 = caixa(this, "Ltcampo1", 3);
    m_Ltccampo1 = caixa(this, "Ltccampo1", 1, QStringLiteral("C"));
    m_Lndcampo1 = caixa(this, "Lndcampo1", 1, QStringLiteral("2"));
    // The column holds 255 characters; a longer text could not be stored.
    m_Lfcampo1 = caixa(this, "Lfcampo1", 255);
    m_InsertButton = botao(this, "InsertButton", "Gravar");
    m_AnulaButton = botao(this, "AnulaButton", "Anular");
    m_CancelButton = botao(this, "CancelButton", "Cancelar");
    m_ConfpnCommand = botao(this, "ConfpnCommand", "Confirma campo");

    auto *g = new QGridLayout;
    auto par = [&](int linha, int coluna, QLabel *l, QWidget *w) {
        l->setBuddy(w);
        g->addWidget(l, linha, coluna);
        g->addWidget(w, linha + 1, coluna);
    };
    auto *cima = new QHBoxLayout;
    cima->addWidget(m_Label1, 1);
    auto *nc = rotulo(this, "Label3", "Nº Campos");
    nc->setBuddy(m_Lcampos);
    cima->addWidget(nc);
    cima->addWidget(m_Lcampos);
    m_Lcampos->setMaximumWidth(50);

    g->addWidget(rotulo(this, "Label6", "Definições dos campos"), 0, 0, 1, 4);
    par(1, 0, rotulo(this, "Label5", "Ordem"), m_Pcampo);
    par(1, 1, rotulo(this, "Label8", "Tipo"), m_combos[LConteudo]);
    par(1, 2, rotulo(this, "Label9", "Comprimento"), m_Ltcampo1);
    par(1, 3, rotulo(this, "Label2", "(N)um  (C)ar  (D)at (S)inal"), m_Ltccampo1);
    par(3, 1, rotulo(this, "Label7", "Sinal Debito / Credito"), m_combos[LSinalDC]);
    par(5, 1, rotulo(this, "Label4", "Alinhamento  Esq / Dir"), m_combos[LAlinhamento]);
    par(7, 1, rotulo(this, "Label11", "Simbolo Decimal"), m_combos[LSimboloDecimal]);
    par(7, 2, rotulo(this, "Label13", "Casas Decimais"), m_Lndcampo1);
    par(9, 1, rotulo(this, "Label12", "Ordem da Data"), m_combos[LOrdemData]);
    par(11, 1, rotulo(this, "Label14", "Separação da Data"), m_combos[LSeparadorData]);
    par(13, 1, rotulo(this, "Label15", "Nº Digitos do ano"), m_combos[LDigitosAno]);
    par(15, 1, rotulo(this, "Label16", "Sinal Valor negativo"), m_combos[LSinalNegativo]);
    g->addWidget(m_ConfpnCommand, 16, 3);
    auto *tf = rotulo(this, "Label10", "Texto fixo");
    tf->setBuddy(m_Lfcampo1);
    g->addWidget(tf, 17, 0);
    g->addWidget(m_Lfcampo1, 18, 0, 1, 4);

    auto *v = new QVBoxLayout(this);
    v->addLayout(cima);
    v->addLayout(g);
    v->addStretch();
    v->addLayout(linhaDeBotoes({ m_InsertButton, m_AnulaButton, m_CancelButton }));

    QWidget *ordem[]
        = { m_Lcampos, m_Pcampo, m_combos[LConteudo], m_Ltcampo1, m_Ltccampo1, m_combos[LSinalDC], m_combos[LAlinhamento],
              m_combos[LSimboloDecimal], m_Lndcampo1, m_combos[LOrdemData], m_combos[LSeparadorData], m_combos[LDigitosAno],
              m_combos[LSinalNegativo], m_Lfcampo1, m_InsertButton, m_AnulaButton, m_CancelButton, m_ConfpnCommand };
    for (size_t i = 1; i < std::size(ordem); ++i)
        setTabOrder(ordem[i - 1], ordem[i]);

    connect(m_Pcampo, &QLineEdit::textChanged, this, &Cod_det::escolheCampo);
    connect(m_ConfpnCommand, &QPushButton::clicked, this, &Cod_det::confirma);
    connect(m_InsertButton, &QPushButton::clicked, this, &Cod_det::grava);
    connect(m_AnulaButton, &QPushButton::clicked, this, &Cod_det::anula);
    connect(m_CancelButton, &QPushButton::clicked, this, &Cod_det::cancela);
}

void Cod_det::carrega()
{
    m_campos = CamposLinha {};
    m_numCampos = 0;
    m_formActivo = false;
    setWindowTitle(QStringLiteral("Codificação do detalhe no modelo ") + m_s.gModelo);
    m_Label1->setText(m_s.gItemNome);

    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid()) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível abrir a base de dados do programa."), erro);
        return;
    }
    for (int l = 0; l < kListasCampo; ++l)
        if (!preencheOpcoes(m_combos[l], db, kTipoMenuCampo[l], &erro)) {
            m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler as opções do modelo."), erro);
            return;
        }

    if (!m_linha.le(db, m_s.gModelo, m_s.gItemCodigo, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler a codificação da linha do modelo."), erro);
        return;
    }
    if (!m_linha.existe()) {
        if (!m_linha.cria(db, &erro))
            m_linha.dizFalha(m_s, QStringLiteral("Não foi possível criar a codificação da linha do modelo."), erro);
        return;
    }
    const QVariant lcampos = m_linha.valor(QStringLiteral("Lcampos"));
    if (!lcampos.isNull() && !lcampos.toString().isEmpty()) {
        m_linhaGravada = true;
        m_Lcampos->setText(lcampos.toString());
        m_numCampos = inteiro16(lcampos);
        // A count above 24 (never written here) loads the 24 fields there are.
        const OpcoesLinha o = opcoes();
        for (qint16 n = 1; n <= qMin<qint16>(m_numCampos, 24); ++n)
            LeCampo(n, m_linha, m_campos, o);
    }
}

void Cod_det::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    m_formActivo = true;
}

OpcoesLinha Cod_det::opcoes() const
{
    OpcoesLinha o;
    for (int l = 0; l < kListasCampo; ++l)
        o[l] = opcoesDoCombo(m_combos[l]);
    return o;
}

void Cod_det::foca(const QString &nome)
{
    if (QWidget *w = findChild<QWidget *>(nome))
        w->setFocus();
}

void Cod_det::escolheCampo()
{
    if (!m_formActivo || m_Pcampo->text().isEmpty())
        return;
    m_numCampo = numeroDigitado(m_Pcampo->text());
    if (m_numCampo < 1 || m_numCampo > 24) {
        m_s.msg->informa(QStringLiteral("O numero de ordem tem de ser entre 1 e 24"));
        foca(QStringLiteral("Pcampo"));
        return;
    }
    CampoLinha &c = m_campos[m_numCampo];
    for (int l = 0; l < kListasCampo; ++l)
        m_combos[l]->setText(descricaoDoCampo(c, ListaCampo(l)));
    m_Ltcampo1->setText(QString::number(c.Comprimento));
    m_Lfcampo1->setText(c.TextoFixo);
    m_Lndcampo1->setText(QString::number(c.CasasDecimais));
    m_Ltccampo1->setText(c.Tipo);
    const OpcoesLinha o = opcoes();
    for (int l = 0; l < kListasCampo; ++l) {
        procuraOpcaoCampo(c, ListaCampo(l), o);
        if (!o[l].isEmpty())
            m_combos[l]->setText(descricaoDoCampo(c, ListaCampo(l)));
    }
}

void Cod_det::confirma()
{
    // A fixed text may hold a tab, which can separate fields in a text line; no other control
    // character has a place in one line.
    if (!semCaracteresDeControlo(
            m_s.msg, { { QStringLiteral("Texto fixo"), m_Lfcampo1->text(), m_Lfcampo1, QStringLiteral("\t") } }))
        return;
    ControlosCampo c;
    c.Pcampo = m_Pcampo->text();
    c.Lpcampo1 = m_combos[LConteudo]->text();
    c.Ltcampo1 = m_Ltcampo1->text();
    c.Ltccampo1 = m_Ltccampo1->text();
    c.Ltscampo1 = m_combos[LSinalDC]->text();
    c.Lacampo1 = m_combos[LAlinhamento]->text();
    c.Ldcampo1 = m_combos[LSimboloDecimal]->text();
    c.Lndcampo1 = m_Lndcampo1->text();
    c.Lodcampo1 = m_combos[LOrdemData]->text();
    c.Lsdcampo1 = m_combos[LSeparadorData]->text();
    c.Ladcampo1 = m_combos[LDigitosAno]->text();
    c.Ltvcampo1 = m_combos[LSinalNegativo]->text();
    c.Lfcampo1 = m_Lfcampo1->text();
    const QString letraAntes = c.Ltccampo1;
    QList<ListaCampo> consultadas;
    const OpcoesLinha o = opcoes();
    const FalhaCampo f = confirmaCampo(c, m_campos, o, &m_numCampo, &consultadas);
    if (c.Ltccampo1 != letraAntes)
        m_Ltccampo1->setText(c.Ltccampo1);
    if (m_numCampo >= 1 && m_numCampo <= 24)
        for (ListaCampo l : consultadas)
            if (!o[l].isEmpty())
                m_combos[l]->setText(descricaoDoCampo(m_campos[m_numCampo], l));
    if (!f.ok()) {
        m_s.msg->informa(f.mensagem);
        foca(f.foco);
    }
}

void Cod_det::grava()
{
    m_numCampos = numeroDigitado(m_Lcampos->text());
    if (!validaLinha(m_numCampos, m_campos, opcoes())) {
        m_s.msg->informa(QStringLiteral("A linha está mal definida"));
        foca(QStringLiteral("Lcampos"));
        return;
    }
    m_linha.limpaAtribuicoes();
    m_linha.atribui(QStringLiteral("Lcampos"), int(m_numCampos));
    for (qint16 n = 1; n <= m_numCampos; ++n)
        GravaCampo(n, m_campos, m_linha);
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid() || !m_linha.grava(db, &erro)) {
        m_linha.dizFalha(m_s, QStringLiteral("Não foi possível gravar a codificação da linha do modelo."), erro);
        return;
    }
    accept();
}

void Cod_det::anula()
{
    if (RegistoItem::anula(m_s, QStringLiteral("da linha do modelo")))
        accept();
}

void Cod_det::cancela()
{
    // In a new model an item not yet saved is discarded; a line saved in an earlier visit stays.
    if (!m_s.gAlteraModelo && !m_linhaGravada) {
        anula();
        return;
    }
    reject();
}
