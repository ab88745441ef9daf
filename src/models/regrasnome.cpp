#include "models/regrasnome.h"

#include "models/registoitem.h"

namespace {
FalhaCampo falha(const char *msg, const char *foco)
{
    return { QString::fromUtf8(msg), QString::fromLatin1(foco) };
}

// The first option whose designation equals the text exactly.
const Opcao *opcaoExacta(const ListaOpcoes &l, const QString &texto)
{
    for (const Opcao &o : l)
        if (o.designacao == texto)
            return &o;
    return nullptr;
}

enum class Partes { Ok, MalDefinida, Comprida };

// Checks parts 1 to num; *falhada is the failing part.
Partes validaPartes(ParteFicheiro *partes, int num, const ListaOpcoes &tipos, int limite, int *falhada)
{
    int comprimento = 0;
    for (int n = 1; n <= num; ++n) {
        ParteFicheiro &p = partes[n];
        *falhada = n;
        if (p.DescTipoParte.isEmpty() || tipos.isEmpty())
            return Partes::MalDefinida;
        const Opcao *t = nullptr;
        for (const Opcao &o : tipos)
            if (o.designacao.trimmed() == p.DescTipoParte) {
                t = &o;
                break;
            }
        if (!t)
            return Partes::MalDefinida;
        p.TipoParte = t->codigo;
        if (p.TipoParte == 0) {
            if (p.TextoParte.isEmpty())
                return Partes::MalDefinida;
            comprimento += p.TextoParte.trimmed().size();
        } else {
            if (p.ComprimentoParte < 1)
                return Partes::MalDefinida;
            comprimento += p.ComprimentoParte;
        }
        if (comprimento > limite)
            return Partes::Comprida;
    }
    return Partes::Ok;
}
} // namespace

ValidacaoNome validaNomeExtensao(NomeExtensao &e)
{
    ValidacaoNome v;
    if (e.Fnome.isEmpty())
        return v.falha = falha("Tem de definir o tipo de nome", "Fnome"), v;
    if (e.Fext.isEmpty())
        return v.falha = falha("Tem de definir o tipo de extensão", "Fext"), v;
    if (e.tiposNome.isEmpty())
        return v.falha = falha("Não existem tipos de nome definidos", "Fnome"), v;
    const Opcao *nome = opcaoExacta(e.tiposNome, e.Fnome);
    if (!nome)
        return v.falha = falha("O tipo de nome não é valido", "Fnome"), v;
    v.codigoNome = nome->codigo;
    if (e.tiposExtensao.isEmpty())
        return v.falha = falha("Não existem tipos de extensão definidos", "Fext"), v;
    const Opcao *ext = opcaoExacta(e.tiposExtensao, e.Fext);
    if (!ext)
        return v.falha = falha("O tipo de extensão não é valido", "Fext"), v;
    v.codigoExtensao = ext->codigo;

    const qint16 cn = v.codigoNome, ce = v.codigoExtensao;
    if ((cn == 2 || ce == 2) && cn != ce)
        return v.falha = falha("Quando o nome é aleatorio a extensão tambem tem de o ser e vice versa", "Fnome"), v;
    if (cn == 2)
        return v;
    if (cn == 0 && e.Ffnome.isEmpty())
        return v.falha = falha("Quando o nome é fixo tem de se definir o texto fixo do nome", "Ffnome"), v;
    if (ce == 0 && e.Ffext.isEmpty())
        return v.falha = falha("Quando a extensão é fixa tem de se definir o texto fixo da extensão", "Ffext"), v;
    if (cn == 0 && ce == 0)
        return v;

    int parte = 0;
    if (cn == 1) {
        e.NumPartesNome = numeroDigitado(e.Fpnome);
        if (e.Fpnome.isEmpty() || e.NumPartesNome < 1 || e.NumPartesNome > 4)
            return v.falha = falha("O nome deve ter entre 1 e 4 partes", "Fpnome"), v;
        switch (validaPartes(e.PartesNome.data(), e.NumPartesNome, e.tiposParteNome, 10, &parte)) {
        case Partes::Ok:
            break;
        case Partes::MalDefinida:
            v.ordemNome = QString::number(parte);
            return v.falha = falha("Existem partes do nome mal definidas", "Pnome"), v;
        case Partes::Comprida:
            v.ordemNome = QStringLiteral("1");
            return v.falha = falha("O comprimento do nome não pode ultrapassar os 10 caracteres", "Pnome"), v;
        }
    }
    if (ce == 1) {
        e.NumPartesExtensao = numeroDigitado(e.Fpext);
        if (e.Fpext.isEmpty() || e.NumPartesExtensao < 1 || e.NumPartesExtensao > 3)
            return v.falha = falha("A extensão deve ter entre 1 e 3 partes", "Fpext"), v;
        switch (validaPartes(e.PartesExtensao.data(), e.NumPartesExtensao, e.tiposParteExtensao, 3, &parte)) {
        case Partes::Ok:
            break;
        case Partes::MalDefinida:
            v.ordemExtensao = QString::number(parte);
            return v.falha = falha("Existem partes da extensão mal definidas", "Pext"), v;
        case Partes::Comprida:
            v.ordemExtensao = QStringLiteral("1");
            return v.falha = falha("O comprimento da extensão não pode ultrapassar os 3 caracteres", "Pext"), v;
        }
    }
    return v;
}

namespace {
void gravaLado(qint16 codigo, const QString &fixo, const QString &caixaPartes, qint16 *numPartes, const ParteFicheiro *partes,
    const char *sufixo, RegistoItem &linha)
{
    const QString s = QString::fromLatin1(sufixo); // "nome" or "ext"
    linha.atribui(QStringLiteral("F") + s, int(codigo));
    if (codigo == 0) {
        const QString t = fixo.trimmed();
        linha.atribui(QStringLiteral("ft") + s, int(t.size()));
        linha.atribui(QStringLiteral("Ff") + s, textoGravavel(t));
        linha.atribui(QStringLiteral("Fp") + s, 0);
    } else if (codigo == 1) {
        *numPartes = numeroDigitado(caixaPartes);
        int total = 0;
        for (int n = 1; n <= *numPartes; ++n) {
            const ParteFicheiro &p = partes[n];
            linha.atribui(QStringLiteral("Fp%1%2").arg(s).arg(n), int(p.TipoParte));
            linha.atribui(QStringLiteral("Ft%1%2").arg(s).arg(n), int(p.ComprimentoParte));
            linha.atribui(QStringLiteral("Ff%1%2").arg(s).arg(n), textoGravavel(p.TextoParte));
            total += p.ComprimentoParte;
        }
        linha.atribui(QStringLiteral("ft") + s, total);
        linha.atribui(QStringLiteral("Fp") + s, int(*numPartes));
    }
}
} // namespace

void gravaNomeExtensao(NomeExtensao &e, const ValidacaoNome &v, RegistoItem &linha)
{
    gravaLado(v.codigoNome, e.Ffnome, e.Fpnome, &e.NumPartesNome, e.PartesNome.data(), "nome", linha);
    gravaLado(v.codigoExtensao, e.Ffext, e.Fpext, &e.NumPartesExtensao, e.PartesExtensao.data(), "ext", linha);
}

FalhaCampo confirmaParte(const QString &ordem, int maximo, const QString &caixaOrdem, const QString &tipo,
    const QString &comprimento, const QString &texto, ParteFicheiro *partes)
{
    if (ordem.isEmpty())
        return { QStringLiteral("Tem de definir o numero de ordem da parte"), caixaOrdem };
    const qint16 n = numeroDigitado(ordem);
    if (n < 1 || n > maximo)
        return { QStringLiteral("O numero de ordem da parte tem de ser entre 1 e %1").arg(maximo), caixaOrdem };
    ParteFicheiro &p = partes[n];
    p.DescTipoParte = tipo.trimmed();
    p.ComprimentoParte = numeroDigitado(comprimento);
    p.TextoParte = texto.trimmed();
    if (p.DescTipoParte == QLatin1String("Fixo"))
        p.ComprimentoParte = qint16(p.TextoParte.size());
    return {};
}
