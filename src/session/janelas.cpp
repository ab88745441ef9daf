#include "session/janelas.h"

#include "charts/chartconsult.h"
#include "charts/chartdelete.h"
#include "charts/chartnew.h"
#include "charts/convertesnc.h"
#include "charts/importaplanos.h"
#include "models/modelos_txt.h"
#include "reports/consulttable.h"
#include "reports/totconta.h"

// Each entry maps a form name to a factory of a new, parentless window (the main window
// makes it a child, the settings dialog shows it modally); routines receive the main window.
void registaJanelas(Janelas &j)
{
    j.fabricas.insert(QStringLiteral("New_Poc"), [](Session &s) -> QWidget * { return new ChartNew(s, TipoPlano::Contas); });
    j.fabricas.insert(
        QStringLiteral("New_Analit"), [](Session &s) -> QWidget * { return new ChartNew(s, TipoPlano::CentrosCusto); });
    j.fabricas.insert(QStringLiteral("Del_cPoc"), [](Session &s) -> QWidget * { return new ChartDelete(s, TipoPlano::Contas); });
    j.fabricas.insert(
        QStringLiteral("Del_Analit"), [](Session &s) -> QWidget * { return new ChartDelete(s, TipoPlano::CentrosCusto); });
    j.fabricas.insert(
        QStringLiteral("ConsultPoc"), [](Session &s) -> QWidget * { return new ChartConsult(s, TipoPlano::Contas); });
    j.fabricas.insert(
        QStringLiteral("ConsultAnalit"), [](Session &s) -> QWidget * { return new ChartConsult(s, TipoPlano::CentrosCusto); });
    j.fabricas.insert(QStringLiteral("ConsultTable"), [](Session &s) -> QWidget * { return new ConsultTable(s); });
    j.fabricas.insert(QStringLiteral("Tot_conta"), [](Session &s) -> QWidget * { return new TotConta(s); });
    j.fabricas.insert(QStringLiteral("Modelos_Txt"), [](Session &s) -> QWidget * { return new Modelos_Txt(s); });
    j.rotinas.insert(QStringLiteral("ImportaPlanos"), [](Session &s, QWidget *) { return ImportaPlanos(s); });
    j.rotinas.insert(QStringLiteral("ConverteSnc"), ConverteSnc);
}

const Janelas &janelasRegistadas()
{
    static const Janelas j = [] {
        Janelas r;
        registaJanelas(r);
        return r;
    }();
    return j;
}
