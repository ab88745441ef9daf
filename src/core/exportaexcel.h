#pragma once

struct Session;

// Writes the rows of s.gExpSql (with s.gExpParams bound) to a new workbook named after
// s.gExpFicheiro with the extension ".xlsx", in the program's folder; when that name is taken,
// the first free "name (2).xlsx", "name (3).xlsx"...: an existing workbook is never replaced.
//   "X": row 1 "Firma: " and the company's name, row 2 the title of s.gExpTipo, the field
//        names in row 4 and the rows from row 5; kind 2 adds a "Soma:" row that totals
//        the amount column "valor";
//   "C": the field names in row 1 and the rows from row 2;
//   any other letter: nothing.
// Sets s.gExpRegistos and s.gExpCaminho, then opens the workbook in the desktop's
// spreadsheet program unless s.abrirFolhas is off; a workbook not opened is announced with
// the place it was written to. Every failure is shown through s.msg;
// false when no workbook was written.
bool ExportaExcel(Session &s);

// True unless the desktop says that no program opens a workbook.
bool haProgramaParaFolhas();

// The title of an export kind (1 integration, 2 accrual list, 3 account totals).
const char *tituloExportacao(int tipo);
