#include "core/folhaemescrita.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kMeio = QStringLiteral(".xlsx.");
const QString kFim = QStringLiteral(".tmp");
const int kDigitos = 16;

// The file behind `fd` still has the name `nome`: no one removed it between open and lock.
bool aindaSeChama(int fd, const QByteArray &nome)
{
    struct stat aberto {
    }, pelaNome {};
    return ::fstat(fd, &aberto) == 0 && ::stat(nome.constData(), &pelaNome) == 0 && aberto.st_dev == pelaNome.st_dev
        && aberto.st_ino == pelaNome.st_ino;
}

bool eSobra(const QString &ficheiro, const QString &prefixo)
{
    if (!ficheiro.startsWith(prefixo) || !ficheiro.endsWith(kFim) || ficheiro.size() != prefixo.size() + kDigitos + kFim.size())
        return false;
    for (const QChar c : QStringView(ficheiro).mid(prefixo.size(), kDigitos))
        if (!c.isDigit() && (c < QLatin1Char('a') || c > QLatin1Char('f')))
            return false;
    return true;
}

} // namespace

FolhaEmEscrita::~FolhaEmEscrita()
{
    if (m_fd < 0)
        return;
    // Removed while still locked, so that no other export can take it meanwhile.
    if (!m_entregue)
        QFile::remove(m_nome);
    ::close(m_fd);
}

bool FolhaEmEscrita::cria(const QString &base, QString *erro)
{
    for (int tentativa = 0; tentativa < 100; ++tentativa) {
        const QString nome = base + kMeio
            + QStringLiteral("%1").arg(QRandomGenerator::system()->generate64(), kDigitos, 16, QLatin1Char('0')) + kFim;
        const QByteArray local = QFile::encodeName(nome);
        const int fd = ::open(local.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            if (erro)
                *erro
                    = QStringLiteral("Não foi possível criar \"%1\": %2").arg(nome, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        // Another export clearing leftovers may have found it before it was locked: then it
        // is (or is about to be) removed, and a new name is tried.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (aindaSeChama(fd, local)) {
                m_fd = fd;
                m_nome = nome;
                return true;
            }
        } else if (errno != EWOULDBLOCK) {
            // A folder whose file system cannot lock: nothing is left behind there.
            const int e = errno;
            ::unlink(local.constData());
            ::close(fd);
            if (erro)
                *erro
                    = QStringLiteral("Não foi possível reservar \"%1\": %2").arg(nome, QString::fromLocal8Bit(std::strerror(e)));
            return false;
        }
        ::close(fd);
    }
    if (erro)
        *erro = QStringLiteral("Não foi possível criar um ficheiro temporário para \"%1.xlsx\".").arg(base);
    return false;
}

QString FolhaEmEscrita::daNome(const QString &base, QString *erro)
{
    const QByteArray de = QFile::encodeName(m_nome);
    for (int n = 1; n < 10000; ++n) {
        const QString nome = n == 1 ? base + QStringLiteral(".xlsx") : QStringLiteral("%1 (%2).xlsx").arg(base).arg(n);
        const QByteArray para = QFile::encodeName(nome);
        // Never a check and then a rename: another export may take the name in between.
        int r = ::renameat2(AT_FDCWD, de.constData(), AT_FDCWD, para.constData(), RENAME_NOREPLACE);
        if (r != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
            // A file system without it: the name is first taken by a file of our own, which
            // the rename then replaces.
            const int fd = ::open(para.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                r = -1;
            } else {
                ::close(fd);
                r = ::rename(de.constData(), para.constData());
                if (r != 0) {
                    const int e = errno;
                    ::unlink(para.constData());
                    errno = e;
                }
            }
        }
        if (r == 0) {
            m_entregue = true;
            return nome;
        }
        if (errno != EEXIST) {
            if (erro)
                *erro = QString::fromLocal8Bit(std::strerror(errno));
            return {};
        }
    }
    if (erro)
        *erro = QStringLiteral("há 9999 livros com este nome");
    return {};
}

void removeSobras(const QString &base)
{
    const QFileInfo fi(base);
    const QDir pasta = fi.absoluteDir();
    const QString prefixo = fi.fileName() + kMeio;
    for (const QString &ficheiro : pasta.entryList(QDir::Files | QDir::Hidden)) {
        if (!eSobra(ficheiro, prefixo))
            continue;
        const QByteArray local = QFile::encodeName(pasta.filePath(ficheiro));
        const int fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A lock refused: an export is writing it.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && aindaSeChama(fd, local))
            ::unlink(local.constData());
        ::close(fd);
    }
}
