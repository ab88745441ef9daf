#pragma once

#include "models/campolinha.h"

#include <QString>

// The first rule a field or line breaks: the message to show and the control to focus.
struct FalhaCampo {
    QString mensagem;
    QString foco;
    bool ok() const { return mensagem.isEmpty(); }
};

// Looks the designation member of list l up in it by trimmed designation; none: the list's
// first option (false). Sets the code member and the trimmed designation. An empty list
// changes nothing and never fails.
bool procuraOpcaoCampo(CampoLinha &c, ListaCampo l, const OpcoesLinha &opcoes);

// The texts of the field editor's controls, named as the controls.
struct ControlosCampo {
    QString Pcampo, Lpcampo1, Ltcampo1, Ltccampo1, Ltscampo1, Lacampo1, Ldcampo1, Lndcampo1, Lodcampo1, Lsdcampo1, Ladcampo1,
        Ltvcampo1, Lfcampo1;
};

// "Confirma campo": copies the controls into the record of the field numbered in Pcampo and
// checks it, stopping at the first broken rule. The letter box is upper-cased and trimmed in
// c. *numCampo gets the field number; *consultadas the lists whose lookup ran (their combos
// show the record's designation afterwards).
FalhaCampo confirmaCampo(ControlosCampo &c, CamposLinha &campos, const OpcoesLinha &opcoes, qint16 *numCampo,
    QList<ListaCampo> *consultadas = nullptr);

// The silent check of a stored field: true when field n breaks a rule.
bool campoErrado(qint16 n, CamposLinha &campos, const OpcoesLinha &opcoes);

// A line of numCampos fields may be written: 1 to 24 fields, each correct, 255 characters at most.
bool validaLinha(qint16 numCampos, CamposLinha &campos, const OpcoesLinha &opcoes);
