#include "core/leitorxls.h"

#include "core/fluxoxls.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

extern char **environ;

using namespace fluxoxls;

namespace {

const QString kNomeAuxiliar = QStringLiteral("molvar_leitorxls");

// FreeXL hands dates over as text ("yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss", "hh:mm:ss"): typed here
// as the .xlsx reader types them, so that both formats read the same.
QVariant dataDoFreeXl(const QString &t, Tipo tipo)
{
    const QTime hora = QTime::fromString(tipo == Tipo::Hora ? t : t.mid(11), Qt::ISODate);
    if (tipo == Tipo::Hora)
        return hora.isValid() ? QVariant(hora) : QVariant(t);
    const QDateTime d(QDate::fromString(t.left(10), Qt::ISODate), tipo == Tipo::Data ? QTime(0, 0) : hora, Qt::UTC);
    return d.isValid() ? QVariant(d) : QVariant(t);
}

// The error an error cell shows, by its code in the file.
QString textoDoErro(int codigo)
{
    static const std::pair<int, const char *> erros[] = { { 0x00, "#NULL!" }, { 0x07, "#DIV/0!" }, { 0x0F, "#VALUE!" },
        { 0x17, "#REF!" }, { 0x1D, "#NAME?" }, { 0x24, "#NUM!" }, { 0x2A, "#N/A" } };
    for (const auto &[c, t] : erros)
        if (c == codigo)
            return QString::fromLatin1(t);
    return QStringLiteral("de código %1").arg(codigo);
}

int prazoSegundos()
{
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("MOLVAR_PRAZO_LEITORXLS", &ok);
    return ok && s > 0 ? s : LeitorXls::kPrazoSegundos;
}

QString semMemoria()
{
    return QStringLiteral("não é um livro .xls legível (está danificado, ou as suas folhas passam os 128 MB aceites)");
}

QString quem()
{
    return QStringLiteral("o leitor de livros .xls (%1)").arg(kNomeAuxiliar);
}

} // namespace

struct LeitorXls::Cabecalho {
    int folhas = 0;
    QStringList nomes;
};

// The running helper and what it writes, read against the deadline. Whatever goes wrong, it is
// ended and waited for, and the message says why.
class LeitorXls::Ajudante
{
public:
    struct Registo {
        char marca = 0;
        quint32 linha = 0;
        quint16 coluna = 0;
        quint32 folha = 0;
        double numero = 0;
        Tipo tipo = Tipo::Data;
        QByteArray texto;
        Falha falha = Falha::Danificado;
        qint32 codigo = 0;
    };

    // The last sheet whose cells have begun to come (0 before the first).
    int lida = 0;

    ~Ajudante() { termina(); }

    bool inicia(const QString &ficheiro, QString *erro)
    {
        const QString programa = LeitorXls::auxiliar();
        m_segundos = prazoSegundos();
        m_prazo = QDeadlineTimer(qint64(m_segundos) * 1000);
        int tubo[2];
        if (::pipe2(tubo, O_CLOEXEC) != 0) {
            *erro = QStringLiteral("não foi possível iniciar %1: o sistema não deu um canal (erro %2)")
                        .arg(quem(), QString::number(errno));
            return false;
        }
        posix_spawn_file_actions_t accoes;
        posix_spawn_file_actions_init(&accoes);
        posix_spawn_file_actions_adddup2(&accoes, tubo[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&accoes, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        // Nothing of the program's (database connections, files) reaches the helper.
        posix_spawn_file_actions_addclosefrom_np(&accoes, STDERR_FILENO + 1);
        posix_spawnattr_t atributos;
        posix_spawnattr_init(&atributos);
        sigset_t nenhum, porOmissao;
        sigemptyset(&nenhum);
        sigemptyset(&porOmissao);
        sigaddset(&porOmissao, SIGPIPE);
        posix_spawnattr_setsigmask(&atributos, &nenhum);
        posix_spawnattr_setsigdefault(&atributos, &porOmissao);
        posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        const QByteArray p = QFile::encodeName(programa), f = QFile::encodeName(ficheiro);
        char *argv[] = { const_cast<char *>(p.constData()), const_cast<char *>(f.constData()), nullptr };
        // posix_spawn runs exec straight away: nothing of this process's state (locks other
        // threads hold) is used in the child, unlike a fork.
        const int r = posix_spawn(&m_pid, p.constData(), &accoes, &atributos, argv, environ);
        posix_spawn_file_actions_destroy(&accoes);
        posix_spawnattr_destroy(&atributos);
        ::close(tubo[1]);
        if (r != 0) {
            ::close(tubo[0]);
            m_pid = -1;
            *erro = QStringLiteral("não foi possível iniciar %1: %2 %3")
                        .arg(quem(), programa,
                            r == ENOENT       ? QStringLiteral("não existe")
                                : r == EACCES ? QStringLiteral("não pode ser executado")
                                              : QStringLiteral("não arrancou (erro %1 do sistema)").arg(r));
            return false;
        }
        m_fd = tubo[0];
        char assinatura[sizeof kAssinatura];
        if (!le(assinatura, sizeof assinatura, erro))
            return false;
        return std::memcmp(assinatura, kAssinatura, sizeof kAssinatura) == 0 || invalido(erro);
    }

    // The next record; false, with the message, when none comes whole or it makes no sense.
    bool proximo(Registo *r, QString *erro)
    {
        if (!valor(&r->marca, erro))
            return false;
        switch (r->marca) {
        case 'E': {
            unsigned char f = 0;
            if (!valor(&f, erro))
                return false;
            r->falha = Falha(f);
            return valor(&r->codigo, erro);
        }
        case 'L':
            return valor(&r->folha, erro);
        case 'F':
            return valor(&r->folha, erro) && ((r->folha >= 1 && r->folha <= kFolhasLidas) || invalido(erro));
        case 'N':
        case 'T':
        case 'D':
        case 'X':
        case 'R':
        case 'Q': {
            if (!valor(&r->linha, erro) || !valor(&r->coluna, erro))
                return false;
            if (r->linha >= kLinhas || r->coluna >= kColunas)
                return invalido(erro);
            if (r->marca == 'N')
                return valor(&r->numero, erro);
            if (r->marca == 'T')
                return texto<quint32>(&r->texto, kTextoMaximo, erro);
            if (r->marca == 'D') {
                unsigned char t = 0;
                if (!valor(&t, erro))
                    return false;
                r->tipo = Tipo(t);
                return (t >= 1 && t <= 3 && texto<unsigned char>(&r->texto, 31, erro)) || invalido(erro);
            }
            if (r->marca == 'Q') {
                unsigned char c = 0;
                if (!valor(&c, erro))
                    return false;
                r->codigo = c;
            }
            return true;
        }
        case 'G':
        case 'Z':
            return true;
        default:
            return invalido(erro);
        }
    }

    // A name or text: its length, bounded, then its bytes.
    template <class N> bool texto(QByteArray *t, unsigned maximo, QString *erro)
    {
        N n = 0;
        if (!valor(&n, erro))
            return false;
        if (n > maximo)
            return invalido(erro);
        t->resize(qsizetype(n));
        return le(t->data(), n, erro);
    }

    bool invalido(QString *erro)
    {
        termina();
        *erro = QStringLiteral("%1 enviou dados que não se entendem").arg(quem());
        return false;
    }

private:
    template <class T> bool valor(T *v, QString *erro) { return le(v, sizeof *v, erro); }

    bool le(void *destino, qsizetype n, QString *erro)
    {
        while (m_buf.size() - m_pos < n) {
            if (m_fd < 0)
                return fim(erro);
            if (m_pos > 0) {
                m_buf.remove(0, m_pos);
                m_pos = 0;
            }
            if (m_prazo.hasExpired())
                return passouPrazo(erro);
            pollfd p { m_fd, POLLIN, 0 };
            const int r = ::poll(&p, 1, int(qMin<qint64>(m_prazo.remainingTime(), INT_MAX)));
            if (r <= 0)
                continue; // EINTR, or the deadline, seen above
            const qsizetype antes = m_buf.size();
            m_buf.resize(antes + kBloco);
            const ssize_t k = ::read(m_fd, m_buf.data() + antes, kBloco);
            m_buf.resize(antes + qMax<ssize_t>(k, 0));
            if (k == 0 || (k < 0 && errno != EINTR && errno != EAGAIN)) {
                ::close(m_fd);
                m_fd = -1;
            }
        }
        std::memcpy(destino, m_buf.constData() + m_pos, size_t(n));
        m_pos += n;
        return true;
    }

    // The helper stopped writing before the end: how it ended, waited for until the deadline.
    bool fim(QString *erro)
    {
        int estado = 0;
        pid_t r = 0;
        while (m_pid > 0 && (r = ::waitpid(m_pid, &estado, WNOHANG)) == 0 && !m_prazo.hasExpired())
            QThread::msleep(5);
        if (m_pid > 0 && r == 0)
            return passouPrazo(erro);
        m_pid = -1;
        if (r > 0 && WIFSIGNALED(estado)) {
            const int s = WTERMSIG(estado);
            *erro = s == SIGXCPU ? QStringLiteral("%1 passou o tempo de processador aceite e foi terminado").arg(quem())
                                 : QStringLiteral("%1 foi terminado pelo sinal %2 (SIG%3) antes de acabar; o livro não foi lido")
                                       .arg(quem(), QString::number(s), QString::fromLatin1(sigabbrev_np(s)));
        } else if (r > 0 && WIFEXITED(estado) && WEXITSTATUS(estado) != 0) {
            *erro = QStringLiteral("%1 saiu com o código %2 antes de acabar; o livro não foi lido")
                        .arg(quem())
                        .arg(WEXITSTATUS(estado));
        } else {
            *erro = QStringLiteral("%1 acabou sem enviar o livro inteiro").arg(quem());
        }
        return false;
    }

    bool passouPrazo(QString *erro)
    {
        termina();
        *erro = QStringLiteral("a leitura passou o prazo de %1 s, e %2 foi terminado (o livro pode estar danificado)")
                    .arg(m_segundos)
                    .arg(quem());
        return false;
    }

    void termina()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) { }
        }
        m_pid = -1;
    }

    static constexpr qsizetype kBloco = 1 << 16;
    pid_t m_pid = -1;
    int m_fd = -1;
    int m_segundos = 0;
    QDeadlineTimer m_prazo;
    QByteArray m_buf;
    qsizetype m_pos = 0;
};

LeitorXls::LeitorXls() = default;
LeitorXls::~LeitorXls() = default;

QString LeitorXls::auxiliar()
{
    const QString dado = qEnvironmentVariable("MOLVAR_LEITORXLS");
    return !dado.isEmpty() ? dado : QDir(QCoreApplication::applicationDirPath()).filePath(kNomeAuxiliar);
}

bool LeitorXls::inicia(Cabecalho *c, QString *erro) const
{
    m_ajudante = std::make_unique<Ajudante>();
    Ajudante::Registo r;
    if (!m_ajudante->inicia(m_caminho, erro) || !m_ajudante->proximo(&r, erro))
        return false;
    if (r.marca == 'E') {
        m_ajudante.reset();
        switch (r.falha) {
        case Falha::SemMemoria:
            *erro = semMemoria();
            return false;
        case Falha::NaoXls: {
            QFile f(m_caminho);
            // A workbook .xlsx is a zip archive: renamed .xls, it needs only its own name back.
            if (f.open(QIODevice::ReadOnly) && f.read(4) == QByteArrayLiteral("PK\x03\x04"))
                *erro = QStringLiteral(
                    "não é um livro .xls, mas um arquivo zip, como os livros .xlsx: se o for, dê-lhe o nome .xlsx");
            else
                *erro = QStringLiteral("não é um livro .xls");
            return false;
        }
        case Falha::Senha:
            *erro = QStringLiteral("está protegido por senha");
            return false;
        case Falha::FolhaCortada:
            *erro = QStringLiteral("não é um livro .xls legível (os registos da folha %1 estão danificados)").arg(r.codigo);
            return false;
        default:
            *erro = QStringLiteral("não é um livro .xls legível (está danificado: erro %1 do FreeXL)").arg(r.codigo);
            return false;
        }
    }
    if (r.marca != 'L')
        return m_ajudante->invalido(erro);
    c->folhas = int(qMin<quint32>(r.folha, INT_MAX));
    for (unsigned f = 1; f <= kFolhasLidas && int(f) <= c->folhas; ++f) {
        QByteArray nome;
        if (!m_ajudante->texto<quint16>(&nome, kNomeMaximo, erro))
            return false;
        c->nomes << QString::fromUtf8(nome);
    }
    return true;
}

bool LeitorXls::abre(const QString &caminho, QString *erro)
{
    m_ajudante.reset();
    m_folhas = 0;
    m_nomes.clear();
    m_caminho = caminho;
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        m_ajudante.reset();
        return false;
    };
    const QFileInfo info(caminho);
    if (info.size() > LeitorXlsx::kTamanhoMaximoParte)
        return falha(QStringLiteral("tem mais do que os %1 MB aceites").arg(LeitorXlsx::kTamanhoMaximoParte / (1024 * 1024)));
    if (info.size() == 0)
        return falha(QStringLiteral("não é um livro .xls: está vazio"));
    Cabecalho c;
    QString e;
    if (!inicia(&c, &e))
        return falha(e);
    m_folhas = c.folhas;
    m_nomes = c.nomes;
    return true;
}

QString LeitorXls::nomeFolha(int folha) const
{
    return m_nomes.value(folha - 1);
}

bool LeitorXls::percorre(int folha, const VisitaCelula &visita, QString *erro) const
{
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        m_ajudante.reset();
        return false;
    };
    const QString semFolha = QStringLiteral("o livro não tem a folha %1").arg(folha);
    if (m_caminho.isEmpty() || folha < 1 || folha > m_folhas || folha > int(kFolhasLidas))
        return falha(semFolha);
    QString e;
    // The helper writes the sheets once, in order: a sheet already begun is read again by another.
    Cabecalho c;
    if ((!m_ajudante || m_ajudante->lida >= folha) && !inicia(&c, &e))
        return falha(e);
    Ajudante &a = *m_ajudante;
    Ajudante::Registo r;
    while (a.lida != folha) {
        if (!a.proximo(&r, &e))
            return falha(e);
        if (r.marca == 'E' || r.marca == 'Z' || (r.marca == 'F' && int(r.folha) > folha))
            return falha(semFolha);
        if (r.marca == 'F')
            a.lida = int(r.folha);
        else if (r.marca == 'L' || (a.lida == 0 && r.marca != 'G'))
            return a.invalido(&e) || falha(e);
    }
    for (;;) {
        if (!a.proximo(&r, &e))
            return falha(e);
        CelulaLivro cel;
        cel.linha = int(r.linha) + 1;
        cel.coluna = int(r.coluna) + 1;
        switch (r.marca) {
        case 'G':
            return true;
        case 'N':
            cel.valor = r.numero;
            break;
        case 'T':
            cel.valor = QString::fromUtf8(r.texto);
            break;
        case 'D':
            cel.valor = dataDoFreeXl(QString::fromLatin1(r.texto), r.tipo);
            break;
        case 'E':
            // What the helper holds for the sheet passed its bound.
            return falha(r.falha == Falha::SemMemoria ? semMemoria() : semFolha);
        case 'R':
            cel.semResultado = true;
            break;
        case 'Q':
            cel.erro = textoDoErro(r.codigo);
            break;
        case 'X':
            return falha(QStringLiteral("a célula da linha %1, coluna %2, da folha %3 não pode ser lida")
                             .arg(cel.linha)
                             .arg(cel.coluna)
                             .arg(folha));
        default:
            return a.invalido(&e) || falha(e);
        }
        if (!visita(cel))
            return true;
    }
}
