#include "core/appfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <sys/stat.h>

QString appFolder()
{
    const QString env = qEnvironmentVariable("MOLVAR_HOME");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/molvar"));
}

bool criaPastaPrivada(const QString &pasta)
{
    const QString limpa = QDir::cleanPath(QDir(pasta).absolutePath());
    if (QFileInfo(limpa).isDir())
        return true;
    const QString pai = QFileInfo(limpa).path();
    if (pai != limpa && !criaPastaPrivada(pai))
        return false;
    // Another process may make it in the meantime: that is as good.
    return ::mkdir(QFile::encodeName(limpa).constData(), S_IRWXU) == 0 || (errno == EEXIST && QFileInfo(limpa).isDir());
}

bool ensureAppFolder(QString *erro)
{
    const QString pasta = appFolder();
    if (!criaPastaPrivada(pasta)) {
        if (erro)
            *erro = QStringLiteral("Não foi possível criar a pasta da aplicação \"%1\".").arg(pasta);
        return false;
    }
    // A real write is the only reliable test of permissions (ACLs, read-only mounts).
    QFile probe(pasta + QStringLiteral("/.escrita-") + QUuid::createUuid().toString(QUuid::Id128));
    if (!probe.open(QIODevice::WriteOnly)) {
        if (erro)
            *erro = QStringLiteral("A pasta da aplicação \"%1\" não permite escrita: %2").arg(pasta, probe.errorString());
        return false;
    }
    probe.close();
    probe.remove();
    return true;
}
