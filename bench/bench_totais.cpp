#include "bench.h"

#include "core/datacombo.h"
#include "reports/totconta.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

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
    delete w;
});
