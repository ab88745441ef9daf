#include "core/leitorxlsx.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <cstring>

#include <minizip/unzip.h>

namespace {

QString nomeColuna(int coluna)
{
    QString s;
    for (int c = coluna; c > 0; c = (c - 1) / 26)
        s.prepend(QChar(u'A' + (c - 1) % 26));
    return s;
}

// "B12" -> column 2, row 12; 0 for what is missing.
void posicao(QStringView ref, int *linha, int *coluna)
{
    int c = 0, i = 0;
    for (; i < ref.size() && ref[i].isLetter(); ++i)
        c = c * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
    *coluna = c;
    *linha = ref.mid(i).toInt();
}

// One part of the workbook, inflated a piece at a time into an XML reader.
class Parte
{
public:
    Parte(unzFile zip, const QString &nome)
        : m_zip(zip)
        , m_nome(nome)
    {
    }
    ~Parte()
    {
        if (m_aberta)
            unzCloseCurrentFile(m_zip);
    }

    // False, with erro, when the part is missing and obrigatoria, or cannot be opened.
    bool abre(bool obrigatoria, QString *erro, bool *existe = nullptr)
    {
        if (existe)
            *existe = false;
        if (unzLocateFile(m_zip, m_nome.toUtf8().constData(), 1) != UNZ_OK) {
            if (obrigatoria)
                *erro = falta();
            return !obrigatoria;
        }
        unz_file_info64 info {};
        if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return falha(QStringLiteral("não pode ser lida"), erro);
        if (info.uncompressed_size > quint64(LeitorXlsx::kTamanhoMaximoParte))
            return falha(QStringLiteral("tem %1 MB por extrair, mais do que os %2 MB aceites")
                             .arg(info.uncompressed_size / (1024 * 1024))
                             .arg(LeitorXlsx::kTamanhoMaximoParte / (1024 * 1024)),
                erro);
        if (unzOpenCurrentFile(m_zip) != UNZ_OK)
            return falha(QStringLiteral("não pode ser lida"), erro);
        m_aberta = true;
        if (existe)
            *existe = true;
        return true;
    }

    QXmlStreamReader &xml() { return m_xml; }

    // The next token, inflating more of the part when the reader needs it. Invalid at an error
    // of the part or of its XML.
    QXmlStreamReader::TokenType proximo()
    {
        for (;;) {
            const QXmlStreamReader::TokenType t = m_xml.readNext();
            // The XML reader keeps every open element: a part nested without end would hold
            // memory out of all proportion to its size. Real parts nest about ten deep.
            if (t == QXmlStreamReader::StartElement && ++m_profundidade > kProfundidadeMaxima) {
                m_erroZip = QStringLiteral("está danificada: elementos encaixados a mais de %1 níveis").arg(kProfundidadeMaxima);
                return QXmlStreamReader::Invalid;
            }
            if (t == QXmlStreamReader::EndElement)
                --m_profundidade;
            if (t != QXmlStreamReader::Invalid || m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || m_fim
                || !m_erroZip.isEmpty())
                return t;
            if (!alimenta())
                return QXmlStreamReader::Invalid;
        }
    }

    // Inflates what is left (the checksum covers the whole part), then closes the part. The XML
    // must have ended unless the reader stopped early.
    bool fecha(bool completo, QString *erro)
    {
        while (m_erroZip.isEmpty() && !m_fim)
            le(nullptr);
        const int r = unzCloseCurrentFile(m_zip);
        m_aberta = false;
        if (!m_erroZip.isEmpty())
            return falha(m_erroZip, erro);
        if (r == UNZ_CRCERROR)
            return falha(QStringLiteral("está danificada (a soma de verificação não confere)"), erro);
        if (r != UNZ_OK)
            return falha(QStringLiteral("não pode ser lida"), erro);
        if (m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            return falha(QStringLiteral("está danificada: %1").arg(m_xml.errorString()), erro);
        if (completo && (!m_xml.atEnd() || m_xml.hasError()))
            return falha(QStringLiteral("está danificada: o XML acaba antes do fim"), erro);
        return true;
    }

    bool falha(const QString &motivo, QString *erro) const
    {
        *erro = QStringLiteral("a parte \"%1\" %2").arg(m_nome, motivo);
        return false;
    }

private:
    QString falta() const { return QStringLiteral("falta a parte \"%1\"").arg(m_nome); }

    // Reads the next piece of the part; into the XML reader when xml is set.
    void le(QXmlStreamReader *xml)
    {
        char buf[64 * 1024];
        const int n = unzReadCurrentFile(m_zip, buf, sizeof buf);
        if (n < 0) {
            m_erroZip = QStringLiteral("está danificada (erro %1 ao extrair)").arg(n);
            return;
        }
        if (n == 0) {
            m_fim = true;
            return;
        }
        m_lidos += n;
        // minizip stops at the declared size, which abre() checked; this guards the sum too.
        if (m_lidos > LeitorXlsx::kTamanhoMaximoParte) {
            m_erroZip = QStringLiteral("passa os %1 MB aceites").arg(LeitorXlsx::kTamanhoMaximoParte / (1024 * 1024));
            return;
        }
        if (!xml)
            return;
        // The XML reader holds a whole text or tag before it hands it over. Between two '<' lies
        // one of them, and no cell holds more than 32,767 characters: a much longer run is refused.
        for (const char *p = buf, *fim = buf + n; p < fim;) {
            const char *marca = static_cast<const char *>(std::memchr(p, '<', size_t(fim - p)));
            m_semMarca += (marca ? marca : fim) - p;
            if (m_semMarca > kSemMarcaMaximo) {
                m_erroZip = QStringLiteral("tem mais de %1 KB de seguida sem marcas XML, mais do que qualquer célula")
                                .arg(kSemMarcaMaximo / 1024);
                return;
            }
            if (!marca)
                break;
            m_semMarca = 0;
            p = marca + 1;
        }
        xml->addData(QByteArray(buf, n));
    }

    static constexpr qint64 kSemMarcaMaximo = 1024 * 1024;
    static constexpr int kProfundidadeMaxima = 256;

    bool alimenta()
    {
        le(&m_xml);
        return m_erroZip.isEmpty();
    }

    unzFile m_zip;
    QString m_nome;
    QXmlStreamReader m_xml;
    bool m_aberta = false;
    bool m_fim = false;
    qint64 m_lidos = 0;
    qint64 m_semMarca = 0;
    int m_profundidade = 0;
    QString m_erroZip;
};

// The whole part in one pass; tokens go to trata. False with erro when the part fails.
template <class F> bool percorreParte(Parte &p, F trata, QString *erro)
{
    bool completo = true;
    for (;;) {
        const QXmlStreamReader::TokenType t = p.proximo();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument)
            break;
        if (!trata(p.xml())) {
            completo = false;
            break;
        }
    }
    return p.fecha(completo, erro);
}

// Text of the current <si> or <is>: its <t> pieces, phonetic runs (<rPh>) left out.
class TextoRico
{
public:
    explicit TextoRico(QStringView fim)
        : m_fim(fim.toString())
    {
    }
    // False once the element has ended.
    bool trata(const QXmlStreamReader &x)
    {
        if (x.isStartElement()) {
            if (x.name() == QLatin1String("rPh"))
                ++m_fonetica;
            else if (x.name() == QLatin1String("t") && m_fonetica == 0)
                m_dentro = true;
        } else if (x.isCharacters() && m_dentro) {
            texto += x.text();
        } else if (x.isEndElement()) {
            if (x.name() == QLatin1String("t"))
                m_dentro = false;
            else if (x.name() == QLatin1String("rPh"))
                --m_fonetica;
            else if (x.name() == m_fim)
                return false;
        }
        return true;
    }
    QString texto;

private:
    QString m_fim;
    int m_fonetica = 0;
    bool m_dentro = false;
};

} // namespace

LeitorXlsx::LeitorXlsx() = default;

LeitorXlsx::~LeitorXlsx()
{
    if (m_zip)
        unzClose(m_zip);
}

bool LeitorXlsx::abre(const QString &caminho, QString *erro)
{
    if (m_zip)
        unzClose(m_zip);
    m_zip = nullptr;
    m_folhas.clear();
    m_textos.clear();
    m_carregadas.clear();
    QString e;
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        m_folhas.clear();
        m_textos.clear();
        return false;
    };
    m_zip = unzOpen64(QFile::encodeName(caminho).constData());
    if (!m_zip)
        return falha(QStringLiteral("não é um livro .xlsx legível (não é um arquivo zip, ou está danificado)"));

    // A workbook's list of parts and of sheets are held whole: far more entries than any real
    // workbook has is a hostile one, which would hold memory out of all proportion to its size.
    constexpr int maximoEntradas = 10000;
    const auto demasiadas = [&](const QString &parte) {
        return falha(
            QStringLiteral("a parte \"%1\" tem mais de %2 entradas, mais do que qualquer livro").arg(parte).arg(maximoEntradas));
    };
    QHash<QString, QString> alvos;
    // Some programs name the part "SharedStrings.xml": the workbook's relationships say which.
    QString textos = QStringLiteral("xl/sharedStrings.xml");
    {
        Parte p(m_zip, QStringLiteral("xl/_rels/workbook.xml.rels"));
        bool existe = false;
        if (!p.abre(false, &e, &existe))
            return falha(e);
        if (existe
            && !percorreParte(
                p,
                [&](const QXmlStreamReader &x) {
                    if (x.isStartElement() && x.name() == QLatin1String("Relationship")) {
                        QString alvo = x.attributes().value(QLatin1String("Target")).toString();
                        alvo = QDir::cleanPath(alvo.startsWith(QLatin1Char('/')) ? alvo.mid(1) : QStringLiteral("xl/") + alvo);
                        if (x.attributes().value(QLatin1String("Type")).endsWith(QLatin1String("/sharedStrings")))
                            textos = alvo;
                        alvos.insert(x.attributes().value(QLatin1String("Id")).toString(), alvo);
                        return alvos.size() <= maximoEntradas;
                    }
                    return true;
                },
                &e))
            return falha(e);
        if (alvos.size() > maximoEntradas)
            return demasiadas(QStringLiteral("xl/_rels/workbook.xml.rels"));
    }
    {
        Parte p(m_zip, QStringLiteral("xl/workbook.xml"));
        if (!p.abre(true, &e))
            return falha(e);
        if (!percorreParte(
                p,
                [&](const QXmlStreamReader &x) {
                    if (x.isStartElement() && x.name() == QLatin1String("sheet")) {
                        QString rid;
                        for (const QXmlStreamAttribute &a : x.attributes())
                            if (a.name() == QLatin1String("id"))
                                rid = a.value().toString();
                        m_folhas.append({ x.attributes().value(QLatin1String("name")).toString(), alvos.value(rid) });
                        return m_folhas.size() <= maximoEntradas;
                    }
                    return true;
                },
                &e))
            return falha(e);
        if (m_folhas.size() > maximoEntradas)
            return demasiadas(QStringLiteral("xl/workbook.xml"));
    }
    {
        // A workbook without text cells has no shared strings; one that has them must read whole.
        Parte p(m_zip, textos);
        bool existe = false;
        if (!p.abre(false, &e, &existe))
            return falha(e);
        std::unique_ptr<TextoRico> si;
        if (existe
            && !percorreParte(
                p,
                [&](const QXmlStreamReader &x) {
                    if (si) {
                        if (!si->trata(x)) {
                            m_textos << si->texto;
                            si.reset();
                        }
                    } else if (x.isStartElement() && x.name() == QLatin1String("si")) {
                        si = std::make_unique<TextoRico>(x.name());
                    }
                    return true;
                },
                &e))
            return falha(e);
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

bool LeitorXlsx::percorre(int folha, const VisitaCelula &visita, QString *erro) const
{
    QString e;
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        return false;
    };
    if (!m_zip || folha < 1 || folha > m_folhas.size())
        return falha(QStringLiteral("o livro não tem a folha %1").arg(folha));
    const Folha &f = m_folhas[folha - 1];
    if (f.parte.isEmpty())
        return falha(QStringLiteral("a folha \"%1\" não tem parte no livro").arg(f.nome));
    Parte p(m_zip, f.parte);
    if (!p.abre(true, &e))
        return falha(e);

    // The cell being read, and where the previous one stood (a cell or row may omit its reference).
    enum class Dentro { Nada, V, F, Is };
    Dentro dentro = Dentro::Nada;
    std::unique_ptr<TextoRico> is;
    CelulaLivro c;
    QString tipo, v;
    bool emCelula = false, textoInline = false;
    int linha = 0, coluna = 0;
    QString erroCelula;
    const bool ok = percorreParte(
        p,
        [&](const QXmlStreamReader &x) {
            if (is) {
                if (!is->trata(x)) {
                    v = is->texto;
                    textoInline = true;
                    is.reset();
                }
                return true;
            }
            if (x.isStartElement()) {
                const QStringView nome = x.name();
                if (nome == QLatin1String("row")) {
                    const QStringView r = x.attributes().value(QLatin1String("r"));
                    linha = r.isEmpty() ? linha + 1 : r.toInt();
                    coluna = 0;
                } else if (nome == QLatin1String("c")) {
                    emCelula = true;
                    c = CelulaLivro();
                    v.clear();
                    textoInline = false;
                    tipo = x.attributes().value(QLatin1String("t")).toString();
                    const QStringView r = x.attributes().value(QLatin1String("r"));
                    int l = 0, col = 0;
                    if (!r.isEmpty())
                        posicao(r, &l, &col);
                    c.linha = l > 0 ? l : linha;
                    c.coluna = col > 0 ? col : coluna + 1;
                    linha = c.linha;
                    coluna = c.coluna;
                } else if (emCelula && nome == QLatin1String("v")) {
                    dentro = Dentro::V;
                } else if (emCelula && nome == QLatin1String("f")) {
                    dentro = Dentro::F;
                } else if (emCelula && nome == QLatin1String("is")) {
                    is = std::make_unique<TextoRico>(nome);
                }
            } else if (x.isCharacters()) {
                if (dentro == Dentro::V)
                    v += x.text();
                else if (dentro == Dentro::F)
                    c.formula += x.text();
            } else if (x.isEndElement()) {
                const QStringView nome = x.name();
                if (nome == QLatin1String("v") || nome == QLatin1String("f")) {
                    dentro = Dentro::Nada;
                } else if (nome == QLatin1String("c") && emCelula) {
                    emCelula = false;
                    if (tipo == QLatin1String("s")) {
                        bool n = false;
                        const int i = v.toInt(&n);
                        if (!v.isEmpty()) {
                            if (!n || i < 0 || i >= m_textos.size()) {
                                erroCelula = QStringLiteral("a célula %1%2 da folha \"%3\" refere um texto que não existe")
                                                 .arg(nomeColuna(c.coluna))
                                                 .arg(c.linha)
                                                 .arg(f.nome);
                                return false;
                            }
                            c.valor = m_textos[i];
                        }
                    } else if (tipo == QLatin1String("inlineStr") || textoInline) {
                        c.valor = v;
                    } else if (tipo == QLatin1String("str") || tipo == QLatin1String("e")) {
                        c.valor = v;
                    } else if (tipo == QLatin1String("b")) {
                        if (!v.isEmpty())
                            c.valor = v.trimmed() == QLatin1String("1");
                    } else if (!v.isEmpty()) {
                        bool n = false;
                        const double d = v.toDouble(&n);
                        c.valor = n ? QVariant(d) : QVariant(v);
                    }
                    if (!visita(c))
                        return false;
                }
            }
            return true;
        },
        &e);
    if (!erroCelula.isEmpty())
        return falha(erroCelula);
    if (!ok)
        return falha(e);
    return true;
}

const LeitorXlsx::Carregada *LeitorXlsx::carregada(int folha) const
{
    if (auto it = m_carregadas.constFind(folha); it != m_carregadas.cend())
        return it->get();
    auto c = std::make_shared<Carregada>();
    percorre(folha, [&](const CelulaLivro &cel) {
        const QString ref = nomeColuna(cel.coluna) + QString::number(cel.linha);
        if (cel.valor.isValid())
            c->valores.insert(ref, cel.valor);
        if (!cel.formula.isEmpty())
            c->formulas.insert(ref, cel.formula);
        if (cel.valor.isValid() || !cel.formula.isEmpty())
            c->ultimaLinha = qMax(c->ultimaLinha, cel.linha);
        return true;
    });
    m_carregadas.insert(folha, c);
    return c.get();
}

QVariant LeitorXlsx::valor(int folha, const QString &celula) const
{
    return carregada(folha)->valores.value(celula);
}

QString LeitorXlsx::formula(int folha, const QString &celula) const
{
    return carregada(folha)->formulas.value(celula);
}

int LeitorXlsx::ultimaLinha(int folha) const
{
    return carregada(folha)->ultimaLinha;
}
