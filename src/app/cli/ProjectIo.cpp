#include "app/cli/ProjectIo.h"

#include "model/FileWrite.h"
#include "model/Project.h"
#include "model/ProjectFile.h"

#include <QDir>
#include <QFile>

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
    const ReadOutcome read = ProjectFormat::deserialize(project, bytes);
    if (!read.complete) {
        *error = QStringLiteral("line ") + QString::number(read.failedLine)
                 + QStringLiteral(" of \"") + shown + QStringLiteral("\" could not be read");
        return false;
    }
    return true;
}

bool saveProjectFile(const Project& project, const QString& path, QString* error)
{
    const std::optional<FileWriteError> failed
        = FileWrite::replace(path, ProjectFormat::serialize(project));
    if (!failed)
        return true;
    *error = QStringLiteral("cannot save \"") + QDir::toNativeSeparators(path)
             + QStringLiteral("\": ") + failed->reason
             + QStringLiteral("; the file was left as it was");
    return false;
}

} // namespace corvane::cli
