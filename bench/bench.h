#pragma once

#include "core/session.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>

// Options from the command line.
struct BenchOpcoes {
    qint64 linhas = 1000000;
    int firmas = 50;
    int contasPorFirma = 400;
    QString backend = QStringLiteral("sqlite"); // or "pg"
    QString servidorPg; // connection string without Database=
    QString caminhos; // --caminhos: only the paths whose name contains this text
};

// The database built for the run, and the session of its biggest company.
struct BenchContexto {
    BenchOpcoes opcoes;
    Session sessao;
    QString maiorFirma;
    qint64 linhasMaiorFirma = 0;
};

// Prints one line: path, rows, seconds, rows per second.
void relata(const QString &caminho, qint64 linhas, double segundos);

// A timed path, run after the database is built. Registered from any .cpp of bench/.
struct BenchCaminho {
    const char *nome;
    std::function<void(BenchContexto &)> corre;
    BenchCaminho(const char *n, std::function<void(BenchContexto &)> f);
};

// The import workbook of the chart import path: 50,000 accounts and 1,000 cost centres of the
// session's company.
bool escreveLivro(const QString &caminho, const Session &s);

// The child run of the memory path: imports one workbook into the database of the settings and
// prints the peak memory; returns the exit code.
int memoriaImportacao(const QString &livro);

// A worker of the two-workstation path, when the program is started with "--posto".
int postoBench(const QStringList &args);
