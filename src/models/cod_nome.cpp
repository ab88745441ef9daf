#include "models/cod_nome.h"

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
// The option with that code, or the list's first option; null when the list is empty.
const Opcao *opcaoDoCodigo(const ListaOpcoes &l, const QVariant &codigo)
{
    if (l.isEmpty())
        return nullptr;
    if (!codigo.isNull()) {
        const qint16 c = inteiro16(codigo);
        for (const Opcao &o : l)
            if (o.codigo == c)
                return &o;
    }
    return &l.first();
}
} // namespace

Cod_nome::Cod_nome(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Cod_nome"));
    constroi();
    carrega();
}

Cod_nome::~Cod_nome() = default;

void Cod_nome::constroi()
{
    setWindowTitle(QStringLiteral("Codificação do nome e extensão do modelo "));
    resize(745, 330);
    auto *g = new QGridLayout;

    auto cabecalho = [&](int linha, QLabel *l) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        g->addWidget(l, linha, 0, 1, 5);
    };
    auto par = [&](int linha, int coluna, QLabel *l, QWidget *w) {
        l->setBuddy(w);
        g->addWidget(l, linha, coluna);
        g->addWidget(w, linha + 1, coluna);
    };

    cabecalho(0, rotulo(this, "Label7", "Nome"));
    m_Fnome = listaDados(this, "Fnome");
    m_Fpnome = caixa(this, "Fpnome", 1);
    m_Ffnome = caixa(this, "Ffnome", 10);
    par(1, 0, rotulo(this, "Label2", "Tipo"), m_Fnome);
    par(1, 1, rotulo(this, "Label3", "Nº Partes"), m_Fpnome);
    par(1, 2, rotulo(this, "Label4", "Texto fixo"), m_Ffnome);

    cabecalho(3, rotulo(this, "Label6", "Partes do nome"));
    m_Pnome = caixa(this, "Pnome", 1);
    m_Fpnome1 = listaDados(this, "Fpnome1");
    m_Ftnome1 = caixa(this, "Ftnome1", 2);
    m_Ffnome1 = caixa(this, "Ffnome1", 10);
    m_ConfpnCommand = botao(this, "ConfpnCommand", "Confirma parte");
    par(4, 0, rotulo(this, "Label5", "Ordem"), m_Pnome);
    par(4, 1, rotulo(this, "Label8", "Tipo"), m_Fpnome1);
    par(4, 2, rotulo(this, "Label9", "Comprimento"), m_Ftnome1);
    par(4, 3, rotulo(this, "Label10", "Texto fixo"), m_Ffnome1);
    g->addWidget(m_ConfpnCommand, 5, 4);

    cabecalho(6, rotulo(this, "Label11", "Extensão"));
    m_Fext = listaDados(this, "Fext");
    m_Fpext = caixa(this, "Fpext", 1);
    m_Ffext = caixa(this, "Ffext", 3);
    par(7, 0, rotulo(this, "Label12", "Tipo"), m_Fext);
    par(7, 1, rotulo(this, "Label13", "Nº Partes"), m_Fpext);
    par(7, 2, rotulo(this, "Label14", "Texto fixo"), m_Ffext);

    cabecalho(9, rotulo(this, "Label15", "Partes da extensão"));
    m_Pext = caixa(this, "Pext", 1);
    m_Fpext1 = listaDados(this, "Fpext1");
    m_Ftext1 = caixa(this, "Ftext1", 1);
    m_Ffext1 = caixa(this, "Ffext1", 3);
    m_ConfpeCommand = botao(this, "ConfpeCommand", "Confirma parte");
    par(10, 0, rotulo(this, "Label18", "Ordem"), m_Pext);
    par(10, 1, rotulo(this, "Label1", "Tipo"), m_Fpext1);
    par(10, 2, rotulo(this, "Label16", "Comprimento"), m_Ftext1);
    par(10, 3, rotulo(this, "Label17", "Texto fixo"), m_Ffext1);
    g->addWidget(m_ConfpeCommand, 11, 4);

    m_InsertButton = botao(this, "InsertButton", "Gravar");
    m_AnulaButton = botao(this, "AnulaButton", "Anular");
    m_CancelButton = botao(this, "CancelButton", "Cancelar");

    auto *v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addStretch();
    v->addLayout(linhaDeBotoes({ m_InsertButton, m_AnulaButton, m_CancelButton }));

    QWidget *ordem[] = { m_Fnome, m_Fpnome, m_Ffnome, m_Pnome, m_Fpnome1, m_Ftnome1, m_Ffnome1, m_Fext, m_Fpext, m_Ffext, m_Pext,
        m_Fpext1, m_Ftext1, m_Ffext1, m_InsertButton, m_CancelButton, m_ConfpnCommand, m_ConfpeCommand, m_AnulaButton };
    for (size_t i = 1; i < std::size(ordem); ++i)
        setTabOrder(ordem[i - 1], ordem[i]);

    connect(m_Pnome, &QLineEdit::textChanged, this, &Cod_nome::escolheParteNome);
    connect(m_Pext, &QLineEdit::textChanged, this, &Cod_nome::escolheParteExtensao);
    connect(m_ConfpnCommand, &QPushButton::clicked, this, &Cod_nome::confirmaParteNome);
    connect(m_ConfpeCommand, &QPushButton::clicked, this, &Cod_nome::confirmaParteExtensao);
    connect(m_InsertButton, &QPushButton::clicked, this, &Cod_nome::grava);
    connect(m_AnulaButton, &QPushButton::clicked, this, &Cod_nome::anula);
    connect(m_CancelButton, &QPushButton::clicked, this, &Cod_nome::reject);
}

void Cod_nome::carrega()
{
    setWindowTitle(QStringLiteral("Codificação de ") + m_s.gItemNome + QStringLiteral(" no modelo ") + m_s.gModelo);

    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid()) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível abrir a base de dados do programa."), erro);
        return;
    }
    const std::pair<DataCombo *, int> listas[] = { { m_Fnome, 2 }, { m_Fpnome1, 4 }, { m_Fext, 3 }, { m_Fpext1, 5 } };
    for (const auto &[c, tipo] : listas) {
        if (!preencheOpcoes(c, db, tipo, &erro)) {
            m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler as opções do modelo."), erro);
            return;
        }
        if (c->rowCount() > 0)
            c->setText(c->row(0).value(QStringLiteral("designacao")).toString().trimmed());
    }

    if (!m_linha.le(db, m_s.gModelo, m_s.gItemCodigo, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler a codificação do nome do modelo."), erro);
        return;
    }
    if (!m_linha.existe()) {
        if (!m_linha.cria(db, &erro))
            m_linha.dizFalha(m_s, QStringLiteral("Não foi possível criar a codificação do nome do modelo."), erro);
        return;
    }

    const ListaOpcoes tiposNome = opcoesDoCombo(m_Fnome), tiposExt = opcoesDoCombo(m_Fext);
    const Opcao *nome = opcaoDoCodigo(tiposNome, m_linha.valor(QStringLiteral("Fnome")));
    if (nome)
        m_Fnome->setText(nome->designacao.trimmed());
    const Opcao *ext = opcaoDoCodigo(tiposExt, m_linha.valor(QStringLiteral("Fext")));
    if (ext)
        m_Fext->setText(ext->designacao.trimmed());

    const QString ffnome = m_linha.valor(QStringLiteral("Ffnome")).toString();
    if (!ffnome.isEmpty())
        m_Ffnome->setText(ffnome.trimmed());
    m_numPartesNome = 0;
    if (!m_linha.nulo(QStringLiteral("Fpnome"))) {
        m_Fpnome->setText(m_linha.valor(QStringLiteral("Fpnome")).toString());
        m_numPartesNome = inteiro16(m_linha.valor(QStringLiteral("Fpnome")));
    }
    const QString ffext = m_linha.valor(QStringLiteral("Ffext")).toString();
    if (!ffext.isEmpty())
        m_Ffext->setText(ffext.trimmed());
    m_numPartesExtensao = 0;
    if (!m_linha.nulo(QStringLiteral("Fpext"))) {
        m_Fpext->setText(m_linha.valor(QStringLiteral("Fpext")).toString());
        m_numPartesExtensao = inteiro16(m_linha.valor(QStringLiteral("Fpext")));
    }

    if (nome && nome->codigo == 1) {
        m_numPartesNome = numeroDigitado(m_Fpnome->text());
        const ListaOpcoes tipos = opcoesDoCombo(m_Fpnome1);
        for (int n = 1; n <= 4; ++n)
            if (n == 1 || m_numPartesNome >= n)
                leParte(n, m_partesNome[n], "nome", tipos);
    }
    if (ext && ext->codigo == 1) {
        m_numPartesExtensao = numeroDigitado(m_Fpext->text());
        const ListaOpcoes tipos = opcoesDoCombo(m_Fpext1);
        for (int n = 1; n <= 3; ++n)
            if (n == 1 || m_numPartesExtensao >= n)
                leParte(n, m_partesExtensao[n], "ext", tipos);
    }
}

void Cod_nome::leParte(int n, ParteFicheiro &p, const char *sufixo, const ListaOpcoes &tipos)
{
    const QString s = QString::fromLatin1(sufixo);
    // Columns left Null by another program read as 0 and empty text.
    p.TipoParte = inteiro16(m_linha.valor(QStringLiteral("Fp%1%2").arg(s).arg(n)));
    p.ComprimentoParte = inteiro16(m_linha.valor(QStringLiteral("Ft%1%2").arg(s).arg(n)));
    p.TextoParte = m_linha.valor(QStringLiteral("Ff%1%2").arg(s).arg(n)).toString().trimmed();
    if (const Opcao *t = opcaoDoCodigo(tipos, int(p.TipoParte))) {
        p.DescTipoParte = t->designacao.trimmed();
        p.TipoParte = t->codigo;
    }
}

void Cod_nome::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    m_activoNome = true;
    m_activoExtensao = true;
}

void Cod_nome::mostraParte(QLineEdit *ordem, int maximo, ParteFicheiro *partes, const ListaOpcoes &tipos, DataCombo *tipo,
    QLineEdit *comprimento, QLineEdit *texto)
{
    if (ordem->text().isEmpty())
        return;
    const qint16 n = numeroDigitado(ordem->text());
    if (n < 1 || n > maximo)
        return;
    ParteFicheiro &p = partes[n];
    tipo->setText(p.DescTipoParte.trimmed());
    comprimento->setText(QString::number(p.ComprimentoParte));
    texto->setText(p.TextoParte.trimmed());
    for (const Opcao &o : tipos)
        if (o.designacao.trimmed() == p.DescTipoParte) {
            p.TipoParte = o.codigo;
            break;
        }
}

void Cod_nome::escolheParteNome()
{
    if (m_activoNome)
        mostraParte(m_Pnome, 4, m_partesNome.data(), opcoesDoCombo(m_Fpnome1), m_Fpnome1, m_Ftnome1, m_Ffnome1);
}

void Cod_nome::escolheParteExtensao()
{
    if (m_activoExtensao)
        mostraParte(m_Pext, 3, m_partesExtensao.data(), opcoesDoCombo(m_Fpext1), m_Fpext1, m_Ftext1, m_Ffext1);
}

void Cod_nome::avisa(const FalhaCampo &f)
{
    m_s.msg->informa(f.mensagem);
    if (QWidget *w = findChild<QWidget *>(f.foco))
        w->setFocus();
}

void Cod_nome::confirmaParteNome()
{
    if (!semCaracteresDeControlo(m_s.msg, { { QStringLiteral("Texto fixo da parte do nome"), m_Ffnome1->text(), m_Ffnome1 } }))
        return;
    const FalhaCampo f = confirmaParte(m_Pnome->text(), 4, QStringLiteral("Pnome"), m_Fpnome1->text(), m_Ftnome1->text(),
        m_Ffnome1->text(), m_partesNome.data());
    if (!f.ok())
        avisa(f);
}

void Cod_nome::confirmaParteExtensao()
{
    if (!semCaracteresDeControlo(m_s.msg, { { QStringLiteral("Texto fixo da parte da extensão"), m_Ffext1->text(), m_Ffext1 } }))
        return;
    const FalhaCampo f = confirmaParte(
        m_Pext->text(), 3, QStringLiteral("Pext"), m_Fpext1->text(), m_Ftext1->text(), m_Ffext1->text(), m_partesExtensao.data());
    if (!f.ok())
        avisa(f);
}

NomeExtensao Cod_nome::estado()
{
    NomeExtensao e;
    e.Fnome = m_Fnome->text();
    e.Fext = m_Fext->text();
    e.Ffnome = m_Ffnome->text();
    e.Ffext = m_Ffext->text();
    e.Fpnome = m_Fpnome->text();
    e.Fpext = m_Fpext->text();
    e.tiposNome = opcoesDoCombo(m_Fnome);
    e.tiposExtensao = opcoesDoCombo(m_Fext);
    e.tiposParteNome = opcoesDoCombo(m_Fpnome1);
    e.tiposParteExtensao = opcoesDoCombo(m_Fpext1);
    e.PartesNome = m_partesNome;
    e.PartesExtensao = m_partesExtensao;
    e.NumPartesNome = m_numPartesNome;
    e.NumPartesExtensao = m_numPartesExtensao;
    return e;
}

void Cod_nome::grava()
{
    // Part texts were checked as each part was confirmed.
    if (!semCaracteresDeControlo(m_s.msg,
            { { QStringLiteral("Texto fixo do nome"), m_Ffnome->text(), m_Ffnome },
                { QStringLiteral("Texto fixo da extensão"), m_Ffext->text(), m_Ffext } }))
        return;
    NomeExtensao e = estado();
    const ValidacaoNome v = validaNomeExtensao(e);
    m_partesNome = e.PartesNome;
    m_partesExtensao = e.PartesExtensao;
    m_numPartesNome = e.NumPartesNome;
    m_numPartesExtensao = e.NumPartesExtensao;
    if (!v.ok()) {
        m_s.msg->informa(v.falha.mensagem);
        if (!v.ordemNome.isNull())
            m_Pnome->setText(v.ordemNome);
        if (!v.ordemExtensao.isNull())
            m_Pext->setText(v.ordemExtensao);
        if (QWidget *w = findChild<QWidget *>(v.falha.foco))
            w->setFocus();
        return;
    }
    m_linha.limpaAtribuicoes();
    gravaNomeExtensao(e, v, m_linha);
    m_numPartesNome = e.NumPartesNome;
    m_numPartesExtensao = e.NumPartesExtensao;
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid() || !m_linha.grava(db, &erro)) {
        m_linha.dizFalha(m_s, QStringLiteral("Não foi possível gravar a codificação do nome do modelo."), erro);
        return;
    }
    accept();
}

void Cod_nome::anula()
{
    if (RegistoItem::anula(m_s, QStringLiteral("do nome do modelo")))
        accept();
}
