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

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

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

uint32_t u16(const std::vector<unsigned char> &b, size_t o)
{
    return o + 2 <= b.size() ? uint32_t(b[o] | b[o + 1] << 8) : 0;
}

uint32_t u32(const std::vector<unsigned char> &b, size_t o)
{
    return o + 4 <= b.size() ? u16(b, o) | u16(b, o + 2) << 16 : 0;
}

double rk(uint32_t r)
{
    double v;
    if (r & 2) {
        v = double(int32_t(r) >> 2);
    } else {
        const uint64_t b = uint64_t(r & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &b, 8);
    }
    return r & 1 ? v / 100 : v;
}

// The stream "Workbook" (or "Book") of the compound file, sector by sector.
bool fluxoDoLivro(const char *ficheiro, std::vector<unsigned char> *fluxo)
{
    std::vector<unsigned char> f;
    if (FILE *h = std::fopen(ficheiro, "rb")) {
        if (std::fseek(h, 0, SEEK_END) == 0 && std::ftell(h) > 0)
            f.reserve(size_t(std::ftell(h)));
        std::rewind(h);
        unsigned char b[1 << 16];
        for (size_t n; (n = std::fread(b, 1, sizeof b, h)) > 0;)
            f.insert(f.end(), b, b + n);
        std::fclose(h);
    }
    if (f.size() < 512 || std::memcmp(f.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0)
        return false;
    const uint32_t deslocamento = u16(f, 0x1E);
    if (deslocamento != 9 && deslocamento != 12)
        return false;
    const size_t tam = size_t(1) << deslocamento;
    const auto setor = [&](uint32_t s) { return (size_t(s) + 1) * tam; };
    const auto naTabela = [&](std::vector<uint32_t> *t, uint32_t s) {
        for (size_t j = 0; j < tam / 4 && setor(s) + 4 * j + 4 <= f.size(); ++j)
            t->push_back(u32(f, setor(s) + 4 * j));
    };
    std::vector<uint32_t> setoresFat, fat;
    for (size_t i = 0; i < 109 && setoresFat.size() < u32(f, 0x2C); ++i)
        setoresFat.push_back(u32(f, 0x4C + 4 * i));
    // A chain of extra tables that loops ends where the file's sectors do.
    for (uint32_t d = u32(f, 0x44), k = 0; d < 0xFFFFFFFA && k < u32(f, 0x48) && k < f.size() / tam && setor(d) + tam <= f.size();
         ++k) {
        std::vector<uint32_t> mais;
        naTabela(&mais, d);
        setoresFat.insert(setoresFat.end(), mais.begin(), mais.end() - 1);
        d = mais.back();
    }
    for (uint32_t s : setoresFat)
        if (s < 0xFFFFFFFA)
            naTabela(&fat, s);
    // A chain through table t; one that loops is cut at the table's length.
    const auto cadeia = [](uint32_t s, const std::vector<uint32_t> &t) {
        std::vector<uint32_t> c;
        for (; s < t.size() && c.size() < t.size(); s = t[s])
            c.push_back(s);
        return c;
    };
    const auto junta = [&](std::vector<unsigned char> *destino, uint32_t s) {
        if (setor(s) + tam <= f.size())
            destino->insert(destino->end(), f.begin() + long(setor(s)), f.begin() + long(setor(s) + tam));
    };
    std::vector<unsigned char> diretorio;
    for (uint32_t s : cadeia(u32(f, 0x30), fat))
        junta(&diretorio, s);
    uint32_t inicio = 0, tamanho = 0, raiz = 0;
    bool achado = false;
    for (size_t e = 0; e + 128 <= diretorio.size(); e += 128) {
        char nome[32] = {};
        const uint32_t n = std::min<uint32_t>(u16(diretorio, e + 0x40) / 2, 31);
        for (uint32_t i = 0; i < n; ++i)
            nome[i] = char(diretorio[e + 2 * i]);
        if (diretorio[e + 0x42] == 5) {
            raiz = u32(diretorio, e + 0x74);
        } else if (!achado && (!std::strcmp(nome, "Workbook") || !std::strcmp(nome, "Book"))) {
            // By its name, as FreeXL finds it, whatever its type says.
            inicio = u32(diretorio, e + 0x74);
            tamanho = u32(diretorio, e + 0x78);
            achado = true;
        }
    }
    if (!achado)
        return false;
    fluxo->reserve(std::min<size_t>(tamanho, f.size()));
    if (tamanho >= u32(f, 0x38)) {
        for (uint32_t s : cadeia(inicio, fat))
            junta(fluxo, s);
    } else {
        // Small streams live in the mini stream, in sectors of 64 bytes that the mini FAT chains.
        std::vector<uint32_t> miniFat;
        for (uint32_t s : cadeia(u32(f, 0x3C), fat))
            naTabela(&miniFat, s);
        std::vector<unsigned char> mini;
        for (uint32_t s : cadeia(raiz, fat))
            junta(&mini, s);
        for (uint32_t s : cadeia(inicio, miniFat))
            if ((size_t(s) + 1) * 64 <= mini.size())
                fluxo->insert(fluxo->end(), mini.begin() + long(s) * 64, mini.begin() + long(s + 1) * 64);
    }
    if (fluxo->size() > tamanho)
        fluxo->resize(tamanho);
    return true;
}

// The sheets' first records, in the order of their SHEET records, as FreeXL counts them.
std::vector<uint32_t> iniciosDasFolhas(const std::vector<unsigned char> &livro)
{
    std::vector<uint32_t> inicios;
    for (size_t o = 0; o + 4 <= livro.size();) {
        const uint32_t tipo = u16(livro, o), tam = u16(livro, o + 2);
        if (tipo == 0x0085 && tam >= 4)
            inicios.push_back(u32(livro, o + 4));
        if (tipo == 0x000A) // the end of the globals
            break;
        o += 4 + tam;
    }
    return inicios;
}

// What a sheet's own records say where FreeXL misreads them or says nothing.
struct RegistosDaFolha {
    // For each row and each of columns A to D: 1 a formula, whose result FreeXL does not give;
    // from 2, an error (#N/A), which it reads as a number, its code + 2.
    std::vector<std::array<uint8_t, 4>> marcas;
    // FreeXL counts a date's days from its first day (1900-01-01, or 1904-01-02 in workbooks of
    // the 1904 system) and gives that first day to every number below 1 as well: 1904-01-01 and
    // 1903-12-31 both read 1904-01-02. The numbers below 1 of the NUMBER, RK and MULRK records,
    // by row << 16 | column, the last record of a cell (the one FreeXL keeps) last.
    std::vector<std::pair<uint32_t, double>> pequenos;

    void guarda(uint32_t linha, uint32_t coluna, double v)
    {
        if (v < 1)
            pequenos.emplace_back(linha << 16 | (coluna & 0xFFFF), v);
    }
    bool procura(unsigned linha, unsigned coluna, double *v) const
    {
        const uint32_t chave = linha << 16 | coluna;
        auto i = std::upper_bound(pequenos.begin(), pequenos.end(), chave, [](uint32_t c, const auto &n) { return c < n.first; });
        if (i == pequenos.begin() || (--i)->first != chave)
            return false;
        *v = i->second;
        return true;
    }
};

// Follows sheets 1 to `folhas` record by record, once, filling r[f - 1]. Gives the first sheet
// whose records do not run whole from its BOF to its EOF (a record cut short, or a length that
// runs past the workbook), or hold no DIMENSIONS record (a length that swallowed it): FreeXL
// stops reading such a sheet, or reads none of its cells, without a word, and its cells read as
// empty. 0 when all do, or when the file cannot be followed (FreeXL read it, and judges it).
unsigned leRegistos(const char *ficheiro, unsigned folhas, RegistosDaFolha *r)
{
    std::vector<unsigned char> livro;
    try {
        if (!fluxoDoLivro(ficheiro, &livro))
            return 0;
    } catch (const std::bad_alloc &) {
        return 0; // a file too big to follow here is left to FreeXL
    }
    const std::vector<uint32_t> inicios = iniciosDasFolhas(livro);
    for (unsigned f = 1; f <= folhas && f <= inicios.size(); ++f) {
        RegistosDaFolha &folha = r[f - 1];
        // Charts kept in a sheet have their own BOF and EOF inside it.
        int nivel = 0;
        bool dimensoes = false;
        size_t o = inicios[f - 1];
        for (; o + 4 <= livro.size() && o + 4 + u16(livro, o + 2) <= livro.size(); o += 4 + u16(livro, o + 2)) {
            const uint32_t tipo = u16(livro, o), tam = u16(livro, o + 2);
            const size_t d = o + 4;
            if (tipo == 0x0809 || tipo == 0x0409 || tipo == 0x0209 || tipo == 0x0009)
                ++nivel;
            else if (o == inicios[f - 1])
                break;
            else if (tipo == 0x000A && --nivel == 0)
                break;
            else if (nivel != 1)
                continue;
            else if (tipo == 0x0200)
                dimensoes = true;
            else if (tipo == 0x0203 && tam >= 14) {
                double v;
                std::memcpy(&v, &livro[d + 6], 8);
                folha.guarda(u16(livro, d), u16(livro, d + 2), v);
            } else if (tipo == 0x027E && tam >= 10) {
                folha.guarda(u16(livro, d), u16(livro, d + 2), rk(u32(livro, d + 6)));
            } else if (tipo == 0x00BD && tam >= 6) {
                for (uint32_t k = 0; 4 + 6 * (k + 1) + 2 <= tam; ++k)
                    folha.guarda(u16(livro, d), u16(livro, d + 2) + k, rk(u32(livro, d + 4 + 6 * k + 2)));
            } else if (u16(livro, d + 2) < 4 && (tipo == 0x0006 || tipo == 0x0205)) {
                const uint32_t linha = u16(livro, d);
                // A BOOLERR record holds a Boolean, or an error when its byte 7 is set.
                const bool erro = tipo == 0x0205 && tam >= 8 && livro[d + 7] == 1;
                if (tipo == 0x0006 || erro) {
                    if (folha.marcas.size() <= linha)
                        folha.marcas.resize(linha + 1);
                    folha.marcas[linha][u16(livro, d + 2)] = erro ? uint8_t(livro[d + 6] + 2) : 1;
                }
            }
        }
        if (nivel != 0 || o + 4 > livro.size() || o == inicios[f - 1] || !dimensoes)
            return f;
        std::stable_sort(
            folha.pequenos.begin(), folha.pequenos.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    }
    return 0;
}

// FreeXL's text of a date that reads as its first day, with the day its number gives.
void corrigeData(char *texto, bool de1904, unsigned linha, unsigned coluna, const RegistosDaFolha &registos)
{
    const char *primeiro = de1904 ? "1904-01-02" : "1900-01-01";
    if (std::strncmp(texto, primeiro, 10) != 0)
        return;
    double v = 0;
    // Past the year -6000 it is left as FreeXL reads it.
    if (!registos.procura(linha, coluna, &v) || !(v > -3e6))
        return;
    using namespace std::chrono;
    const sys_days inicio = de1904 ? sys_days(year(1904) / 1 / 2) : sys_days(year(1900) / 1 / 1);
    const year_month_day d { inicio + days(static_cast<long long>(std::floor(v)) - 1) };
    char dia[16];
    std::snprintf(dia, sizeof dia, "%04d-%02u-%02u", int(d.year()), unsigned(d.month()), unsigned(d.day()));
    if (std::strlen(dia) == 10)
        std::memcpy(texto, dia, 10);
}

bool folha(const void *xls, unsigned f, bool de1904, const RegistosDaFolha &registos)
{
    const std::vector<std::array<uint8_t, 4>> &marcas = registos.marcas;
    unsigned int linhas = 0;
    unsigned short colunas = 0;
    if (freexl_select_active_worksheet(xls, unsigned(f - 1)) != FREEXL_OK
        || freexl_worksheet_dimensions(xls, &linhas, &colunas) != FREEXL_OK)
        return false;
    saida.marca('F');
    saida.valor(uint32_t(f));
    for (unsigned l = 0; l < linhas && l < kLinhas && saida.ok(); ++l)
        for (unsigned c = 0; c < colunas && c < kColunas; ++c) {
            const uint8_t marca = c < 4 && l < marcas.size() ? marcas[l][c] : 0;
            if (marca >= 2) {
                saida.celula('Q', l, c);
                saida.valor(uint8_t(marca - 2));
                continue;
            }
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
                char data[32] = {};
                if (v.value.text_value && std::strlen(v.value.text_value) < sizeof data)
                    std::strcpy(data, v.value.text_value);
                if (v.type != FREEXL_CELL_TIME)
                    corrigeData(data, de1904, l, c, registos);
                const size_t n = std::strlen(data);
                saida.valor(static_cast<unsigned char>(n));
                saida.bytes(data, n);
                break;
            }
            default:
                if (marca == 1)
                    saida.celula('R', l, c);
                break;
            }
        }
    saida.marca('G');
    return true;
}

} // namespace

int le(const char *ficheiro)
{
    // Before FreeXL opens the file, so that both do not hold it at once.
    RegistosDaFolha registos[kFolhasLidas];
    if (const unsigned f = leRegistos(ficheiro, kFolhasLidas, registos))
        return falha(Falha::FolhaCortada, int(f));
    const void *xls = nullptr;
    const int r = freexl_open(ficheiro, &xls);
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
    const bool de1904 = freexl_get_info(xls, FREEXL_BIFF_DATEMODE, &valor) == FREEXL_OK && valor == FREEXL_BIFF_DATEMODE_1904;
    saida.marca('L');
    saida.valor(uint32_t(folhas));
    for (unsigned f = 1; f <= folhas && f <= kFolhasLidas; ++f) {
        const char *nome = nullptr;
        if (freexl_get_worksheet_name(xls, unsigned(f - 1), &nome) != FREEXL_OK)
            nome = nullptr;
        texto(nome, kNomeMaximo, true);
    }
    for (unsigned f = 1; f <= folhas && f <= kFolhasLidas && saida.ok(); ++f)
        if (!folha(xls, f, de1904, registos[f - 1]))
            return falha(Falha::Danificado, 0);
    saida.marca('Z');
    saida.despeja();
    freexl_close(xls);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    limita();
    saida.bytes(kAssinatura, sizeof kAssinatura);
    try {
        return le(argv[1]);
    } catch (const std::bad_alloc &) {
        return falha(Falha::SemMemoria, FREEXL_INSUFFICIENT_MEMORY);
    }
}
