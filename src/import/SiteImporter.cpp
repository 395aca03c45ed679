#include "import/SiteImporter.h"

#include "model/AppFolder.h"
#include "model/Project.h"
#include "model/Windows1252.h"
#include "web/TextSearch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace corvane::SiteImporter {

namespace {

ImportOutcome failed(const QString& error)
{
    ImportOutcome outcome;
    outcome.ok = false;
    outcome.error = error;
    return outcome;
}

// An import that appended something leaves the project unsaved, so that closing the program
// offers to save the imported sites instead of dropping them silently.
void markChanged(Project& project, int added)
{
    if (added > 0)
        project.state().bProjectSaved = false;
}

} // namespace

QString fileDialogFolder(const AppFolder& app)
{
    return app.file(QStringLiteral("Project Files"));
}

QStringList splitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start).toString());
        if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(text.mid(start).toString());
    return lines;
}

bool isSkippedLine(const QString& line)
{
    return line.isEmpty() || line == QStringLiteral(" ");
}

bool readTextFile(const QString& path, QStringList* lines, QString* error)
{
    QFile file(path);
    const QString shown = QDir::toNativeSeparators(path);
    // QFile opens a directory on this platform and then reads nothing: say what it is instead.
    if (QFileInfo(path).isDir()) {
        if (error)
            *error
                = QStringLiteral("Cannot open \"") + shown + QStringLiteral("\": it is a folder");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open \"") + shown + QStringLiteral("\": ")
                + file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("Cannot read \"") + shown + QStringLiteral("\": ")
                + file.errorString();
        return false;
    }
    *lines = splitLines(Windows1252::decode(Windows1252::withoutByteOrderMark(bytes)));
    return true;
}

LinkingSite linkingSiteFromLine(const QString& line)
{
    LinkingSite site;
    const qsizetype bar = line.indexOf(u'|');
    if (bar < 0) {
        site.url = TextSearch::trimBlanks(line).toString();
        site.expected = QStringLiteral("1");
        return site;
    }
    site.url = TextSearch::trimBlanks(line.left(bar)).toString();
    const qsizetype next = line.indexOf(u'|', bar + 1);
    site.expected = next < 0 ? line.mid(bar + 1) : line.mid(bar + 1, next - bar - 1);
    return site;
}

namespace {

// Every line of the file that is not skipped, handed to add; the status counts them.
ImportOutcome importLines(Project& project, const QString& path, const QString& unit,
                          const std::function<void(const QString&)>& add)
{
    QStringList lines;
    QString error;
    if (!readTextFile(path, &lines, &error))
        return failed(error);

    ImportOutcome outcome;
    for (const QString& line : std::as_const(lines)) {
        if (isSkippedLine(line))
            continue;
        add(line);
        ++outcome.added;
    }
    markChanged(project, outcome.added);
    outcome.status = QStringLiteral("Added ") + QString::number(outcome.added) + unit;
    return outcome;
}

} // namespace

ImportOutcome importLinkingSites(Project& project, int k, const QString& path)
{
    LinkingSiteList* list = k >= 1 ? project.linkingSites(k) : nullptr;
    if (!list)
        return failed(QStringLiteral("No Main Site is selected to import Linking Sites into."));
    return importLines(project, path, QStringLiteral(" link(s)"), [list](const QString& line) {
        list->appendSite(linkingSiteFromLine(line));
    });
}

ImportOutcome importLinkingSites(Project& project, const QString& path)
{
    return importLinkingSites(project, project.state().iCurrentMain, path);
}

ImportOutcome importMainSites(Project& project, const QString& path)
{
    return importLines(project, path, QStringLiteral(" site(s)"), [&project](const QString& line) {
        project.mainSites().appendUrl(line);
        project.addList();
    });
}

int addLinkingSites(Project& project, const QStringList& urls)
{
    LinkingSiteList* list = project.state().iCurrentMain >= 1
        ? project.linkingSites(project.state().iCurrentMain)
        : nullptr;
    if (!list)
        return 0;
    int added = 0;
    for (const QString& url : urls) {
        if (isSkippedLine(url))
            continue;
        LinkingSite site;
        site.url = url;
        site.expected = QStringLiteral("1");
        list->appendSite(site);
        ++added;
    }
    markChanged(project, added);
    return added;
}

} // namespace corvane::SiteImporter
