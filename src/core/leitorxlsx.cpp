#include "core/leitorxlsx.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <minizip/unzip.h>

namespace {

// What each shared string takes beside its text (its offset, and the room the list of offsets
// keeps to grow), counted so that millions of empty strings are bounded too.
constexpr qint64 kCustoEntrada = 16;

// A row number; 0 for what is missing or not a number. False past the sheet's last row.
bool numeroDaLinha(QStringView texto, int *linha)
{
    bool ok = false;
    const qint64 l = texto.toLongLong(&ok);
    const bool algarismos = !texto.isEmpty() && std::all_of(texto.begin(), texto.end(), [](QChar c) { return c.isDigit(); });
    if ((ok && l > LeitorXlsx::kUltimaLinha) || (!ok && algarismos))
        return false;
    *linha = ok && l > 0 ? int(l) : 0;
    return true;
}

// "B12" -> column 2, row 12; 0 for what is missing. False for a reference past the sheet's last
// column or row, whose number would not even fit.
bool posicao(QStringView ref, int *linha, int *coluna)
{
    qint64 c = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i].isLetter(); ++i)
        if ((c = c * 26 + (ref[i].toUpper().unicode() - u'A' + 1)) > LeitorXlsx::kUltimaColuna)
            return false;
    *coluna = int(c);
    return numeroDaLinha(ref.mid(i), linha);
}

// Adds t to s, up to one character past what a cell holds.
void acrescenta(QString &s, QStringView t)
{
    const qsizetype resta = LeitorXlsx::kCaracteresMaximos + 1 - s.size();
    if (resta > 0)
        s += t.left(resta);
}

// What a number format shows: 0 a number, 1 a date (with or without the time), 2 a time of day.
// Built-in formats by number; a format of the workbook's own by its code, whose quoted texts,
// escaped characters and colours say nothing of dates. An "m" is a month unless hours or
// seconds stand beside it.
char tipoDoFormato(int id, QStringView codigo)
{
    if (codigo.isNull())
        return (id >= 14 && id <= 17) || id == 22 ? 1 : (id >= 18 && id <= 21) || (id >= 45 && id <= 47) ? 2 : 0;
    bool data = false, hora = false, mes = false;
    for (qsizetype i = 0; i < codigo.size(); ++i) {
        const QChar c = codigo[i].toLower();
        if (c == u'"') {
            while (++i < codigo.size() && codigo[i] != u'"') { }
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            // [h], [mm] and [ss] are elapsed times; anything else in brackets is a colour or a condition.
            hora = hora || (i + 1 < codigo.size() && QStringView(u"hms").contains(codigo[i + 1].toLower()));
            while (++i < codigo.size() && codigo[i] != u']') { }
        } else if (c == u'd' || c == u'y') {
            data = true;
        } else if (c == u'h' || c == u's') {
            hora = true;
        } else if (c == u'm') {
            mes = true;
        }
    }
    return data || (mes && !hora) ? 1 : hora ? 2 : 0;
}

// A date serial as the workbook's author sees it: days since 1900-01-00 (where the fictitious
// 29 February 1900 puts every later day one further) or since 1904-01-01, the fraction the time.
// A 1904 workbook reaches back to the first day of the other system with negative serials.
QVariant dataDaSerie(double serie, bool de1904, char tipo)
{
    // 2958466 is 10000-01-01: past it, and before the first day, the number is no date.
    if (!std::isfinite(serie) || serie < (de1904 ? -1462 : 0) || serie >= 2958466)
        return serie;
    const qint64 segundos = qRound64(serie * 86400.0);
    // Whole days down, so that -1.25 is six in the evening of day -2.
    const qint64 dias = segundos >= 0 ? segundos / 86400 : -((-segundos + 86399) / 86400);
    const QTime hora = QTime(0, 0).addSecs(int(segundos - dias * 86400));
    if (tipo == 2)
        return hora;
    const QDate inicio = de1904 ? QDate(1904, 1, 1) : dias < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    return QDateTime(inicio.addDays(dias), hora, Qt::UTC);
}

// A t="d" cell: an ISO 8601 date, date and time, or time of day, read as a date serial would be:
// the time as its author wrote it, any zone it names left out.
QVariant dataIso(const QString &texto, char tipo)
{
    const QString t = texto.trimmed();
    const qsizetype separador = t.indexOf(QLatin1Char('T'));
    const QDate dia = QDate::fromString(separador < 0 ? t : t.left(separador), Qt::ISODate);
    QString h = separador < 0 ? (dia.isValid() ? QString() : t) : t.mid(separador + 1);
    if (const qsizetype zona = h.indexOf(QRegularExpression(QStringLiteral("[Zz+-]"))); zona >= 0)
        h.truncate(zona);
    const QTime hora = h.isEmpty() ? QTime(0, 0) : QTime::fromString(h, Qt::ISODateWithMs);
    if (!hora.isValid() || (!dia.isValid() && h.isEmpty()))
        return texto;
    if (!dia.isValid() || tipo == 2)
        return hora;
    return QDateTime(dia, hora, Qt::UTC);
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
            // Entities that a DOCTYPE declares are expanded by the XML reader, each within its
            // limit but thousands of times over: a few KB would take gigabytes. No spreadsheet
            // program writes one into a workbook, so the part is refused before its body is read.
            if (t == QXmlStreamReader::DTD) {
                m_erroZip = QStringLiteral("declara um DOCTYPE, que nenhum livro do Excel ou do LibreOffice tem");
                return QXmlStreamReader::Invalid;
            }
            // The XML reader keeps every open element: a part nested without end would hold
            // memory out of all proportion to its size. Real parts nest about ten deep.
            if (t == QXmlStreamReader::StartElement && ++m_profundidade > kProfundidadeMaxima) {
                m_erroZip = QStringLiteral("está danificada: elementos encaixados a mais de %1 níveis").arg(kProfundidadeMaxima);
                return QXmlStreamReader::Invalid;
            }
            if (t == QXmlStreamReader::EndElement)
                --m_profundidade;
            if (t != QXmlStreamReader::Invalid)
                m_semToken = 0;
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
        // The XML reader's own text is English and names nothing the user knows.
        if (m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            return falha(QStringLiteral("está danificada: o seu XML não é válido (linha %1, coluna %2)")
                             .arg(m_xml.lineNumber())
                             .arg(m_xml.columnNumber()),
                erro);
        if (completo && (!m_xml.atEnd() || m_xml.hasError()))
            return falha(QStringLiteral("está danificada: o XML acaba antes do fim"), erro);
        return true;
    }

    bool falha(const QString &motivo, QString *erro) const
    {
        *erro = QStringLiteral("a parte \"%1\" %2").arg(citacao(m_nome), motivo);
        return false;
    }

private:
    QString falta() const { return QStringLiteral("falta a parte \"%1\"").arg(citacao(m_nome)); }

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
        // The XML reader holds a whole text, tag or comment before it hands it over, and reads
        // it again at each piece that arrives. No cell holds more than 32,767 characters: what is
        // fed without a token coming back is bounded far below what memory and time would bear.
        m_semToken += n;
        if (m_semToken > kSemTokenMaximo) {
            m_erroZip = QStringLiteral("tem mais de %1 KB de seguida num só texto, marca ou comentário XML, mais do que "
                                       "qualquer célula")
                            .arg(kSemTokenMaximo / 1024);
            return;
        }
        xml->addData(QByteArray(buf, n));
    }

    static constexpr qint64 kSemTokenMaximo = 1024 * 1024;
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
    qint64 m_semToken = 0;
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
            acrescenta(texto, x.text());
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

QString nomeColuna(int coluna)
{
    QString s;
    for (int c = coluna; c > 0; c = (c - 1) / 26)
        s.prepend(QChar(u'A' + (c - 1) % 26));
    return s;
}

QString referenciaCelula(int linha, int coluna)
{
    return nomeColuna(coluna) + QString::number(linha);
}

qint64 custoTexto(const QString &t)
{
    return qint64(sizeof(QString)) + (t.isEmpty() ? 0 : 32 + 2 * (t.size() + 1));
}

QString citacao(const QString &texto)
{
    constexpr int maximo = 80;
    return texto.size() <= maximo ? texto : texto.left(maximo) + QStringLiteral("…");
}

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
    m_inicios.clear();
    m_formatosData.clear();
    m_data1904 = false;
    m_carregadas.clear();
    QString e;
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        m_folhas.clear();
        m_textos.clear();
        m_inicios.clear();
        m_formatosData.clear();
        return false;
    };
    m_zip = unzOpen64(QFile::encodeName(caminho).constData());
    if (!m_zip) {
        // An OLE compound file, as a .xls is, that was given the wrong name.
        QFile f(caminho);
        if (f.open(QIODevice::ReadOnly) && f.read(8) == QByteArray::fromHex("d0cf11e0a1b11ae1"))
            return falha(
                QStringLiteral("não é um livro .xlsx, mas um ficheiro OLE, como os livros .xls: se o for, dê-lhe o nome .xls"));
        return falha(QStringLiteral("não é um livro .xlsx legível (não é um arquivo zip, ou está danificado)"));
    }

    // A workbook's list of parts and of sheets are held whole: far more entries than any real
    // workbook has is a hostile one, which would hold memory out of all proportion to its size.
    constexpr int maximoEntradas = 10000;
    const auto demasiadas = [&](const QString &parte, int maximo) {
        return falha(QStringLiteral("a parte \"%1\" tem mais de %2 entradas, mais do que qualquer livro")
                         .arg(citacao(parte), QString::number(maximo)));
    };
    // A name longer than any real workbook's, refused before it is held: a few KB of workbook would
    // otherwise hold hundreds of MB of names.
    QString longo;
    const auto cabe = [&](QStringView valor, int maximo, const QString &motivo) {
        if (valor.size() <= maximo)
            return true;
        longo = motivo.arg(citacao(valor.toString()), QString::number(maximo));
        return false;
    };
    QHash<QString, QString> alvos;
    // Some programs name the part "SharedStrings.xml": the workbook's relationships say which.
    QString textos = QStringLiteral("xl/sharedStrings.xml");
    QString estilos = QStringLiteral("xl/styles.xml");
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
                        if (!cabe(x.attributes().value(QLatin1String("Target")), kCaminhoMaximo,
                                QStringLiteral("a parte \"xl/_rels/workbook.xml.rels\" refere a parte \"%1\", cujo nome "
                                               "passa os %2 caracteres aceites"))
                            || !cabe(x.attributes().value(QLatin1String("Id")), kCaminhoMaximo,
                                QStringLiteral("a parte \"xl/_rels/workbook.xml.rels\" tem uma relação \"%1\" cujo nome passa "
                                               "os %2 caracteres aceites")))
                            return false;
                        QString alvo = x.attributes().value(QLatin1String("Target")).toString();
                        alvo = QDir::cleanPath(alvo.startsWith(QLatin1Char('/')) ? alvo.mid(1) : QStringLiteral("xl/") + alvo);
                        const QStringView tipo = x.attributes().value(QLatin1String("Type"));
                        if (tipo.endsWith(QLatin1String("/sharedStrings")))
                            textos = alvo;
                        else if (tipo.endsWith(QLatin1String("/styles")))
                            estilos = alvo;
                        alvos.insert(x.attributes().value(QLatin1String("Id")).toString(), alvo);
                        return alvos.size() <= maximoEntradas;
                    }
                    return true;
                },
                &e))
            return falha(e);
        if (!longo.isEmpty())
            return falha(longo);
        if (alvos.size() > maximoEntradas)
            return demasiadas(QStringLiteral("xl/_rels/workbook.xml.rels"), maximoEntradas);
    }
    {
        Parte p(m_zip, QStringLiteral("xl/workbook.xml"));
        if (!p.abre(true, &e))
            return falha(e);
        if (!percorreParte(
                p,
                [&](const QXmlStreamReader &x) {
                    if (x.isStartElement() && x.name() == QLatin1String("sheet")) {
                        if (!cabe(x.attributes().value(QLatin1String("name")), kNomeFolhaMaximo,
                                QStringLiteral("o nome da folha \"%1\" passa os %2 caracteres que o Excel aceita")))
                            return false;
                        QString rid;
                        for (const QXmlStreamAttribute &a : x.attributes())
                            if (a.name() == QLatin1String("id"))
                                rid = a.value().toString();
                        m_folhas.append({ x.attributes().value(QLatin1String("name")).toString(), alvos.value(rid) });
                        return m_folhas.size() <= maximoEntradas;
                    }
                    if (x.isStartElement() && x.name() == QLatin1String("workbookPr")) {
                        const QStringView d = x.attributes().value(QLatin1String("date1904"));
                        m_data1904 = d == QLatin1String("1") || d == QLatin1String("true");
                    }
                    return true;
                },
                &e))
            return falha(e);
        if (!longo.isEmpty())
            return falha(longo);
        if (m_folhas.size() > maximoEntradas)
            return demasiadas(QStringLiteral("xl/workbook.xml"), maximoEntradas);
    }
    {
        // A workbook without text cells has no shared strings; one that has them must read whole.
        Parte p(m_zip, textos);
        bool existe = false;
        if (!p.abre(false, &e, &existe))
            return falha(e);
        std::unique_ptr<TextoRico> si;
        qint64 custo = 0;
        m_inicios << 0;
        if (existe
            && !percorreParte(
                p,
                [&](const QXmlStreamReader &x) {
                    if (si) {
                        if (!si->trata(x)) {
                            // Held as UTF-8: a real chart's texts take a third of what they would as QStrings.
                            const QByteArray t = si->texto.toUtf8();
                            if ((custo += t.size() + kCustoEntrada) > kTextosMaximos)
                                return false;
                            m_textos += t;
                            m_inicios << quint32(m_textos.size());
                            si.reset();
                        }
                    } else if (x.isStartElement() && x.name() == QLatin1String("si")) {
                        si = std::make_unique<TextoRico>(x.name());
                    }
                    return true;
                },
                &e))
            return falha(e);
        if (custo > kTextosMaximos)
            return falha(QStringLiteral("a parte \"%1\" tem mais textos do que os %2 MB aceites")
                             .arg(citacao(textos), QString::number(kTextosMaximos / (1024 * 1024))));
        m_textos.squeeze();
        m_inicios.squeeze();
    }
    {
        // Which cell styles show dates: their number format, built in or the workbook's own.
        Parte p(m_zip, estilos);
        bool existe = false;
        if (!p.abre(false, &e, &existe))
            return falha(e);
        constexpr int maximoEstilos = 65536;
        QHash<int, char> proprios;
        QList<int> formatos;
        // Only <numFmts> defines the cells' formats: those of <dxfs> are conditional formats', and
        // may reuse an id.
        bool celulas = false, numeros = false;
        if (existe
            && !percorreParte(
                p,
                [&](const QXmlStreamReader &x) {
                    if (x.isStartElement() && x.name() == QLatin1String("numFmts"))
                        numeros = true;
                    else if (x.isEndElement() && x.name() == QLatin1String("numFmts"))
                        numeros = false;
                    else if (numeros && x.isStartElement() && x.name() == QLatin1String("numFmt")) {
                        proprios.insert(x.attributes().value(QLatin1String("numFmtId")).toInt(),
                            tipoDoFormato(0, x.attributes().value(QLatin1String("formatCode"))));
                        return proprios.size() <= maximoEstilos;
                    }
                    if (x.isStartElement() && x.name() == QLatin1String("cellXfs"))
                        celulas = true;
                    else if (x.isEndElement() && x.name() == QLatin1String("cellXfs"))
                        celulas = false;
                    else if (celulas && x.isStartElement() && x.name() == QLatin1String("xf")) {
                        formatos << x.attributes().value(QLatin1String("numFmtId")).toInt();
                        return formatos.size() <= maximoEstilos;
                    }
                    return true;
                },
                &e))
            return falha(e);
        if (proprios.size() > maximoEstilos || formatos.size() > maximoEstilos)
            return demasiadas(estilos, maximoEstilos);
        for (int id : formatos)
            m_formatosData += proprios.contains(id) ? proprios.value(id) : tipoDoFormato(id, {});
    }
    return true;
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
        return falha(QStringLiteral("a folha \"%1\" não tem parte no livro").arg(citacao(f.nome)));
    Parte p(m_zip, f.parte);
    if (!p.abre(true, &e))
        return falha(e);

    // The cell being read, and where the previous one stood (a cell or row may omit its reference).
    enum class Dentro { Nada, V, F, Is };
    Dentro dentro = Dentro::Nada;
    std::unique_ptr<TextoRico> is;
    CelulaLivro c;
    QString tipo, v;
    bool emCelula = false, textoInline = false, temValor = false, temFormula = false;
    int linha = 0, coluna = 0, estilo = 0;
    QString erroCelula;
    const auto foraDaFolha = [&](const QString &ref) {
        erroCelula = QStringLiteral("a referência \"%1\" da folha \"%2\" passa a última coluna (XFD) ou a última linha (%3)")
                         .arg(citacao(ref), citacao(f.nome), QString::number(kUltimaLinha));
        return false;
    };
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
                    int l = 0;
                    if (!numeroDaLinha(r, &l) || (l == 0 && linha >= kUltimaLinha))
                        return foraDaFolha(r.isEmpty() ? QString::number(linha + 1) : r.toString());
                    linha = l > 0 ? l : linha + 1;
                    coluna = 0;
                } else if (nome == QLatin1String("c")) {
                    emCelula = true;
                    c = CelulaLivro();
                    v.clear();
                    textoInline = temValor = temFormula = false;
                    tipo = x.attributes().value(QLatin1String("t")).toString();
                    estilo = x.attributes().value(QLatin1String("s")).toInt();
                    const QStringView r = x.attributes().value(QLatin1String("r"));
                    int l = 0, col = 0;
                    if (!posicao(r, &l, &col) || (col == 0 && coluna >= kUltimaColuna))
                        return foraDaFolha(r.isEmpty() ? referenciaCelula(linha, coluna + 1) : r.toString());
                    c.linha = l > 0 ? l : linha;
                    c.coluna = col > 0 ? col : coluna + 1;
                    linha = c.linha;
                    coluna = c.coluna;
                } else if (emCelula && nome == QLatin1String("v")) {
                    dentro = Dentro::V;
                    temValor = true;
                } else if (emCelula && nome == QLatin1String("f")) {
                    dentro = Dentro::F;
                    temFormula = true;
                } else if (emCelula && nome == QLatin1String("is")) {
                    is = std::make_unique<TextoRico>(nome);
                }
            } else if (x.isCharacters()) {
                if (dentro == Dentro::V)
                    acrescenta(v, x.text());
                else if (dentro == Dentro::F)
                    acrescenta(c.formula, x.text());
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
                            if (!n || i < 0 || i >= m_inicios.size() - 1) {
                                erroCelula = QStringLiteral("a célula %1 da folha \"%2\" refere um texto que não existe")
                                                 .arg(referenciaCelula(c.linha, c.coluna), citacao(f.nome));
                                return false;
                            }
                            c.valor = QString::fromUtf8(m_textos.constData() + m_inicios[i], m_inicios[i + 1] - m_inicios[i]);
                        }
                    } else if (tipo == QLatin1String("inlineStr") || textoInline) {
                        c.valor = v;
                    } else if (tipo == QLatin1String("str")) {
                        c.valor = v;
                    } else if (tipo == QLatin1String("e")) {
                        c.erro = v.trimmed();
                    } else if (tipo == QLatin1String("b")) {
                        if (!v.isEmpty())
                            c.valor = v.trimmed() == QLatin1String("1");
                    } else if (!v.isEmpty()) {
                        bool n = false;
                        const double d = v.toDouble(&n);
                        const char formato = estilo >= 0 && estilo < m_formatosData.size() ? m_formatosData[estilo] : 0;
                        c.valor = tipo == QLatin1String("d") ? dataIso(v, formato)
                            : !n                             ? QVariant(v)
                            : formato                        ? dataDaSerie(d, m_data1904, formato)
                                                             : QVariant(d);
                    }
                    // openpyxl saves a formula with an empty <v>: no result, not an empty one. Only a
                    // text result (t="str") may be empty.
                    c.semResultado
                        = temFormula && !textoInline && (!temValor || (v.trimmed().isEmpty() && tipo != QLatin1String("str")));
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

bool LeitorXlsx::uniao(int folha, int linha, int coluna, QString *intervalo, QString *erro) const
{
    intervalo->clear();
    if (!m_zip || folha < 1 || folha > m_folhas.size() || m_folhas[folha - 1].parte.isEmpty())
        return true;
    Parte p(m_zip, m_folhas[folha - 1].parte);
    QString e;
    const bool ok = p.abre(true, &e)
        && percorreParte(
            p,
            [&](const QXmlStreamReader &x) {
                if (!x.isStartElement() || x.name() != QLatin1String("mergeCell"))
                    return true;
                const QStringView ref = x.attributes().value(QLatin1String("ref"));
                const qsizetype dois = ref.indexOf(QLatin1Char(':'));
                int l1 = 0, c1 = 0, l2 = 0, c2 = 0;
                if (dois < 0 || !posicao(ref.left(dois), &l1, &c1) || !posicao(ref.mid(dois + 1), &l2, &c2))
                    return true;
                if (linha >= l1 && linha <= l2 && coluna >= c1 && coluna <= c2 && (linha != l1 || coluna != c1))
                    *intervalo = citacao(ref.toString());
                return intervalo->isEmpty();
            },
            &e);
    if (!ok && erro)
        *erro = e;
    return ok;
}

const LeitorXlsx::Carregada *LeitorXlsx::carregada(int folha) const
{
    if (auto it = m_carregadas.constFind(folha); it != m_carregadas.cend())
        return it->get();
    auto c = std::make_shared<Carregada>();
    percorre(folha, [&](const CelulaLivro &cel) {
        const QString ref = referenciaCelula(cel.linha, cel.coluna);
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
