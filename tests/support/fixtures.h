#pragma once

#include "core/money.h"

#include <QSqlDatabase>
#include <QString>

// Rows for tests, written with bound values. Each returns false (and warns why) on failure.

struct ParamsFirma {
    bool planosExt = false;
    QString tipoLig;
    QString empCtb;
    bool anaExt = false;
    QString analitica;
    bool snc = false;
};

bool criaFirma(QSqlDatabase db, const QString &codigo, const QString &nome, const ParamsFirma &p = {});
bool criaConta(
    QSqlDatabase db, const QString &firma, int ano, const QString &conta, const QString &designacao, bool lancadora = true);
bool criaCCusto(
    QSqlDatabase db, const QString &firma, int ano, const QString &ccusto, const QString &designacao, bool lancador = true);

// An accrual of `meses` months from (ano, mes): one Molvar row per month with the total
// divided by the months, rounded to the cent, and the rounding remainder on the last month.
struct Molvaralizacao {
    QString firma;
    int ref = 1;
    QString descr;
    QString ndoc;
    Centimos total = 0;
    int meses = 1;
    int ano = 2024;
    int mes = 1;
    QString deb;
    QString cre;
    QString analitica;
    QString ttctb = QStringLiteral("0");
};
bool criaMolvaralizacao(QSqlDatabase db, const Molvaralizacao &m);

// Executes one statement with bound values.
bool corre(QSqlDatabase db, const QString &sql, const QVariantList &params = {});
// COUNT(*) of a query, or -1 on failure.
int conta(QSqlDatabase db, const QString &sql, const QVariantList &params = {});

// The uncompressed bytes of one entry of a zip file (an .xlsx part); false when it cannot be read.
bool leParteZip(const QString &caminho, const QString &entrada, QByteArray *bytes);
