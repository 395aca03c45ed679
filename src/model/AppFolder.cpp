#include "model/AppFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

static void initShippedResources()
{
    Q_INIT_RESOURCE(shipped);
}

namespace corvane {

namespace {
const QString kShippedRoot = QStringLiteral(":/shipped");
}

AppFolder AppFolder::locate(const QString& explicitFolder)
{
    QString path = explicitFolder;
    if (path.isEmpty())
        path = qEnvironmentVariable("CORVANE_APP_DIR");
    if (path.isEmpty() && QCoreApplication::instance()) {
        const QString exeDir = QCoreApplication::applicationDirPath();
        if (QFileInfo::exists(exeDir + QStringLiteral("/filetypes.txt")))
            path = exeDir;
    }
    if (path.isEmpty()) {
        // ~/.local/share/Corvane, as the help texts say; the application-specific location
        // would add the organisation's folder in front (Corvane/Corvane).
        QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (dataHome.isEmpty())
            dataHome = QDir::homePath() + QStringLiteral("/.local/share");
        path = dataHome + QStringLiteral("/Corvane");
    }
    AppFolder folder(QDir(path).absolutePath());
    folder.seed();
    return folder;
}

QString AppFolder::file(const QString& relative) const
{
    if (relative.isEmpty())
        return m_path;
    return m_path + u'/' + relative;
}

QString AppFolder::installedDataFolder()
{
    if (!QCoreApplication::instance())
        return {};
    const QString folder = QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/'
                                           + QStringLiteral(CORVANE_DATA_FROM_BIN));
    if (!QFileInfo::exists(folder + QStringLiteral("/filetypes.txt")))
        return {};
    return folder;
}

bool AppFolder::seed() const
{
    initShippedResources();
    QDir root(m_path);
    if (!root.mkpath(QStringLiteral(".")))
        return false;
    root.mkpath(QStringLiteral("Project Files"));
    root.mkpath(QStringLiteral("projects"));
    QString shippedRoot = installedDataFolder();
    if (shippedRoot.isEmpty() || QDir(shippedRoot) == root)
        shippedRoot = kShippedRoot;
    QDirIterator it(shippedRoot, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = source.mid(shippedRoot.size() + 1);
        const QString target = file(relative);
        if (QFileInfo::exists(target))
            continue;
        root.mkpath(QFileInfo(relative).path());
        if (QFile::copy(source, target))
            QFile::setPermissions(
                target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return true;
}

} // namespace corvane
