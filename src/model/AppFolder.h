#pragma once

#include <QString>

namespace corvane {

// The application folder holds everything the program names: filetypes.txt, sounds/, Help.html,
// the page copies, rules.log, tempreport.html, quicksave.qsv, "Project Files/" and "projects/".
class AppFolder
{
public:
    AppFolder() = default;
    explicit AppFolder(QString path) : m_path(std::move(path)) {}

    // In order: the explicit folder (the --app-dir option), the CORVANE_APP_DIR environment
    // variable, the executable's folder when it holds filetypes.txt (the build tree and portable
    // copies), else the per-user data folder. The chosen folder is created and any shipped file
    // it lacks is copied into it.
    static AppFolder locate(const QString& explicitFolder = {});

    const QString& path() const { return m_path; }
    // A file or folder inside the application folder, given with "/" separators.
    QString file(const QString& relative) const;

    // Copies every shipped file (filetypes.txt, sounds, Help.html) the folder lacks into it and
    // creates "Project Files/" and "projects/". The files come from the installed data folder
    // when there is one (an administrator may have adapted them), else from the copies built
    // into the program. Returns false when the folder cannot be created.
    bool seed() const;

    // The shipped data of an installed program (PREFIX/share/corvane beside PREFIX/bin), or an
    // empty text when the program does not run from an installation.
    static QString installedDataFolder();

private:
    QString m_path;
};

} // namespace corvane
