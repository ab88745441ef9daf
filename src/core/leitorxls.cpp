#include "core/leitorxls.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <freexl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

// FreeXL sets aside every cell that a sheet declares (65,536 x 256 cells take 256 MB) before
// reading any of them, so a small file that declares many large sheets would take gigabytes.
// While it opens a workbook, the program's data may grow by this much at most: far above any
// real chart (50,000 rows of 4 columns take 3 MB), and what passes it makes FreeXL fail cleanly.
constexpr qint64 kMemoriaMaximaXls = 128LL * 1024 * 1024;

// The program's data now, in bytes (Linux's VmData); -1 when unknown.
qint64 dadosDoPrograma()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmData:")) {
            bool ok = false;
            const qint64 kb = l.mid(7).trimmed().split(' ').value(0).toLongLong(&ok);
            return ok ? kb * 1024 : -1;
        }
    return -1;
}

// Bounds the data limit for as long as it lives, then gives the previous limit back.
class LimiteDeDados
{
public:
    explicit LimiteDeDados(qint64 acrescimo)
    {
        const qint64 agora = dadosDoPrograma();
        if (agora < 0 || getrlimit(RLIMIT_DATA, &m_anterior) != 0)
            return;
        rlimit novo = m_anterior;
        const rlim_t pedido = rlim_t(agora + acrescimo);
        if (novo.rlim_cur != RLIM_INFINITY && novo.rlim_cur <= pedido)
            return;
        novo.rlim_cur = pedido;
        m_ativo = setrlimit(RLIMIT_DATA, &novo) == 0;
    }
    ~LimiteDeDados()
    {
        if (m_ativo)
            setrlimit(RLIMIT_DATA, &m_anterior);
    }
    LimiteDeDados(const LimiteDeDados &) = delete;
    LimiteDeDados &operator=(const LimiteDeDados &) = delete;

private:
    rlimit m_anterior {};
    bool m_ativo = false;
};

// FreeXL is first let open the workbook in a child process whose data is bounded: a bound in
// this process would hold for all its threads (the display's among them) while FreeXL runs.
enum class Prova { Cabe, Excede, SemFilho };
Prova provaNoFilho(const QByteArray &caminho)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return Prova::SemFilho;
    if (pid == 0) {
        LimiteDeDados limite(kMemoriaMaximaXls);
        const void *xls = nullptr;
        const int r = freexl_open(caminho.constData(), &xls);
        ::_exit(r == FREEXL_INSUFFICIENT_MEMORY || (r == FREEXL_OK && !xls) ? 3 : 0);
    }
    int estado = 0;
    while (::waitpid(pid, &estado, 0) < 0)
        if (errno != EINTR)
            return Prova::SemFilho;
    // A child that ended any other way (a failed allocation FreeXL did not survive) did not fit.
    return WIFEXITED(estado) && WEXITSTATUS(estado) == 0 ? Prova::Cabe : Prova::Excede;
}

// FreeXL hands dates over as text ("yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss", "hh:mm:ss"): typed here
// as the .xlsx reader types them, so that both formats read the same.
QVariant dataDoFreeXl(const char *texto, int tipo)
{
    const QString t = QString::fromLatin1(texto);
    const QTime hora = QTime::fromString(tipo == FREEXL_CELL_TIME ? t : t.mid(11), Qt::ISODate);
    if (tipo == FREEXL_CELL_TIME)
        return hora.isValid() ? QVariant(hora) : QVariant(t);
    const QDateTime d(QDate::fromString(t.left(10), Qt::ISODate), tipo == FREEXL_CELL_DATE ? QTime(0, 0) : hora, Qt::UTC);
    return d.isValid() ? QVariant(d) : QVariant(t);
}

} // namespace

LeitorXls::~LeitorXls()
{
    if (m_xls)
        freexl_close(m_xls);
}

bool LeitorXls::abre(const QString &caminho, QString *erro)
{
    if (m_xls)
        freexl_close(m_xls);
    m_xls = nullptr;
    m_folhas = 0;
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        if (m_xls)
            freexl_close(m_xls);
        m_xls = nullptr;
        m_folhas = 0;
        return false;
    };
    const QFileInfo info(caminho);
    if (info.size() > LeitorXlsx::kTamanhoMaximoParte)
        return falha(QStringLiteral("tem mais do que os %1 MB aceites").arg(LeitorXlsx::kTamanhoMaximoParte / (1024 * 1024)));
    if (info.size() == 0)
        return falha(QStringLiteral("não é um livro .xls: está vazio"));
    const QByteArray local = QFile::encodeName(caminho);
    int r = FREEXL_OK;
    switch (provaNoFilho(local)) {
    case Prova::Excede:
        r = FREEXL_INSUFFICIENT_MEMORY;
        break;
    case Prova::Cabe:
        r = freexl_open(local.constData(), &m_xls);
        break;
    case Prova::SemFilho: {
        // No child to be had: bounded here, for every thread of the program while it lasts.
        LimiteDeDados limite(kMemoriaMaximaXls);
        r = freexl_open(local.constData(), &m_xls);
        break;
    }
    }
    // FreeXL may fail without saying so, with no workbook to show for it.
    if (r == FREEXL_INSUFFICIENT_MEMORY || (r == FREEXL_OK && !m_xls))
        return falha(QStringLiteral("não é um livro .xls legível (está danificado, ou as suas folhas passam os %1 MB aceites)")
                         .arg(kMemoriaMaximaXls / (1024 * 1024)));
    if (r == FREEXL_INVALID_CFBF_HEADER || r == FREEXL_CFBF_READ_ERROR || r == FREEXL_CFBF_INVALID_SIGNATURE
        || r == FREEXL_BIFF_INVALID_BOF || r == FREEXL_BIFF_WORKBOOK_NOT_FOUND) {
        QFile f(caminho);
        // A workbook .xlsx is a zip archive: renamed .xls, it needs only its own name back.
        if (f.open(QIODevice::ReadOnly) && f.read(4) == QByteArrayLiteral("PK\x03\x04"))
            return falha(
                QStringLiteral("não é um livro .xls, mas um arquivo zip, como os livros .xlsx: se o for, dê-lhe o nome .xlsx"));
        return falha(QStringLiteral("não é um livro .xls"));
    }
    if (r != FREEXL_OK)
        return falha(QStringLiteral("não é um livro .xls legível (está danificado: erro %1 do FreeXL)").arg(r));
    unsigned int valor = 0;
    if (freexl_get_info(m_xls, FREEXL_BIFF_PASSWORD, &valor) == FREEXL_OK && valor == FREEXL_BIFF_OBFUSCATED)
        return falha(QStringLiteral("está protegido por senha"));
    if (freexl_get_info(m_xls, FREEXL_BIFF_SHEET_COUNT, &valor) != FREEXL_OK)
        return falha(QStringLiteral("não é um livro .xls legível"));
    m_folhas = int(valor);
    return true;
}

QString LeitorXls::nomeFolha(int folha) const
{
    const char *nome = nullptr;
    if (!m_xls || freexl_get_worksheet_name(m_xls, unsigned(folha - 1), &nome) != FREEXL_OK || !nome)
        return {};
    return QString::fromUtf8(nome);
}

bool LeitorXls::percorre(int folha, const VisitaCelula &visita, QString *erro) const
{
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        return false;
    };
    unsigned int linhas = 0;
    unsigned short colunas = 0;
    if (!m_xls || folha < 1 || folha > m_folhas || freexl_select_active_worksheet(m_xls, folha - 1) != FREEXL_OK
        || freexl_worksheet_dimensions(m_xls, &linhas, &colunas) != FREEXL_OK)
        return falha(QStringLiteral("o livro não tem a folha %1").arg(folha));
    for (unsigned int l = 0; l < linhas; ++l)
        for (unsigned short c = 0; c < colunas; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(m_xls, l, c, &v) != FREEXL_OK)
                return falha(QStringLiteral("a célula da linha %1, coluna %2, da folha %3 não pode ser lida")
                                 .arg(l + 1)
                                 .arg(c + 1)
                                 .arg(folha));
            CelulaLivro cel;
            cel.linha = int(l) + 1;
            cel.coluna = int(c) + 1;
            switch (v.type) {
            case FREEXL_CELL_INT:
                cel.valor = double(v.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                cel.valor = v.value.double_value;
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                cel.valor = QString::fromUtf8(v.value.text_value);
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                cel.valor = dataDoFreeXl(v.value.text_value, v.type);
                break;
            default:
                break;
            }
            if (!visita(cel))
                return true;
        }
    return true;
}
