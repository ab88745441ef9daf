#include "reports/consulttable.h"

#include "core/connection.h"
#include "core/controlos.h"
#include "core/datacombo.h"
#include "core/exportaexcel.h"
#include "core/mensagens.h"
#include "core/session.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSqlQuery>
#include <QVBoxLayout>

namespace {

// Every list query starts with the same columns, which are also the grid's columns 0 to 18.
// Names in mixed case are quoted so that the exported sheet heads them alike on PostgreSQL.
const QString kCabeca = QStringLiteral(
    "SELECT ref as \"ref\",codFirma as \"codFirma\",descr as \"Descrição\",valor as \"valor\",mes as \"mes\",ano as \"ano\","
    "analitica as \"analitica\",nDoc as \"nDoc\",cpocDeb as \"cpocDeb\", cpocCre as \"cpocCre\",ttctb as \"ttctb\", "
    "Moeda as \"Moeda\", Valor_Ori as \"Valor_Ori\", Datactb as \"Datactb\", LinhaDeb as \"LinhaDeb\", "
    "LinhaCre as \"LinhaCre\", diario as \"diario\", numdiario as \"numdiario\", ConExport as \"ConExport\" FROM Molvar WHERE ");
const QString kOrdem = QStringLiteral(" order by ref,ano,mes,analitica");

// A line is integrated only when TTCTB is "1"; any other value, Null included, is open.
// The counts and the deletion use this one rule, so what was counted as open is what goes.
const QString kAberta = QStringLiteral("(TTCTB IS NULL OR TTCTB <> '1')");

// A whole number typed into a filter (blanks around it allowed); false for anything else.
bool inteiro(const QString &texto, int *valor)
{
    static const QRegularExpression re(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    if (!re.match(texto).hasMatch())
        return false;
    bool ok = false;
    *valor = texto.trimmed().toInt(&ok);
    return ok;
}

} // namespace

ConsultTable::ConsultTable(Session &s, QWidget *parent)
    : QWidget(parent)
    , m_s(s)
    , m_refEscolhida(QString())
{
    setObjectName(QStringLiteral("ConsultTable"));
    setWindowTitle(QStringLiteral("Consulta"));
    setAttribute(Qt::WA_DeleteOnClose);
    colocaNoCantoAoMostrar(this);

    Frame1 = new QGroupBox(QStringLiteral("Procura"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *filtros = new QGridLayout(Frame1);

    DataCombo1 = listaDados(Frame1, "DataCombo1");
    anoInic1 = caixa(Frame1, "anoInic1", 4);
    mesInic1 = caixa(Frame1, "mesInic1", 2);
    Text1 = caixa(Frame1, "Text1", 30);
    Text2 = caixa(Frame1, "Text2", 8);
    for (QLineEdit *e : { anoInic1, mesInic1, Text1, Text2 })
        e->installEventFilter(this);
    Label1 = rotulo(Frame1, "Label1", QStringLiteral("Referência"), DataCombo1);
    Label2 = rotulo(Frame1, "Label2", QStringLiteral("Ano"), anoInic1);
    Label3 = rotulo(Frame1, "Label3", QStringLiteral("Mês"), mesInic1);
    Label4 = rotulo(Frame1, "Label4", QStringLiteral("Descrição"), Text1);
    Label5 = rotulo(Frame1, "Label5", QStringLiteral("Ndoc"), Text2);
    Command5 = botao(Frame1, "Command5", QStringLiteral("Ok"));

    filtros->addWidget(Label1, 0, 0);
    filtros->addWidget(DataCombo1, 0, 1);
    filtros->addWidget(Label2, 0, 2);
    filtros->addWidget(anoInic1, 0, 3);
    filtros->addWidget(Label3, 0, 4);
    filtros->addWidget(mesInic1, 0, 5);
    filtros->addWidget(Command5, 0, 6);
    filtros->addWidget(Label4, 1, 0);
    filtros->addWidget(Text1, 1, 1, 1, 3);
    filtros->addWidget(Label5, 1, 4);
    filtros->addWidget(Text2, 1, 5);
    filtros->setColumnStretch(1, 2);
    filtros->setColumnStretch(3, 1);
    filtros->setColumnStretch(5, 1);

    DataGrid1 = new DataGrid(this);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    tituloGrelha = rotulo(this, "tituloGrelha", QStringLiteral("Movimentos Molvaralizados"), DataGrid1);
    DataGrid1->setAccessibleName(tituloGrelha->text());
    DataGrid1->viewport()->installEventFilter(this);
    // Tab leaves the grid for the filters instead of walking its cells.
    DataGrid1->setTabKeyNavigation(false);
    // Valor and Valor_Ori always show their cents; the integration date reads dd-mm-aaaa.
    DataGrid1->setFormato(3, FormatoColuna::Monetaria);
    DataGrid1->setFormato(12, FormatoColuna::Monetaria);
    DataGrid1->setFormato(13, FormatoColuna::Data);

    Command2 = botao(this, "Command2", QStringLiteral("Apagar"));
    Command3 = botao(this, "Command3", QStringLiteral("Exportar"));
    Command1 = botao(this, "Command1", QStringLiteral("Sair"));

    auto *botoes = new QHBoxLayout;
    botoes->addWidget(Command2);
    botoes->addWidget(Command3);
    botoes->addStretch(1);
    botoes->addWidget(Command1);
    auto *principal = new QVBoxLayout(this);
    principal->addWidget(Frame1);
    principal->addWidget(tituloGrelha);
    principal->addWidget(DataGrid1, 1);
    principal->addLayout(botoes);

    setTabOrder(DataGrid1, DataCombo1);
    setTabOrder(DataCombo1, anoInic1);
    setTabOrder(anoInic1, mesInic1);
    setTabOrder(mesInic1, Command5);
    setTabOrder(Command5, Command1);
    setTabOrder(Command1, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command2);
    setTabOrder(Command2, Command3);

    connect(DataCombo1, &DataCombo::focusEntered, this, [this] { focoEmFiltro(DataCombo1); });
    connect(DataCombo1, &DataCombo::enterPressed, this, &ConsultTable::procura);
    connect(Command5, &QPushButton::clicked, this, &ConsultTable::procura);
    connect(Command2, &QPushButton::clicked, this, &ConsultTable::apaga);
    connect(Command3, &QPushButton::clicked, this, &ConsultTable::exporta);
    connect(Command1, &QPushButton::clicked, this, &ConsultTable::sair);

    resize(900, 560);
    carrega();
    DataGrid1->setFocus();
}

QList<ColunaGrelha> ConsultTable::layoutRedimensionado()
{
    return { { QStringLiteral("Referencia"), 1000 }, { QStringLiteral("CodFirma"), 1000 }, { QStringLiteral("Descrição"), 5000 },
        { QStringLiteral("Valor"), 1000 }, { QStringLiteral("Mês"), 1000 }, { QStringLiteral("Ano"), 1000 },
        { QStringLiteral("CCusto"), 2000 }, { QStringLiteral("Ndoc"), 1000 }, { QStringLiteral("Conta Deb"), 3000 },
        { QStringLiteral("Conta Cre"), 3000 }, { QStringLiteral("Int.Contab."), 1000 }, { QStringLiteral("Moeda"), 1000 },
        { QStringLiteral("Valor Ori."), 1000 }, { QStringLiteral("Data Int."), 1000 }, { QStringLiteral("Linha Deb"), 1000 },
        { QStringLiteral("Linha Cred"), 1000 }, { QStringLiteral("Diario"), 1000 }, { QStringLiteral("Num Diario"), 1000 },
        { QStringLiteral("Cont. Export."), 1000 } };
}

QList<ColunaGrelha> ConsultTable::layoutOk()
{
    QList<ColunaGrelha> l = layoutRedimensionado();
    l[0].larguraTwips = 2000;
    return l;
}

void ConsultTable::carrega()
{
    anoInic1->clear();
    mesInic1->clear();
    carregaReferencias();
    const QString sql = kCabeca + QStringLiteral("CodFirma = ?") + kOrdem;
    const QVariantList params { m_s.gCodFirma };
    if (mostraLista(sql, params)) {
        m_sqlGrelha = sql;
        m_paramsGrelha = params;
    }
}

bool ConsultTable::carregaReferencias()
{
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (db.isValid()
        && DataCombo1->setRowSource(db, QStringLiteral("SELECT DISTINCT Ref FROM Molvar WHERE CodFirma = ? order by ref"),
            { m_s.gCodFirma }, QStringLiteral("Ref"), QString(), &erro))
        return true;
    if (m_s.msg)
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler as referências das molvaralizações."), erro);
    return false;
}

bool ConsultTable::mostraLista(const QString &sql, const QVariantList &params)
{
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (!db.isValid() || !DataGrid1->setQuery(db, sql, params, &erro)) {
        DataGrid1->limpa();
        if (m_s.msg)
            m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler a lista de molvaralizações."), erro);
        return false;
    }
    DataGrid1->vaiParaUltima();
    return true;
}

void ConsultTable::procura()
{
    QString condicao;
    QVariantList params;
    auto recusa = [this](const QString &texto) {
        if (m_s.msg)
            m_s.msg->informa(texto, QString(), Mensagens::Icone::Exclamacao);
    };
    if (!semCaracteresDeControlo(m_s.msg,
            { { Label1->text(), DataCombo1->text(), DataCombo1 }, { Label4->text(), Text1->text(), Text1 },
                { Label5->text(), Text2->text(), Text2 }, { Label2->text(), anoInic1->text(), anoInic1 },
                { Label3->text(), mesInic1->text(), mesInic1 } }))
        return;
    // At most one filter holds a value in normal use; should several, the first in this order applies.
    if (const QString ref = DataCombo1->text(); !ref.isEmpty()) {
        int n = 0;
        if (!inteiro(ref, &n))
            return recusa(QStringLiteral("A referência tem de ser um número inteiro."));
        condicao = QStringLiteral("Ref = ? and CodFirma = ? order by ano,mes,analitica");
        params = { n, m_s.gCodFirma };
    } else if (!Text1->text().isEmpty()) {
        condicao = condicaoLike(QStringLiteral("descr")) + QStringLiteral(" and CodFirma = ?") + kOrdem;
        params = { padraoLike(Text1->text(), true), m_s.gCodFirma };
    } else if (!Text2->text().isEmpty()) {
        condicao = condicaoLike(QStringLiteral("ndoc")) + QStringLiteral(" and CodFirma = ?") + kOrdem;
        params = { padraoLike(Text2->text(), false), m_s.gCodFirma };
    } else if (!anoInic1->text().isEmpty()) {
        int n = 0;
        if (!inteiro(anoInic1->text(), &n))
            return recusa(QStringLiteral("O ano tem de ser um número inteiro."));
        condicao = QStringLiteral("ano = ? and CodFirma = ?") + kOrdem;
        params = { n, m_s.gCodFirma };
    } else if (!mesInic1->text().isEmpty()) {
        int n = 0;
        if (!inteiro(mesInic1->text(), &n))
            return recusa(QStringLiteral("O mês tem de ser um número inteiro."));
        condicao = QStringLiteral("mes = ? and CodFirma = ?") + kOrdem;
        params = { n, m_s.gCodFirma };
    } else {
        // No filter: the company's whole list again.
        condicao = QStringLiteral("CodFirma = ?") + kOrdem;
        params = { m_s.gCodFirma };
    }
    const QString sql = kCabeca + condicao;
    if (!mostraLista(sql, params))
        return;
    m_sqlGrelha = sql;
    m_paramsGrelha = params;
    DataGrid1->aplicaLayout(layoutOk());
}

void ConsultTable::apaga()
{
    if (m_refEscolhida.toString().isEmpty()) {
        if (m_s.msg)
            m_s.msg->informa(QStringLiteral("Escolha uma Linha!"));
        return;
    }
    const QVariantList chave { m_s.gCodFirma, m_refEscolhida.toInt() };
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    QVariant integradas, todas;
    if (db.isValid()) {
        integradas = valorUnico(
            db, QStringLiteral("SELECT COUNT(*) FROM Molvar WHERE CodFirma = ? and Ref = ? and ttctb = '1'"), chave, &erro);
        if (integradas.isValid())
            todas = valorUnico(db, QStringLiteral("SELECT COUNT(*) FROM Molvar WHERE CodFirma = ? and Ref = ?"), chave, &erro);
    }
    if (!todas.isValid()) {
        if (m_s.msg)
            m_s.msg->erroBaseDados(QStringLiteral("Não foi possível contar as linhas da molvaralização."), erro);
        return;
    }
    const qint64 nIntegradas = integradas.toLongLong();
    const qint64 abertas = todas.toLongLong() - nIntegradas;
    if (abertas <= 0) {
        if (m_s.msg)
            m_s.msg->informa(QStringLiteral("Não Pode Apagar, Todas as Linhas Estão Integradas na Contabilidade!"));
        return;
    }
    const QString pergunta = nIntegradas == 0
        ? QStringLiteral("Deseja Apagar Molvaralização?")
        : QStringLiteral(
            "Algumas Linhas Já Estão Integradas na Contabilidade. Aconselhamos que Antes de Eliminar as Restantes Exporte "
            "a Referência em Questão para Proceder á Regularização no Programa de Contabilidade. Deseja Apagar Já as "
            "Linhas Restantes?");
    if (!m_s.msg || !m_s.msg->perguntaSimNao(pergunta, QStringLiteral("Apagar"), Mensagens::Icone::Exclamacao))
        return;

    // The DELETE decides for itself which lines are open, so a line integrated since the count stays.
    QSqlQuery q(db);
    if (!db.isValid()
        || !executa(q, QStringLiteral("DELETE FROM Molvar WHERE CodFirma = ? and Ref = ? and ") + kAberta, chave, &erro)) {
        // One failure, one message: the list still shows what the database holds.
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível apagar as linhas da molvaralização."), erro);
        return;
    }
    q.finish();

    // The whole list again, whatever filter gave the list before; the last query stays the one to export.
    carregaReferencias();
    if (mostraLista(kCabeca + QStringLiteral("CodFirma = ?") + kOrdem, { m_s.gCodFirma }))
        DataGrid1->aplicaLayout(layoutRedimensionado());
}

void ConsultTable::exporta()
{
    // Only when the list could never be read is there no query to send.
    if (m_sqlGrelha.isEmpty()) {
        if (m_s.msg)
            m_s.msg->informa(QStringLiteral("Não há lista para exportar."), QString(), Mensagens::Icone::Exclamacao);
        return;
    }
    m_s.gExpTipo = 2;
    m_s.gTipoExp = QStringLiteral("X");
    m_s.gExpFicheiro = m_s.gCodFirma.trimmed() + QStringLiteral("ExportApagContab") + QStringLiteral(".xls");
    m_s.gExpSql = m_sqlGrelha;
    m_s.gExpParams = m_paramsGrelha;
    ExportaExcel(m_s);
}

void ConsultTable::sair()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void ConsultTable::focoEmFiltro(QWidget *filtro)
{
    // The filters are exclusive: the one receiving the focus empties the other four, in this order.
    auto vazia = [](QLineEdit *e) { e->clear(); };
    auto comboVazio = [this] { DataCombo1->setText(QString()); };
    if (filtro == DataCombo1) {
        vazia(Text1), vazia(Text2), vazia(mesInic1), vazia(anoInic1);
    } else if (filtro == anoInic1) {
        comboVazio(), vazia(Text2), vazia(mesInic1), vazia(Text1);
    } else if (filtro == mesInic1) {
        comboVazio(), vazia(Text2), vazia(Text1), vazia(anoInic1);
    } else if (filtro == Text1) {
        comboVazio(), vazia(Text2), vazia(mesInic1), vazia(anoInic1);
    } else if (filtro == Text2) {
        comboVazio(), vazia(Text1), vazia(mesInic1), vazia(anoInic1);
    }
}

bool ConsultTable::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() == QEvent::FocusIn && (obj == anoInic1 || obj == mesInic1 || obj == Text1 || obj == Text2)) {
        focoEmFiltro(static_cast<QWidget *>(obj));
    } else if (obj == DataGrid1->viewport() && e->type() == QEvent::MouseButtonRelease) {
        // The press has already moved the current row; an empty grid keeps the reference chosen before.
        const int linha = DataGrid1->linhaActual();
        if (DataGrid1->temLinhas() && linha >= 0)
            m_refEscolhida = DataGrid1->valor(linha, 0);
    }
    return QWidget::eventFilter(obj, e);
}

QSize ConsultTable::sizeHint() const
{
    // Inside the main window a child window opens at its size hint (as far as the window
    // area allows): room for every column and for 20 rows of the grid above its horizontal
    // scroll bar.
    constexpr int kLinhas = 20;
    QSize s = QWidget::sizeHint();
    const int grelha = DataGrid1->horizontalHeader()->sizeHint().height()
        + kLinhas * DataGrid1->verticalHeader()->defaultSectionSize() + DataGrid1->horizontalScrollBar()->sizeHint().height()
        + 2 * DataGrid1->frameWidth();
    s.rheight() += grelha - DataGrid1->sizeHint().height();
    return s;
}

void ConsultTable::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    DataGrid1->aplicaLayout(layoutRedimensionado());
}
