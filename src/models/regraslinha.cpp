#include "models/regraslinha.h"

#include "models/registoitem.h"

bool procuraOpcaoCampo(CampoLinha &c, ListaCampo l, const OpcoesLinha &opcoes)
{
    const ListaOpcoes &lista = opcoes[l];
    if (lista.isEmpty())
        return true;
    QString &desc = descricaoDoCampo(c, l);
    const Opcao *escolhida = nullptr;
    for (const Opcao &o : lista)
        if (o.designacao.trimmed() == desc) {
            escolhida = &o;
            break;
        }
    const bool achou = escolhida != nullptr;
    if (!achou)
        escolhida = &lista.first();
    codigoDoCampo(c, l) = escolhida->codigo;
    desc = escolhida->designacao.trimmed();
    return achou;
}

namespace {
// The rules of a field that depend on its type letter and options, in their order. Stops at
// the first broken rule unless todas, in which case every rule runs (each lookup may replace
// an option by its list's first one).
FalhaCampo regrasDoCampo(CampoLinha &c, const OpcoesLinha &o, bool todas, QList<ListaCampo> *consultadas)
{
    FalhaCampo primeira;
    auto falha = [&](const char *msg, const char *foco) {
        if (primeira.ok())
            primeira = { QString::fromUtf8(msg), QString::fromLatin1(foco) };
        return !todas;
    };
    auto procura = [&](ListaCampo l) {
        if (consultadas)
            consultadas->append(l);
        return procuraOpcaoCampo(c, l, o);
    };
    const bool numero = c.Tipo == QLatin1String("N");
    const bool data = c.Tipo == QLatin1String("D");

    if (!procura(LConteudo) && falha("Tem de definir o tipo do campo", "Lpcampo1"))
        return primeira;
    if (c.Tipo == QLatin1String("S") && !procura(LSinalDC) && falha("Tem de definir o tipo de sinal Deb/Cre", "Ltscampo1"))
        return primeira;
    if (!procura(LAlinhamento) && falha("Tem de definir o alinhamento do campo", "Lacampo1"))
        return primeira;
    if (numero && c.CasasDecimais >= 1) {
        if (!procura(LSimboloDecimal) && falha("Tem de definir o simbolo decimal do campo", "Ldcampo1"))
            return primeira;
        if (c.SimboloDecimal != 2 && c.CasasDecimais > c.Comprimento - 1
            && falha("O numero de casas decimais não pode ultrapassar o comprimento do campo menos 1", "Lndcampo1"))
            return primeira;
        if (c.SimboloDecimal == 2 && c.CasasDecimais > c.Comprimento
            && falha("O numero de casas decimais não pode ultrapassar o comprimento do campo", "Lndcampo1"))
            return primeira;
    }
    if (numero && !procura(LSinalNegativo) && falha("Tem de definir o sinal para valor negativo do campo", "Ltvcampo1"))
        return primeira;
    if (data) {
        if (!procura(LOrdemData) && falha("Tem de definir a ordem da data", "Lodcampo1"))
            return primeira;
        if (!procura(LSeparadorData) && falha("Tem de definir o caracter de separação na data", "Lsdcampo1"))
            return primeira;
        if (!procura(LDigitosAno) && falha("Tem de definir o numero de digitos do ano na data", "Ladcampo1"))
            return primeira;
        const int algarismos = c.DigitosAno != 0 ? 6 : 8;
        const int espaco = c.SeparadorData != 2 ? c.Comprimento - 2 : c.Comprimento;
        if (algarismos > espaco && falha("A data não cabe no campo", "Ladcampo1"))
            return primeira;
    }
    return primeira;
}

bool letraValida(const QString &l)
{
    return l == QLatin1String("S") || l == QLatin1String("N") || l == QLatin1String("C") || l == QLatin1String("D");
}
} // namespace

FalhaCampo confirmaCampo(
    ControlosCampo &c, CamposLinha &campos, const OpcoesLinha &opcoes, qint16 *numCampo, QList<ListaCampo> *consultadas)
{
    if (c.Pcampo.isEmpty())
        return { QStringLiteral("Tem de definir o numero de ordem do campo"), QStringLiteral("Pcampo") };
    const qint16 n = numeroDigitado(c.Pcampo);
    if (numCampo)
        *numCampo = n;
    if (n < 1 || n > 24)
        return { QStringLiteral("O numero de ordem do campo tem de ser entre 1 e 24"), QStringLiteral("Pcampo") };

    CampoLinha &r = campos[n];
    r.DescConteudo = c.Lpcampo1.trimmed();
    r.Comprimento = numeroDigitado(c.Ltcampo1);
    r.TextoFixo = c.Lfcampo1.trimmed();
    r.DescSinalDC = c.Ltscampo1.trimmed();
    r.DescAlinhamento = c.Lacampo1.trimmed();
    r.DescSimboloDecimal = c.Ldcampo1.trimmed();
    r.DescOrdemData = c.Lodcampo1.trimmed();
    r.DescSeparadorData = c.Lsdcampo1.trimmed();
    r.DescDigitosAno = c.Ladcampo1.trimmed();
    r.DescSinalNegativo = c.Ltvcampo1;
    r.CasasDecimais = numeroDigitado(c.Lndcampo1);

    const QString tipos = QStringLiteral("Tem de definir se é Caract, Num, Data ou Sinal Deb/Cre");
    if (c.Ltccampo1.isEmpty())
        return { tipos, QStringLiteral("Ltccampo1") };
    c.Ltccampo1 = c.Ltccampo1.toUpper().trimmed();
    const QString letra = c.Ltccampo1;
    if (!letraValida(letra))
        return { tipos, QStringLiteral("Ltccampo1") };
    if (r.Comprimento < 1)
        return { QStringLiteral("Tem de definir o comprimento do campo"), QStringLiteral("Ltcampo1") };
    if (r.Comprimento > 255)
        return { QStringLiteral("O campo não pode ter mais de 255 caracteres"), QStringLiteral("Ltcampo1") };
    r.Tipo = letra;
    return regrasDoCampo(r, opcoes, false, consultadas);
}

bool campoErrado(qint16 n, CamposLinha &campos, const OpcoesLinha &opcoes)
{
    if (n < 1 || n > 24)
        return true;
    CampoLinha &r = campos[n];
    if (!letraValida(r.Tipo))
        return true;
    bool errado = r.Comprimento < 1 || r.Comprimento > 255;
    if (!regrasDoCampo(r, opcoes, true, nullptr).ok())
        errado = true;
    return errado;
}

bool validaLinha(qint16 numCampos, CamposLinha &campos, const OpcoesLinha &opcoes)
{
    if (numCampos < 1 || numCampos > 24)
        return false;
    int total = 0;
    for (qint16 n = 1; n <= numCampos; ++n) {
        if (campoErrado(n, campos, opcoes))
            return false;
        total += campos[n].Comprimento;
    }
    return total <= 255;
}
