#include "reports/totconta.h"

#include "charts/chartsource.h"
#include "core/connection.h"
#include "core/controlos.h"
#include "core/datacombo.h"
#include "core/exportaexcel.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "core/transacao.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kEscolhaConta = QStringLiteral("Escolha uma ContaPoc!");

// Blanks only, as the lists of prefixes are written; other white space is kept.
QString aparaBrancos(const QString &t)
{
    qsizetype i = 0, j = t.size();
    while (i < j && t.at(i) == u' ')
        ++i;
    while (j > i && t.at(j - 1) == u' ')
        --j;
    return t.mid(i, j - i);
}

// One character against a "[...]" set without its brackets and "!"; "a-c" is a range.
bool noConjunto(QChar c, const QString &conjunto)
{
    for (qsizetype k = 0; k < conjunto.size(); ++k) {
        if (k + 2 < conjunto.size() && conjunto.at(k + 1) == u'-') {
            if (c >= conjunto.at(k) && c <= conjunto.at(k + 2))
                return true;
            k += 2;
        } else if (c == conjunto.at(k)) {
            return true;
        }
    }
    return false;
}

// A whole number from the database: SQLite gives an integer, PostgreSQL a decimal.
Centimos inteiro(const QVariant &v)
{
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double)
        return static_cast<Centimos>(std::llround(v.toDouble()));
    return v.toLongLong();
}

// A total as plain decimal text with the workstation's decimal separator: no thousands
// separator and no trailing zero decimals ("1234,5", a whole sum "1234"); built from the
// cents, so exact.
QString textoTotal(Centimos c)
{
    QString t = formataCentimos(c);
    while (t.endsWith(u'0') && t.contains(u','))
        t.chop(1);
    if (t.endsWith(u','))
        t.chop(1);
    return t.replace(u',', QLocale::system().decimalPoint());
}

} // namespace

QStringList prefixosAnalitica(const QString &lista)
{
    QStringList r;
    if (lista.isEmpty())
        return r;
    QString l = aparaBrancos(lista);
    for (;;) {
        const qsizetype p = l.indexOf(u'*');
        if (p < 0) {
            r << l;
            break;
        }
        r << l.left(p);
        if (p == l.size() - 1)
            break;
        l = aparaBrancos(l.mid(p + 1));
        if (l.isEmpty())
            break;
    }
    return r;
}

bool contaComPrefixo(const QString &conta, const QString &prefixo)
{
    qsizetype j = 0;
    const qsizetype n = conta.size();
    for (qsizetype i = 0; i < prefixo.size();) {
        const QChar c = prefixo.at(i);
        if (c == u'[') {
            const qsizetype fim = prefixo.indexOf(u']', i + 1);
            // A set that is never closed is no pattern: it matches nothing.
            if (fim < 0)
                return false;
            QString conjunto = prefixo.mid(i + 1, fim - i - 1);
            i = fim + 1;
            if (conjunto.isEmpty())
                continue; // "[]" stands for no character at all
            const bool negado = conjunto.startsWith(u'!');
            if (negado)
                conjunto.remove(0, 1);
            if (j >= n || noConjunto(conta.at(j), conjunto) == negado)
                return false;
            ++j;
            continue;
        }
        if (j >= n)
            return false;
        const QChar t = conta.at(j);
        if ((c == u'#' && (t < u'0' || t > u'9')) || (c != u'?' && c != u'#' && t != c))
            return false;
        ++i;
        ++j;
    }
    return true;
}

TotConta::TotConta(Session &s, QWidget *parent)
    : QWidget(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Tot_conta"));
    setWindowTitle(QStringLiteral("Totais a diferir por Conta POC"));
    setAttribute(Qt::WA_DeleteOnClose);

    DataCombo1 = listaDados(this, "DataCombo1");
    Desccpoc = caixa(this, "Desccpoc", 30);
    DataCombo2 = listaDados(this, "DataCombo2");
    Descccusto = caixa(this, "Descccusto", 30);
    DTPicker1 = new QDateEdit(QDate(2006, 7, 25), this);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setDisplayFormat(QStringLiteral("MM-yyyy"));
    // Only the program writes the totals: no length of ours may cut one.
    vtotdeb = caixa(this, "vtotdeb", 32767);
    vtotcre = caixa(this, "vtotcre", 32767);
    for (QLineEdit *e : { vtotdeb, vtotcre }) {
        e->setReadOnly(true);
        e->setAlignment(Qt::AlignRight);
    }
    Text1 = caixa(this, "Text1", 1);
    Text2 = caixa(this, "Text2", 1);
    // Enter belongs to the lists, never to a button.
    VisuButton = botao(this, "VisuButton", QStringLiteral("Visualizar"));
    ExportButton = botao(this, "ExportButton", QStringLiteral("Exportar"));
    CancelButton = botao(this, "CancelButton", QStringLiteral("Cancelar"));

    auto *g = new QGridLayout;
    g->addWidget(rotulo(this, "Label1", QStringLiteral("Ct Poc"), DataCombo1), 0, 0);
    g->addWidget(DataCombo1, 0, 1);
    g->addWidget(Desccpoc, 0, 2, 1, 2);
    g->addWidget(rotulo(this, "Label3", QStringLiteral("Ccusto"), DataCombo2), 1, 0);
    g->addWidget(DataCombo2, 1, 1);
    g->addWidget(Descccusto, 1, 2, 1, 2);
    g->addWidget(rotulo(this, "Label4", QStringLiteral("(em branco: todos os centros de custo)")), 2, 1, 1, 3);
    g->addWidget(rotulo(this, "Label5", QStringLiteral("No (Mês)   A (D)iferir"), Text1), 3, 0);
    g->addWidget(Text1, 3, 1, Qt::AlignLeft);
    g->addWidget(rotulo(this, "Label6", QStringLiteral("Por C(P)oc  (C)custo  (D)upla"), Text2), 3, 2);
    g->addWidget(Text2, 3, 3, Qt::AlignLeft);
    g->addWidget(rotulo(this, "Label7", QStringLiteral("Diferido a partir de:"), DTPicker1), 4, 0);
    g->addWidget(DTPicker1, 4, 1, Qt::AlignLeft);
    g->addWidget(rotulo(this, "Label8", QStringLiteral("Total Debito"), vtotdeb), 5, 0);
    g->addWidget(vtotdeb, 5, 1);
    g->addWidget(rotulo(this, "Label9", QStringLiteral("Total Credito"), vtotcre), 5, 2);
    g->addWidget(vtotcre, 5, 3);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(3, 1);
    Text1->setMaximumWidth(Text1->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 12);
    Text2->setMaximumWidth(Text1->maximumWidth());

    auto *botoes = new QHBoxLayout;
    botoes->addStretch(1);
    botoes->addWidget(VisuButton);
    botoes->addWidget(ExportButton);
    botoes->addWidget(CancelButton);
    auto *principal = new QVBoxLayout(this);
    principal->addLayout(g);
    principal->addStretch(1);
    principal->addLayout(botoes);

    QWidget *ordem[] = { DataCombo1, DataCombo2, Text1, Text2, DTPicker1, vtotdeb, vtotcre, ExportButton, VisuButton,
        CancelButton, Desccpoc, Descccusto };
    for (size_t i = 0; i + 1 < std::size(ordem); ++i)
        setTabOrder(ordem[i], ordem[i + 1]);

    for (DataCombo *c : { DataCombo1, DataCombo2 }) {
        c->installEventFilter(this);
        if (c->lineEdit())
            c->lineEdit()->installEventFilter(this);
        connect(c, &DataCombo::enterPressed, this, &TotConta::visualizar);
        connect(c, &DataCombo::escapePressed, this, &TotConta::cancelar);
    }
    // The description follows the code, whether picked, typed or written by the search dialog.
    auto descricao1 = [this] { mostraDescricao(DataCombo1, Desccpoc); };
    auto descricao2 = [this] { mostraDescricao(DataCombo2, Descccusto); };
    connect(DataCombo1, &DataCombo::textChanged, this, descricao1);
    connect(DataCombo1, &QComboBox::editTextChanged, this, descricao1);
    connect(DataCombo2, &DataCombo::textChanged, this, descricao2);
    connect(DataCombo2, &QComboBox::editTextChanged, this, descricao2);
    connect(VisuButton, &QPushButton::clicked, this, &TotConta::visualizar);
    connect(ExportButton, &QPushButton::clicked, this, &TotConta::exportar);
    connect(CancelButton, &QPushButton::clicked, this, &TotConta::cancelar);

    carregaListas();
    vtotdeb->setText(textoTotal(0));
    vtotcre->setText(textoTotal(0));
    Text1->setText(QStringLiteral("D"));
    Text2->setText(QStringLiteral("P"));
    resize(620, 300);
    DataCombo1->setFocus();
}

void TotConta::carregaListas()
{
    const struct {
        TipoPlano tipo;
        DataCombo *combo;
    } listas[] = { { TipoPlano::Contas, DataCombo1 }, { TipoPlano::CentrosCusto, DataCombo2 } };
    for (const auto &l : listas) {
        l.combo->clearRowSource();
        FontePlano f = fontePlano(m_s, l.tipo);
        // This window reads only the own, SENDYS and SAGE charts.
        if (f.origem == OrigemPlano::Primavera || !f.existe())
            continue;
        QString erro;
        QSqlDatabase db = f.abre(&erro);
        if (!db.isValid()
            || !l.combo->setRowSource(
                db, f.select({ f.colunaCodigo, f.colunaDescricao }), f.valores(), f.colunaCodigo, f.colunaDescricao, &erro)) {
            if (m_s.msg)
                m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler o %1.").arg(nomePlano(l.tipo)), erro);
        }
    }
}

void TotConta::mostraDescricao(DataCombo *combo, QLineEdit *caixa)
{
    caixa->setText(combo->boundText().toString());
}

void TotConta::recebeCodigo(int modo, const QString &codigo)
{
    DataCombo *combo = modo == 5 ? DataCombo2 : DataCombo1;
    combo->setText(codigo);
    mostraDescricao(combo, modo == 5 ? Descccusto : Desccpoc);
}

void TotConta::procura(int modo)
{
    m_s.gModoProcura = modo;
    auto *d = new Procuras(m_s, this, this);
    d->open();
}

bool TotConta::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        // The divide key of the numeric keypad opens the search; it types nothing.
        if (k->key() == Qt::Key_Slash && (k->modifiers() & Qt::KeypadModifier)) {
            const bool ccusto = obj == DataCombo2 || obj == DataCombo2->lineEdit();
            if (ccusto || obj == DataCombo1 || obj == DataCombo1->lineEdit()) {
                procura(ccusto ? 5 : 4);
                return true;
            }
        }
    }
    return QWidget::eventFilter(obj, e);
}

void TotConta::leMesEscolhido()
{
    const QDate d = DTPicker1->date();
    m_ano = d.year();
    m_mes = d.month();
}

bool TotConta::contaEscolhida()
{
    if (DataCombo1->text().isEmpty()) {
        if (m_s.msg)
            m_s.msg->informa(kEscolhaConta);
        return false;
    }
    return semCaracteresDeControlo(m_s.msg,
        { { QStringLiteral("Ct Poc"), DataCombo1->text(), DataCombo1 },
            { QStringLiteral("Ccusto"), DataCombo2->text(), DataCombo2 } });
}

QString TotConta::filtroMolvar(const QStringList &colunasConta, QVariantList *params) const
{
    QStringList lados;
    for (const QString &c : colunasConta) {
        lados << c + QStringLiteral(" = ?");
        *params << DataCombo1->text();
    }
    QString sql = QLatin1Char('(') + lados.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    if (const QString cc = DataCombo2->text(); !cc.isEmpty()) {
        sql += QStringLiteral(" AND Analitica = ?");
        *params << cc;
    }
    // Strictly after the chosen month: a later month of its year, or any later year.
    sql += QStringLiteral(" AND CodFirma = ? AND ((Ano = ? AND Mes > ?) OR Ano > ?)");
    *params << m_s.gCodFirma << m_ano << m_mes << m_ano;
    return sql;
}

bool TotConta::calculaTotais(Centimos *deb, Centimos *cre, QString *erro)
{
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, erro);
    if (!db.isValid())
        return false;
    // Whole cents summed by the database: no binary-floating error, on either database. Each
    // amount is first rounded to the cent as written in decimal (SQLite keeps 1,005 as a double
    // just under it, which times 100 would round down), as the export's ROUND(Valor, 2) does.
    const QString cabeca = QStringLiteral("SELECT SUM(CAST(ROUND(ROUND(Valor, 2) * 100) AS BIGINT)) FROM Molvar WHERE ");
    for (auto [coluna, total] : { std::pair { QStringLiteral("CPocDeb"), deb }, std::pair { QStringLiteral("CPocCre"), cre } }) {
        QVariantList params;
        const QString sql = cabeca + filtroMolvar({ coluna }, &params);
        QSqlQuery q(db);
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
        if (!executa(q, sql, params, erro))
            return false;
        if (!q.next() && q.lastError().isValid()) {
            *erro = textoErro(q.lastError());
            return false;
        }
        *total = inteiro(q.value(0));
    }
    return true;
}

void TotConta::visualizar()
{
    leMesEscolhido();
    if (!contaEscolhida())
        return;
    Centimos deb = 0, cre = 0;
    QString erro;
    if (!calculaTotais(&deb, &cre, &erro)) {
        if (m_s.msg)
            m_s.msg->erroBaseDados(QStringLiteral("Não foi possível calcular os totais da conta."), erro);
        return;
    }
    vtotdeb->setText(textoTotal(deb));
    vtotcre->setText(textoTotal(cre));
}

bool TotConta::reservaUtilizador(QSqlDatabase db, QString *erro)
{
    // SQLite: the transaction began IMMEDIATE, so it already holds the only write lock.
    // PostgreSQL: two workstations of the same user would interleave their rebuilds;
    // a lock on the user's keys, released at COMMIT, puts them one after the other.
    if (!ePostgres(db))
        return true;
    QSqlQuery q(db);
    return executa(q, QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('Copiamlv'), hashtext(?))"), { m_s.gLogin }, erro)
        && executa(
            q, QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('RestAnal'), hashtext(?))"), { m_s.gNomeUtilizador }, erro);
}

bool TotConta::RefazRestAnal(QSqlDatabase db, QStringList *prefixos, QString *erro)
{
    prefixos->clear();
    QSqlQuery q(db);
    if (!executa(q, QStringLiteral("DELETE FROM RestAnal WHERE CodFirma = ? AND Utilizador = ?"),
            { m_s.gCodFirma, m_s.gNomeUtilizador }, erro)
        || !executa(q, QStringLiteral("SELECT Analitica FROM ParamFirma WHERE CodFirma = ?"), { m_s.gCodFirma }, erro))
        return false;
    if (!q.next()) {
        if (q.lastError().isValid()) {
            *erro = textoErro(q.lastError());
            return false;
        }
        return true; // a company without parameters has no prefixes
    }
    *prefixos = prefixosAnalitica(q.value(0).toString());
    // A prefix listed twice matches nothing more: it is kept once.
    prefixos->removeDuplicates();
    q.finish();
    for (const QString &p : std::as_const(*prefixos))
        if (!executa(q, QStringLiteral("INSERT INTO RestAnal (CodFirma, RestContas, Utilizador) VALUES (?, ?, ?)"),
                { m_s.gCodFirma, p, m_s.gNomeUtilizador }, erro))
            return false;
    return true;
}

bool TotConta::PreencheCopiamlv(QSqlDatabase db, const QStringList &prefixos, QString *erro)
{
    QSqlQuery q(db);
    if (!executa(q, QStringLiteral("DELETE FROM Copiamlv WHERE Utilizador = ?"), { m_s.gLogin }, erro))
        return false;

    // Every movement is on the chosen account, so whether it carries the cost centre is
    // decided once. One statement writes them all inside the database: a row's "D" movement
    // before its "C" one, the rows in the order they were written; amounts to the cent.
    const QString alvo = aparaBrancos(DataCombo1->text());
    bool comCCusto = false;
    for (const QString &p : prefixos)
        comCCusto = comCCusto || contaComPrefixo(alvo, p);
    QVariantList params { m_s.gCodFirma, alvo, m_s.gLogin, alvo, alvo };
    const QString filtro = filtroMolvar({ QStringLiteral("CPocDeb"), QStringLiteral("CPocCre") }, &params);
    return executa(q,
        QStringLiteral("INSERT INTO Copiamlv (CodFirma, Analitica, Conta, Valor, DebCre, Descr, Exercicio, NumDiario, Ref, "
                       "Utilizador) "
                       "SELECT ?, %1, ?, ROUND(Valor, 2), Lado.DebCre, SUBSTR(COALESCE(Ndoc, '') || ' ' || COALESCE(Descr, ''), "
                       "1, 30), Ano, Mes, Ref, ? "
                       "FROM Molvar JOIN (SELECT 'D' AS DebCre, 1 AS Ordem UNION ALL SELECT 'C', 2) Lado "
                       "ON (Lado.Ordem = 1 AND CPocDeb = ?) OR (Lado.Ordem = 2 AND CPocCre = ?) "
                       "WHERE %2 ORDER BY Chave, Lado.Ordem")
            .arg(comCCusto ? QStringLiteral("Analitica") : QStringLiteral("NULL"), filtro),
        params, erro);
}

bool TotConta::copiaParaFolha(QSqlDatabase db, QString *erro)
{
    // Once this transaction commits, another workstation of the same user may rebuild the
    // same work rows before the workbook is written: the sheet reads this connection's own
    // copy, taken before the commit.
    QSqlQuery q(db);
    return executa(q,
               QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS FolhaCopiamlv AS SELECT Id, Exercicio, NumDiario, Ref, Conta, "
                              "Analitica, Valor, DebCre, Descr FROM Copiamlv WHERE 1 = 0"),
               {}, erro)
        && executa(q, QStringLiteral("DELETE FROM FolhaCopiamlv"), {}, erro)
        && executa(q,
            QStringLiteral("INSERT INTO FolhaCopiamlv (Id, Exercicio, NumDiario, Ref, Conta, Analitica, Valor, DebCre, Descr) "
                           "SELECT Id, Exercicio, NumDiario, Ref, Conta, Analitica, Valor, DebCre, Descr FROM Copiamlv "
                           "WHERE CodFirma = ? AND Utilizador = ?"),
            { m_s.gCodFirma, m_s.gLogin }, erro);
}

void TotConta::exportar()
{
    m_s.gExpTipo = 3;
    leMesEscolhido();
    // The prefixes are rebuilt even without an account; then only the movements are refused.
    const bool comConta = !DataCombo1->text().isEmpty();
    QString erro;
    bool ok = false;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    if (db.isValid()) {
        // The prefixes, the movements and the sheet's copy of them stand or fall together,
        // with no other export of the same user in between: a failure leaves the user's
        // previous rows.
        Transacao t(db);
        QStringList prefixos;
        ok = t.iniciada(&erro) && reservaUtilizador(db, &erro) && RefazRestAnal(db, &prefixos, &erro)
            && (!comConta || (PreencheCopiamlv(db, prefixos, &erro) && copiaParaFolha(db, &erro))) && t.confirma(&erro);
    }
    if (!ok) {
        if (m_s.msg)
            m_s.msg->erroBaseDados(
                QStringLiteral("Não foi possível preparar a exportação dos totais por conta; nada foi exportado."), erro);
        return;
    }
    // Without an account no workbook is written.
    if (!contaEscolhida())
        return;
    m_s.gExpFicheiro = m_s.gCodFirma.trimmed() + QString::number(m_mes) + QString::number(m_ano) + QStringLiteral(".xls");
    m_s.gTipoExp = QStringLiteral("X");
    // Quoted aliases keep their case on PostgreSQL; the movements in the order they were written.
    m_s.gExpSql = QStringLiteral(
        "SELECT Exercicio AS \"Ano\", NumDiario AS \"Mes\", Ref AS \"Referencia\", Conta AS \"Conta\", Analitica AS \"CCusto\", "
        "Valor AS \"Valor\", DebCre AS \"Deb_Cre\", Descr AS \"Descricao\" FROM FolhaCopiamlv ORDER BY Id");
    m_s.gExpParams.clear();
    // The sheet's copy lives only in this session: a lost connection cannot be read again.
    marcaDadosDaSessao(db, true);
    ExportaExcel(m_s);
    marcaDadosDaSessao(db, false);
}

void TotConta::cancelar()
{
    close();
}
