#include "accruals/procuras.h"
#include "core/connection.h"
#include "core/datagrid.h"
#include "support/ambiente.h"
#include "support/fixtures.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// Base externa: centrosDeCustoEFontes

namespace {
struct Destino : ProcurasDestino {
    QList<QPair<int, QString>> recebidos;
    void recebeCodigo(int modo, const QString &codigo) override { recebidos.append({ modo, codigo }); }
};

template <typename T> T *filho(QWidget *w, const char *nome)
{
    T *c = w->findChild<T *>(QLatin1String(nome));
    if (!c)
        qWarning() << "sem controlo" << nome;
    return c;
}

QStringList coluna(DataGrid *g, int c)
{
    QStringList t;
    const int n = g->totalLinhas();
    for (int r = 0; r < n; ++r)
        t << g->texto(r, c).trimmed();
    return t;
}

QStringList titulos(DataGrid *g)
{
    QStringList t;
    for (int c = 0; c < g->model()->columnCount(); ++c)
        t << g->model()->headerData(c, Qt::Horizontal).toString();
    return t;
}

int linhaDe(DataGrid *g, const QString &codigo)
{
    return coluna(g, 0).indexOf(codigo);
}
} // namespace

class TstProcuras : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    void contasDoPlanoProprio()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "0001", "Firma Um"));
        QVERIFY(criaConta(db, "0001", 2024, "6221", "Trabalhos especializados"));
        QVERIFY(criaConta(db, "0001", 2024, "2111", "Clientes", false));
        QVERIFY(criaConta(db, "0001", 2024, "6222", "trabalhos externos"));
        QVERIFY(criaConta(db, "0001", 2024, "6811", "50% desconto"));
        QVERIFY(criaConta(db, "0001", 2024, "6812", "50 e tal"));
        QVERIFY(criaConta(db, "0001", 2024, "6_13", "Sublinhado"));
        QVERIFY(criaConta(db, "0001", 2023, "6229", "Ano anterior"));
        QVERIFY(criaConta(db, "0002", 2024, "6228", "Outra firma"));
        QVERIFY(a.entra("0001", 2024, 6));
        a.sessao.gModoProcura = 4;

        Destino destino;
        QPointer<Procuras> p = new Procuras(a.sessao, &destino);
        QVERIFY(p->isModal());
        p->open();
        QVERIFY(QTest::qWaitForWindowExposed(p));
        QCOMPARE(p->objectName(), QStringLiteral("Procuras"));
        QCOMPARE(filho<QLabel>(p, "Label1")->text(), QStringLiteral("Conta"));
        auto *grelha = filho<DataGrid>(p, "DataGrid1");
        auto *codigo = filho<QLineEdit>(p, "Codigo");
        auto *desc = filho<QLineEdit>(p, "Descricao");
        QVERIFY(grelha && codigo && desc);
        QCOMPARE(coluna(grelha, 0), (QStringList { "2111", "6221", "6222", "6811", "6812", "6_13" }));
        QCOMPARE(titulos(grelha), (QStringList { "Conta", "Descrição", "Lançadora" }));
        QCOMPARE(grelha->columnWidth(1), twipsParaPixels(5000));
        // The posting flag.
        QCOMPARE(coluna(grelha, 2).mid(0, 2), (QStringList { "Não", "Sim" }));

        auto procura = [&](const QString &c, const QString &d) {
            codigo->setText(c);
            desc->setText(d);
            filho<QPushButton>(p, "PesqButton")->click();
            return coluna(grelha, 0);
        };
        // The beginning of the code, or of the description, exact case; wildcards are literal.
        QCOMPARE(procura("62", ""), (QStringList { "6221", "6222" }));
        QCOMPARE(procura("", "Trab"), QStringList { "6221" });
        QCOMPARE(procura("", "trab"), QStringList { "6222" });
        QCOMPARE(procura("", "balhos"), QStringList {});
        QCOMPARE(procura("", "50%"), QStringList { "6811" });
        QCOMPARE(procura("6_", ""), QStringList { "6_13" });
        QCOMPARE(procura("6", "Trab"), QStringList { "6221" });
        // A control character is refused by name, and nothing is searched.
        QCOMPARE(procura("", QStringLiteral("Trab") + QChar(0)), QStringList {});
        QCOMPARE(a.msgs.textos(),
            QStringList {
                "O campo \"Descrição\" tem um carácter de controlo (U+0000) na posição 5: apague-o e escreva só texto." });
        a.msgs.limpa();
        // Typing narrows the list after a pause; Enter searches at once. Each search makes
        // its first row current.
        codigo->clear();
        desc->clear();
        QTest::keyClicks(codigo, "21");
        QTRY_COMPARE(coluna(grelha, 0), QStringList { "2111" });
        QCOMPARE(grelha->linhaActual(), 0);
        codigo->clear();
        QTest::keyClick(codigo, Qt::Key_Return);
        QCOMPARE(coluna(grelha, 0).size(), 6);
        QCOMPARE(grelha->linhaActual(), 0);
        QVERIFY(p->isVisible());

        // Without a row: a message, and the dialog stays.
        procura("", "balhos");
        filho<QPushButton>(p, "OkButton")->click();
        QCOMPARE(a.msgs.textos(), QStringList { "Escolha uma Conta!" });
        QVERIFY(p->isVisible());
        QVERIFY(destino.recebidos.isEmpty());
        // A chosen row goes to the destination and the dialog goes away.
        procura("", "");
        grelha->setCurrentIndex(grelha->model()->index(linhaDe(grelha, "6221"), 0));
        filho<QPushButton>(p, "OkButton")->click();
        QCOMPARE(destino.recebidos, (QList<QPair<int, QString>> { { 4, "6221" } }));
        QTRY_VERIFY(p.isNull());

        // A search of one row, then "Ok": that row.
        p = new Procuras(a.sessao, &destino);
        p->open();
        filho<QLineEdit>(p, "Codigo")->setText("681");
        filho<QLineEdit>(p, "Descricao")->setText("50 e");
        QTest::keyClick(filho<QLineEdit>(p, "Descricao"), Qt::Key_Return);
        filho<QPushButton>(p, "OkButton")->click();
        QCOMPARE(destino.recebidos.last(), (QPair<int, QString> { 4, "6812" }));
        QTRY_VERIFY(p.isNull());

        // A double click on a row accepts it, here inside a modal exec().
        p = new Procuras(a.sessao, &destino);
        QTimer::singleShot(0, p, [&] {
            QVERIFY(QTest::qWaitForWindowExposed(p));
            auto *g = filho<DataGrid>(p, "DataGrid1");
            const QRect r = g->visualRect(g->model()->index(linhaDe(g, "6811"), 1));
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, r.center());
        });
        QTimer::singleShot(5000, p, &QDialog::reject); // never hang
        QCOMPARE(p->exec(), int(QDialog::Accepted));
        QCOMPARE(destino.recebidos.last(), (QPair<int, QString> { 4, "6811" }));
        QTRY_VERIFY(p.isNull());

        // "Cancelar" hands nothing back.
        p = new Procuras(a.sessao, &destino);
        p->open();
        filho<QPushButton>(p, "CancelButton")->click();
        QTRY_VERIFY(p.isNull());
        QCOMPARE(destino.recebidos.size(), 3);
        QCOMPARE(a.msgs.textos().size(), 1);
    }

    void centrosDeCustoEFontes()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "0001", "Firma Um"));
        QVERIFY(criaCCusto(db, "0001", 2024, "CC2", "Loja"));
        QVERIFY(criaCCusto(db, "0001", 2024, "CC1", "Armazem", false));
        QVERIFY(a.entra("0001", 2024, 6));
        a.sessao.gModoProcura = 5;
        Destino destino;

        auto abre = [&]() {
            auto *p = new Procuras(a.sessao, &destino);
            p->open();
            return QPointer<Procuras>(p);
        };
        QPointer<Procuras> p = abre();
        auto *grelha = filho<DataGrid>(p, "DataGrid1");
        QCOMPARE(filho<QLabel>(p, "Label1")->text(), QStringLiteral("Ct.Custo"));
        QCOMPARE(titulos(grelha), (QStringList { "Conta", "Descrição", "Lançador" }));
        QCOMPARE(coluna(grelha, 0), (QStringList { "CC1", "CC2" }));
        QCOMPARE(coluna(grelha, 2), (QStringList { "Não", "Sim" }));
        grelha->setCurrentIndex(grelha->model()->index(1, 0));
        filho<QPushButton>(p, "OkButton")->click();
        QCOMPARE(destino.recebidos.last(), (QPair<int, QString> { 5, "CC2" }));
        QTRY_VERIFY(p.isNull());

        // SENDYS, with the outside company code.
        a.criaBaseExterna("A");
        QVERIFY(corre(a.dbExterna(),
            "INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES "
            "('E01','2024','X1','1','Fora'), ('0001','2024','X9','1','Outra')"));
        QVERIFY(corre(a.dbExterna(),
            "INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES "
            "('E01','2024','311','0','Compras')"));
        a.sessao.gPlanosExt = true;
        a.sessao.gTipoLig = "A";
        a.sessao.gEmpCtb = "E01";
        p = abre();
        QCOMPARE(coluna(filho<DataGrid>(p, "DataGrid1"), 0), QStringList { "X1" });
        delete p;
        a.sessao.gModoProcura = 4;
        p = abre();
        QCOMPARE(coluna(filho<DataGrid>(p, "DataGrid1"), 2), QStringList { "Não" });
        delete p;

        // SAGE: accounts of nivint 0 only, every cost centre, no year.
        a.criaBaseExterna("S");
        QVERIFY(corre(a.dbExterna(), "INSERT INTO poc (conta, descr, nivint) VALUES ('311','Compras',0), ('31','Classe',1)"));
        QVERIFY(corre(a.dbExterna(), "INSERT INTO ccusto (cod, descr, enqcus) VALUES ('S1','Loja','E')"));
        a.sessao.gTipoLig = "S";
        p = abre();
        grelha = filho<DataGrid>(p, "DataGrid1");
        QCOMPARE(coluna(grelha, 0), QStringList { "311" });
        QCOMPARE(titulos(grelha), (QStringList { "Conta", "Descrição" }));
        filho<QLineEdit>(p, "Descricao")->setText("Comp");
        filho<QPushButton>(p, "PesqButton")->click();
        QCOMPARE(coluna(grelha, 0), QStringList { "311" });
        delete p;
        a.sessao.gModoProcura = 5;
        p = abre();
        QCOMPARE(titulos(filho<DataGrid>(p, "DataGrid1")), (QStringList { "Codigo", "Descrição", "EnqCus" }));
        QCOMPARE(coluna(filho<DataGrid>(p, "DataGrid1"), 0), QStringList { "S1" });
        delete p;
        QVERIFY(a.msgs.textos().isEmpty());

        // Primavera, PHC and unknown letters: nothing read, nothing said; OK asks for a code.
        for (const char *letra : { "T", "H", "a" }) {
            a.sessao.gTipoLig = letra;
            p = abre();
            QCOMPARE(filho<DataGrid>(p, "DataGrid1")->model()->rowCount(), 0);
            QVERIFY(a.msgs.textos().isEmpty());
            filho<QPushButton>(p, "OkButton")->click();
            QCOMPARE(a.msgs.textos(), QStringList { "Escolha uma Conta!" });
            a.msgs.limpa();
            delete p;
        }

        // An unreachable outside database: a clear message, the dialog stays usable.
        a.sessao.gTipoLig = "S";
        a.sessao.gLigacao2 = "Driver=SQLite;Database=" + a.pasta() + "/nao_existe.db;";
        p = abre();
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith("Não foi possível ler o plano de centros de custo."));
        QVERIFY(a.msgs.ultimo().contains("nao_existe.db"));
        // Said once: the searches after pauses in typing fail silently; Enter says it again.
        auto *espera = p->findChild<QTimer *>("espera");
        auto *caixa = filho<QLineEdit>(p, "Codigo");
        QVERIFY(espera);
        for (const char *texto : { "S", "1" }) {
            QTest::keyClicks(caixa, texto);
            QVERIFY(espera->isActive());
            QTRY_VERIFY(!espera->isActive());
        }
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QTest::keyClick(caixa, Qt::Key_Return);
        QCOMPARE(a.msgs.mostradas.size(), 2);
        QTest::keyClicks(caixa, "x");
        QTRY_VERIFY(!espera->isActive());
        QCOMPARE(a.msgs.mostradas.size(), 2);
        // A database that answers but fails the statement (no such table) is one failure too,
        // though PostgreSQL's text names another prepared statement at each attempt.
        a.sessao.gLigacao2 = a.sessao.gLigacao1;
        QTest::keyClick(caixa, Qt::Key_Return);
        QCOMPARE(a.msgs.mostradas.size(), 3);
        for (const char *texto : { "y", "z" }) {
            QTest::keyClicks(filho<QLineEdit>(p, "Descricao"), texto);
            QTRY_VERIFY(!espera->isActive());
        }
        QCOMPARE(a.msgs.mostradas.size(), 3);
        filho<QPushButton>(p, "CancelButton")->click();
        QTRY_VERIFY(p.isNull());
        QCOMPARE(destino.recebidos.size(), 1);
    }
};

QTEST_MAIN(TstProcuras)
#include "tst_accruals.moc"
