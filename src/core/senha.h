#pragma once

#include <QString>

// Longest password, counted as the user sees characters (an emoji, or a letter with its
// accent, is one). The same for every password box; the shortest is kSenhaMinima.
inline constexpr int kSenhaMaxima = 100;

// The form passwords are hashed and compared in (Unicode NFC): the same text typed on
// another keyboard layout, with its accents as separate characters, is the same password.
QString normalizaSenha(const QString &senha);

// Characters as the user sees them.
int caracteresSenha(const QString &senha);

// Why today's rules refuse a new password, as a message in Portuguese; empty when they take it.
QString senhaRecusada(const QString &senha);

// Passwords are kept as a salted PBKDF2-HMAC-SHA256 hash of their NFC form:
// "pbkdf2-sha256$iterations$salt$hash".
QString hashSenha(const QString &senha);

// Constant-time comparison of a typed password with a stored hash. A hash made by an earlier
// version may hold the text as typed, not normalised, or cut at 100 UTF-16 units by its
// password boxes: such a match is a match too, and sets *antiga so that it can be stored again.
bool confereSenha(const QString &senha, const QString &guardado, bool *antiga = nullptr);
