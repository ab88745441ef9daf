#include "core/folhaemescrita.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kMeio = QStringLiteral(".xlsx.tmp.");
const int kAleatorios = 6; // the letters and digits mkdtemp puts for "XXXXXX"
const char kFolha[] = "folha.xlsx";
const char kTranca[] = "tranca";
const char kTrancaNova[] = "tranca.nova";

QString textoErrno(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

bool mesmoFicheiro(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The directory behind `fd` still has the name `nome` (a link put at that name is not it).
bool aindaSeChama(int fd, const QByteArray &nome)
{
    struct stat aberto {
    }, pelaNome {};
    return ::fstat(fd, &aberto) == 0 && ::lstat(nome.constData(), &pelaNome) == 0 && mesmoFicheiro(aberto, pelaNome);
}

// Empties the directory `dir` and removes it, if `nome` is still its name.
void apaga(int dir, const QByteArray &nome)
{
    const int leitura = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (DIR *d = leitura >= 0 ? ::fdopendir(leitura) : nullptr) {
        while (const dirent *e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                ::unlinkat(dir, e->d_name, 0);
        ::closedir(d);
    } else if (leitura >= 0) {
        ::close(leitura);
    }
    if (aindaSeChama(dir, nome))
        ::rmdir(nome.constData());
}

// Takes the lock of `fd`, the file `nome` of `dir`. False where locks fail, or where they
// do nothing: a second opening of the file must then be refused the lock.
bool tranca(int fd, int dir, const char *nome)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    const int outra = ::openat(dir, nome, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool recusada = outra >= 0 && ::flock(outra, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (outra >= 0)
        ::close(outra);
    return recusada;
}

bool semSuporte(int e)
{
    return e == EINVAL || e == ENOSYS || e == ENOTSUP || e == EOPNOTSUPP;
}

// For a file system without the no-replace rename (NFS, FUSE): a hard link, which never
// replaces either, and then the temporary name goes; so a crash leaves the whole workbook, at
// the final name or only in the directory. Without hard links as well, the name is first taken
// by an empty file, which the rename then replaces: a crash in between leaves it empty.
int daNomeSemRenameat2(int dir, const char *para, const struct stat &folha)
{
    bool ligada = ::linkat(dir, kFolha, AT_FDCWD, para, 0) == 0;
    if (!ligada && errno == EEXIST) {
        // NFS may answer EEXIST to a request it repeats after making the link.
        struct stat ali {
        };
        ligada = ::lstat(para, &ali) == 0 && mesmoFicheiro(ali, folha);
        if (!ligada) {
            errno = EEXIST;
            return -1;
        }
    }
    if (ligada) {
        ::unlinkat(dir, kFolha, 0);
        return 0;
    }
    if (errno != EPERM && !semSuporte(errno))
        return -1;
    const int fd = ::open(para, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    ::close(fd);
    if (::renameat(dir, kFolha, AT_FDCWD, para) == 0)
        return 0;
    const int e = errno;
    ::unlink(para);
    errno = e;
    return -1;
}

bool eSobra(const QString &nome, const QString &prefixo)
{
    if (!nome.startsWith(prefixo) || nome.size() != prefixo.size() + kAleatorios)
        return false;
    for (const QChar c : QStringView(nome).mid(prefixo.size()))
        if (c.unicode() > 127 || !c.isLetterOrNumber())
            return false;
    return true;
}

} // namespace

FolhaEmEscrita::~FolhaEmEscrita()
{
    if (m_dir < 0)
        return;
    // Removed while still locked, so that no other export takes it meanwhile.
    apaga(m_dir, QFile::encodeName(m_pasta));
    if (m_tranca >= 0)
        ::close(m_tranca);
    ::close(m_dir);
}

bool FolhaEmEscrita::cria(const QString &base, QString *erro)
{
    const auto falha = [&](const QString &motivo) {
        if (erro)
            *erro = QStringLiteral("Não foi possível criar uma pasta temporária para \"%1.xlsx\": %2").arg(base, motivo);
        return false;
    };
    for (int tentativa = 0; tentativa < 10; ++tentativa) {
        QByteArray modelo = QFile::encodeName(base + kMeio) + QByteArray(kAleatorios, 'X');
        if (!::mkdtemp(modelo.data()))
            return falha(textoErrno(errno));
        // Opened by name: it must be the directory just made, not one that another user of
        // the folder put at that name meanwhile.
        const int dir = ::open(modelo.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st {
        };
        if (dir < 0 || ::fstat(dir, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
            if (dir >= 0)
                ::close(dir);
            continue;
        }
        m_dir = dir;
        m_pasta = QFile::decodeName(modelo);
        // The lock file takes its name once locked: a cleaner never finds it unlocked while
        // its export lives.
        m_tranca = ::openat(m_dir, kTrancaNova, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_tranca < 0)
            return falha(textoErrno(errno));
        m_trancada = tranca(m_tranca, m_dir, kTrancaNova) && ::renameat(m_dir, kTrancaNova, m_dir, kTranca) == 0;
        if (!m_trancada) {
            // Locks that fail or do nothing (NFS without its lock service): the export goes on
            // with no lock file, and no export takes its directory for abandoned.
            ::unlinkat(m_dir, kTrancaNova, 0);
            ::close(m_tranca);
            m_tranca = -1;
        }
        return true;
    }
    return falha(QStringLiteral("a pasta criada foi trocada por outra."));
}

QString FolhaEmEscrita::pastaTemporaria() const
{
    // /proc reaches the directory by its descriptor; without /proc, only its name is left.
    const QString porDescritor = QStringLiteral("/proc/self/fd/%1").arg(m_dir);
    return QFileInfo::exists(porDescritor) ? porDescritor : m_pasta;
}

QString FolhaEmEscrita::nome() const
{
    return pastaTemporaria() + QLatin1Char('/') + QLatin1String(kFolha);
}

QString FolhaEmEscrita::daNome(const QString &base, QString *erro)
{
    struct stat folha {
    };
    if (::fstatat(m_dir, kFolha, &folha, AT_SYMLINK_NOFOLLOW) != 0) {
        if (erro)
            *erro = textoErrno(errno);
        return {};
    }
    for (int n = 1; n < 10000; ++n) {
        const QString nome
            = n == 1 ? base + QStringLiteral(".xlsx") : QStringLiteral("%1 (%2).xlsx").arg(base, QString::number(n));
        const QByteArray para = QFile::encodeName(nome);
        // Never a check and then a rename: another export may take the name in between.
        int r = ::renameat2(m_dir, kFolha, AT_FDCWD, para.constData(), RENAME_NOREPLACE);
        if (r != 0 && semSuporte(errno))
            r = daNomeSemRenameat2(m_dir, para.constData(), folha);
        if (r == 0)
            return nome;
        if (errno != EEXIST) {
            if (erro)
                *erro = textoErrno(errno);
            return {};
        }
    }
    if (erro)
        *erro = QStringLiteral("há 9999 livros com este nome");
    return {};
}

void FolhaEmEscrita::removeSobras(const QString &base) const
{
    if (!m_trancada)
        return;
    const QFileInfo fi(base);
    const QDir pasta = fi.absoluteDir();
    const QString prefixo = fi.fileName() + kMeio;
    for (const QString &nome : pasta.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (!eSobra(nome, prefixo))
            continue;
        const QByteArray local = QFile::encodeName(pasta.filePath(nome));
        const int dir = ::open(local.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dir < 0)
            continue;
        struct stat st {
        };
        const int fd
            = ::fstat(dir, &st) == 0 && st.st_uid == ::geteuid() ? ::openat(dir, kTranca, O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
        // Abandoned only when its lock file is there, still named, and no export holds it.
        struct stat t {
        };
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &t) == 0 && t.st_nlink > 0)
            apaga(dir, local);
        if (fd >= 0)
            ::close(fd);
        ::close(dir);
    }
}
