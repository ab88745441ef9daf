#include "accruals/procuras.h"
#include "core/appfolder.h"
#include "core/connection.h"
#include "core/datacombo.h"
#include "core/datagrid.h"
#include "core/leitorxlsx.h"
#include "reports/totconta.h"
#include "support/ambiente.h"
#include "support/fixtures.h"
#include "support/postos.h"

#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

struct Janela {
    QPointer<TotConta> w;
    DataCombo *conta = nullptr, *ccusto = nullptr;
    QLineEdit *descConta = nullptr, *descCCusto = nullptr, *deb = nullptr, *cre = nullptr, *t1 = nullptr, *t2 = nullptr;
    QDateEdit *data = nullptr;
    QPushButton *visu = nullptr, *exporta = nullptr, *cancela = nullptr;

    bool encontrou() const
    {
        return conta && ccusto && descConta && descCCusto && deb && cre && t1 && t2 && data && visu && exporta && cancela;
    }
    QStringList lista(DataCombo *c) const
    {
        QStringList r;
        for (int i = 0; i < c->count(); ++i)
            r << c->itemText(i).trimmed();
        return r;
    }
    // Account, cost centre and month as a user would set them, then "Visualizar".
    QString totais(const QString &c, const QString &cc, int ano, int mes)
    {
        conta->setText(c);
        ccusto->setText(cc);
        data->setDate(QDate(ano, mes, 1));
        visu->click();
        return deb->text() + QLatin1Char('/') + cre->text();
    }
};

Janela abre(Session &s)
{
    Janela j;
    j.w = new TotConta(s);
    auto f = [&](const char *n) { return j.w->findChild<QLineEdit *>(QLatin1String(n)); };
    j.conta = j.w->findChild<DataCombo *>("DataCombo1");
    j.ccusto = j.w->findChild<DataCombo *>("DataCombo2");
    j.descConta = f("Desccpoc");
    j.descCCusto = f("Descccusto");
    j.deb = f("vtotdeb");
    j.cre = f("vtotcre");
    j.t1 = f("Text1");
    j.t2 = f("Text2");
    j.data = j.w->findChild<QDateEdit *>("DTPicker1");
    j.visu = j.w->findChild<QPushButton *>("VisuButton");
    j.exporta = j.w->findChild<QPushButton *>("ExportButton");
    j.cancela = j.w->findChild<QPushButton *>("CancelButton");
    j.w->show();
    return j;
}

// A total as the window writes it: the workstation's decimal separator in place of the comma.
QString local(QString t)
{
    return t.replace(QLatin1Char(','), QLocale::system().decimalPoint());
}

// The search dialog over the window: finds a code and accepts the first row.
bool escolheNaProcura(TotConta *w, const QString &codigo)
{
    auto *p = w->findChild<Procuras *>();
    if (!p)
        return false;
    p->findChild<QLineEdit *>("Codigo")->setText(codigo);
    p->findChild<QPushButton *>("PesqButton")->click();
    auto *g = p->findChild<DataGrid *>("DataGrid1");
    if (!g->temLinhas())
        return false;
    g->setCurrentIndex(g->model()->index(0, 0));
    p->findChild<QPushButton *>("OkButton")->click();
    return true;
}

// The user's work rows, one text per movement: ref, side, account, cost centre, value.
QStringList movimentos(QSqlDatabase db, const QString &login)
{
    QSqlQuery q(db);
    QStringList r;
    if (!executa(
            q, "SELECT Ref, DebCre, Conta, Analitica, Valor, CodFirma FROM Copiamlv WHERE Utilizador = ? ORDER BY Id", { login }))
        return { "erro" };
    while (q.next())
        r << QStringLiteral("%1%2 %3 %4 %5 %6")
                 .arg(q.value(0).toInt())
                 .arg(q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                     formataCentimos(paraCentimos(q.value(4))), q.value(5).toString().trimmed());
    return r;
}

QStringList prefixos(QSqlDatabase db, const QString &firma, const QString &nome)
{
    QSqlQuery q(db);
    QStringList r;
    executa(q, "SELECT RestContas FROM RestAnal WHERE CodFirma = ? AND Utilizador = ? ORDER BY Id", { firma, nome });
    while (q.next())
        r << q.value(0).toString();
    return r;
}

} // namespace

class TstTotais : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    void janelaListasETeclas()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "0001", "Firma Um"));
        QVERIFY(criaFirma(db, "0002", "Sendys", { true, "A", "E1", false, "", false }));
        QVERIFY(criaFirma(db, "0003", "Sage", { true, "S", "", false, "", false }));
        QVERIFY(criaFirma(db, "0004", "Primavera", { true, "T", "", false, "", false }));
        QVERIFY(criaFirma(db, "0005", "PHC", { true, "H", "", false, "", false }));
        QVERIFY(criaConta(db, "0001", 2024, "6211", "Seguros") && criaConta(db, "0001", 2024, "2711", "Diferimentos", false));
        QVERIFY(criaConta(db, "0001", 2023, "6299", "Ano anterior") && criaConta(db, "0002", 2024, "6298", "Outra firma"));
        QVERIFY(criaCCusto(db, "0001", 2024, "CC2", "Armazém") && criaCCusto(db, "0001", 2024, "CC1", "Loja"));
        QVERIFY(a.entra("0001", 2024, 6));

        Janela j = abre(a.sessao);
        QVERIFY(j.encontrou());
        QCOMPARE(j.w->objectName(), QStringLiteral("Tot_conta"));
        QCOMPARE(j.w->windowTitle(), QStringLiteral("Totais a diferir por Conta POC"));
        QCOMPARE(j.lista(j.conta), (QStringList { "2711", "6211" }));
        QCOMPARE(j.lista(j.ccusto), (QStringList { "CC1", "CC2" }));
        QCOMPARE(j.deb->text() + "/" + j.cre->text(), QStringLiteral("0/0"));
        QCOMPARE(j.t1->text() + j.t2->text(), QStringLiteral("DP"));
        QCOMPARE(j.data->date(), QDate(2006, 7, 25));
        QCOMPARE(j.data->displayFormat(), QStringLiteral("MM-yyyy"));
        // A blank account is refused, so no label offers it as all accounts.
        for (const QLabel *l : j.w->findChildren<QLabel *>())
            QVERIFY2(!l->text().contains("todas as contas"), qPrintable(l->text()));

        // The description follows the code, and empties for a code not in the list.
        j.conta->setText("6211");
        QCOMPARE(j.descConta->text(), QStringLiteral("Seguros"));
        j.conta->setText("9");
        QCOMPARE(j.descConta->text(), QString());

        // The keypad's divide key opens the search; what it accepts lands in the list that asked.
        j.conta->setFocus();
        QTest::keyClick(j.conta, Qt::Key_Slash, Qt::KeypadModifier);
        QCOMPARE(a.sessao.gModoProcura, 4);
        QCOMPARE(j.conta->text(), QStringLiteral("9"));
        QVERIFY(escolheNaProcura(j.w, "27"));
        QCOMPARE(j.conta->text(), QStringLiteral("2711"));
        QCOMPARE(j.descConta->text(), QStringLiteral("Diferimentos"));
        QTRY_VERIFY(!j.w->findChild<Procuras *>());
        QTest::keyClick(j.ccusto, Qt::Key_Slash, Qt::KeypadModifier);
        QCOMPARE(a.sessao.gModoProcura, 5);
        QVERIFY(escolheNaProcura(j.w, "CC2"));
        QCOMPARE(j.ccusto->text(), QStringLiteral("CC2"));
        QCOMPARE(j.descCCusto->text(), QStringLiteral("Armazém"));
        QVERIFY(a.msgs.mostradas.isEmpty());
        // Esc in a list closes the window.
        QTest::keyClick(j.ccusto, Qt::Key_Escape);
        QTRY_VERIFY(j.w.isNull());

        // SENDYS: the own layout under the package's company code, on the outside database.
        a.criaBaseExterna("A");
        QVERIFY(corre(a.dbExterna(),
            "INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES "
            "('E1', '2024', '6311', 1, 'Ext'), ('0002', '2024', '6312', 1, 'Nao')"));
        QVERIFY(corre(a.dbExterna(),
            "INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES "
            "('E1', '2024', 'X1', 1, 'Centro')"));
        QVERIFY(a.entra("0002", 2024, 6));
        j = abre(a.sessao);
        QCOMPARE(j.lista(j.conta), QStringList { "6311" });
        QCOMPARE(j.lista(j.ccusto), QStringList { "X1" });
        j.ccusto->setText("X1");
        QCOMPARE(j.descCCusto->text(), QStringLiteral("Centro"));
        j.cancela->click();
        QTRY_VERIFY(j.w.isNull());

        // SAGE: accounts of nivint 0 only, every cost centre by its code.
        a.criaBaseExterna("S");
        QVERIFY(
            corre(a.dbExterna(), "INSERT INTO poc (conta, descr, nivint) VALUES ('62', 'Grupo', 1), ('6211', 'Seguros S', 0)"));
        QVERIFY(corre(a.dbExterna(), "INSERT INTO ccusto (cod, descr) VALUES ('B', 'Beta'), ('A', 'Alfa')"));
        QVERIFY(a.entra("0003", 2024, 6));
        j = abre(a.sessao);
        QCOMPARE(j.lista(j.conta), QStringList { "6211" });
        QCOMPARE(j.lista(j.ccusto), (QStringList { "A", "B" }));
        j.conta->setText("6211");
        QCOMPARE(j.descConta->text(), QStringLiteral("Seguros S"));
        delete j.w;

        // Primavera and PHC: no lists, and nothing said.
        a.criaBaseExterna("T");
        QVERIFY(corre(a.dbExterna(), "INSERT INTO planocontas (conta, descricao, ano) VALUES ('6211', 'P', '2024')"));
        for (const char *firma : { "0004", "0005" }) {
            QVERIFY(a.entra(firma, 2024, 6));
            j = abre(a.sessao);
            QCOMPARE(j.conta->count() + j.ccusto->count(), 0);
            delete j.w;
        }
        QVERIFY(a.msgs.mostradas.isEmpty());

        // A SENDYS company whose outside database lacks the tables: said, and the window stays usable.
        QVERIFY(a.entra("0002", 2024, 6));
        j = abre(a.sessao);
        QCOMPARE(a.msgs.mostradas.size(), 2);
        QVERIFY(a.msgs.mostradas.first().texto.startsWith("Não foi possível ler o plano de contas."));
        QCOMPARE(j.totais("6211", "", 2024, 1), QStringLiteral("0/0"));
        delete j.w;
    }

    void totaisDepoisDoMes()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "0001", "Firma Um") && criaFirma(db, "0002", "Firma Dois"));
        // 0,10 a month from November 2024 to January 2025 on CC1; 0,20 in January 2025 without a cost centre.
        QVERIFY(criaMolvaralizacao(db, { "0001", 1, "Seguro", "FT1", 30, 3, 2024, 11, "62110", "2711", "CC1" }));
        QVERIFY(criaMolvaralizacao(db, { "0001", 2, "Renda", "FT2", 20, 1, 2025, 1, "62110", "2711", "" }));
        // Both sides on one account, integrated.
        QVERIFY(criaMolvaralizacao(db, { "0001", 3, "Ajuste", "A3", 123450, 1, 2025, 2, "62110", "62110", "CC2", "1" }));
        QVERIFY(criaMolvaralizacao(db, { "0001", 4, "Antes", "B4", 500, 1, 2024, 10, "2711", "62110", "" }));
        QVERIFY(criaMolvaralizacao(db, { "0002", 5, "Outra", "C5", 99900, 1, 2025, 6, "62110", "2711", "" }));
        QVERIFY(a.entra("0001", 2024, 6));
        Janela j = abre(a.sessao);

        // December: January of the next year counts, December itself does not; 0,10 + 0,20 shows 0,3.
        // Plain decimal text: no trailing zero decimals, a whole sum without any.
        QCOMPARE(j.totais("2711", "", 2024, 12), local("0/0,3"));
        QCOMPARE(j.w->anoEscolhido() * 100 + j.w->mesEscolhido(), 202412);
        QCOMPARE(j.totais("2711", "", 2024, 11), local("0/0,4"));
        QCOMPARE(j.totais("2711", "", 2025, 1), QStringLiteral("0/0"));
        QCOMPARE(j.totais("2711", "", 2024, 9), local("5/0,5"));
        QCOMPARE(j.totais("2711", "CC1", 2024, 11), local("0/0,2"));
        QCOMPARE(j.totais("62110", "", 2024, 12), local("1234,8/1234,5"));
        QCOMPARE(j.totais("62110", "CC2", 2024, 12), local("1234,5/1234,5"));
        QCOMPARE(j.totais("6211", "", 2020, 1), QStringLiteral("0/0"));
        // Values are bound, never pasted into the statement.
        QCOMPARE(j.totais("x' OR '1'='1", "", 2020, 1), QStringLiteral("0/0"));

        // Enter in a list is "Visualizar"; Text1 and Text2 change nothing; a change alone clears nothing.
        j.t1->setText("M");
        j.t2->setText("C");
        j.conta->setText("62110");
        j.ccusto->setText("");
        j.data->setDate(QDate(2024, 12, 1));
        QTest::keyClick(j.conta, Qt::Key_Return);
        QCOMPARE(j.deb->text() + "/" + j.cre->text(), local("1234,8/1234,5"));
        j.conta->setText("2711");
        QCOMPARE(j.deb->text(), local("1234,8"));

        // No account: said, and the totals stay.
        j.conta->setText("");
        QTest::keyClick(j.ccusto, Qt::Key_Enter);
        QCOMPARE(a.msgs.textos(), QStringList { "Escolha uma ContaPoc!" });
        QCOMPARE(j.deb->text(), local("1234,8"));

        // A failing query is said with the database's text; the totals stay and the window still works.
        QVERIFY(corre(db, "ALTER TABLE Molvar RENAME TO MolvarFora"));
        QCOMPARE(j.totais("62110", "", 2025, 1), local("1234,8/1234,5"));
        QVERIFY(a.msgs.ultimo().startsWith("Não foi possível calcular os totais da conta.\n\n"));
        QVERIFY(corre(db, "ALTER TABLE MolvarFora RENAME TO Molvar"));
        QCOMPARE(j.totais("62110", "", 2025, 1), local("1234,5/1234,5"));

        // Amounts that SQLite keeps as binary doubles just under the cent (1,15 is 114,999... cents):
        // each is rounded to its cent before the sum, never cut.
        QVERIFY(criaMolvaralizacao(db, { "0001", 6, "Portes", "P6", 115, 1, 2025, 3, "2781", "2711", "" }));
        QVERIFY(criaMolvaralizacao(db, { "0001", 7, "Selos", "P7", 29, 1, 2025, 3, "2781", "2711", "" }));
        QVERIFY(criaMolvaralizacao(db, { "0001", 8, "Taxas", "P8", 57, 1, 2025, 3, "2781", "2711", "" }));
        QCOMPARE(j.totais("2781", "", 2025, 2), local("2,01/0"));
        // Three decimals written by another program: rounded as written, half away from zero.
        QVERIFY(corre(db, "UPDATE Molvar SET Valor = 1.005 WHERE Ref = 6"));
        QCOMPARE(j.totais("2781", "", 2025, 2), local("1,87/0"));

        // No total is cut, however long: eleven rows of 9 999 999 999 999,99.
        for (int r = 10; r < 21; ++r)
            QVERIFY(criaMolvaralizacao(db, { "0001", r, "Grande", "G", 999999999999999, 1, 2025, 3, "699", "2711", "" }));
        QCOMPARE(j.totais("699", "", 2025, 1), local("109999999999999,89/0"));
        delete j.w;
    }

    void exportacao()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "0001", "Firma Um, Lda", { false, "", "", true, "6* 7" }) && criaFirma(db, "0002", "Dois"));
        QVERIFY(criaMolvaralizacao(
            db, { "0001", 1, "Seguro automóvel da frota toda", "FT1", 10010, 1, 2025, 1, "62110", "2711", "CC1" }));
        QVERIFY(criaMolvaralizacao(db, { "0001", 2, "Renda", "", 5000, 1, 2025, 2, "411", "62110", "CC2" }));
        QVERIFY(criaMolvaralizacao(db, { "0001", 3, "Ajuste", "A3", 10, 1, 2025, 3, "62110", "62110", "CC1" }));
        QVERIFY(criaMolvaralizacao(db, { "0001", 4, "Dezembro", "D4", 700, 1, 2024, 12, "62110", "2711", "CC1" }));
        QVERIFY(criaMolvaralizacao(db, { "0001", 5, "Classe 7", "S5", 20, 1, 2025, 4, "72110", "62110", "CC3" }));
        QVERIFY(criaMolvaralizacao(db, { "0002", 6, "Outra", "O6", 90000, 1, 2025, 1, "62110", "2711", "CC1" }));
        // Rows of other users, and of this user elsewhere.
        QVERIFY(corre(db,
            "INSERT INTO Copiamlv (CodFirma, Conta, Valor, DebCre, Utilizador) VALUES ('0001', '1', 1, 'D', 'maria'), "
            "('0002', '2', 2, 'D', 'admin')"));
        QVERIFY(corre(db,
            "INSERT INTO RestAnal (CodFirma, RestContas, Utilizador) VALUES ('0001', '9', 'Maria'), "
            "('0002', '8', 'Administrador'), ('0001', 'velho', 'Administrador')"));
        QVERIFY(a.entra("0001", 2024, 6));
        Janela j = abre(a.sessao);
        const QString folha = QDir(appFolder()).filePath("0001122024.xlsx");

        // No account: the prefixes are rebuilt (a blank after a "*" is no part of one), but no movement and no workbook.
        j.data->setDate(QDate(2024, 12, 1));
        j.exporta->click();
        QCOMPARE(a.msgs.textos(), QStringList { "Escolha uma ContaPoc!" });
        QCOMPARE(prefixos(db, "0001", "Administrador"), (QStringList { "6", "7" }));
        QCOMPARE(a.sessao.gExpTipo, 3);
        // A prefix listed twice is kept once.
        QVERIFY(corre(db, "UPDATE ParamFirma SET Analitica = '6*6' WHERE CodFirma = '0001'"));
        j.exporta->click();
        QCOMPARE(prefixos(db, "0001", "Administrador"), QStringList { "6" });
        QVERIFY(corre(db, "UPDATE ParamFirma SET Analitica = '6*7' WHERE CodFirma = '0001'"));
        a.msgs.limpa();
        j.exporta->click();
        QCOMPARE(movimentos(db, "admin"), QStringList { "0D 2  2,00 0002" });
        QVERIFY(!QFile::exists(folha));

        // The account's movements after December; a side carries its cost centre only on a prefixed account.
        j.conta->setText("62110");
        j.exporta->click();
        QCOMPARE(a.msgs.textos(),
            (QStringList { "Escolha uma ContaPoc!", "A folha de cálculo foi gravada em " + QDir::toNativeSeparators(folha) }));
        QCOMPARE(a.sessao.gExpFicheiro, QStringLiteral("0001122024.xls"));
        QCOMPARE(a.sessao.gExpTipo, 3);
        QCOMPARE(a.sessao.gExpRegistos, 5);
        QCOMPARE(movimentos(db, "admin"),
            (QStringList { "1D 62110 CC1 100,10 0001", "2C 62110 CC2 50,00 0001", "3D 62110 CC1 0,10 0001",
                "3C 62110 CC1 0,10 0001", "5C 62110 CC3 0,20 0001" }));
        QCOMPARE(prefixos(db, "0001", "Administrador"), (QStringList { "6", "7" }));
        QCOMPARE(prefixos(db, "0002", "Administrador"), QStringList { "8" });
        QCOMPARE(prefixos(db, "0001", "Maria"), QStringList { "9" });
        QCOMPARE(movimentos(db, "maria"), QStringList { "0D 1  1,00 0001" });

        LeitorXlsx x;
        QVERIFY(x.abre(folha));
        QCOMPARE(x.valor(1, "A1").toString(), QStringLiteral("Firma: Firma Um, Lda"));
        QCOMPARE(x.valor(1, "A2").toString(), QStringLiteral("Exportação de Totais por Conta em Formato Excel"));
        QStringList cab;
        for (const char *c : { "A4", "B4", "C4", "D4", "E4", "F4", "G4", "H4" })
            cab << x.valor(1, c).toString();
        QCOMPARE(cab, (QStringList { "Ano", "Mes", "Referencia", "Conta", "CCusto", "Valor", "Deb_Cre", "Descricao" }));
        QCOMPARE(x.ultimaLinha(1), 9);
        QCOMPARE(x.valor(1, "A5").toInt() * 100 + x.valor(1, "B5").toInt(), 202501);
        QCOMPARE(x.valor(1, "F5").toDouble(), 100.10);
        QCOMPARE(x.valor(1, "H5").toString(), QStringLiteral("FT1 Seguro automóvel da frota "));
        QCOMPARE(x.valor(1, "H6").toString(), QStringLiteral(" Renda"));

        // A prefix keeps the pattern characters ("#" is any digit, 0 and 9 too); an empty prefix takes every account; none
        // without a list.
        QVERIFY(contaComPrefixo("6909", "6##9"));
        const struct {
            const char *lista, *conta;
            QStringList esperado;
        } casos[] = { { "6*7", "411", { "2D 411  50,00 0001" } }, { "6*7", "2711", { "1C 2711  100,10 0001" } },
            { "6**7", "411", { "2D 411 CC2 50,00 0001" } }, { "   ", "2711", { "1C 2711 CC1 100,10 0001" } },
            { "#7", "2711", { "1C 2711 CC1 100,10 0001" } }, { "[3-4]1", "411", { "2D 411 CC2 50,00 0001" } },
            { "[!4]", "411", { "2D 411  50,00 0001" } }, { "", "72110", { "5D 72110  0,20 0001" } } };
        for (const auto &c : casos) {
            QVERIFY(corre(db, "UPDATE ParamFirma SET Analitica = ? WHERE CodFirma = '0001'", { QString::fromLatin1(c.lista) }));
            j.conta->setText(c.conta);
            j.exporta->click();
            QCOMPARE(movimentos(db, "admin"), c.esperado);
        }

        // A cost centre narrows the rows; March 2024 names the workbook with the month unpadded.
        QVERIFY(corre(db, "UPDATE ParamFirma SET Analitica = '6*7' WHERE CodFirma = '0001'"));
        j.conta->setText("62110");
        j.ccusto->setText("CC1");
        j.data->setDate(QDate(2024, 3, 1));
        j.exporta->click();
        QCOMPARE(movimentos(db, "admin").size(), 4); // 1D, 3D, 3C and the December row 4D
        QCOMPARE(a.sessao.gExpFicheiro, QStringLiteral("000132024.xls"));

        // Another user at the same time sees only their own movements, and leaves these alone.
        Session outra = a.sessao;
        outra.gLogin = QStringLiteral("maria");
        outra.gNomeUtilizador = QStringLiteral("Maria");
        Janela m = abre(outra);
        m.conta->setText("2711");
        m.data->setDate(QDate(2024, 12, 1));
        m.exporta->click();
        QCOMPARE(movimentos(db, "maria"), QStringList { "1C 2711  100,10 0001" });
        QCOMPARE(movimentos(db, "admin").size(), 4);
        // Each export of the same name took a new workbook beside the earlier ones.
        QCOMPARE(outra.gExpCaminho, QDir(appFolder()).filePath("0001122024 (10).xlsx"));
        QVERIFY(x.abre(outra.gExpCaminho));
        QCOMPARE(x.ultimaLinha(1), 5);
        delete m.w;

        // A failure half-way keeps the previous rows of the user and writes no workbook.
        const int mostradas = a.msgs.mostradas.size();
        QVERIFY(QFile::remove(QDir(appFolder()).filePath("000132024.xlsx")));
        QVERIFY(corre(db, "UPDATE ParamFirma SET Analitica = '5' WHERE CodFirma = '0001'"));
        QVERIFY(corre(db, "ALTER TABLE Molvar RENAME TO MolvarFora"));
        j.exporta->click();
        QCOMPARE(a.msgs.mostradas.size(), mostradas + 1);
        QVERIFY(a.msgs.ultimo().startsWith("Não foi possível preparar a exportação dos totais por conta; nada foi exportado."));
        QCOMPARE(movimentos(db, "admin").size(), 4);
        QCOMPARE(prefixos(db, "0001", "Administrador"), (QStringList { "6", "7" }));
        QVERIFY(!QFile::exists(QDir(appFolder()).filePath("000132024.xlsx")));
        QVERIFY(corre(db, "ALTER TABLE MolvarFora RENAME TO Molvar"));
        delete j.w;
    }

    // Two workstations, same user, exporting two accounts at once: each workbook holds only
    // its own account's movements, and the user's prefixes are there once.
    void exportacoesAoMesmoTempo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "0001", "Firma Um, Lda", { false, "", "", true, "6*7" }));
        for (int ref = 1; ref <= 20; ++ref)
            QVERIFY(criaMolvaralizacao(db, { "0001", ref, "Seguro", "FT", 120000, 12, 2025, 1, "62110", "2711", "CC1" }));
        const QString ligacao = ligacaoParaOutroProcesso(a);
        const QString contas[] = { QStringLiteral("62110"), QStringLiteral("2711") };
        for (int ronda = 0; ronda < 2; ++ronda) {
            // Both wait at the same point, then run together.
            Barreira b(db, QStringLiteral("Copiamlv"));
            QVERIFY(b.activa());
            std::vector<std::unique_ptr<Posto>> postos;
            for (const QString &c : contas)
                postos.push_back(
                    std::make_unique<Posto>(QStringList { "totais", ligacao, "0001", c, QDir(a.pasta()).filePath(c + ".xlsx") }));
            for (auto &p : postos)
                QVERIFY2(p->pronto(), qPrintable(p->saida()));
            QVERIFY(b.esperaBloqueados(2));
            QVERIFY(b.liberta());
            for (auto &p : postos)
                QVERIFY2(p->termina(), qPrintable(p->saida()));
            for (const QString &c : contas) {
                LeitorXlsx x;
                QVERIFY(x.abre(QDir(a.pasta()).filePath(c + ".xlsx")));
                QCOMPARE(x.ultimaLinha(1), 4 + 240);
                QStringList alheias;
                for (int l = 5; l <= x.ultimaLinha(1); ++l)
                    if (x.valor(1, QStringLiteral("D%1").arg(l)).toString() != c)
                        alheias << QString::number(l);
                QVERIFY2(alheias.isEmpty(), qPrintable(c + ": linhas alheias " + alheias.join(' ')));
            }
            QCOMPARE(prefixos(db, "0001", "Administrador"), (QStringList { "6", "7" }));
        }
    }
};

QTEST_MAIN(TstTotais)
#include "tst_totais.moc"
