#include "models/campolinha.h"

#include "core/datacombo.h"
#include "models/registoitem.h"

#include <QSqlRecord>

ListaOpcoes opcoesDoCombo(const DataCombo *combo)
{
    ListaOpcoes l;
    for (int i = 0; i < combo->rowCount(); ++i) {
        const QSqlRecord r = combo->row(i);
        l.append({ inteiro16(r.value(QStringLiteral("codigo"))), r.value(QStringLiteral("designacao")).toString() });
    }
    return l;
}

qint16 &codigoDoCampo(CampoLinha &c, ListaCampo l)
{
    switch (l) {
    case LConteudo:
        return c.Conteudo;
    case LSinalDC:
        return c.SinalDC;
    case LAlinhamento:
        return c.Alinhamento;
    case LSimboloDecimal:
        return c.SimboloDecimal;
    case LOrdemData:
        return c.OrdemData;
    case LSeparadorData:
        return c.SeparadorData;
    case LDigitosAno:
        return c.DigitosAno;
    case LSinalNegativo:
        break;
    }
    return c.SinalNegativo;
}

QString &descricaoDoCampo(CampoLinha &c, ListaCampo l)
{
    switch (l) {
    case LConteudo:
        return c.DescConteudo;
    case LSinalDC:
        return c.DescSinalDC;
    case LAlinhamento:
        return c.DescAlinhamento;
    case LSimboloDecimal:
        return c.DescSimboloDecimal;
    case LOrdemData:
        return c.DescOrdemData;
    case LSeparadorData:
        return c.DescSeparadorData;
    case LDigitosAno:
        return c.DescDigitosAno;
    case LSinalNegativo:
        break;
    }
    return c.DescSinalNegativo;
}

namespace {
QString coluna(const char *raiz, int n)
{
    return QString::fromLatin1(raiz) + QString::number(n);
}
} // namespace

void LeCampo(qint16 n, const RegistoItem &linha, CamposLinha &campos, const OpcoesLinha &opcoes)
{
    if (n < 1 || n > 24)
        return;
    CampoLinha &c = campos[n];
    c.Conteudo = inteiro16(linha.valor(coluna("Lpcampo", n)));
    c.Comprimento = inteiro16(linha.valor(coluna("Ltcampo", n)));
    c.Tipo = linha.valor(coluna("Ltccampo", n)).toString();
    c.SinalDC = inteiro16(linha.valor(coluna("Ltscampo", n)));
    c.Alinhamento = inteiro16(linha.valor(coluna("Lacampo", n)));
    if (c.Conteudo != 0) {
        if (c.Tipo == QLatin1String("N")) {
            c.SimboloDecimal = inteiro16(linha.valor(coluna("Ldcampo", n)));
            c.CasasDecimais = inteiro16(linha.valor(coluna("Lndcampo", n)));
            c.SinalNegativo = inteiro16(linha.valor(coluna("Ltvcampo", n)));
        }
        if (c.Tipo == QLatin1String("D")) {
            c.OrdemData = inteiro16(linha.valor(coluna("Lodcampo", n)));
            c.SeparadorData = inteiro16(linha.valor(coluna("Lsdcampo", n)));
            c.DigitosAno = inteiro16(linha.valor(coluna("Ladcampo", n)));
        }
    } else {
        c.TextoFixo = linha.valor(coluna("Lfcampo", n)).toString();
    }
    for (int l = 0; l < kListasCampo; ++l) {
        const ListaOpcoes &lista = opcoes[l];
        if (lista.isEmpty())
            continue;
        qint16 &codigo = codigoDoCampo(c, ListaCampo(l));
        const Opcao *escolhida = &lista.first();
        for (const Opcao &o : lista)
            if (o.codigo == codigo) {
                escolhida = &o;
                break;
            }
        descricaoDoCampo(c, ListaCampo(l)) = escolhida->designacao.trimmed();
        codigo = escolhida->codigo;
    }
}

void GravaCampo(qint16 n, const CamposLinha &campos, RegistoItem &linha)
{
    if (n < 1 || n > 24)
        return;
    const CampoLinha &c = campos[n];
    linha.atribui(coluna("Lpcampo", n), int(c.Conteudo));
    linha.atribui(coluna("Ltcampo", n), int(c.Comprimento));
    linha.atribui(coluna("Ltccampo", n), textoGravavel(c.Tipo));
    linha.atribui(coluna("Ltscampo", n), int(c.SinalDC));
    linha.atribui(coluna("Lacampo", n), int(c.Alinhamento));
    linha.atribui(coluna("Lfcampo", n), textoGravavel(c.TextoFixo));
    if (c.Tipo == QLatin1String("N")) {
        linha.atribui(coluna("Ldcampo", n), int(c.SimboloDecimal));
        linha.atribui(coluna("Lndcampo", n), int(c.CasasDecimais));
        linha.atribui(coluna("Ltvcampo", n), int(c.SinalNegativo));
    }
    if (c.Tipo == QLatin1String("D")) {
        linha.atribui(coluna("Lodcampo", n), int(c.OrdemData));
        linha.atribui(coluna("Lsdcampo", n), int(c.SeparadorData));
        linha.atribui(coluna("Ladcampo", n), int(c.DigitosAno));
    }
}
