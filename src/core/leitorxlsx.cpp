#include "core/leitorxlsx.h"

#include <QHash>
#include <QXmlStreamReader>

#include "core/zipleitor.h"

namespace {

// Text of a <si> or <is> element: the concatenation of its <t> pieces.
QString leTextoRico(QXmlStreamReader &x)
{
    const QString fim = x.name().toString();
    QString texto;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("t"))
            texto += x.readElementText();
        else if (x.isEndElement() && x.name() == fim)
            break;
    }
    return texto;
}

int linhaDaCelula(const QString &ref)
{
    int i = 0;
    while (i < ref.size() && ref[i].isLetter())
        ++i;
    return ref.mid(i).toInt();
}

} // namespace

bool LeitorXlsx::abre(const QString &caminho, QString *erro)
{
    m_folhas.clear();
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        m_folhas.clear();
        return false;
    };
    ZipLeitor zip;
    QString e;
    if (!zip.abre(caminho, &e))
        return falha(e);

    QByteArray livro, relacoes, partilhadas;
    if (!zip.le(QStringLiteral("xl/workbook.xml"), &livro))
        return falha(QStringLiteral("O livro \"%1\" não tem folhas.").arg(caminho));
    zip.le(QStringLiteral("xl/_rels/workbook.xml.rels"), &relacoes);
    zip.le(QStringLiteral("xl/sharedStrings.xml"), &partilhadas);

    QHash<QString, QString> alvos;
    for (QXmlStreamReader x(relacoes); !x.atEnd();) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("Relationship")) {
            QString alvo = x.attributes().value(QLatin1String("Target")).toString();
            if (alvo.startsWith(QLatin1Char('/')))
                alvo = alvo.mid(1);
            else
                alvo.prepend(QStringLiteral("xl/"));
            alvos.insert(x.attributes().value(QLatin1String("Id")).toString(), alvo);
        }
    }
    QStringList textos;
    for (QXmlStreamReader x(partilhadas); !x.atEnd();) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("si"))
            textos << leTextoRico(x);
    }

    QList<QPair<QString, QString>> folhas;
    for (QXmlStreamReader x(livro); !x.atEnd();) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("sheet")) {
            QString rid;
            for (const QXmlStreamAttribute &a : x.attributes())
                if (a.name() == QLatin1String("id"))
                    rid = a.value().toString();
            folhas.append({ x.attributes().value(QLatin1String("name")).toString(), alvos.value(rid) });
        }
    }

    for (const auto &[nome, entrada] : folhas) {
        Folha f;
        f.nome = nome;
        QByteArray xml;
        if (entrada.isEmpty() || !zip.le(entrada, &xml))
            return falha(QStringLiteral("A folha \"%1\" do livro \"%2\" não pode ser lida.").arg(nome, caminho));
        QXmlStreamReader x(xml);
        while (!x.atEnd()) {
            x.readNext();
            if (!x.isStartElement() || x.name() != QLatin1String("c"))
                continue;
            const QString ref = x.attributes().value(QLatin1String("r")).toString();
            const QString tipo = x.attributes().value(QLatin1String("t")).toString();
            QString v, formula, inline_;
            bool temInline = false;
            while (!x.atEnd()) {
                x.readNext();
                if (x.isStartElement() && x.name() == QLatin1String("v"))
                    v = x.readElementText();
                else if (x.isStartElement() && x.name() == QLatin1String("f"))
                    formula = x.readElementText();
                else if (x.isStartElement() && x.name() == QLatin1String("is")) {
                    inline_ = leTextoRico(x);
                    temInline = true;
                } else if (x.isEndElement() && x.name() == QLatin1String("c"))
                    break;
            }
            QVariant valor;
            if (tipo == QLatin1String("s"))
                valor = textos.value(v.toInt());
            else if (tipo == QLatin1String("inlineStr") || temInline)
                valor = inline_;
            else if (tipo == QLatin1String("str") || tipo == QLatin1String("e"))
                valor = v;
            else if (tipo == QLatin1String("b"))
                valor = v == QLatin1String("1");
            else if (!v.isEmpty())
                valor = v.toDouble();
            if (valor.isValid())
                f.valores.insert(ref, valor);
            if (!formula.isEmpty())
                f.formulas.insert(ref, formula);
            if (valor.isValid() || !formula.isEmpty())
                f.ultimaLinha = qMax(f.ultimaLinha, linhaDaCelula(ref));
        }
        if (x.hasError())
            return falha(
                QStringLiteral("A folha \"%1\" do livro \"%2\" está danificada: %3").arg(nome, caminho, x.errorString()));
        m_folhas.append(f);
    }
    return true;
}

QStringList LeitorXlsx::nomesFolhas() const
{
    QStringList r;
    for (const Folha &f : m_folhas)
        r << f.nome;
    return r;
}

QVariant LeitorXlsx::valor(int folha, const QString &celula) const
{
    if (folha < 1 || folha > m_folhas.size())
        return {};
    return m_folhas[folha - 1].valores.value(celula);
}

QString LeitorXlsx::formula(int folha, const QString &celula) const
{
    if (folha < 1 || folha > m_folhas.size())
        return {};
    return m_folhas[folha - 1].formulas.value(celula);
}

int LeitorXlsx::ultimaLinha(int folha) const
{
    if (folha < 1 || folha > m_folhas.size())
        return 0;
    return m_folhas[folha - 1].ultimaLinha;
}
