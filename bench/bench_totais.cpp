#include "bench.h"

#include "core/connection.h"
#include "core/datacombo.h"
#include "reports/totconta.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

// The totals window on the biggest company: opening (its two lists), "Visualizar" on one
// account with and without a cost centre, and the export of the account's movements.
static BenchCaminho totais("Tot_conta (maior firma)", [](BenchContexto &ctx) {
    Session &s = ctx.sessao;
    QElapsedTimer t;
    t.start();
    auto *w = new TotConta(s);
    w->show();
    QApplication::processEvents();
    auto *conta = w->findChild<DataCombo *>(QStringLiteral("DataCombo1"));
    auto *ccusto = w->findChild<DataCombo *>(QStringLiteral("DataCombo2"));
    relata(QStringLiteral("Tot_conta: abrir (listas)"), conta->rowCount() + ccusto->rowCount(), t.elapsed() / 1000.0);

    w->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->setDate(QDate(2024, 3, 1));
    auto *visualizar = w->findChild<QPushButton *>(QStringLiteral("VisuButton"));
    auto *exportar = w->findChild<QPushButton *>(QStringLiteral("ExportButton"));
    auto *deb = w->findChild<QLineEdit *>(QStringLiteral("vtotdeb"));
    conta->setText(QStringLiteral("600221"));
    for (const QString &cc : { QString(), QStringLiteral("CC0") }) {
        ccusto->setText(cc);
        t.restart();
        const int vezes = 20;
        for (int i = 0; i < vezes; ++i)
            visualizar->click();
        relata(QStringLiteral("Tot_conta: Visualizar 600221 %1(média de %2)")
                   .arg(cc.isEmpty() ? QString() : cc + QLatin1Char(' '))
                   .arg(vezes),
            ctx.linhasMaiorFirma, t.elapsed() / 1000.0 / vezes);
        std::printf("    total débito: %s\n", qPrintable(deb->text()));
    }
    ccusto->setText(QString());
    t.restart();
    exportar->click();
    relata(QStringLiteral("Tot_conta: exportar 600221"), s.gExpRegistos, t.elapsed() / 1000.0);

    // One account with 100 000 movements: copies of the company's first rows on account 699999.
    const int copias = 100000;
    QSqlQuery q(abreLigacao(s.gLigacao1));
    QString erro;
    if (!executa(q,
            QStringLiteral("INSERT INTO Molvar (Ref, CodFirma, Descr, Ndoc, Mes, Ano, Valor, Valor_Ori, Moeda, CPocDeb, CPocCre, "
                           "Analitica, TTCTB) SELECT Ref, CodFirma, Descr, Ndoc, Mes, Ano, Valor, Valor_Ori, Moeda, '699999', "
                           "CPocCre, Analitica, TTCTB FROM Molvar WHERE CodFirma = ? AND Ano = 2024 AND Mes > 3 LIMIT ?"),
            { s.gCodFirma, copias }, &erro)) {
        std::fprintf(stderr, "erro: %s\n", qPrintable(erro));
        delete w;
        return;
    }
    conta->setText(QStringLiteral("699999"));
    t.restart();
    exportar->click();
    relata(QStringLiteral("Tot_conta: exportar 699999"), s.gExpRegistos, t.elapsed() / 1000.0);
    delete w;
});
