#pragma once

#include "core/connection.h"
#include "core/datagrid.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

struct Session;

enum class TipoPlano { Contas, CentrosCusto };

// Where a chart is kept: the program's own tables, or the tables of the company's outside
// accounting package (SENDYS "A", SAGE "S", Primavera "T"). PHC "H" and any other letter
// have no source: nothing is read and nothing is said.
enum class OrigemPlano { Nenhuma, Propria, Sendys, Sage, Primavera };

// Everything a reader needs to read one chart from one source: the connection, the table,
// its columns, the filter (with its values, to be bound in order), the order and the
// consultation grid. Built afresh from the session at each load or search, so a change of
// company or of company parameters takes effect at the next one.
struct FontePlano {
    OrigemPlano origem = OrigemPlano::Nenhuma;
    TipoPlano tipo = TipoPlano::Contas;
    QString ligacao; // gLigacao1 or gLigacao2
    QString tabela;
    QString colunaCodigo; // also the order
    QString colunaDescricao;
    QString colunaLancadora; // own and SENDYS only
    QStringList colunasGrelha; // the consultation grid's columns, in order
    QString filtro; // conditions with one "?" per value of parametros; may be empty
    QVariantList parametros;
    QList<ColunaGrelha> layout; // captions and widths (twips) of the consultation grid
    int colunaFlag = -1; // the grid column shown as "Sim"/"Não", or -1
    QString tituloConsulta; // caption of the consultation window; empty keeps "Consulta"

    bool existe() const { return origem != OrigemPlano::Nenhuma; }
    bool temLancadora() const { return !colunaLancadora.isEmpty(); }

    // SELECT colunas FROM tabela WHERE filtro [AND extra] [ORDER BY code]. The values to bind
    // are parametros followed by those of the extra condition.
    QString select(const QStringList &colunas, const QString &extra = QString(), bool ordena = true) const;
    QVariantList valores(const QVariantList &extra = {}) const { return parametros + extra; }

    QSqlDatabase abre(QString *erro) const;
};

// The source rule: own tables unless gPlanosExt, then the package named by gTipoLig
// (compared exactly: upper case, one letter).
FontePlano fontePlano(const Session &s, TipoPlano tipo);
// The own tables of the session's company and year, whatever the company's parameters say
// (creation and deletion only ever touch the own charts).
FontePlano fontePropria(const Session &s, TipoPlano tipo);

// "plano de contas" / "plano de centros de custo", for messages.
QString nomePlano(TipoPlano tipo);
