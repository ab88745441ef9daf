#include "charts/contasnc.h"

namespace {
const int kConta = 17;
const int kSufixo = 5;
const int kMaximo = kConta + kSufixo;
} // namespace

QString tiraBrancos(const QString &s)
{
    int i = 0, j = s.size();
    while (i < j && s[i] == QLatin1Char(' '))
        ++i;
    while (j > i && s[j - 1] == QLatin1Char(' '))
        --j;
    return s.mid(i, j - i);
}

ContaSnc converteContaSnc(const QString &v, const TabelaSnc &tabela)
{
    ContaSnc r;
    r.valor = v;
    const QString conta = tiraBrancos(v.left(kConta));
    int l = conta.size();
    QHash<QString, QString>::const_iterator achado = tabela.constEnd();
    for (; l > 0; --l) {
        achado = tabela.constFind(conta.left(l));
        if (achado != tabela.constEnd())
            break;
    }
    if (l == 0)
        return r;

    const QString snc = *achado;
    const int inicio = qMax(static_cast<int>(snc.size()), l + 1); // 1-based, as the rule counts
    QString nova = snc + conta.mid(inicio - 1);
    // Only characters 18 to 22 are a suffix: a shorter value has none, whatever its end holds.
    const QString sufixo = v.mid(kConta, kSufixo);
    if (!tiraBrancos(sufixo).isEmpty()) {
        if (nova.size() > kConta) {
            r.erro = QStringLiteral("a conta \"%1\" passa a \"%2\", que não cabe nos %3 caracteres da conta")
                         .arg(v, nova, QString::number(kConta));
            return r;
        }
        nova = nova.leftJustified(kConta, QLatin1Char(' ')) + sufixo;
    } else {
        // Too long: drop blanks, one per character of excess; without blanks it cannot be stored.
        while (nova.size() > kMaximo) {
            const int branco = nova.indexOf(QLatin1Char(' '));
            if (branco < 0) {
                r.erro = QStringLiteral("a conta \"%1\" passa a \"%2\", com mais de %3 caracteres")
                             .arg(v, nova, QString::number(kMaximo));
                return r;
            }
            nova.remove(branco, 1);
        }
    }
    r.valor = nova;
    r.mudou = nova != v;
    return r;
}
