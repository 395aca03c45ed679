// Site import timings: a Linking Site file and a Main Site file of 10,000 lines each imported
// into a project, beside the bare cost of reading and splitting the same file (the limit), and
// the Get Links text work on a link page and a script output of 10,000 links each, and on the
// link page read as script output (markup removal with many different tags).
// Prints milliseconds (best of a few runs) and the ratio to the limit.
// Usage: import_bench [lines]   (default 10000)
#include "import/LinkExtraction.h"
#include "import/SiteImporter.h"
#include "model/Project.h"
#include "model/Windows1252.h"

#include "BestTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace corvane;

namespace {

constexpr int kRuns = 5;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "import_bench: no temporary folder\n");
        return 1;
    }

    // Every third line carries a "#" field, every fiftieth is blank, line ends vary as in real
    // files.
    QByteArray file;
    QByteArray page = "<html><body>\r\n";
    QByteArray script;
    for (int i = 0; i < lines; ++i) {
        const QByteArray host = "www.partner" + QByteArray::number(i) + ".example.com";
        if (i % 50 == 0)
            file += " ";
        else
            file += host + "/links.htm" + (i % 3 == 0 ? "|2" : "");
        file += i % 7 == 0 ? "\n" : "\r\n";
        page += "<li><a href=\"http://" + host + "/\">Partner " + QByteArray::number(i)
            + "</a> <a href=\"/own" + QByteArray::number(i) + ".htm\">own</a></li>\r\n";
        script += host + (i + 1 < lines ? "," : "");
    }
    page += "</body></html>\r\n";
    const QString path = dir.filePath(QStringLiteral("sites.txt"));
    if (!writeFile(path, file)) {
        std::fprintf(stderr, "import_bench: cannot write %s\n", qPrintable(path));
        return 1;
    }

    int sink = 0;
    const double limit = bench::bestMs(kRuns, [&] {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            sink += int(SiteImporter::splitLines(Windows1252::decode(f.readAll())).size());
    });
    const double linking = bench::bestMs(kRuns, [&] {
        Project project;
        project.mainSites().appendUrl(QStringLiteral("mysite.example.com"));
        project.addList();
        project.state().iCurrentMain = 1;
        sink += SiteImporter::importLinkingSites(project, path).added;
    });
    const double mainSites = bench::bestMs(kRuns, [&] {
        Project project;
        sink += SiteImporter::importMainSites(project, path).added;
    });
    const QString pageText = Windows1252::decode(page);
    const double linkPage = bench::bestMs(kRuns, [&] {
        sink += int(LinkExtraction::linkPageEntries(
                        pageText, QStringLiteral("http://www.mysite.example.com/links.htm"))
                        .size());
    });
    const QString scriptText = Windows1252::decode(script);
    const double scriptOut = bench::bestMs(kRuns, [&] {
        sink += int(LinkExtraction::scriptEntries(scriptText, QStringLiteral(",")).size());
    });
    // The link page given where the script's plain list belongs: every tag is removed, most of
    // them different from each other.
    const double scriptPage = bench::bestMs(kRuns, [&] {
        sink += int(LinkExtraction::scriptEntries(pageText, QStringLiteral(",")).size());
    });

    std::printf("site import, %d lines (best of %d runs)\n", lines, kRuns);
    std::printf("  read and split the file (limit)   %9.2f ms\n", limit);
    std::printf("  Linking Sites from the file       %9.2f ms  (%.1f x limit)\n", linking,
                linking / limit);
    std::printf("  Main Sites from the file          %9.2f ms  (%.1f x limit)\n", mainSites,
                mainSites / limit);
    std::printf("  link page, %d outgoing links  %9.2f ms\n", lines, linkPage);
    std::printf("  script output, %d domains     %9.2f ms\n", lines, scriptOut);
    std::printf("  script output that is the link page %9.2f ms\n", scriptPage);
    std::printf("  (checksum %d)\n", sink);
    return 0;
}
