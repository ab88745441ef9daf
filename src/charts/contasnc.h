#pragma once

#include <QHash>
#include <QString>

// The SNC conversion table in memory: old account prefix (blanks trimmed) -> SNC code
// (blanks trimmed). The first row of a repeated prefix wins.
using TabelaSnc = QHash<QString, QString>;

// The rewrite of one stored account value. A stored value holds the account in its first
// 17 characters (padded with blanks) and an optional suffix in characters 18 to 22. The
// longest prefix of the account found in the table (exact text) is replaced by its SNC code;
// the old characters are copied on from max(length of the SNC code, prefix length + 1); the
// suffix, when present, stays in characters 18 to 22.
struct ContaSnc {
    QString valor; // the value to store
    bool mudou = false;
    QString erro; // why the value cannot be stored (then valor is the original)
    bool ok() const { return erro.isEmpty(); }
};
ContaSnc converteContaSnc(const QString &v, const TabelaSnc &tabela);

// Blanks only, as the stored layout pads with blanks: tabs and other characters stay.
QString tiraBrancos(const QString &s);
