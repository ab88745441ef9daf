#pragma once

#include <QString>

// Passwords are kept as a salted PBKDF2-HMAC-SHA256 hash: "pbkdf2-sha256$iterations$salt$hash".
QString hashSenha(const QString &senha);

// Constant-time comparison of a typed password with a stored hash.
bool confereSenha(const QString &senha, const QString &guardado);
