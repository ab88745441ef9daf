#include "core/ocultasenhas.h"

#include <QMutex>
#include <QRegularExpression>
#include <QSet>

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

QString ocultaSenhas(const QString &texto)
{
    // An ODBC value may be enclosed in braces, with ";" inside.
    static const QRegularExpression chave(
        QStringLiteral("\\b(pwd|password)(\\s*=\\s*)(\\{[^}]*\\}?|[^;\\s\"']*)"), QRegularExpression::CaseInsensitiveOption);
    QString t = texto;
    t.replace(chave, QStringLiteral("\\1\\2") + kMascara);
    QMutexLocker l(&g_mutex);
    for (const QString &s : std::as_const(senhas())) {
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
    return t;
}
