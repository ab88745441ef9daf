#include "core/ocultasenhas.h"

#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace {
const QString kMascara = QStringLiteral("****");

QMutex g_mutex;
QSet<QString> &senhas()
{
    static QSet<QString> s;
    return s;
}

bool letraOuDigito(const QString &t, qsizetype i)
{
    return i >= 0 && i < t.size() && t.at(i).isLetterOrNumber();
}
} // namespace

void registaSenha(const QString &senha)
{
    if (senha.isEmpty())
        return;
    QMutexLocker l(&g_mutex);
    senhas().insert(senha);
}

QString ocultaChavesDeSenha(const QString &texto)
{
    // An ODBC value may be enclosed in braces, with ";" and a doubled "}" inside.
    static const QRegularExpression chave(QStringLiteral("\\b(pwd|password)(\\s*=\\s*)(\\{(?:[^}]|\\}\\})*\\}?|[^;\\s\"']*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString t = texto;
    return t.replace(chave, QStringLiteral("\\1\\2") + kMascara);
}

QString ocultaSenhas(const QString &texto)
{
    QString t = texto;
    QMutexLocker l(&g_mutex);
    // The passwords known go first, whole and the longest first: one with a blank or a quote
    // would otherwise be masked only up to it.
    QStringList conhecidas = senhas().values();
    std::sort(conhecidas.begin(), conhecidas.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (const QString &s : std::as_const(conhecidas)) {
        // A short password is masked only where it stands alone, so that it does not eat
        // the letters of every word.
        const bool curta = s.size() < 4;
        for (qsizetype i = t.indexOf(s); i >= 0; i = t.indexOf(s, i)) {
            if (curta && (letraOuDigito(t, i - 1) || letraOuDigito(t, i + s.size()))) {
                i += s.size();
                continue;
            }
            t.replace(i, s.size(), kMascara);
            i += kMascara.size();
        }
    }
    return ocultaChavesDeSenha(t);
}
