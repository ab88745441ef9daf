#include "charts/chartconsult.h"
#include "charts/chartdelete.h"
#include "charts/chartnew.h"
#include "charts/chartsource.h"
#include "core/connection.h"
#include "core/datacombo.h"
#include "core/datagrid.h"
#include "core/ocultasenhas.h"
#include "core/odbc.h"
#include "support/ambiente.h"
#include "support/fixtures.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

// Base externa: consultaExterna consultaSemFonteEFalhas

namespace {
template <typename T> T *filho(QWidget *w, const char *nome)
{
    T *c = w->findChild<T *>(QLatin1String(nome));
    if (!c)
        qWarning() << "sem controlo" << nome << "em" << w->objectName();
    return c;
}

bool mostra(QWidget *w)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        return false;
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

QStringList titulos(DataGrid *g)
{
    QStringList t;
    for (int c = 0; c < g->model()->columnCount(); ++c)
        t << g->model()->headerData(c, Qt::Horizontal).toString();
    return t;
}

QStringList coluna(DataGrid *g, int c)
{
    QStringList t;
    const int n = g->totalLinhas();
    for (int r = 0; r < n; ++r)
        t << g->texto(r, c).trimmed();
    return t;
}

// A company on the own charts with a few accounts and cost centres, plus rows of another
// year and another company that must never show.
bool planoProprio(Ambiente &a)
{
    QSqlDatabase db = a.db();
    return criaFirma(db, "0001", "Firma Um") && criaFirma(db, "0002", "Firma Dois")
        && criaConta(db, "0001", 2024, "6221", "Trabalhos especializados") && criaConta(db, "0001", 2024, "2111", "Clientes c/c")
        && criaConta(db, "0001", 2024, "6222", "Trabalhos externos", false)
        && criaConta(db, "0001", 2024, "6223", "trabalhos menores") && criaConta(db, "0001", 2024, "6811", "Desconto 50% total")
        && criaConta(db, "0001", 2024, "6812", "Desconto 50 e tal") && criaConta(db, "0001", 2024, "6813", "Juro a_b")
        && criaConta(db, "0001", 2024, "6814", "Juro axb") && criaConta(db, "0001", 2023, "6229", "Ano anterior")
        && criaConta(db, "0002", 2024, "6228", "Outra firma") && criaCCusto(db, "0001", 2024, "CC02", "Armazem")
        && criaCCusto(db, "0001", 2024, "CC01", "Loja", false) && criaCCusto(db, "0001", 2023, "CC09", "Ano anterior")
        && a.entra("0001", 2024, 6);
}
} // namespace

class TstCharts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    void fonteDosPlanos()
    {
        Session s;
        s.gCodFirma = "0001";
        s.gAno = 2024;
        s.gEmpCtb = "E01";
        s.gLigacao1 = "L1";
        s.gLigacao2 = "L2";
        FontePlano f = fontePlano(s, TipoPlano::Contas);
        QCOMPARE(f.origem, OrigemPlano::Propria);
        QCOMPARE(f.ligacao, QStringLiteral("L1"));
        QCOMPARE(f.parametros, (QVariantList { "0001", "2024" }));
        QCOMPARE(f.select({ "conta" }),
            QStringLiteral("SELECT conta FROM planocontas WHERE CodFirma = ? AND CodExercicio = ? ORDER BY conta"));
        s.gPlanosExt = true;
        s.gTipoLig = "A";
        f = fontePlano(s, TipoPlano::CentrosCusto);
        QCOMPARE(f.origem, OrigemPlano::Sendys);
        QCOMPARE(f.ligacao, QStringLiteral("L2"));
        QCOMPARE(f.parametros, (QVariantList { "E01", "2024" }));
        // Deletion and creation always work on the own tables.
        QCOMPARE(fontePropria(s, TipoPlano::Contas).ligacao, QStringLiteral("L1"));
        s.gTipoLig = "S";
        QCOMPARE(fontePlano(s, TipoPlano::Contas).select({ "conta" }),
            QStringLiteral("SELECT conta FROM poc WHERE nivint = 0 ORDER BY conta"));
        QCOMPARE(fontePlano(s, TipoPlano::CentrosCusto).select({ "cod" }), QStringLiteral("SELECT cod FROM ccusto ORDER BY cod"));
        s.gTipoLig = "T";
        QCOMPARE(fontePlano(s, TipoPlano::CentrosCusto).parametros, (QVariantList { "2024" }));
        for (const char *letra : { "H", "a", "s", "", "AS" }) {
            s.gTipoLig = letra;
            QVERIFY2(!fontePlano(s, TipoPlano::Contas).existe(), letra);
        }
        QCOMPARE(padraoLike("50%_!x", false), QStringLiteral("50!%!_!!x%"));
        QCOMPARE(padraoLike("a", true), QStringLiteral("%a%"));
    }

    void criacao()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Firma Um"));
        QVERIFY(criaFirma(a.db(), "0002", "Firma Dois"));
        QVERIFY(a.entra("0001", 2024, 6));

        auto novo = [&](TipoPlano t) {
            auto *w = new ChartNew(a.sessao, t);
            return QPointer<ChartNew>(w);
        };
        const QString contas = "SELECT COUNT(*) FROM PlanoContas";

        QPointer<ChartNew> w = novo(TipoPlano::Contas);
        QCOMPARE(w->objectName(), QStringLiteral("New_Poc"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Nova Conta POC"));
        QVERIFY(mostra(w));
        auto *firma = filho<QLineEdit>(w, "codFirma");
        auto *ano = filho<QLineEdit>(w, "anoExerc1");
        auto *codigo = filho<QLineEdit>(w, "ctpoc");
        auto *desc = filho<QLineEdit>(w, "Desccpoc");
        QVERIFY(firma && ano && codigo && desc);
        QCOMPARE(firma->text(), QStringLiteral("0001"));
        QVERIFY(!firma->isEnabled() && !ano->isEnabled());
        QCOMPARE(ano->text(), QStringLiteral("2024"));
        QCOMPARE(filho<QLabel>(w, "Label9")->text(), QStringLiteral("Cod. Firma"));
        QVERIFY(filho<QRadioButton>(w, "Option1")->isChecked());
        QCOMPARE(filho<QRadioButton>(w, "Option2")->text(), QStringLiteral("Não"));

        // Limits of the columns.
        QTest::keyClicks(codigo, QString(25, QLatin1Char('9')));
        QCOMPARE(codigo->text().size(), 22);
        QTest::keyClicks(desc, QString(35, QLatin1Char('d')));
        QCOMPARE(desc->text().size(), 30);

        // Blanks only count as empty: nothing written, no message, focus on the code box.
        codigo->setText("   ");
        desc->setText("Trabalhos");
        desc->setFocus();
        filho<QPushButton>(w, "InsertButton")->click();
        QCOMPARE(conta(a.db(), contas), 0);
        QVERIFY(a.msgs.textos().isEmpty());
        QVERIFY(!w.isNull());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(codigo));
        codigo->setText("6221");
        desc->setText("  ");
        filho<QPushButton>(w, "InsertButton")->click();
        QCOMPARE(conta(a.db(), contas), 0);
        QVERIFY(!w.isNull());

        // Leading and trailing blanks are dropped; the flag "Sim" as opened.
        codigo->setText("  6221 ");
        desc->setText(" Trabalhos especializados  ");
        filho<QPushButton>(w, "InsertButton")->click();
        QTRY_VERIFY(w.isNull());
        {
            QSqlQuery q(a.db());
            QVERIFY(executa(q, "SELECT Conta, Designacao, Lancadora, CodFirma, CodExercicio FROM PlanoContas"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("6221"));
            QCOMPARE(q.value(1).toString(), QStringLiteral("Trabalhos especializados"));
            QCOMPARE(q.value(2).toInt(), 1);
            QCOMPARE(q.value(3).toString().trimmed(), QStringLiteral("0001"));
            QCOMPARE(q.value(4).toString().trimmed(), QStringLiteral("2024"));
        }

        // A duplicate (after trimming) is refused, the form stays open with the trimmed texts.
        w = novo(TipoPlano::Contas);
        filho<QLineEdit>(w, "ctpoc")->setText(" 6221");
        filho<QLineEdit>(w, "Desccpoc")->setText("Outra ");
        filho<QPushButton>(w, "InsertButton")->click();
        QCOMPARE(a.msgs.textos(), QStringList { "A conta já foi aberta" });
        QCOMPARE(a.msgs.mostradas.last().titulo, tituloAplicacao());
        QVERIFY(!w.isNull());
        QCOMPARE(filho<QLineEdit>(w, "ctpoc")->text(), QStringLiteral("6221"));
        QCOMPARE(filho<QLineEdit>(w, "Desccpoc")->text(), QStringLiteral("Outra"));
        QCOMPARE(conta(a.db(), contas), 1);
        // Case tells codes apart; quotes and wildcards are plain text; "Não" gives flag 0.
        for (const QString &c : { QStringLiteral("6221a"), QStringLiteral("6221A"), QStringLiteral("62'1%_") }) {
            filho<QLineEdit>(w, "ctpoc")->setText(c);
            filho<QRadioButton>(w, "Option2")->setChecked(true);
            filho<QPushButton>(w, "InsertButton")->click();
            QTRY_VERIFY(w.isNull());
            w = novo(TipoPlano::Contas);
            filho<QLineEdit>(w, "Desccpoc")->setText("Outra");
        }
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Lancadora = 0"), 3);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Conta = ?", { "62'1%_" }), 1);
        // "Cancelar" writes nothing.
        filho<QLineEdit>(w, "ctpoc")->setText("7000");
        filho<QPushButton>(w, "CancelButton")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(conta(a.db(), contas), 4);

        // The same code in another year and in another company.
        a.sessao.gAno = 2025;
        w = novo(TipoPlano::Contas);
        QCOMPARE(filho<QLineEdit>(w, "anoExerc1")->text(), QStringLiteral("2025"));
        filho<QLineEdit>(w, "ctpoc")->setText("6221");
        filho<QLineEdit>(w, "Desccpoc")->setText("Trabalhos");
        filho<QPushButton>(w, "InsertButton")->click();
        QTRY_VERIFY(w.isNull());
        QVERIFY(a.entra("0002", 2024, 1));
        w = novo(TipoPlano::Contas);
        filho<QLineEdit>(w, "ctpoc")->setText("6221");
        filho<QLineEdit>(w, "Desccpoc")->setText("Trabalhos");
        filho<QPushButton>(w, "InsertButton")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Conta = ?", { "6221" }), 3);
        QCOMPARE(a.msgs.textos().size(), 1);

        // The cost-centre twin.
        a.msgs.limpa();
        w = novo(TipoPlano::CentrosCusto);
        QCOMPARE(w->objectName(), QStringLiteral("New_Analit"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Novo Ct Custo"));
        QCOMPARE(filho<QLabel>(w, "Label1")->text(), QStringLiteral("Cod. Firma"));
        QVERIFY(!w->findChild<QLineEdit *>("ctpoc"));
        auto *cc = filho<QLineEdit>(w, "Ccusto");
        QTest::keyClicks(cc, QString(20, QLatin1Char('C')));
        QCOMPARE(cc->text().size(), 16);
        cc->setText(" CC01 ");
        filho<QLineEdit>(w, "Descanalit")->setText("Loja");
        filho<QRadioButton>(w, "Option2")->setChecked(true);
        filho<QPushButton>(w, "InsertButton")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(
            conta(a.db(), "SELECT COUNT(*) FROM PlanoCCusto WHERE CCusto = 'CC01' AND Lancador = 0 AND Designacao = 'Loja'"), 1);
        w = novo(TipoPlano::CentrosCusto);
        filho<QLineEdit>(w, "Ccusto")->setText("CC01");
        filho<QLineEdit>(w, "Descanalit")->setText("Loja");
        filho<QPushButton>(w, "InsertButton")->click();
        QCOMPARE(a.msgs.textos(), QStringList { "O Ct. Custo já foi aberto" });
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoCCusto"), 1);
        delete w;
    }

    void falhasDaBasePropria()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Firma Um"));
        QVERIFY(a.entra("0001", 2024, 6));
        a.sessao.gLigacao1 = "Driver=SQLite;Database=/nao/existe/molvar.db;";
        QPointer<ChartNew> w = new ChartNew(a.sessao, TipoPlano::Contas);
        filho<QLineEdit>(w, "ctpoc")->setText("6221");
        filho<QLineEdit>(w, "Desccpoc")->setText("Trabalhos");
        filho<QPushButton>(w, "InsertButton")->click();
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith("Não foi possível gravar a conta."));
        QVERIFY(a.msgs.ultimo().contains("não existe"));
        QVERIFY(!w.isNull());
        delete w;

        // The deletion dialog opens empty after saying why, and deletes nothing.
        a.msgs.limpa();
        QPointer<ChartDelete> d = new ChartDelete(a.sessao, TipoPlano::CentrosCusto);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith("Não foi possível ler o plano de centros de custo."));
        QCOMPARE(filho<DataCombo>(d, "DataCombo1")->rowCount(), 0);
        // "Apagar" stays off; Enter in the list says why nothing can be deleted, and asks nothing.
        QVERIFY(!filho<QPushButton>(d, "DelButton")->isEnabled());
        QVERIFY(mostra(d));
        a.msgs.responde(Mensagens::Resposta::Sim);
        filho<DataCombo>(d, "DataCombo1")->setFocus();
        QTest::keyClick(filho<DataCombo>(d, "DataCombo1"), Qt::Key_Return);
        QCOMPARE(a.msgs.textos().last(), QStringLiteral("O plano de centros de custo não foi lido: não há nada a apagar."));
        QCOMPARE(a.msgs.mostradas.last().botoes, Mensagens::Botoes::Ok);
        filho<QPushButton>(d, "CancelButton")->click();
        QTRY_VERIFY(d.isNull());
    }

    void apagamento()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(planoProprio(a));
        QVERIFY(criaConta(a.db(), "0001", 2024, "62'9", "Aspas"));
        QVERIFY(criaConta(a.db(), "0001", 2023, "6222", "Outro ano"));
        QVERIFY(criaMolvaralizacao(a.db(), { "0001", 1, "Seguro", "D1", 1200, 3, 2024, 1, "6222", "2721", "", "0" }));

        QPointer<ChartDelete> w = new ChartDelete(a.sessao, TipoPlano::Contas);
        QCOMPARE(w->objectName(), QStringLiteral("Del_cPoc"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Apagar Conta POC"));
        QCOMPARE(filho<QLabel>(w, "Label1")->text(), QStringLiteral("Ct Poc"));
        auto *combo = filho<DataCombo>(w, "DataCombo1");
        auto *desc = filho<QLineEdit>(w, "Desccpoc");
        QVERIFY(combo && desc);
        QCOMPARE(combo->rowCount(), 9);
        // Opens on the lowest code.
        QCOMPARE(combo->text(), QStringLiteral("2111"));
        QCOMPARE(desc->text(), QStringLiteral("Clientes c/c"));
        QVERIFY(mostra(w));

        // Picking a code shows its description; an unknown code shows the first row's.
        combo->setCurrentIndex(combo->findRow("6221"));
        QCOMPARE(desc->text(), QStringLiteral("Trabalhos especializados"));
        combo->setEditText("9999");
        QCOMPARE(desc->text(), QStringLiteral("Clientes c/c"));
        QCOMPARE(combo->text(), QStringLiteral("9999"));

        auto procura = [&](const QString &codigo, const QString &texto) {
            combo->setEditText(codigo);
            desc->setText(texto);
            filho<QPushButton>(w, "PesqButton")->click();
        };
        // By the beginning of the description, exact case, blanks around ignored; first in code order.
        procura("", "  Trab ");
        QCOMPARE(combo->text(), QStringLiteral("6221"));
        QCOMPARE(desc->text(), QStringLiteral("Trabalhos especializados"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(desc));
        procura("", "trab");
        QCOMPARE(combo->text(), QStringLiteral("6223"));
        procura("", "Desconto 50%");
        QCOMPARE(combo->text(), QStringLiteral("6811"));
        // Nothing found selects the first code.
        procura("", "TRAB");
        QCOMPARE(combo->text(), QStringLiteral("2111"));
        QCOMPARE(desc->text(), QStringLiteral("Clientes c/c"));
        procura("6222", "");
        QCOMPARE(desc->text(), QStringLiteral("Trabalhos externos"));
        procura("622", "");
        QCOMPARE(combo->text(), QStringLiteral("2111"));

        // No: nothing deleted, the dialog stays.
        procura("6222", "");
        a.msgs.responde(Mensagens::Resposta::Nao);
        filho<QPushButton>(w, "DelButton")->click();
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Deseja apagar conta?"));
        QCOMPARE(a.msgs.mostradas.last().titulo, QStringLiteral("Apagar"));
        QCOMPARE(a.msgs.mostradas.last().botoes, Mensagens::Botoes::SimNao);
        QCOMPARE(a.msgs.mostradas.last().icone, Mensagens::Icone::Exclamacao);
        QVERIFY(!w.isNull());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Conta = '6222'"), 2);
        // Enter in the combo asks; Yes deletes every row of that code in this company and year
        // only, even though accrual rows use it, and closes.
        a.msgs.responde(Mensagens::Resposta::Sim);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Return);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(a.msgs.mostradas.size(), 2);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Conta = '6222'"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Conta = '6222' AND CodExercicio = '2023'"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE CPocDeb = '6222'"), 3);

        // A code with a quote is deleted like any other.
        w = new ChartDelete(a.sessao, TipoPlano::Contas);
        filho<DataCombo>(w, "DataCombo1")->setText("62'9");
        a.msgs.responde(Mensagens::Resposta::Sim);
        filho<QPushButton>(w, "DelButton")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas WHERE Conta = ?", { "62'9" }), 0);

        // A code not in the chart deletes nothing and closes; Esc closes without asking.
        const int antes = conta(a.db(), "SELECT COUNT(*) FROM PlanoContas");
        w = new ChartDelete(a.sessao, TipoPlano::Contas);
        filho<DataCombo>(w, "DataCombo1")->setEditText("9999");
        a.msgs.responde(Mensagens::Resposta::Sim);
        filho<QPushButton>(w, "DelButton")->click();
        QTRY_VERIFY(w.isNull());
        w = new ChartDelete(a.sessao, TipoPlano::Contas);
        QVERIFY(mostra(w));
        filho<DataCombo>(w, "DataCombo1")->setFocus();
        QTest::keyClick(filho<DataCombo>(w, "DataCombo1"), Qt::Key_Escape);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(a.msgs.mostradas.size(), 4);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas"), antes);

        // The cost-centre twin.
        QPointer<ChartDelete> d = new ChartDelete(a.sessao, TipoPlano::CentrosCusto);
        QCOMPARE(d->objectName(), QStringLiteral("Del_Analit"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Apagar Ct Custo"));
        QCOMPARE(filho<QLabel>(d, "Label1")->text(), QStringLiteral("Ct.custo"));
        QCOMPARE(filho<DataCombo>(d, "DataCombo1")->text(), QStringLiteral("CC01"));
        QCOMPARE(filho<QLineEdit>(d, "Descanalit")->text(), QStringLiteral("Loja"));
        filho<QLineEdit>(d, "Descanalit")->setText("Arm");
        filho<DataCombo>(d, "DataCombo1")->setEditText("");
        filho<QPushButton>(d, "PesqButton")->click();
        QCOMPARE(filho<DataCombo>(d, "DataCombo1")->text(), QStringLiteral("CC02"));
        a.msgs.responde(Mensagens::Resposta::Sim);
        filho<QPushButton>(d, "DelButton")->click();
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Deseja apagar ct.custo?"));
        QTRY_VERIFY(d.isNull());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoCCusto WHERE CodExercicio = '2024'"), 1);

        // An empty chart: both boxes empty, "Procurar" only moves the focus, Yes closes.
        QVERIFY(a.entra("0002", 2025, 1));
        a.msgs.limpa();
        w = new ChartDelete(a.sessao, TipoPlano::Contas);
        QVERIFY(mostra(w));
        QCOMPARE(filho<DataCombo>(w, "DataCombo1")->text(), QString());
        QCOMPARE(filho<QLineEdit>(w, "Desccpoc")->text(), QString());
        filho<QPushButton>(w, "PesqButton")->click();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(filho<QLineEdit>(w, "Desccpoc")));
        QCOMPARE(filho<DataCombo>(w, "DataCombo1")->text(), QString());
        a.msgs.responde(Mensagens::Resposta::Sim);
        filho<QPushButton>(w, "DelButton")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(a.msgs.textos(), QStringList { "Deseja apagar conta?" });
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM PlanoContas"), antes);
    }

    void consultaPropria()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(planoProprio(a));
        QPointer<ChartConsult> w = new ChartConsult(a.sessao, TipoPlano::Contas);
        QCOMPARE(w->objectName(), QStringLiteral("ConsultPoc"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Consulta Contas"));
        QCOMPARE(filho<QGroupBox>(w, "Frame1")->title(), QStringLiteral("Procura"));
        QCOMPARE(filho<QLabel>(w, "Label1")->text(), QStringLiteral("Conta"));
        QCOMPARE(filho<QPushButton>(w, "Command5")->text(), QStringLiteral("Ok"));
        QCOMPARE(filho<QPushButton>(w, "Command1")->text(), QStringLiteral("Sair"));
        auto *combo = filho<DataCombo>(w, "DataCombo1");
        auto *desc = filho<QLineEdit>(w, "Desccpoc");
        auto *grelha = filho<DataGrid>(w, "DataGrid1");
        QVERIFY(combo && desc && grelha);
        QCOMPARE(desc->maxLength(), 30);
        QVERIFY(mostra(w));
        QCOMPARE(w->pos(), QPoint(0, 0));
        const QStringList todas = { "2111", "6221", "6222", "6223", "6811", "6812", "6813", "6814" };
        QCOMPARE(combo->rowCount(), 8);
        QCOMPARE(combo->text(), QString());
        QCOMPARE(coluna(grelha, 2), todas);
        QCOMPARE(titulos(grelha), (QStringList { "CodFirma", "CodExercicio", "Conta", "Lançadora", "Descrição" }));
        const int larguras[] = { 1000, 1000, 2000, 1000, 5000 };
        // The layout's widths, widened where a caption needs more: no caption is cut.
        for (int c = 0; c < 5; ++c)
            QCOMPARE(grelha->columnWidth(c), qMax(twipsParaPixels(larguras[c]), grelha->horizontalHeader()->sectionSizeHint(c)));
        QVERIFY(grelha->columnWidth(1) > twipsParaPixels(1000));
        QCOMPARE(coluna(grelha, 3).mid(1, 2), (QStringList { "Sim", "Não" }));
        QCOMPARE(coluna(grelha, 1).first(), QStringLiteral("2024"));

        auto ok = [&] { filho<QPushButton>(w, "Command5")->click(); };
        // By code, exact; an unknown code gives an empty grid.
        combo->setText("6222");
        ok();
        QCOMPARE(coluna(grelha, 4), QStringList { "Trabalhos externos" });
        QCOMPARE(grelha->texto(0, 3), QStringLiteral("Não"));
        combo->setEditText("622");
        ok();
        QCOMPARE(grelha->totalLinhas(), 0);
        QCOMPARE(titulos(grelha).value(3), QStringLiteral("Lançadora"));
        // Entering the description box empties the combo; the description is searched untrimmed,
        // with "%" and "_" taken literally.
        combo->setText("6222");
        desc->setFocus();
        QTRY_COMPARE(combo->text(), QString());
        desc->setText("balhos");
        ok();
        QCOMPARE(coluna(grelha, 2).size(), 3);
        desc->setText("50%");
        ok();
        QCOMPARE(coluna(grelha, 2), QStringList { "6811" });
        desc->setText("a_b");
        ok();
        QCOMPARE(coluna(grelha, 2), QStringList { "6813" });
        desc->setText("Juro ");
        ok();
        QCOMPARE(coluna(grelha, 2).size(), 2);
        desc->setText("Juro  ");
        ok();
        QCOMPARE(grelha->totalLinhas(), 0);
        desc->setText("trab");
        ok();
        QCOMPARE(coluna(grelha, 2), QStringList { "6223" });
        // Entering the combo empties the description; Enter in the combo searches.
        combo->setFocus();
        QTRY_COMPARE(desc->text(), QString());
        combo->setText("2111");
        QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(coluna(grelha, 2), QStringList { "2111" });
        // Enter in the description box does nothing.
        desc->setFocus();
        desc->setText("Trab");
        QTest::keyClick(desc, Qt::Key_Return);
        QCOMPARE(coluna(grelha, 2), QStringList { "2111" });
        // Both empty: the whole chart again, in code order.
        desc->clear();
        ok();
        QCOMPARE(coluna(grelha, 2), todas);
        // A resize re-applies the layout without touching the rows.
        grelha->setColumnWidth(4, 20);
        w->resize(w->width() + 40, w->height() + 20);
        QTRY_COMPARE(grelha->columnWidth(4), twipsParaPixels(5000));
        QCOMPARE(grelha->totalLinhas(), 8);
        QVERIFY(a.msgs.textos().isEmpty());
        filho<QPushButton>(w, "Command1")->click();
        QTRY_VERIFY(w.isNull());

        // Inside the main window's area the child window takes the top-left corner, even
        // where the area would have placed it elsewhere.
        {
            QMdiArea area;
            area.resize(1000, 700);
            area.show();
            QVERIFY(QTest::qWaitForWindowExposed(&area));
            auto *outra = area.addSubWindow(new QWidget);
            outra->resize(300, 200);
            outra->show();
            QMdiSubWindow *sub = area.addSubWindow(new ChartConsult(a.sessao, TipoPlano::Contas));
            sub->show();
            QTRY_COMPARE(sub->pos(), QPoint(0, 0));
        }

        // The cost-centre twin keeps the design caption on the own chart.
        w = new ChartConsult(a.sessao, TipoPlano::CentrosCusto);
        QCOMPARE(w->objectName(), QStringLiteral("ConsultAnalit"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Consulta"));
        QCOMPARE(filho<QLabel>(w, "Label1")->text(), QStringLiteral("Ct.Custo"));
        QVERIFY(w->findChild<QLineEdit *>("Descanalit"));
        grelha = filho<DataGrid>(w, "DataGrid1");
        QCOMPARE(titulos(grelha), (QStringList { "CodFirma", "CodExercicio", "Conta", "Lançador", "Descrição" }));
        QCOMPARE(coluna(grelha, 2), (QStringList { "CC01", "CC02" }));
        QCOMPARE(coluna(grelha, 3), (QStringList { "Não", "Sim" }));
        QCOMPARE(filho<DataCombo>(w, "DataCombo1")->listField(), QStringLiteral("ccusto"));
        delete w;
    }

    void consultaExterna()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        struct Caso {
            QString letra;
            QString tituloContas, tituloCentros;
            QStringList colContas, colCentros;
            QStringList codContas, codCentros;
            QString campoCentros;
        };
        const QList<Caso> casos = {
            { "A", "Consulta Contas SENDYS", "Consulta Centros de Custo SENDYS",
                { "CodFirma", "CodExercicio", "Conta", "Lançadora", "Descrição" },
                { "CodFirma", "CodExercicio", "Conta", "Lançador", "Descrição" }, { "211", "311" }, { "C1" }, "ccusto" },
            { "S", "Consulta ContasPoc SAGE", "Consulta Centros de Custo SAGE", { "Conta", "Descrição" },
                { "Codigo", "Descrição", "EnqCus" }, { "211", "311" }, { "C1", "C2" }, "cod" },
            { "T", "Consulta Contas PRIMAVERA", "Consulta Centros de Custo PRIMAVERA", { "Conta", "Descrição", "Tipo Conta" },
                { "Centro", "Descrição", "Tipo Conta" }, { "211", "311" }, { "C1" }, "centro" },
        };
        QVERIFY(criaFirma(a.db(), "0001", "Firma Um", { true, "A", "E01", false, "", false }));
        for (const Caso &c : casos) {
            a.msgs.limpa();
            a.criaBaseExterna(c.letra);
            QSqlDatabase ext = a.dbExterna();
            if (c.letra == "A") {
                QVERIFY(corre(ext,
                    "INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES "
                    "('E01','2024','311','1','Compras'), ('E01','2024','211','0','Clientes'), "
                    "('0001','2024','999','1','Firma própria'), ('E01','2023','888','1','Ano anterior')"));
                QVERIFY(corre(ext,
                    "INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES "
                    "('E01','2024','C1','1','Loja'), ('0001','2024','C9','1','Outra')"));
            } else if (c.letra == "S") {
                QVERIFY(corre(ext,
                    "INSERT INTO poc (conta, descr, nivint) VALUES ('311','Compras',0), ('211','Clientes',0), "
                    "('21','Classe 2',1)"));
                QVERIFY(corre(ext, "INSERT INTO ccusto (cod, descr, enqcus) VALUES ('C2','Armazem','X'), ('C1','Loja','Y')"));
            } else {
                QVERIFY(corre(ext,
                    "INSERT INTO planocontas (conta, descricao, tipoconta, ano) VALUES ('311','Compras','M','2024'), "
                    "('211','Clientes','M','2024'), ('888','Ano anterior','M','2023')"));
                QVERIFY(corre(ext,
                    "INSERT INTO planocentros (centro, descricao, tipoconta, ano) VALUES ('C1','Loja','M','2024'), "
                    "('C8','Antigo','M','2023')"));
            }
            QVERIFY(corre(a.db(), "UPDATE ParamFirma SET Tipo_Lig = ? WHERE CodFirma = '0001'", { c.letra }));
            QVERIFY(a.entra("0001", 2024, 6));
            // SAGE ignores the year.
            if (c.letra == "S")
                a.sessao.gAno = 1999;

            ChartConsult *w = new ChartConsult(a.sessao, TipoPlano::Contas);
            QCOMPARE(w->windowTitle(), c.tituloContas);
            auto *grelha = filho<DataGrid>(w, "DataGrid1");
            const int colCodigo = c.letra == "A" ? 2 : 0;
            QCOMPARE(titulos(grelha), c.colContas);
            QCOMPARE(coluna(grelha, colCodigo), c.codContas);
            QCOMPARE(filho<DataCombo>(w, "DataCombo1")->rowCount(), c.codContas.size());
            QCOMPARE(filho<DataCombo>(w, "DataCombo1")->listField(), QStringLiteral("conta"));
            if (c.letra == "A")
                QCOMPARE(coluna(grelha, 3), (QStringList { "Não", "Sim" }));
            if (c.letra == "S")
                QCOMPARE(grelha->columnWidth(1), twipsParaPixels(5000));
            filho<DataCombo>(w, "DataCombo1")->setText("311");
            filho<QPushButton>(w, "Command5")->click();
            QCOMPARE(coluna(grelha, colCodigo), QStringList { "311" });
            filho<DataCombo>(w, "DataCombo1")->setEditText("");
            filho<QLineEdit>(w, "Desccpoc")->setText("ient");
            filho<QPushButton>(w, "Command5")->click();
            QCOMPARE(coluna(grelha, colCodigo), QStringList { "211" });
            QCOMPARE(titulos(grelha), c.colContas);
            if (c.letra == "A") {
                // An empty flag shows blank whatever the driver.
                QVERIFY(corre(ext, "UPDATE PlanoContas SET Lancadora = NULL WHERE Conta = '211'"));
                filho<QPushButton>(w, "Command5")->click();
                QCOMPARE(grelha->texto(0, 3), QString());
            }
            // Case counts through every driver, ODBC's SQLite included.
            filho<QLineEdit>(w, "Desccpoc")->setText("IENT");
            filho<QPushButton>(w, "Command5")->click();
            QCOMPARE(grelha->totalLinhas(), 0);
            delete w;

            w = new ChartConsult(a.sessao, TipoPlano::CentrosCusto);
            QCOMPARE(w->windowTitle(), c.tituloCentros);
            grelha = filho<DataGrid>(w, "DataGrid1");
            QCOMPARE(titulos(grelha), c.colCentros);
            QCOMPARE(coluna(grelha, colCodigo), c.codCentros);
            QCOMPARE(filho<DataCombo>(w, "DataCombo1")->listField(), c.campoCentros);
            delete w;
            if (c.letra == "A") {
                // SENDYS with no outside company code reads no row.
                a.sessao.gEmpCtb.clear();
                w = new ChartConsult(a.sessao, TipoPlano::Contas);
                QCOMPARE(filho<DataGrid>(w, "DataGrid1")->totalLinhas(), 0);
                delete w;
            }
            QVERIFY2(a.msgs.textos().isEmpty(), qPrintable(a.msgs.textos().join('|')));
        }
    }

    // ODBC strings as their users write them; the failures to reach a server through ODBC
    // each give one clear message without the password, and the window stays usable.
    void ligacoesOdbc()
    {
        using Tipo = DadosLigacao::Tipo;
        const QString freeTds = "Driver={FreeTDS};Server=host;Port=1433;Database=contab;Uid=u;Pwd=p;TDS_Version=7.4;";
        QCOMPARE(DadosLigacao::interpreta(freeTds).tipo, Tipo::Odbc);
        QVERIFY(DadosLigacao::interpreta(freeTds).erro.isEmpty());
        QCOMPARE(DadosLigacao::interpreta("DSN=contab;Uid=u;Pwd=p;").tipo, Tipo::Odbc);
        QCOMPARE(DadosLigacao::interpreta("Driver=SQLite3;Database=x.db;").tipo, Tipo::Odbc);
        QCOMPARE(DadosLigacao::interpreta("Driver={PostgreSQL Unicode};Server=h;Database=d;").tipo, Tipo::Odbc);
        QCOMPARE(DadosLigacao::interpreta("Driver=SQLite;Database=x.db;").tipo, Tipo::SQLite);
        QCOMPARE(DadosLigacao::interpreta("Driver=PostgreSQL;Server=h;Database=d;").tipo, Tipo::PostgreSQL);
        QVERIFY(DadosLigacao::interpretaPropria("Driver=SQLite;Database=x.db;").erro.isEmpty());
        QVERIFY(DadosLigacao::interpretaPropria(freeTds).erro.contains("ODBC"));
        QVERIFY(DadosLigacao::interpretaPropria("Driver=PostgreSQL;Server=h;Uid=u;").erro.contains("Database="));
        const DadosLigacao pg = DadosLigacao::interpreta("Driver=PostgreSQL;Host=h;Port=5433;User Id=u;Password=p;Dbname=d;");
        QCOMPARE(QStringList({ pg.servidor, QString::number(pg.porta), pg.utilizador, pg.senha, pg.baseDados }),
            QStringList({ "h", "5433", "u", "p", "d" }));
        const DadosLigacao chaveta = DadosLigacao::interpreta("Driver={FreeTDS};Server=h;Pwd={a;b=c};Uid=u;");
        QCOMPARE(chaveta.senha, QStringLiteral("a;b=c"));
        QCOMPARE(chaveta.utilizador, QStringLiteral("u"));
        QCOMPARE(ocultaSenhas("Server=h;PWD={a;b=c};Uid=u; password = xy;"),
            QStringLiteral("Server=h;PWD=****;Uid=u; password = ****;"));
        // A password a driver echoes is masked too; a short one only where it stands alone.
        QCOMPARE(ocultaSenhas("login 'u' with a;b=c failed"), QStringLiteral("login 'u' with **** failed"));
        DadosLigacao::interpreta("DSN=x;Pwd=p;");
        QCOMPARE(ocultaSenhas("password p is wrong: pp"), QStringLiteral("password **** is wrong: pp"));
        // One known password inside another: the longer goes first, or "word1" would show.
        DadosLigacao::interpreta("DSN=x;Pwd=pass;");
        DadosLigacao::interpreta("DSN=x;Pwd={pass word1};");
        QCOMPARE(ocultaSenhas("senha: pass word1"), QStringLiteral("senha: ****"));
        // Only what a database says is searched for known passwords: the program's own words stay whole.
        DadosLigacao::interpreta(QStringLiteral("DSN=x;Pwd=exercício;"));
        MensagensFalsas proprias;
        proprias.informa(QStringLiteral("Sem dados do exercício. Pwd=exercício"));
        QCOMPARE(proprias.ultimo(), QStringLiteral("Sem dados do exercício. Pwd=****"));
        QCOMPARE(textoErro(QSqlError(QString(), QStringLiteral("exercício recusado"))), QStringLiteral("**** recusado"));
        // "}}" in braces is a "}" of the value; a password with a blank or a quote is masked whole.
        const QString dobrada = "Driver={FreeTDS};Pwd={a}}b;c=d};Uid=u;";
        QCOMPARE(DadosLigacao::interpreta(dobrada).senha, QStringLiteral("a}b;c=d"));
        QCOMPARE(DadosLigacao::interpreta(dobrada).utilizador, QStringLiteral("u"));
        QCOMPARE(ocultaSenhas(dobrada), QStringLiteral("Driver={FreeTDS};Pwd=****;Uid=u;"));
        for (const QString &senha : { QStringLiteral("duas palavras"), QStringLiteral("aspa\"dupla") }) {
            const QString errada = "Drive={FreeTDS};Pwd=" + senha + ";";
            const QString m = DadosLigacao::interpreta(errada).erro;
            QVERIFY2(m.contains("Pwd=****;") && !m.contains(senha.mid(5)), qPrintable(m));
        }
        // SQL Server reads "[" in a LIKE pattern as a set of characters.
        QCOMPARE(padraoLike("a[1]%_!", true), QStringLiteral("%a![1]!%!_!!%"));

        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Firma Um", { true, "S", "", false, "", false }));
        QVERIFY(a.entra("0001", 2024, 6));
        QCOMPARE(
            conta(a.db(), "SELECT COUNT(*) FROM ParamFirma WHERE 'a[1]%' LIKE ? ESCAPE '!'", { padraoLike("a[1]%", false) }), 1);
        auto falha = [&](const QString &ligacao) {
            QString e;
            fechaLigacao(ligacao);
            return abreLigacao(ligacao, &e).isValid() ? QString() : e;
        };
        QString e = falha("Driver={Nada Instalado};Server=h;Pwd=Segredo9;");
        QVERIFY2(e.startsWith("O controlador ODBC \"Nada Instalado\" não está instalado"), qPrintable(e));
        e = falha("Driver={PostgreSQL};Server=h;Database=d;");
        QVERIFY2(e.contains("\"PostgreSQL\"") && e.contains("pacote Debian odbc-postgresql"), qPrintable(e));
        e = falha("Driver={ODBC Driver 18 for SQL Server};Server=h;Uid=sa;Pwd=Segredo9;");
        QVERIFY2(e.startsWith("O controlador ODBC \"ODBC Driver 18 for SQL Server\" não está instalado")
                && e.contains("instale o pacote Debian tdsodbc e escreva Driver={FreeTDS}"),
            qPrintable(e));
        e = falha("DSN=nao_definida;Uid=u;Pwd=Segredo9;");
        QVERIFY2(e.startsWith("A origem de dados ODBC \"nao_definida\" não está definida"), qPrintable(e));

        if (qEnvironmentVariableIsSet("MOLVAR_TEST_SEM_ODBC")) {
            // No driver registered: the common ones are named with their Debian package.
            for (const auto &[controlador, pacote] : { std::pair { "FreeTDS", "tdsodbc" },
                     std::pair { "PostgreSQL Unicode", "odbc-postgresql" }, std::pair { "SQLite3", "libsqliteodbc" } }) {
                e = falha(QStringLiteral("Driver={%1};Server=127.0.0.1;Database=contab;Uid=u;Pwd=Segredo9;").arg(controlador));
                QVERIFY2(e.startsWith(QStringLiteral("O controlador ODBC \"%1\" não está instalado").arg(controlador))
                        && e.contains(QStringLiteral("Instale o pacote Debian %1.").arg(pacote)) && !e.contains("Segredo9"),
                    qPrintable(e));
            }
            return;
        }

        // Blanks around "=" do not hide the driver from the driver manager.
        {
            const QString vazia = QDir(a.pasta()).filePath("vazia.db");
            QFile(vazia).open(QIODevice::WriteOnly);
            // A file data source as well, whose driver and database the file names.
            const QString dsn = QDir(a.pasta()).filePath("contab.dsn");
            QFile f(dsn);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("[ODBC]\nDRIVER=SQLite3\nDatabase=%1\n").arg(vazia).toUtf8());
            f.close();
            for (const QString &ligacao :
                { QStringLiteral("Driver = {SQLite3} ; Database = %1;").arg(vazia), "FILEDSN=" + dsn + ";" }) {
                QString erro;
                QSqlQuery q(abreLigacao(ligacao, &erro));
                QVERIFY2(q.exec("SELECT 1"), qPrintable(ligacao + ": " + erro));
                q = QSqlQuery();
                fechaLigacao(ligacao);
            }
        }

        // A SQL Server that is not there: a local port nobody listens on.
        quint16 porta = 0;
        {
            QTcpServer livre;
            QVERIFY(livre.listen(QHostAddress::LocalHost));
            porta = livre.serverPort();
        }
        a.sessao.gLigacao2 = QStringLiteral("Driver={FreeTDS};Server=127.0.0.1;Port=%1;Database=contab;Uid=sa;Pwd=Segredo9;"
                                            "TDS_Version=7.4;")
                                 .arg(porta);
        QElapsedTimer relogio;
        relogio.start();
        QPointer<ChartConsult> w = new ChartConsult(a.sessao, TipoPlano::Contas);
        QVERIFY(mostra(w));
        QVERIFY2(relogio.elapsed() < 10000, qPrintable(QString::number(relogio.elapsed())));
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY2(a.msgs.ultimo().startsWith("Não foi possível ligar à base de dados do plano de contas.\n\n"
                                            "Não foi possível ligar ao servidor da base de dados: "),
            qPrintable(a.msgs.ultimo()));
        QVERIFY(!a.msgs.ultimo().contains("Segredo9"));
        filho<QPushButton>(w, "Command5")->click();
        QCOMPARE(a.msgs.mostradas.size(), 2);
        QVERIFY(!a.msgs.ultimo().contains("Segredo9"));
        filho<QPushButton>(w, "Command1")->click();
        QTRY_VERIFY(w.isNull());
    }

    void consultaSemFonteEFalhas()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(planoProprio(a));
        a.criaBaseExterna("S");
        a.sessao.gPlanosExt = true;
        // PHC and an unknown (lower-case) letter: nothing read, nothing said.
        for (const char *letra : { "H", "a", "s" }) {
            a.sessao.gTipoLig = letra;
            for (TipoPlano t : { TipoPlano::Contas, TipoPlano::CentrosCusto }) {
                QPointer<ChartConsult> w = new ChartConsult(a.sessao, t);
                QVERIFY(mostra(w));
                QCOMPARE(w->windowTitle(), QStringLiteral("Consulta"));
                auto *grelha = filho<DataGrid>(w, "DataGrid1");
                QCOMPARE(grelha->model()->columnCount(), 0);
                QCOMPARE(filho<DataCombo>(w, "DataCombo1")->rowCount(), 0);
                filho<QLineEdit>(w, t == TipoPlano::Contas ? "Desccpoc" : "Descanalit")->setText("x");
                filho<QPushButton>(w, "Command5")->click();
                QCOMPARE(grelha->model()->columnCount(), 0);
                delete w;
            }
        }
        QVERIFY(a.msgs.textos().isEmpty());

        // A search switches to the source in force; the outside rows are read afresh.
        a.sessao.gPlanosExt = false;
        QPointer<ChartConsult> w = new ChartConsult(a.sessao, TipoPlano::Contas);
        a.sessao.gPlanosExt = true;
        a.sessao.gTipoLig = "H";
        filho<QPushButton>(w, "Command5")->click();
        QCOMPARE(filho<DataGrid>(w, "DataGrid1")->totalLinhas(), 8);

        // A missing outside table: a clear message with the database's text; the window stays usable.
        a.sessao.gTipoLig = "T";
        filho<QPushButton>(w, "Command5")->click();
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith("A procura no plano de contas falhou."));
        QVERIFY(a.msgs.ultimo().contains("planocontas"));
        QCOMPARE(a.msgs.mostradas.last().icone, Mensagens::Icone::Critico);
        QVERIFY(!w.isNull());
        a.sessao.gPlanosExt = false;
        filho<QPushButton>(w, "Command5")->click();
        QCOMPARE(filho<DataGrid>(w, "DataGrid1")->totalLinhas(), 8);
        delete w;

        // An unreachable outside database, at load.
        a.msgs.limpa();
        a.sessao.gPlanosExt = true;
        a.sessao.gTipoLig = "S";
        a.sessao.gLigacao2 = "Driver=SQLite;Database=" + a.pasta() + "/nao_existe.db;";
        w = new ChartConsult(a.sessao, TipoPlano::CentrosCusto);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith("Não foi possível ligar à base de dados do plano de centros de custo."));
        QVERIFY(a.msgs.ultimo().contains("nao_existe.db"));
        QCOMPARE(filho<DataCombo>(w, "DataCombo1")->rowCount(), 0);
        filho<QPushButton>(w, "Command1")->click();
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(TstCharts)
#include "tst_charts.moc"
