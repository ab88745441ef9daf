#include "bench.h"

#include "core/exportaexcel.h"

#include <QElapsedTimer>

// The workbook export of 100,000 accrual rows of the list layout.
static BenchCaminho exportaExcel("ExportaExcel (100 000 linhas)", [](BenchContexto &ctx) {
    Session &s = ctx.sessao;
    s.gExpTipo = 2;
    s.gTipoExp = QStringLiteral("X");
    s.gExpFicheiro = QStringLiteral("bench.xls");
    s.gExpSql = QStringLiteral("SELECT ref,codFirma,descr as \"Descrição\",valor,mes,ano,analitica,nDoc,cpocDeb, cpocCre,ttctb, "
                               "Moeda, Valor_Ori, Datactb, "
                               "LinhaDeb, LinhaCre, diario, numdiario, ConExport FROM Molvar ORDER BY Chave LIMIT 100000");
    s.gExpParams.clear();
    QElapsedTimer t;
    t.start();
    ExportaExcel(s);
    relata(QStringLiteral("ExportaExcel tipo 2"), s.gExpRegistos, t.elapsed() / 1000.0);
});
