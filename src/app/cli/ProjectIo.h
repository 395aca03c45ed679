#pragma once

#include <QString>

namespace corvane {
class Project;
}

namespace corvane::cli {

// Reads the whole project file into the (new) project; false with the reason when it cannot be
// read completely: a command that went on with part of a project would report on part of it, or
// save it back without what could not be read.
bool loadProjectFile(Project& project, const QString& path, QString* error);
// Writes the project through a temporary file, so a failed save keeps the old project file.
bool saveProjectFile(const Project& project, const QString& path, QString* error);

} // namespace corvane::cli
