#pragma once

#include "models/campolinha.h"
#include "models/regraslinha.h"

#include <array>

class RegistoItem;

// One part of the file's name or extension.
struct ParteFicheiro {
    QString DescTipoParte;
    qint16 TipoParte = 0;
    qint16 ComprimentoParte = 0;
    QString TextoParte;
};

// What the name window holds: the texts of its controls, its option lists and its parts
// (index 0 of the part tables is not used).
struct NomeExtensao {
    QString Fnome, Fext; // texts of the type combos
    QString Ffnome, Ffext; // fixed texts
    QString Fpnome, Fpext; // numbers of parts
    ListaOpcoes tiposNome, tiposExtensao, tiposParteNome, tiposParteExtensao;
    std::array<ParteFicheiro, 5> PartesNome;
    std::array<ParteFicheiro, 4> PartesExtensao;
    qint16 NumPartesNome = 0;
    qint16 NumPartesExtensao = 0;
};

struct ValidacaoNome {
    FalhaCampo falha; // empty when the name and extension may be written
    QString ordemNome; // new text of Pnome (null: unchanged)
    QString ordemExtensao; // new text of Pext (null: unchanged)
    qint16 codigoNome = 0; // codes of the chosen types (when found)
    qint16 codigoExtensao = 0;
    bool ok() const { return falha.ok(); }
};

// The checks of the name and extension, in order; the first broken one is reported. Sets the
// part type codes of the parts it checks.
ValidacaoNome validaNomeExtensao(NomeExtensao &e);

// Assigns what "Gravar" writes for a validated name and extension to the name row.
void gravaNomeExtensao(NomeExtensao &e, const ValidacaoNome &v, RegistoItem &linha);

// "Confirma parte": stores the edited part number ordem (1 to maximo) in partes; the
// failure's focus is caixaOrdem.
FalhaCampo confirmaParte(const QString &ordem, int maximo, const QString &caixaOrdem, const QString &tipo,
    const QString &comprimento, const QString &texto, ParteFicheiro *partes);
