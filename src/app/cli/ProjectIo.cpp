#include "app/cli/ProjectIo.h"

#include "model/Project.h"
#include "model/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace corvane::cli {

bool loadProjectFile(Project& project, const QString& path, QString* error)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open \"") + shown + QStringLiteral("\": ")
                 + file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    ProjectFile::clearProject(project);
    const ReadOutcome read = ProjectFile::deserialize(project, bytes);
    if (!read.complete) {
        *error = QStringLiteral("line ") + QString::number(read.failedLine)
                 + QStringLiteral(" of \"") + shown + QStringLiteral("\" could not be read");
        return false;
    }
    return true;
}

bool saveProjectFile(const Project& project, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = ProjectFile::serialize(project);
        if (file.write(bytes) == bytes.size() && file.commit())
            return true;
    }
    *error = QStringLiteral("cannot save \"") + QDir::toNativeSeparators(path)
             + QStringLiteral("\": ") + file.errorString();
    return false;
}

} // namespace corvane::cli
