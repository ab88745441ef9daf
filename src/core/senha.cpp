#include "core/senha.h"

#include "core/schema.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {
constexpr int kIteracoes = 120000;
constexpr int kTamanho = 32;
// Earlier versions' password boxes cut what was typed at this many UTF-16 units.
constexpr int kCorteAntigo = 100;

QByteArray deriva(const QString &senha, const QByteArray &sal, int iteracoes)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, senha.toUtf8(), sal, iteracoes, kTamanho);
}

bool confereForma(const QString &senha, const QString &guardado)
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

// Letters, digits, punctuation and symbols show; blanks, control and format characters
// (zero-width spaces, joiners, byte-order marks) and marks alone do not, nor do the
// letters and symbols that are drawn blank.
bool visivel(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other:
        break;
    default:
        return false;
    }
    // Hangul fillers and the braille blank.
    return c != 0x115F && c != 0x1160 && c != 0x3164 && c != 0xFFA0 && c != 0x2800;
}
} // namespace

QString normalizaSenha(const QString &senha)
{
    return senha.normalized(QString::NormalizationForm_C);
}

int caracteresSenha(const QString &senha)
{
    int caracteres = 0;
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, senha);
    while (f.toNextBoundary() != -1)
        ++caracteres;
    return caracteres;
}

QString senhaRecusada(const QString &senha)
{
    const QString n = normalizaSenha(senha);
    const int caracteres = caracteresSenha(n);
    if (caracteres > kSenhaMaxima)
        return QStringLiteral("A senha não pode ter mais de %1 caracteres!").arg(kSenhaMaxima);
    const QList<uint> pontos = n.toUcs4();
    if (!n.isEmpty() && std::none_of(pontos.begin(), pontos.end(), [](uint c) { return visivel(c); }))
        return QStringLiteral("A senha não pode ser feita só de espaços ou de caracteres invisíveis!");
    if (caracteres < kSenhaMinima)
        return QStringLiteral("A senha tem de ter pelo menos %1 caracteres!").arg(kSenhaMinima);
    return {};
}

QString hashSenha(const QString &senha)
{
    QByteArray sal(16, '\0');
    QRandomGenerator::system()->generate(sal.begin(), sal.end());
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(kIteracoes)
        .arg(QString::fromLatin1(sal.toBase64()), QString::fromLatin1(deriva(normalizaSenha(senha), sal, kIteracoes).toBase64()));
}

bool confereSenha(const QString &senha, const QString &guardado, bool *antiga)
{
    // How many forms are tried depends on the text typed only, never on what is stored.
    const QString n = normalizaSenha(senha);
    QStringList formas { n };
    if (senha != n)
        formas << senha;
    if (senha.size() > kCorteAntigo)
        formas << senha.left(kCorteAntigo);
    for (qsizetype i = 0; i < formas.size(); ++i) {
        if (confereForma(formas[i], guardado)) {
            if (antiga)
                *antiga = i > 0;
            return true;
        }
    }
    return false;
}
