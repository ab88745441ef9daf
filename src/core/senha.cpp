#include "core/senha.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

namespace {
constexpr int kIteracoes = 120000;
constexpr int kTamanho = 32;

QByteArray deriva(const QString &senha, const QByteArray &sal, int iteracoes)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, senha.toUtf8(), sal, iteracoes, kTamanho);
}
} // namespace

QString hashSenha(const QString &senha)
{
    QByteArray sal(16, '\0');
    QRandomGenerator::system()->generate(sal.begin(), sal.end());
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(kIteracoes)
        .arg(QString::fromLatin1(sal.toBase64()), QString::fromLatin1(deriva(senha, sal, kIteracoes).toBase64()));
}

bool confereSenha(const QString &senha, const QString &guardado)
{
    const QStringList p = guardado.trimmed().split(QLatin1Char('$'));
    if (p.size() != 4 || p[0] != QLatin1String("pbkdf2-sha256"))
        return false;
    const int iteracoes = p[1].toInt();
    if (iteracoes <= 0 || iteracoes > 10000000)
        return false;
    const QByteArray esperado = QByteArray::fromBase64(p[3].toLatin1());
    const QByteArray obtido = deriva(senha, QByteArray::fromBase64(p[2].toLatin1()), iteracoes);
    if (esperado.size() != obtido.size())
        return false;
    unsigned char dif = 0;
    for (int i = 0; i < obtido.size(); ++i)
        dif |= static_cast<unsigned char>(esperado[i] ^ obtido[i]);
    return dif == 0;
}
