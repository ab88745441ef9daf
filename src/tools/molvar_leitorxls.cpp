// Reads sheets 1 and 2 of an .xls workbook with FreeXL and writes them to standard output in the
// form core/fluxoxls.h gives. The program runs this helper, never FreeXL itself: FreeXL sets
// aside every cell a sheet declares, and a hostile file may make it take gigabytes or hang;
// here that costs only this process, whose memory and time are bounded before the file is opened.
//   molvar_leitorxls FICHEIRO
#include "core/fluxoxls.h"

#include <freexl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

using namespace fluxoxls;

// FreeXL sets aside every cell that a sheet declares (65,536 x 256 cells take 256 MB) before
// reading any of them. This process's data may grow by this much past what it holds at the
// start: far above any real chart (50,000 rows of 4 columns take 3 MB), and what passes it makes
// FreeXL fail cleanly.
constexpr long long kMemoriaMaxima = 128LL * 1024 * 1024;
// Processor seconds: the program waits 30 s by default, and this bounds the helper should the
// program be gone.
constexpr rlim_t kSegundosCpu = 30;

// The data segment now (VmData), in bytes; 0 when unknown.
long long dadosAgora()
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return 0;
    char linha[256];
    long long kb = 0;
    while (std::fgets(linha, sizeof linha, f))
        if (std::sscanf(linha, "VmData: %lld kB", &kb) == 1)
            break;
    std::fclose(f);
    return kb * 1024;
}

void limita()
{
    rlimit nada { 0, 0 };
    setrlimit(RLIMIT_CORE, &nada); // no dump holds what the file put in memory
    rlimit cpu { kSegundosCpu, kSegundosCpu + 1 };
    setrlimit(RLIMIT_CPU, &cpu);
    const rlim_t dados = rlim_t(dadosAgora() + kMemoriaMaxima);
    rlimit d { dados, dados };
    setrlimit(RLIMIT_DATA, &d);
    // Ends with the program that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

// Standard output through a buffer of our own: nothing is allocated once the file is open.
class Saida
{
public:
    ~Saida() { despeja(); }
    bool ok() const { return m_ok; }
    void bytes(const void *p, size_t n)
    {
        const char *c = static_cast<const char *>(p);
        while (n > 0 && m_ok) {
            if (m_usado == sizeof m_buf)
                despeja();
            const size_t k = n < sizeof m_buf - m_usado ? n : sizeof m_buf - m_usado;
            std::memcpy(m_buf + m_usado, c, k);
            m_usado += k;
            c += k;
            n -= k;
        }
    }
    template <class T> void valor(T v) { bytes(&v, sizeof v); }
    void marca(char t) { valor(t); }
    void celula(char t, unsigned linha, unsigned coluna)
    {
        marca(t);
        valor(uint32_t(linha));
        valor(uint16_t(coluna));
    }
    void despeja()
    {
        for (size_t feito = 0; feito < m_usado && m_ok;) {
            const ssize_t n = ::write(1, m_buf + feito, m_usado - feito);
            if (n > 0)
                feito += size_t(n);
            else if (errno != EINTR)
                m_ok = false; // the program stopped reading: nothing more to do
        }
        m_usado = 0;
    }

private:
    char m_buf[1 << 16];
    size_t m_usado = 0;
    bool m_ok = true;
};

Saida saida;

int falha(Falha f, int codigo)
{
    saida.marca('E');
    saida.valor(static_cast<unsigned char>(f));
    saida.valor(int32_t(codigo));
    saida.despeja();
    return 0;
}

void texto(const char *t, size_t maximo, bool curto)
{
    size_t n = t ? std::strlen(t) : 0;
    if (n > maximo)
        n = maximo;
    if (curto)
        saida.valor(uint16_t(n));
    else
        saida.valor(uint32_t(n));
    saida.bytes(t, n);
}

bool folha(const void *xls, unsigned f)
{
    unsigned int linhas = 0;
    unsigned short colunas = 0;
    if (freexl_select_active_worksheet(xls, unsigned(f - 1)) != FREEXL_OK
        || freexl_worksheet_dimensions(xls, &linhas, &colunas) != FREEXL_OK)
        return false;
    saida.marca('F');
    saida.valor(uint32_t(f));
    for (unsigned l = 0; l < linhas && l < kLinhas && saida.ok(); ++l)
        for (unsigned c = 0; c < colunas && c < kColunas; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(xls, l, (unsigned short)c, &v) != FREEXL_OK) {
                saida.celula('X', l, c);
                continue;
            }
            switch (v.type) {
            case FREEXL_CELL_INT:
                saida.celula('N', l, c);
                saida.valor(double(v.value.int_value));
                break;
            case FREEXL_CELL_DOUBLE:
                saida.celula('N', l, c);
                saida.valor(v.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                saida.celula('T', l, c);
                texto(v.value.text_value, kTextoMaximo, false);
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME: {
                saida.celula('D', l, c);
                saida.valor(static_cast<unsigned char>(v.type == FREEXL_CELL_DATE ? Tipo::Data
                        : v.type == FREEXL_CELL_DATETIME                          ? Tipo::DataHora
                                                                                  : Tipo::Hora));
                const size_t n = v.value.text_value ? std::strlen(v.value.text_value) : 0;
                saida.valor(static_cast<unsigned char>(n < 32 ? n : 0));
                saida.bytes(v.value.text_value, n < 32 ? n : 0);
                break;
            }
            default:
                break;
            }
        }
    saida.marca('G');
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    limita();
    saida.bytes(kAssinatura, sizeof kAssinatura);
    const void *xls = nullptr;
    const int r = freexl_open(argv[1], &xls);
    // FreeXL may fail for want of memory without saying so, with no workbook to show for it.
    if (r == FREEXL_INSUFFICIENT_MEMORY || (r == FREEXL_OK && !xls))
        return falha(Falha::SemMemoria, r);
    if (r == FREEXL_INVALID_CFBF_HEADER || r == FREEXL_CFBF_READ_ERROR || r == FREEXL_CFBF_INVALID_SIGNATURE
        || r == FREEXL_BIFF_INVALID_BOF || r == FREEXL_BIFF_WORKBOOK_NOT_FOUND)
        return falha(Falha::NaoXls, r);
    if (r != FREEXL_OK)
        return falha(Falha::Danificado, r);
    unsigned int valor = 0;
    if (freexl_get_info(xls, FREEXL_BIFF_PASSWORD, &valor) == FREEXL_OK && valor == FREEXL_BIFF_OBFUSCATED)
        return falha(Falha::Senha, 0);
    unsigned int folhas = 0;
    if (freexl_get_info(xls, FREEXL_BIFF_SHEET_COUNT, &folhas) != FREEXL_OK)
        return falha(Falha::Danificado, 0);
    saida.marca('L');
    saida.valor(uint32_t(folhas));
    for (unsigned f = 1; f <= folhas && f <= kFolhasLidas; ++f) {
        const char *nome = nullptr;
        if (freexl_get_worksheet_name(xls, unsigned(f - 1), &nome) != FREEXL_OK)
            nome = nullptr;
        texto(nome, kNomeMaximo, true);
    }
    for (unsigned f = 1; f <= folhas && f <= kFolhasLidas && saida.ok(); ++f)
        if (!folha(xls, f))
            return falha(Falha::Danificado, 0);
    saida.marca('Z');
    saida.despeja();
    freexl_close(xls);
    return 0;
}
