#include "bench.h"

#include "core/connection.h"
#include "core/datacombo.h"
#include "core/datagrid.h"
#include "reports/consulttable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

namespace {

// Resident memory of the process, in MB, to show what moving to the last row costs.
double memoriaMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

} // namespace

// The accrual list of the biggest company: the window opening, each filter, the move to the
// last row and the export of the whole list.
static BenchCaminho listaMolvar("ConsultTable (maior firma)", [](BenchContexto &ctx) {
    Session &s = ctx.sessao;
    QElapsedTimer t;

    // The whole list: first rows alone, then the move to the last row that the window makes.
    {
        const QString sql = QStringLiteral(
            "SELECT ref,codFirma,descr as \"Descrição\",valor,mes,ano,analitica,nDoc,cpocDeb, cpocCre,ttctb, Moeda, Valor_Ori, "
            "Datactb, LinhaDeb, LinhaCre, diario, numdiario, ConExport FROM Molvar WHERE CodFirma = ? order by "
            "ref,ano,mes,analitica");
        DataGrid g;
        const double antes = memoriaMb();
        t.start();
        g.setQuery(abreLigacao(s.gLigacao1), sql, { s.gCodFirma });
        relata(QStringLiteral("lista inteira: primeiras linhas"), g.linhasLidas(), t.elapsed() / 1000.0);
        t.restart();
        g.vaiParaUltima();
        relata(QStringLiteral("lista inteira: ir para a última linha"), g.linhasLidas(), t.elapsed() / 1000.0);
        std::printf("    memória: %.1f MB antes, %.1f MB depois de ir para a última linha\n", antes, memoriaMb());
    }

    t.start();
    auto *w = new ConsultTable(s);
    w->show();
    QApplication::processEvents();
    auto *grid = w->findChild<DataGrid *>(QStringLiteral("DataGrid1"));
    relata(QStringLiteral("ConsultTable: abrir até às linhas mostradas"), grid->linhasLidas(), t.elapsed() / 1000.0);

    auto *combo = w->findChild<DataCombo *>(QStringLiteral("DataCombo1"));
    auto *ano = w->findChild<QLineEdit *>(QStringLiteral("anoInic1"));
    auto *mes = w->findChild<QLineEdit *>(QStringLiteral("mesInic1"));
    auto *descr = w->findChild<QLineEdit *>(QStringLiteral("Text1"));
    auto *ndoc = w->findChild<QLineEdit *>(QStringLiteral("Text2"));
    auto *ok = w->findChild<QPushButton *>(QStringLiteral("Command5"));
    const QString refMeio = combo->itemText(combo->count() / 2);
    const struct {
        const char *nome;
        QWidget *filtro;
        QString texto;
    } filtros[]
        = { { "filtro referência", combo, refMeio }, { "filtro descrição (\"O'Brien\")", descr, QStringLiteral("O'Brien") },
              { "filtro Ndoc (\"FT82\")", ndoc, QStringLiteral("FT82") }, { "filtro ano (2024)", ano, QStringLiteral("2024") },
              { "filtro mês (6)", mes, QStringLiteral("6") }, { "Ok sem filtro (lista inteira)", nullptr, QString() } };
    for (const auto &f : filtros) {
        combo->setText(QString());
        for (QLineEdit *e : { ano, mes, descr, ndoc })
            e->clear();
        if (f.filtro == combo)
            combo->setText(f.texto);
        else if (f.filtro)
            static_cast<QLineEdit *>(f.filtro)->setText(f.texto);
        t.restart();
        ok->click();
        QApplication::processEvents();
        relata(QStringLiteral("ConsultTable: ") + QString::fromUtf8(f.nome), grid->linhasLidas(), t.elapsed() / 1000.0);
    }

    // The last query is now the whole list: "Exportar" writes all of it.
    auto *exportar = w->findChild<QPushButton *>(QStringLiteral("Command3"));
    t.restart();
    exportar->click();
    relata(QStringLiteral("ConsultTable: exportar a lista inteira"), s.gExpRegistos, t.elapsed() / 1000.0);
    delete w;
});
