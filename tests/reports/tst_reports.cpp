#include "charts/chartconsult.h"
#include "charts/convertesnc.h"
#include "core/appfolder.h"
#include "core/connection.h"
#include "core/datacombo.h"
#include "core/datagrid.h"
#include "core/folhaemescrita.h"
#include "core/leitorxlsx.h"
#include "core/transacao.h"
#include "reports/consulttable.h"
#include "reports/totconta.h"
#include "support/ambiente.h"
#include "support/fixtures.h"
#include "support/postos.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QtTest>
#include <functional>

namespace {

const QStringList kTitulos
    = { "Referencia", "CodFirma", "Descrição", "Valor", "Mês", "Ano", "CCusto", "Ndoc", "Conta Deb", "Conta Cre", "Int.Contab.",
          "Moeda", "Valor Ori.", "Data Int.", "Linha Deb", "Linha Cred", "Diario", "Num Diario", "Cont. Export." };
const QString kLonga = QStringLiteral(
    "Algumas Linhas Já Estão Integradas na Contabilidade. Aconselhamos que Antes de Eliminar as Restantes Exporte a Referência "
    "em Questão para Proceder á Regularização no Programa de Contabilidade. Deseja Apagar Já as Linhas Restantes?");
const QString kTodasIntegradas = QStringLiteral("Não Pode Apagar, Todas as Linhas Estão Integradas na Contabilidade!");

// The message fake, with a hook that runs when a Yes/No question is asked, before the answer.
class MensagensComGancho : public MensagensFalsas
{
public:
    std::function<void()> aoPerguntar;
    Resposta mostra(const QString &texto, const QString &titulo, Botoes botoes, Icone icone) override
    {
        if (botoes == Botoes::SimNao && aoPerguntar)
            aoPerguntar();
        return MensagensFalsas::mostra(texto, titulo, botoes, icone);
    }
};

// Company 0001 (16 lines over 7 references) and a neighbour 0002 that must never show.
bool preenche(QSqlDatabase db)
{
    return criaFirma(db, "0001", "Firma Um, Lda") && criaFirma(db, "0002", "Firma Dois")
        && criaMolvaralizacao(db, { "0001", 1, "Seguro automóvel", "FT1", 10000, 3, 2024, 1, "6261", "2721", "", "0" })
        && criaMolvaralizacao(db, { "0001", 2, "Renda 50% O'Neil", "A_1", 5000, 2, 2023, 12, "6262", "2721", "CC1", "0" })
        && criaMolvaralizacao(db, { "0001", 3, "Avença", "FT10", 3000, 1, 2024, 3, "6263", "2721", "", "1" })
        && criaMolvaralizacao(db, { "0001", 4, "Renda 50 O Neil", "AB1", 2000, 1, 2024, 5, "6262", "2721", "", "0" })
        && criaMolvaralizacao(db, { "0001", 5, "Licença", "L5", 4000, 4, 2024, 6, "6264", "2721", "", "0" })
        && corre(db, "UPDATE Molvar SET TTCTB = '1' WHERE Ref = 5 AND Mes IN (6, 7)")
        && criaMolvaralizacao(db, { "0001", 6, "Sem estado", "N6", 2000, 2, 2024, 8, "6265", "2721", "", QString() })
        && corre(db, "UPDATE Molvar SET TTCTB = '2' WHERE Ref = 6 AND Mes = 9")
        && criaMolvaralizacao(db, { "0001", 7, "Manutenção", "M7", 3000, 3, 2024, 10, "6266", "2721", "", "0" })
        && criaMolvaralizacao(db, { "0002", 12, "Seguro automóvel", "FT1", 9900, 1, 2024, 1, "6261", "2721", "", "0" });
}

struct Janela {
    QPointer<ConsultTable> w;
    DataCombo *combo = nullptr;
    QLineEdit *ano = nullptr, *mes = nullptr, *descr = nullptr, *ndoc = nullptr;
    QPushButton *ok = nullptr, *apagar = nullptr, *exportar = nullptr, *sair = nullptr;
    DataGrid *grid = nullptr;

    bool encontrou() const { return combo && ano && mes && descr && ndoc && ok && apagar && exportar && sair && grid; }

    QList<int> refs() const
    {
        QList<int> r;
        for (int i = 0; i < grid->linhasLidas(); ++i)
            r << grid->valor(i, 0).toInt();
        return r;
    }
    int linhaDaRef(int ref) const { return refs().indexOf(ref); }
    // A user's click on a cell of the row.
    void clica(int linha)
    {
        const QModelIndex i = grid->model()->index(linha, 2);
        grid->scrollTo(i);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(i).center());
    }
    // Gives the focus to a filter, as a user clicking into it would, types, and presses "Ok".
    void filtra(QWidget *filtro, const QString &texto)
    {
        filtro->setFocus(Qt::MouseFocusReason);
        if (filtro == combo)
            combo->setText(texto);
        else
            static_cast<QLineEdit *>(filtro)->setText(texto);
        QTest::mouseClick(ok, Qt::LeftButton);
    }
};

Janela abre(Session &s)
{
    Janela j;
    j.w = new ConsultTable(s);
    j.combo = j.w->findChild<DataCombo *>("DataCombo1");
    j.ano = j.w->findChild<QLineEdit *>("anoInic1");
    j.mes = j.w->findChild<QLineEdit *>("mesInic1");
    j.descr = j.w->findChild<QLineEdit *>("Text1");
    j.ndoc = j.w->findChild<QLineEdit *>("Text2");
    j.ok = j.w->findChild<QPushButton *>("Command5");
    j.apagar = j.w->findChild<QPushButton *>("Command2");
    j.exportar = j.w->findChild<QPushButton *>("Command3");
    j.sair = j.w->findChild<QPushButton *>("Command1");
    j.grid = j.w->findChild<DataGrid *>("DataGrid1");
    j.w->show();
    if (QTest::qWaitForWindowExposed(j.w)) {
        j.w->activateWindow();
        (void)QTest::qWaitForWindowActive(j.w);
    }
    return j;
}

// A second connection to the same database, as another workstation would have.
QSqlDatabase outroPosto(const QSqlDatabase &db)
{
    QSqlDatabase outra = QSqlDatabase::cloneDatabase(db, QStringLiteral("outro-posto"));
    outra.open();
    return outra;
}

void fechaOutroPosto(QSqlDatabase &outra)
{
    outra.close();
    outra = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("outro-posto"));
}

QStringList titulos(DataGrid *g)
{
    QStringList t;
    for (int c = 0; c < g->model()->columnCount(); ++c)
        t << g->model()->headerData(c, Qt::Horizontal).toString();
    return t;
}

} // namespace

class TstReports : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    void abreFiltraEDisposicao()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(preenche(a.db()));
        QVERIFY(a.entra("0001", 2024, 12));
        Janela j = abre(a.sessao);
        QVERIFY(j.encontrou());
        QCOMPARE(j.w->objectName(), QStringLiteral("ConsultTable"));
        QCOMPARE(j.w->windowTitle(), QStringLiteral("Consulta"));
        QCOMPARE(j.w->findChild<QWidget *>("Frame1")->property("title").toString(), QStringLiteral("Procura"));
        QCOMPARE(j.ok->text(), QStringLiteral("Ok"));
        QCOMPARE(j.w->findChild<QWidget *>("Label1")->property("text").toString(), QStringLiteral("Referência"));
        QCOMPARE(j.w->findChild<QWidget *>("Label3")->property("text").toString(), QStringLiteral("Mês"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(j.grid));

        // Load: the company's references once each, in order; its whole list, the last row current.
        QCOMPARE(j.combo->rowCount(), 7);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(j.combo->itemText(i), QString::number(i + 1));
        QCOMPARE(j.refs(), (QList<int> { 1, 1, 1, 2, 2, 3, 4, 5, 5, 5, 5, 6, 6, 7, 7, 7 }));
        QCOMPARE(j.grid->model()->columnCount(), 19);
        QCOMPARE(j.grid->linhaActual(), 15);
        QCOMPARE(j.w->refEscolhida(), QVariant(QString()));
        QCOMPARE(j.w->paramsGrelha(), QVariantList { "0001" });
        const QString inteira = j.w->sqlGrelha();
        // The resize at show applies the resize layout.
        QCOMPARE(titulos(j.grid), kTitulos);
        QCOMPARE(j.grid->columnWidth(0), twipsParaPixels(1000));
        QCOMPARE(j.grid->columnWidth(2), twipsParaPixels(5000));

        // Reference: its lines by year and month, the "Ok" layout.
        QVERIFY(corre(a.db(), "UPDATE Molvar SET DataCtb = ? WHERE Ref = 5 AND Mes = 6", { QDate(2024, 1, 28) }));
        j.filtra(j.combo, "5");
        QCOMPARE(j.refs(), (QList<int> { 5, 5, 5, 5 }));
        QCOMPARE(j.grid->valor(0, 4).toInt(), 6);
        // Amounts show their cents, even when the database hands back a whole number; the
        // integration date reads as every date of the program.
        QCOMPARE(j.grid->texto(0, 3), QStringLiteral("10,00"));
        QCOMPARE(j.grid->texto(0, 12), QStringLiteral("40,00"));
        QCOMPARE(j.grid->texto(0, 13), QStringLiteral("28-01-2024"));
        QCOMPARE(j.grid->linhaActual(), 3);
        QCOMPARE(titulos(j.grid), kTitulos);
        QCOMPARE(j.grid->columnWidth(0), twipsParaPixels(2000));
        QCOMPARE(j.grid->columnWidth(6), twipsParaPixels(2000));
        QCOMPARE(j.grid->columnWidth(8), twipsParaPixels(3000));
        // A caption wider than its column widens it: "Cont. Export." is whole.
        QCOMPARE(j.grid->columnWidth(18), qMax(twipsParaPixels(1000), j.grid->horizontalHeader()->sectionSizeHint(18)));
        // A resize brings "Referencia" back to 1000 twips.
        j.w->resize(j.w->width() + 40, j.w->height() + 20);
        QTRY_COMPARE(j.grid->columnWidth(0), twipsParaPixels(1000));

        // Enter in the combo runs the search; Enter in a text box does nothing.
        j.combo->setFocus();
        j.combo->setText("2");
        QTest::keyClick(j.combo, Qt::Key_Return);
        QCOMPARE(j.refs(), (QList<int> { 2, 2 }));
        // By year, then month: December 2023 before January 2024.
        QCOMPARE(j.grid->valor(0, 5).toInt(), 2023);
        QCOMPARE(j.w->paramsGrelha(), (QVariantList { 2, "0001" }));

        // Description anywhere in Descr, literally and with case; the company only.
        j.filtra(j.descr, "50%");
        QCOMPARE(j.refs(), (QList<int> { 2, 2 }));
        j.filtra(j.descr, "O'Neil");
        QCOMPARE(j.refs(), (QList<int> { 2, 2 }));
        j.filtra(j.descr, "automóvel");
        QCOMPARE(j.refs(), (QList<int> { 1, 1, 1 }));
        j.filtra(j.descr, "_");
        QCOMPARE(j.refs(), QList<int> {});
        QCOMPARE(j.grid->linhaActual(), -1);
        j.filtra(j.descr, "seguro");
        QCOMPARE(j.refs(), QList<int> {});
        j.filtra(j.descr, "Renda");
        QCOMPARE(j.refs(), (QList<int> { 2, 2, 4 }));
        const QString porDescricao = j.w->sqlGrelha();
        j.descr->setFocus();
        j.descr->setText("Avença");
        QTest::keyClick(j.descr, Qt::Key_Return);
        QCOMPARE(j.refs(), (QList<int> { 2, 2, 4 }));
        QCOMPARE(j.w->paramsGrelha().value(0).toString(), QStringLiteral("%Renda%"));

        // Document number only at the start of Ndoc, literally.
        j.filtra(j.ndoc, "A_");
        QCOMPARE(j.refs(), (QList<int> { 2, 2 }));
        j.filtra(j.ndoc, "FT1");
        QCOMPARE(j.refs(), (QList<int> { 1, 1, 1, 3 }));
        j.filtra(j.ndoc, "T1");
        QCOMPARE(j.refs(), QList<int> {});

        // Year and month compare for equality.
        j.filtra(j.ano, "2023");
        QCOMPARE(j.refs(), (QList<int> { 2 }));
        j.filtra(j.mes, "12");
        QCOMPARE(j.refs(), (QList<int> { 2, 7 }));
        j.filtra(j.mes, "1");
        QCOMPARE(j.refs(), (QList<int> { 1, 2 }));
        QVERIFY(a.msgs.mostradas.isEmpty());

        // Anything but a whole number is refused with a message; the list and its query stay.
        const QString porMes = j.w->sqlGrelha();
        const struct {
            QWidget *filtro;
            QString texto, mensagem;
        } recusados[] = { { j.combo, "12a", "A referência tem de ser um número inteiro." },
            { j.combo, "1 or 1=1", "A referência tem de ser um número inteiro." },
            { j.ano, "20x4", "O ano tem de ser um número inteiro." }, { j.mes, "1.", "O mês tem de ser um número inteiro." },
            // A control character is refused by name before any statement.
            { j.descr, QStringLiteral("Renda") + QChar(0),
                "O campo \"Descrição\" tem um carácter de controlo (U+0000) na posição 6: apague-o e escreva só texto." } };
        for (const auto &r : recusados) {
            a.msgs.limpa();
            j.filtra(r.filtro, r.texto);
            QCOMPARE(a.msgs.textos(), QStringList { r.mensagem });
            QCOMPARE(j.refs(), (QList<int> { 1, 2 }));
            QCOMPARE(j.w->sqlGrelha(), porMes);
        }
        a.msgs.limpa();

        // "Ok" with every filter empty shows the whole list again.
        j.mes->setFocus();
        j.mes->clear();
        QTest::mouseClick(j.ok, Qt::LeftButton);
        QCOMPARE(j.refs().size(), 16);
        QCOMPARE(j.w->sqlGrelha(), inteira);
        QVERIFY(porDescricao != inteira);
        QVERIFY(a.msgs.mostradas.isEmpty());

        // "Sair" closes and deletes the window, standalone or as a child of the main window.
        QTest::mouseClick(j.sair, Qt::LeftButton);
        QTRY_VERIFY(j.w.isNull());
        QMdiArea area;
        QPointer<ConsultTable> filha = new ConsultTable(a.sessao);
        QPointer<QMdiSubWindow> sub = area.addSubWindow(filha);
        area.resize(1000, 700);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QCOMPARE(sub->pos(), QPoint(0, 0));
        QCOMPARE(sub->windowTitle(), QStringLiteral("Consulta"));
        QTest::mouseClick(filha->findChild<QPushButton *>("Command1"), Qt::LeftButton);
        QTRY_VERIFY(filha.isNull());
        QTRY_VERIFY(sub.isNull());
        QVERIFY(area.subWindowList().isEmpty());
    }

    void filtrosExclusivosEDuasJanelas()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(preenche(a.db()));
        QVERIFY(a.entra("0001", 2024, 12));
        Janela j = abre(a.sessao);
        QVERIFY(j.encontrou());

        // The filter receiving the focus keeps its value and empties the other four.
        QWidget *filtros[] = { j.combo, j.ano, j.mes, j.descr, j.ndoc };
        auto texto = [&](QWidget *f) { return f == j.combo ? j.combo->text() : static_cast<QLineEdit *>(f)->text(); };
        for (QWidget *alvo : filtros) {
            j.grid->setFocus();
            j.combo->setText("3");
            j.ano->setText("2024");
            j.mes->setText("5");
            j.descr->setText("Renda");
            j.ndoc->setText("FT");
            const QString antes = texto(alvo);
            alvo->setFocus(Qt::TabFocusReason);
            for (QWidget *f : filtros)
                QCOMPARE(texto(f), f == alvo ? antes : QString());
        }

        // Tab order, from the grid; tabbing from the combo to the year empties the combo.
        j.grid->setFocus();
        j.combo->setText("3");
        const QList<QWidget *> ordem = { j.combo, j.ano, j.mes, j.ok, j.sair, j.descr, j.ndoc, j.apagar, j.exportar };
        for (QWidget *seguinte : ordem) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), seguinte);
            if (seguinte == j.ano)
                QCOMPARE(j.combo->text(), QString());
        }

        // A second list keeps its own filters, result, chosen reference and query.
        j.filtra(j.combo, "1");
        j.clica(1);
        QCOMPARE(j.w->refEscolhida().toInt(), 1);
        Janela k = abre(a.sessao);
        QVERIFY(k.encontrou());
        QCOMPARE(k.refs().size(), 16);
        QCOMPARE(k.w->refEscolhida(), QVariant(QString()));
        k.filtra(k.descr, "Renda");
        k.clica(2);
        QCOMPARE(k.w->refEscolhida().toInt(), 4);
        QCOMPARE(j.w->refEscolhida().toInt(), 1);
        QCOMPARE(j.combo->text(), QStringLiteral("1"));
        QCOMPARE(j.refs(), (QList<int> { 1, 1, 1 }));
        QCOMPARE(j.w->paramsGrelha(), (QVariantList { 1, "0001" }));
        QCOMPARE(k.w->paramsGrelha().value(0).toString(), QStringLiteral("%Renda%"));
        QVERIFY(j.w->sqlGrelha() != k.w->sqlGrelha());

        // A click on an empty grid keeps the reference chosen before, and "Apagar" still acts on it.
        j.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(j.w));
        j.filtra(j.descr, "nada disto");
        QVERIFY(!j.grid->temLinhas());
        QTest::mouseClick(j.grid->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(j.w->refEscolhida().toInt(), 1);
        a.msgs.responde(Mensagens::Resposta::Nao);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(a.msgs.textos(), QStringList { "Deseja Apagar Molvaralização?" });
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 1"), 3);
        delete k.w;
        delete j.w;
    }

    void apagaLinhasAbertas()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(preenche(a.db()));
        QVERIFY(a.entra("0001", 2024, 12));
        MensagensComGancho msgs;
        a.sessao.msg = &msgs;
        Janela j = abre(a.sessao);
        QVERIFY(j.encontrou());

        // No row chosen yet.
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { "Escolha uma Linha!" });
        QCOMPARE(msgs.mostradas[0].titulo, tituloAplicacao());
        QVERIFY(msgs.mostradas[0].botoes == Mensagens::Botoes::Ok);
        QVERIFY(msgs.mostradas[0].icone == Mensagens::Icone::Nenhum);

        // Every line integrated.
        msgs.limpa();
        j.clica(j.linhaDaRef(3));
        QCOMPARE(j.w->refEscolhida().toInt(), 3);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { kTodasIntegradas });
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 3"), 1);

        // A mix: the long question; No changes nothing, Yes deletes the open lines of every month.
        j.filtra(j.ano, "2024");
        const QString ultimaProcura = j.w->sqlGrelha();
        msgs.limpa();
        j.clica(j.linhaDaRef(5));
        QCOMPARE(j.w->refEscolhida().toInt(), 5);
        msgs.responde(Mensagens::Resposta::Nao);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { kLonga });
        QCOMPARE(msgs.mostradas[0].titulo, QStringLiteral("Apagar"));
        QVERIFY(msgs.mostradas[0].botoes == Mensagens::Botoes::SimNao);
        QVERIFY(msgs.mostradas[0].icone == Mensagens::Icone::Exclamacao);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 5"), 4);
        msgs.limpa();
        msgs.responde(Mensagens::Resposta::Sim);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { kLonga });
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 5"), 2);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 5 AND TTCTB = '1'"), 2);
        // The whole list again in reference order, the resize layout; filters, choice and query stay.
        QCOMPARE(j.refs(), (QList<int> { 1, 1, 1, 2, 2, 3, 4, 5, 5, 6, 6, 7, 7, 7 }));
        QCOMPARE(j.grid->linhaActual(), 13);
        QCOMPARE(titulos(j.grid), kTitulos);
        QCOMPARE(j.grid->columnWidth(0), twipsParaPixels(1000));
        QCOMPARE(j.w->sqlGrelha(), ultimaProcura);
        QCOMPARE(j.ano->text(), QStringLiteral("2024"));
        QCOMPARE(j.w->refEscolhida().toInt(), 5);
        // Again: only integrated lines are left.
        msgs.limpa();
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { kTodasIntegradas });

        // A Null TTCTB is open: it is counted and deleted, as is any value other than "1".
        msgs.limpa();
        j.clica(j.linhaDaRef(6));
        msgs.responde(Mensagens::Resposta::Sim);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { "Deseja Apagar Molvaralização?" });
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 6"), 0);
        msgs.limpa();
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { kTodasIntegradas });

        // Another connection integrates a line between the question and the deletion: it stays.
        QSqlDatabase outra = QSqlDatabase::cloneDatabase(a.db(), "outra-ligacao");
        QVERIFY2(outra.open(), qPrintable(textoErro(outra.lastError())));
        bool integrou = false;
        msgs.aoPerguntar = [&] { integrou = corre(outra, "UPDATE Molvar SET TTCTB = '1' WHERE Ref = 7 AND Mes = 11"); };
        msgs.limpa();
        j.clica(j.linhaDaRef(7));
        msgs.responde(Mensagens::Resposta::Sim);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QVERIFY(integrou);
        QCOMPARE(msgs.textos(), QStringList { "Deseja Apagar Molvaralização?" });
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 7"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 7 AND Mes = 11 AND TTCTB = '1'"), 1);
        QCOMPARE(j.refs(), (QList<int> { 1, 1, 1, 2, 2, 3, 4, 5, 5, 7 }));
        msgs.aoPerguntar = nullptr;
        outra.close();
        outra = QSqlDatabase();
        QSqlDatabase::removeDatabase("outra-ligacao");
        // The reference list follows the deletion.
        QCOMPARE(j.combo->findRow("6"), -1);
        QVERIFY(j.combo->findRow("7") >= 0);

        // The other company was never touched.
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE CodFirma = '0002'"), 1);
        QCOMPARE(msgs.semRespostas, 0);
        delete j.w;
    }

    void exportaALista()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(preenche(a.db()));
        QVERIFY(a.entra("0001", 2024, 12));
        Janela j = abre(a.sessao);
        QVERIFY(j.encontrou());

        // A date the line was integrated on: a date cell on either database.
        QVERIFY(corre(a.db(), "UPDATE Molvar SET DataCtb = ? WHERE Ref = 1 AND Mes = 1", { QDate(2024, 2, 29) }));
        const QString primeiro = appFolder() + "/0001ExportApagContab.xlsx";
        // The directory of an export of this name that ended before its workbook took its name
        // goes at the next export; that of an export still writing stays.
        const QString resto = primeiro + ".tmp.Ab12cd";
        QVERIFY(QDir().mkdir(resto));
        for (const char *nome : { "/tranca", "/folha.xlsx" }) {
            QFile f(resto + nome);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("meio escrito") > 0);
        }
        auto outraExportacao = std::make_unique<FolhaEmEscrita>();
        QVERIFY(outraExportacao->cria(appFolder() + "/0001ExportApagContab", nullptr));

        // Right after opening, the whole list; not opened (tests turn that off), it says where it went.
        QTest::mouseClick(j.exportar, Qt::LeftButton);
        QCOMPARE(a.msgs.textos(), QStringList { "A folha de cálculo foi gravada em " + QDir::toNativeSeparators(primeiro) });
        QVERIFY(!QFileInfo::exists(resto));
        QVERIFY(QFile::exists(outraExportacao->pasta() + "/tranca"));
        outraExportacao.reset();
        QCOMPARE(QDir(appFolder()).entryList({ "*.tmp.*" }, QDir::AllEntries | QDir::Hidden), QStringList());
        QCOMPARE(a.sessao.gExpRegistos, 16);
        QCOMPARE(a.sessao.gExpTipo, 2);
        QCOMPARE(a.sessao.gTipoExp, QStringLiteral("X"));
        QCOMPARE(a.sessao.gExpFicheiro, QStringLiteral("0001ExportApagContab.xls"));
        {
            // Every amount carries the same number format, a whole one (30,00) as much as 33,33.
            QByteArray folha;
            QVERIFY(leParteZip(a.sessao.gExpCaminho, "xl/worksheets/sheet1.xml", &folha));
            static const QRegularExpression celula(QStringLiteral("<c r=\"D(\\d+)\"(?: s=\"(\\d+)\")?"));
            QSet<QString> estilos;
            int montantes = 0;
            for (auto m = celula.globalMatch(QString::fromUtf8(folha)); m.hasNext();) {
                const auto c = m.next();
                if (c.captured(1).toInt() >= 5 && c.captured(1).toInt() <= 20) {
                    estilos << c.captured(2);
                    ++montantes;
                }
            }
            QCOMPARE(montantes, 16);
            QCOMPARE(estilos.size(), 1);
            QVERIFY(!estilos.contains(QString()));
        }

        // After a search, the search's query, whatever row is current. The workbook already
        // written (and perhaps edited since) stays: the new one takes the next free name.
        QFile antes(primeiro);
        QVERIFY(antes.open(QIODevice::ReadOnly));
        const QByteArray bytesAntes = antes.readAll();
        antes.close();
        j.filtra(j.descr, "automóvel");
        j.clica(0);
        a.msgs.limpa();
        QTest::mouseClick(j.exportar, Qt::LeftButton);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QCOMPARE(a.sessao.gExpSql, j.w->sqlGrelha());
        QCOMPARE(a.sessao.gExpParams, j.w->paramsGrelha());
        QCOMPARE(a.sessao.gExpRegistos, 3);
        QCOMPARE(a.sessao.gExpCaminho, appFolder() + "/0001ExportApagContab (2).xlsx");
        QVERIFY(antes.open(QIODevice::ReadOnly));
        QCOMPARE(antes.readAll(), bytesAntes);

        LeitorXlsx x;
        QString erro;
        QVERIFY2(x.abre(a.sessao.gExpCaminho, &erro), qPrintable(erro));
        QCOMPARE(x.valor(1, "A1").toString(), QStringLiteral("Firma: Firma Um, Lda"));
        QCOMPARE(x.valor(1, "A2").toString(), QStringLiteral("Linhas por Integrar na Contabilidade em Formato Excel"));
        // The field names as the list query writes them, alike on either database.
        QStringList cabecalho;
        for (char c = 'A'; c <= 'S'; ++c)
            cabecalho << x.valor(1, QString(QLatin1Char(c)) + "4").toString();
        QCOMPARE(cabecalho.join(','),
            QStringLiteral("ref,codFirma,Descrição,valor,mes,ano,analitica,nDoc,cpocDeb,cpocCre,ttctb,Moeda,Valor_Ori,Datactb,"
                           "LinhaDeb,LinhaCre,diario,numdiario,ConExport"));
        // A date cell (day 45351 of the workbook's calendar) reads back as its date.
        QCOMPARE(x.valor(1, "N5"), QVariant(QDateTime(QDate(2024, 2, 29), QTime(0, 0), Qt::UTC)));
        QCOMPARE(x.valor(1, "N6"), QVariant());
        for (int l = 5; l <= 7; ++l) {
            QCOMPARE(x.valor(1, QStringLiteral("A%1").arg(l)).toInt(), 1);
            QCOMPARE(x.valor(1, QStringLiteral("C%1").arg(l)).toString(), QStringLiteral("Seguro automóvel"));
            QCOMPARE(x.valor(1, QStringLiteral("E%1").arg(l)).toInt(), l - 4);
        }
        // 100,00 over three months: 33,33 33,33 33,34, and the total row sums the amounts.
        QCOMPARE(qRound(x.valor(1, "D7").toDouble() * 100), 3334);
        QCOMPARE(x.valor(1, "C8").toString(), QStringLiteral("Soma:"));
        QCOMPARE(x.formula(1, "D8"), QStringLiteral("SUM(D5:D7)"));
        QCOMPARE(qRound(x.valor(1, "D8").toDouble() * 100), 10000);
        QCOMPARE(x.ultimaLinha(1), 8);

        // The file name takes the company code without blanks around it.
        a.sessao.gCodFirma = QStringLiteral(" 0001 ");
        QTest::mouseClick(j.exportar, Qt::LeftButton);
        QCOMPARE(a.sessao.gExpFicheiro, QStringLiteral("0001ExportApagContab.xls"));
        QCOMPARE(a.sessao.gExpCaminho, appFolder() + "/0001ExportApagContab (3).xlsx");
        QCOMPARE(a.sessao.gExpRegistos, 3);
        delete j.w;

        // Three workstations export the same list into one program folder at the same moment:
        // each gets a whole workbook of its own.
        QVERIFY(criaFirma(a.db(), "0003", "Firma Tres"));
        QVERIFY(corre(a.db(),
            "INSERT INTO Molvar (Ref, CodFirma, Descr, Mes, Ano, Valor, CPocDeb, CPocCre, TTCTB) "
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
            "SELECT i, '0003', 'Linha', 1, 2024, 1, '6261', '2721', '0' FROM n"));
        QTemporaryDir partilhada;
        std::vector<std::unique_ptr<Posto>> postos;
        for (int i = 0; i < 3; ++i)
            postos.push_back(
                std::make_unique<Posto>(QStringList { "lista", ligacaoParaOutroProcesso(a), "0003", partilhada.path() }));
        for (auto &p : postos)
            QVERIFY2(p->pronto(), qPrintable(p->saida()));
        for (auto &p : postos)
            p->avanca();
        QStringList caminhos;
        for (auto &p : postos) {
            QVERIFY2(p->termina(), qPrintable(p->saida()));
            caminhos << p->saida().section("caminho: ", 1).section(QLatin1Char('\n'), 0, 0);
        }
        caminhos.sort();
        const QString base = partilhada.path() + "/0003ExportApagContab";
        QCOMPARE(caminhos, (QStringList { base + " (2).xlsx", base + " (3).xlsx", base + ".xlsx" }));
        for (const QString &c : std::as_const(caminhos)) {
            LeitorXlsx x;
            QVERIFY2(x.abre(c, &erro), qPrintable(c + ": " + erro));
            QCOMPARE(x.ultimaLinha(1), 4 + 20000 + 1);
            QCOMPARE(x.valor(1, "C20005").toString(), QStringLiteral("Soma:"));
        }
        QCOMPARE(QDir(partilhada.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 3);
    }

    void falhasDaBase()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(preenche(a.db()));
        QVERIFY(a.entra("0001", 2024, 12));
        Janela j = abre(a.sessao);
        QVERIFY(j.encontrou());
        j.clica(0);
        QCOMPARE(j.w->refEscolhida().toInt(), 1);

        QVERIFY(corre(a.db(), "ALTER TABLE Molvar RENAME TO MolvarFora"));
        j.filtra(j.descr, "Renda");
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível ler a lista de molvaralizações.\n\n")));
        QVERIFY(a.msgs.ultimo().size() > 55);
        QVERIFY(!j.grid->temLinhas());
        QCOMPARE(j.w->paramsGrelha(), QVariantList { "0001" });
        a.msgs.limpa();
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível contar as linhas da molvaralização.")));
        QVERIFY(a.msgs.mostradas[0].botoes == Mensagens::Botoes::Ok);

        // A window opened now reports both reads and has nothing to export.
        a.msgs.limpa();
        Janela k = abre(a.sessao);
        QCOMPARE(a.msgs.mostradas.size(), 2);
        QVERIFY(a.msgs.textos()[0].startsWith(QStringLiteral("Não foi possível ler as referências")));
        QTest::mouseClick(k.exportar, Qt::LeftButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Não há lista para exportar."));

        // Once the table is back, both windows work again.
        QVERIFY(corre(a.db(), "ALTER TABLE MolvarFora RENAME TO Molvar"));
        a.msgs.limpa();
        QTest::mouseClick(j.ok, Qt::LeftButton);
        QCOMPARE(j.refs(), (QList<int> { 2, 2, 4 }));
        k.filtra(k.ano, "2023");
        QCOMPARE(k.refs(), (QList<int> { 2 }));
        QVERIFY(a.msgs.mostradas.isEmpty());
        delete k.w;
        delete j.w;
    }

    // The SNC conversion keeps its transaction open while its closing question waits; a
    // deletion meanwhile gives up after the lock wait with one message, and deletes nothing.
    void esperaLimitadaEntrePostos()
    {
        qputenv("MOLVAR_ESPERA_BLOQUEIO_MS", "300");
        const auto repoe = qScopeGuard([] { qunsetenv("MOLVAR_ESPERA_BLOQUEIO_MS"); });
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(preenche(a.db()));
        QVERIFY(a.entra("0001", 2024, 12));
        a.criaBaseExterna("A");
        QVERIFY(corre(a.dbExterna(), "INSERT INTO SNC_Conv (contapoc, contasnc) VALUES ('6261', '6299')"));
        MensagensComGancho msgs;
        a.sessao.msg = &msgs;
        Janela j = abre(a.sessao);
        QVERIFY(j.encontrou());
        j.clica(j.linhaDaRef(1));
        QCOMPARE(j.w->refEscolhida().toInt(), 1);

        qint64 demorou = -1;
        bool apagou = false;
        msgs.aoPerguntar = [&] {
            if (std::exchange(apagou, true))
                return;
            const QList<Mensagens::Resposta> fila = msgs.respostas;
            msgs.respostas = { Mensagens::Resposta::Sim };
            QElapsedTimer relogio;
            relogio.start();
            QTest::mouseClick(j.apagar, Qt::LeftButton);
            demorou = relogio.elapsed();
            msgs.respostas = fila;
        };
        msgs.responde(Mensagens::Resposta::Sim);
        QVERIFY(ConverteSnc(a.sessao, nullptr));
        QVERIFY2(demorou >= 0 && demorou < 5000, qPrintable(QString::number(demorou)));
        QCOMPARE(msgs.mostradas.size(), 4);
        QCOMPARE(msgs.mostradas[0].texto, QStringLiteral("Deseja Apagar Molvaralização?"));
        QVERIFY2(
            msgs.mostradas[1].texto.startsWith(
                "Não foi possível apagar as linhas da molvaralização.\n\nOutro posto de trabalho está a usar estes registos. "
                "Tente novamente daqui a pouco."),
            qPrintable(msgs.mostradas[1].texto));
        QCOMPARE(msgs.mostradas[2].texto, QStringLiteral("Deseja Concluir a Conversão SNC?"));
        QCOMPARE(msgs.mostradas[3].texto, QStringLiteral("Conversão SNC Concluida!"));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 1 AND CPocDeb = '6299'"), 3);

        // With the conversion done, the same deletion goes through.
        msgs.limpa();
        msgs.responde(Mensagens::Resposta::Sim);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { "Deseja Apagar Molvaralização?" });
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 1"), 0);
        delete j.w;
    }

    // A chart list showing only its first rows, then a write from another connection: the
    // deletion in the accrual list and the totals export still write.
    void listaAbertaNaoImpedeEscritas()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(preenche(db));
        QVERIFY(corre(db,
            "INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) "
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
            "SELECT '0001', '2024', '6' || (1000 + i), 1, 'Conta' FROM n"));
        QVERIFY(a.entra("0001", 2024, 12));
        MensagensComGancho msgs;
        a.sessao.msg = &msgs;
        QPointer<ChartConsult> consulta = new ChartConsult(a.sessao, TipoPlano::Contas);
        QPointer<TotConta> totais;
        Janela j;
        QSqlDatabase outra;
        // Windows and the other connection go, whatever check fails first.
        const auto arruma = qScopeGuard([&] {
            delete totais;
            delete j.w;
            delete consulta;
            fechaOutroPosto(outra);
        });
        consulta->show();
        auto *grelha = consulta->findChild<DataGrid *>("DataGrid1");
        QVERIFY(grelha);
        // SQLite reads on as the view scrolls; PostgreSQL's driver has every row at once.
        QCOMPARE(grelha->linhasLidas(), Ambiente::usaPostgres() ? 600 : 256);

        outra = outroPosto(db);
        QVERIFY2(outra.isOpen(), qPrintable(textoErro(outra.lastError())));
        QVERIFY(corre(outra, "UPDATE Molvar SET Descr = 'Outro posto' WHERE Ref = 7"));

        j = abre(a.sessao);
        QVERIFY(j.encontrou());
        j.clica(j.linhaDaRef(2));
        msgs.responde(Mensagens::Resposta::Sim);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.textos(), QStringList { "Deseja Apagar Molvaralização?" });
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Molvar WHERE Ref = 2"), 0);
        // The list read again shows what the database holds now, not what the chart list saw.
        QVERIFY(!j.refs().isEmpty());
        QVERIFY(!j.refs().contains(2));
        QCOMPARE(j.grid->valor(j.linhaDaRef(7), 2).toString(), QStringLiteral("Outro posto"));

        QVERIFY(corre(outra, "UPDATE Molvar SET Descr = 'Outra vez' WHERE Ref = 7"));
        msgs.limpa();
        totais = new TotConta(a.sessao);
        totais->show();
        totais->findChild<DataCombo *>("DataCombo1")->setText("6262");
        totais->findChild<QDateEdit *>("DTPicker1")->setDate(QDate(2024, 1, 1));
        totais->findChild<QPushButton *>("ExportButton")->click();
        for (const QString &t : msgs.textos())
            QVERIFY2(!t.startsWith("Não foi possível"), qPrintable(t));
        QVERIFY(QFile::exists(QDir(appFolder()).filePath("000112024.xlsx")));

        // The chart list still reads the rest of its rows as it scrolls.
        QCOMPARE(grelha->totalLinhas(), 600);
    }

    // A connection the server dropped is opened again without a word; a deletion that fails
    // anyway gives one message, not one per step that follows it.
    void ligacaoPerdidaUmaMensagem()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(preenche(a.db()));
        QVERIFY(a.entra("0001", 2024, 12));
        MensagensComGancho msgs;
        a.sessao.msg = &msgs;
        Janela j = abre(a.sessao);
        QSqlDatabase outra = outroPosto(a.db());
        const auto arruma = qScopeGuard([&] {
            delete j.w;
            fechaOutroPosto(outra);
        });
        QVERIFY(j.encontrou());
        QVERIFY2(outra.isOpen(), qPrintable(textoErro(outra.lastError())));

        // The table goes away between the question and the deletion.
        msgs.aoPerguntar = [&] { QVERIFY(corre(outra, "ALTER TABLE Molvar RENAME TO MolvarFora")); };
        j.clica(j.linhaDaRef(1));
        msgs.responde(Mensagens::Resposta::Sim);
        QTest::mouseClick(j.apagar, Qt::LeftButton);
        QCOMPARE(msgs.mostradas.size(), 2);
        QVERIFY(msgs.mostradas[1].texto.startsWith("Não foi possível apagar as linhas da molvaralização.\n\n"));
        msgs.aoPerguntar = nullptr;
        QVERIFY(corre(outra, "ALTER TABLE MolvarFora RENAME TO Molvar"));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 1"), 3);

        if (Ambiente::usaPostgres()) {
            // Lock waits are bounded by default as SQLite's busy timeout is.
            QCOMPARE(valorUnico(a.db(), "SHOW lock_timeout").toString(), QStringLiteral("10s"));
            const QString base = valorUnico(a.db(), "SELECT current_database()").toString();
            auto derruba = [&] {
                const QVariant pid = valorUnico(a.db(), "SELECT pg_backend_pid()");
                return pid.isValid() && valorUnico(outra, "SELECT pg_terminate_backend(?, 10000)", { pid }).toBool();
            };
            // Dropped while the window was idle: the next action works, without a message.
            QVERIFY(derruba());
            msgs.limpa();
            j.clica(j.linhaDaRef(1));
            msgs.responde(Mensagens::Resposta::Sim);
            QTest::mouseClick(j.apagar, Qt::LeftButton);
            QCOMPARE(msgs.textos(), QStringList { "Deseja Apagar Molvaralização?" });
            QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 1"), 0);
            // A read runs again with no trace of its first failure; a write sent first works too.
            QVERIFY(derruba());
            QString erro;
            QCOMPARE(valorUnico(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 7", {}, &erro).toInt(), 3);
            QVERIFY2(erro.isEmpty(), qPrintable(erro));
            QVERIFY(derruba());
            QVERIFY(corre(a.db(), "UPDATE Molvar SET Descr = 'Depois' WHERE Ref = 7"));
            // A transaction begins on the connection opened again.
            QVERIFY(derruba());
            QVERIFY2(Transacao(a.db()).iniciada(&erro), qPrintable(erro));
            // A read run again keeps its query's settings.
            QVERIFY(derruba());
            {
                QSqlQuery q(a.db());
                q.setForwardOnly(true);
                q.setNumericalPrecisionPolicy(QSql::HighPrecision);
                QVERIFY(executa(q, "SELECT CAST(0.1 AS numeric(15,2))") && q.next());
                QVERIFY(q.isForwardOnly());
                QCOMPARE(q.value(0).toString(), QStringLiteral("0.10"));
            }
            // A read that needs what the lost session held is not looked for on the new one.
            QVERIFY(corre(a.db(), "CREATE TEMP TABLE folha_da_sessao (x integer)"));
            marcaDadosDaSessao(a.db(), true);
            QVERIFY(derruba());
            QVERIFY(!valorUnico(a.db(), "SELECT COUNT(*) FROM folha_da_sessao", {}, &erro).isValid());
            marcaDadosDaSessao(a.db(), false);
            QVERIFY2(erro.startsWith("A ligação ao servidor de base de dados perdeu-se, e com ela os dados"), qPrintable(erro));

            // Dropped inside a transaction: what follows fails, says that nothing was saved, and
            // nothing of it is written.
            const QString nadaGravado
                = QStringLiteral("A ligação ao servidor de base de dados perdeu-se a meio do trabalho: nada foi gravado.");
            {
                Transacao t(a.db());
                QVERIFY(t.iniciada());
                QSqlQuery q(a.db());
                QVERIFY(executa(q, "UPDATE Molvar SET Descr = 'Perdida' WHERE Ref = 7"));
                QVERIFY(derruba());
                QVERIFY(!executa(q, "UPDATE Molvar SET Ndoc = 'Perdida' WHERE Ref = 7", {}, &erro));
                QVERIFY2(erro.startsWith(nadaGravado), qPrintable(erro));
                QVERIFY(!t.confirma(&erro));
                QVERIFY2(erro.startsWith(nadaGravado), qPrintable(erro));
            }
            QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 7 AND (Descr = 'Perdida' OR Ndoc = 'Perdida')"), 0);

            // A read that waited too long inside a transaction is not run again: the message is
            // the wait's, not that of a transaction already failed.
            {
                Barreira b(outra, QStringLiteral("Molvar"));
                Transacao t(a.db());
                QSqlQuery q(a.db());
                QVERIFY(executa(q, "SET LOCAL lock_timeout = 100"));
                QVERIFY(!executa(q, "SELECT Ref FROM Molvar FOR UPDATE", {}, &erro));
                QVERIFY2(erro.startsWith("Outro posto de trabalho está a usar estes registos."), qPrintable(erro));
            }

            // The database's own time limits do not end the program's waits...
            QVERIFY(corre(outra, QStringLiteral("ALTER DATABASE \"%1\" SET statement_timeout = 50").arg(base)));
            QVERIFY(corre(outra, QStringLiteral("ALTER DATABASE \"%1\" SET idle_in_transaction_session_timeout = 50").arg(base)));
            QVERIFY(
                corre(outra, QStringLiteral("ALTER DATABASE \"%1\" SET default_transaction_isolation = serializable").arg(base)));
            QVERIFY(derruba());
            {
                Transacao t(a.db());
                QCOMPARE(valorUnico(a.db(), "SHOW transaction_isolation").toString(), QStringLiteral("read committed"));
                QVERIFY2(valorUnico(a.db(), "SELECT 1 FROM pg_sleep(0.2)", {}, &erro).isValid(), qPrintable(erro));
                QTest::qWait(200);
                QVERIFY2(t.confirma(&erro), qPrintable(erro));
            }
            QVERIFY(corre(outra, QStringLiteral("ALTER DATABASE \"%1\" RESET ALL").arg(base)));
            // ...and where such a limit still ends one, the message says what happened.
            {
                Transacao t(a.db());
                QSqlQuery q(a.db());
                QVERIFY(executa(q, "SET LOCAL statement_timeout = 50"));
                QVERIFY(!executa(q, "SELECT pg_sleep(1)", {}, &erro));
                QVERIFY2(erro.startsWith("O servidor de base de dados interrompeu a operação"), qPrintable(erro));
            }
            {
                Transacao t(a.db());
                QSqlQuery q(a.db());
                QVERIFY(executa(q, "SET LOCAL idle_in_transaction_session_timeout = 50"));
                QTest::qWait(300);
                QVERIFY(!t.confirma(&erro));
                QVERIFY2(erro.startsWith("O servidor de base de dados terminou a ligação porque o trabalho ficou parado"),
                    qPrintable(erro));
            }

            // A deletion whose connection is lost before its answer may have run: it is not run
            // again, and the one message says so. The trigger ends the connection once.
            QVERIFY(corre(outra, "CREATE SEQUENCE molvar_vezes"));
            QVERIFY(corre(outra,
                "CREATE FUNCTION molvar_corta() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                "IF nextval('molvar_vezes') = 1 THEN PERFORM pg_terminate_backend(pg_backend_pid()); PERFORM pg_sleep(5); "
                "END IF; RETURN OLD; END $$"));
            QVERIFY(
                corre(outra, "CREATE TRIGGER molvar_corta BEFORE DELETE ON Molvar FOR EACH ROW EXECUTE FUNCTION molvar_corta()"));
            msgs.limpa();
            j.clica(j.linhaDaRef(7));
            msgs.responde(Mensagens::Resposta::Sim);
            QTest::mouseClick(j.apagar, Qt::LeftButton);
            QCOMPARE(msgs.mostradas.size(), 2);
            QVERIFY2(msgs.mostradas[1].texto.startsWith(
                         "Não foi possível apagar as linhas da molvaralização.\n\nA ligação à base de dados perdeu-se antes de "
                         "chegar a resposta: a alteração pode ter ficado gravada ou não."),
                qPrintable(msgs.mostradas[1].texto));
            QCOMPARE(valorUnico(outra, "SELECT last_value FROM molvar_vezes").toInt(), 1);
            QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 7"), 3);
            QVERIFY(corre(outra, "DROP TRIGGER molvar_corta ON Molvar"));

            // Dropped during the question, with the server refusing new connections: one message.
            QSqlDatabase adm = QSqlDatabase::cloneDatabase(outra, "outro-posto-adm");
            adm.setDatabaseName("postgres");
            QVERIFY2(adm.open(), qPrintable(textoErro(adm.lastError())));
            bool derrubou = false;
            const QSqlDatabase propria = a.db();
            msgs.aoPerguntar = [&] {
                derrubou
                    = corre(adm, QStringLiteral("ALTER DATABASE \"%1\" WITH ALLOW_CONNECTIONS false").arg(base)) && derruba();
            };
            msgs.limpa();
            j.clica(j.linhaDaRef(4));
            msgs.responde(Mensagens::Resposta::Sim);
            QTest::mouseClick(j.apagar, Qt::LeftButton);
            msgs.aoPerguntar = nullptr;
            // A transaction that cannot begin for it says so in the program's words.
            QVERIFY(!Transacao(propria).iniciada(&erro));
            QVERIFY2(erro.startsWith("Não foi possível abrir a base de dados: "), qPrintable(erro));
            const bool reaberta = corre(adm, QStringLiteral("ALTER DATABASE \"%1\" WITH ALLOW_CONNECTIONS true").arg(base));
            adm.close();
            adm = QSqlDatabase();
            QSqlDatabase::removeDatabase("outro-posto-adm");
            QVERIFY(reaberta);
            QVERIFY(derrubou);
            QCOMPARE(msgs.mostradas.size(), 2);
            QVERIFY(msgs.mostradas[1].texto.startsWith("Não foi possível apagar as linhas da molvaralização.\n\n"));
            // The server is back: the same deletion works.
            msgs.limpa();
            msgs.responde(Mensagens::Resposta::Sim);
            QTest::mouseClick(j.apagar, Qt::LeftButton);
            QCOMPARE(msgs.textos(), QStringList { "Deseja Apagar Molvaralização?" });
            QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE Ref = 4"), 0);
        }
    }
};

QTEST_MAIN(TstReports)
#include "tst_reports.moc"
