#include "output/ReportWriter.h"

#include "OutputTestData.h"
#include "model/ProjectFile.h"
#include "model/ScanStatistics.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QDateTime kWhen(QDate(2024, 3, 5), QTime(14, 7, 9));

// The report's look, which stored reports and scripts never read: its stylesheet and the element
// around each Linking Site's block.
const QRegularExpression kLook(
    QStringLiteral("<style>.*</style>\r\n|<div class=\"[a-z ]*\">|</div>"),
    QRegularExpression::DotMatchesEverythingOption);

// The report without its look: its markup and texts, as they always were.
QString withoutLook(QString doc)
{
    return doc.remove(kLook);
}

QString styledDocument(const Project& project, qint32 pages = 0)
{
    return ReportWriter::buildDocument(project, pages, kWhen, kEnglish);
}

QString document(const Project& project, qint32 pages = 0, const QLocale& locale = kEnglish)
{
    return withoutLook(ReportWriter::buildDocument(project, pages, kWhen, locale));
}

// The part after the overview: the Main Site sections.
QString sections(const QString& doc)
{
    const QString heading = QStringLiteral("<h1>Main Site Specific Overviews</h1>\r\n");
    return doc.mid(doc.indexOf(heading) + heading.size());
}

const QString kFixedRows = QStringLiteral(
    "<tr><td>Sites with Reciprocal Links:</td><td>0%</td></tr>\r\n"
    "<tr><td>Sites with No Links:</td><td>100%</td></tr>\r\n"
    "<tr><td>Average Pages Scanned Per Site:</td><td>0</td></tr></table><BR><BR>\r\n");

} // namespace

class ReportWriterTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(kEnglish); }

    void emptyProjectGivesZeroTotalsFixedRowsAndNoSections()
    {
        Project project;
        QVERIFY(test::loadOutputFixture(project, QStringLiteral("empty.prj")));
        const QString doc = document(project);
        QVERIFY(doc.contains(QStringLiteral("<tr><td>Total Main Sites:</td><td> 0</td></tr>\r\n")));
        QVERIFY(
            doc.contains(QStringLiteral("<tr><td>Total Linking Sites:</td><td> 0</td></tr>\r\n")));
        QVERIFY(doc.contains(kFixedRows));
        QVERIFY(doc.endsWith(QStringLiteral("<h1>Main Site Specific Overviews</h1>\r\n")));
        QVERIFY(!doc.contains(QStringLiteral("<h3>")));
    }

    void resultsWithoutLinkingOrNoneFoundRowsGiveFixedRows()
    {
        Project project;
        QVERIFY(test::loadOutputFixture(project, QStringLiteral("domain_only.prj")));
        const QString doc = document(project, 12);
        QVERIFY(doc.contains(kFixedRows));
        QVERIFY(doc.contains(QStringLiteral("Total Reciprocal Links:</td><td> 0</td>")));
        QVERIFY(doc.contains(QStringLiteral("Total Non-Linking Sites:</td><td> 0</td>")));
        QVERIFY(doc.contains(QStringLiteral("Total Pages Scanned:</td><td> 12</td>")));
        // Each row still has its block, with the Site line alone.
        QCOMPARE(
            sections(doc),
            QStringLiteral("<h3>mysite.example</h3>\r\n"
                           "Site: <a href='http://partner-one.example'>partner-one.example</a><BR><BR>"
                           "Site: <a href='http://partner-two.example'>partner-two.example</a><BR><BR>"));
    }

    // One Direct row, two "None Found" rows with reasons, a "Missing" row that counts nowhere,
    // a Linking Site whose key differs only in letter case, a Linking Site under two Main Sites.
    void smallReportIsWrittenByteForByte()
    {
        test::Sandbox box;
        Project project;
        QVERIFY(test::loadOutputFixture(project, QStringLiteral("mixed.prj")));
        project.errors().appendEntry(
            {QStringLiteral("Timeout"), QStringLiteral("partner-two.example")});
        ReportWriter writer(project, box.app, *box.settings);
        const ReportWriter::Generation g = writer.generate(9, kWhen, kEnglish);
        QVERIFY(g.failures.isEmpty());
        QCOMPARE(g.tempFile, box.file(QStringLiteral("tempreport.html")));
        const QByteArray expected
            = test::readAll(test::outputFixturePath(QStringLiteral("mixed_report.html")));
        QVERIFY(!expected.isEmpty());
        QCOMPARE(withoutLook(QString::fromLatin1(test::readAll(g.tempFile))).toLatin1(), expected);
    }

    void percentagesAndAverageFollowTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("direct");
        QTest::addColumn<int>("noneFound");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("rows");
        QTest::newRow("one of three, 9 pages")
            << kEnglish << 1 << 2 << 9
            << "<tr><td>Sites with Reciprocal Links:</td><td>33.33%</td></tr>\r\n"
               "<tr><td>Sites with No Links:</td><td>66.67%</td></tr>\r\n"
               "<tr><td>Average Pages Scanned Per Site:</td><td>3.00</td></tr></table><BR><BR>\r\n";
        QTest::newRow("grouping of a large average")
            << kEnglish << 1 << 1 << 2469
            << "<tr><td>Sites with Reciprocal Links:</td><td>50.00%</td></tr>\r\n"
               "<tr><td>Sites with No Links:</td><td>50.00%</td></tr>\r\n"
               "<tr><td>Average Pages Scanned Per Site:</td><td>1,234.50</td></tr></table><BR><BR>\r\n";
        QTest::newRow("German separators")
            << QLocale(QLocale::German, QLocale::Germany) << 2 << 1 << 2469
            << "<tr><td>Sites with Reciprocal Links:</td><td>66,67%</td></tr>\r\n"
               "<tr><td>Sites with No Links:</td><td>33,33%</td></tr>\r\n"
               "<tr><td>Average Pages Scanned Per Site:</td><td>823,00</td></tr></table><BR><BR>\r\n";
        QTest::newRow("all linking, no pages")
            << kEnglish << 3 << 0 << 0
            << "<tr><td>Sites with Reciprocal Links:</td><td>100.00%</td></tr>\r\n"
               "<tr><td>Sites with No Links:</td><td>0.00%</td></tr>\r\n"
               "<tr><td>Average Pages Scanned Per Site:</td><td>0.00</td></tr></table><BR><BR>\r\n";
    }
    void percentagesAndAverageFollowTheLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, direct);
        QFETCH(int, noneFound);
        QFETCH(int, pages);
        QFETCH(QString, rows);
        Project project;
        for (int i = 0; i < direct; ++i)
            project.results().appendEntry(test::result(QStringLiteral("m.example"),
                                                       QStringLiteral("d%1.example").arg(i),
                                                       LinkStatus::Direct));
        for (int i = 0; i < noneFound; ++i)
            project.results().appendEntry(test::result(QStringLiteral("m.example"),
                                                       QStringLiteral("n%1.example").arg(i),
                                                       QStringLiteral("None Found (Skipped)")));
        // Rows that are neither linking nor "None Found" stay out of the divisor.
        project.results().appendEntry(test::result(
            QStringLiteral("m.example"), QStringLiteral("x.example"), LinkStatus::Domain));
        QVERIFY(document(project, pages, locale).contains(rows));
    }

    void countersFollowTheStatusTexts()
    {
        Project project;
        const QStringList statuses
            = {QStringLiteral("Direct Link"),   QStringLiteral("Indirect Link"),
               QStringLiteral("Redirect Link"), QStringLiteral("Redirect Link"),
               QStringLiteral("none found"),    QStringLiteral("None Found (Timeout)"),
               QStringLiteral("direct link"),   QStringLiteral("Missing 001"),
               QStringLiteral("Domain Link")};
        for (const QString& s : statuses)
            project.results().appendEntry(
                test::result(QStringLiteral("m.example"), QStringLiteral("r.example"), s));
        const ReportCounts c = ReportWriter::count(project, 0);
        QCOMPARE(c.direct, 1);
        QCOMPARE(c.indirect, 1);
        QCOMPARE(c.redirect, 2);
        QCOMPARE(c.reciprocal, 4);
        QCOMPARE(c.nonLinking, 2);
        QCOMPARE(c.blocked, 0);
        QVERIFY(!document(project).contains(QStringLiteral("Blocked by Bot Protection")));
    }

    // A partner behind bot protection could not be read: it is neither linking nor non-linking,
    // and stays out of the percentages.
    void blockedPartnersAreCountedApart()
    {
        Project project;
        for (const char* status : {"Direct Link", "None Found", "None Found (Blocked by bot protection)",
                                   "None Found (Blocked by bot protection)"})
            project.results().appendEntry(test::result(
                QStringLiteral("m.example"), QStringLiteral("r.example"), QString::fromLatin1(status)));
        const ReportCounts c = ReportWriter::count(project, 0);
        QCOMPARE(c.nonLinking, 1);
        QCOMPARE(c.blocked, 2);
        // Each blocked partner's page is in the error rows too; those count as blocked, as the
        // scan's summary counts them ("0 errors, 2 blocked"), and a real error still counts.
        project.errors().appendEntry({QStringLiteral("Blocked by bot protection"), QStringLiteral("r.example")});
        project.errors().appendEntry({QStringLiteral("Blocked by bot protection"), QStringLiteral("r.example")});
        QCOMPARE(ReportWriter::count(project, 0).errors, 0);
        project.errors().appendEntry({QStringLiteral("404 Not found"), QStringLiteral("r.example/links.htm")});
        QCOMPARE(ReportWriter::count(project, 0).errors, 1);
        const QString doc = document(project);
        QVERIFY(doc.contains(QStringLiteral("Total Non-Linking Sites:</td><td> 1</td>")));
        QVERIFY(doc.contains(QStringLiteral("Blocked by Bot Protection:</td><td> 2</td>")));
        QVERIFY(doc.contains(QStringLiteral("Total Errors:</td><td> 1</td>")));
        QVERIFY(doc.contains(QStringLiteral("Sites with Reciprocal Links:</td><td>50.00%</td>")));
    }

    // The report says whose it is at the top: the project's file and its Main Sites, the first
    // few by name.
    void headingNamesTheProjectAndItsMainSites_data()
    {
        QTest::addColumn<QString>("projectFile");
        QTest::addColumn<int>("mainSites");
        QTest::addColumn<QString>("heading");
        QTest::newRow("one Main Site")
            << "/home/me/links.prj" << 1 << "<h2>links.prj &ndash; Main Site: m1.example</h2>";
        QTest::newRow("two")
            << "/home/me/links.prj" << 2
            << "<h2>links.prj &ndash; Main Sites: m1.example, m2.example</h2>";
        QTest::newRow("many") << "/home/me/links.prj" << 7
                              << "<h2>links.prj &ndash; Main Sites: m1.example, m2.example, "
                                 "m3.example, m4.example, m5.example and 2 more</h2>";
        QTest::newRow("never saved") << "" << 1 << "<h2>Main Site: m1.example</h2>";
        QTest::newRow("no Main Site") << "/home/me/a&b.prj" << 0 << "<h2>a&amp;b.prj</h2>";
    }
    void headingNamesTheProjectAndItsMainSites()
    {
        QFETCH(QString, projectFile);
        QFETCH(int, mainSites);
        QFETCH(QString, heading);
        Project project;
        for (int k = 1; k <= mainSites; ++k)
            project.mainSites().appendUrl(QStringLiteral("m%1.example").arg(k));
        const QString doc = ReportWriter::buildDocument(project, 0, kWhen, kEnglish, nullptr, projectFile);
        QVERIFY2(doc.contains(QStringLiteral("<H1>Reciprocal Link Report</H1>\r\n") + heading
                              + QStringLiteral("\r\nDate: ")),
                 qPrintable(doc));
    }

    // The file declares the charset it is written in, and a character Windows-1252 has no byte
    // for reaches it as a character reference instead of a "?".
    void charsetMatchesTheBytesWritten()
    {
        test::Sandbox box;
        Project project;
        project.mainSites().appendUrl(QStringLiteral("b\u00fccher.example"));
        project.addList();
        const QString partner = QStringLiteral("\u65e5\u672c.example");
        project.linkingSites(1)->appendSite(test::site(partner));
        ResultEntry row = test::result(QStringLiteral("b\u00fccher.example"), partner, LinkStatus::Direct,
                                       QStringLiteral("\u65e5\u672c.example/\U0001F517.htm"));
        row.notes = QStringLiteral("text \"\u20ac 5\"");
        project.results().appendEntry(row);
        ReportWriter writer(project, box.app, *box.settings);
        const ReportWriter::Generation g = writer.generate(1, kWhen, kEnglish);
        QVERIFY(g.failures.isEmpty());
        const QByteArray bytes = test::readAll(g.tempFile);
        QVERIFY(bytes.startsWith("<html>\r\n<head>\r\n<meta charset=\"windows-1252\">\r\n"));
        QVERIFY(!bytes.contains('?'));
        QVERIFY(bytes.contains("<h3>b\xfc" "cher.example</h3>")); // Windows-1252 has it
        QVERIFY(bytes.contains("&#26085;&#26412;.example"));
        QVERIFY(bytes.contains("/&#128279;.htm")); // one reference for a pair of surrogates
        QVERIFY(bytes.contains("text &quot;\x80 5&quot;")); // the euro sign's own byte
    }

    void blockDependsOnTheStatus_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("look"); // the block's class: its colour in the window
        const QString site = QStringLiteral("Site: <a href='http://p.example'>p.example</a><BR>");
        const QString foundOn
            = QStringLiteral("Found On: <a href='http://p.example/links.htm'>p.example/links.htm</a><BR>");
        QTest::newRow("direct") << "Direct Link"
                                << site + "Status: Direct Link<BR>" + foundOn + "<BR>" << "found";
        QTest::newRow("indirect") << "Indirect Link"
                                  << site + "Status: Indirect Link<BR>" + foundOn + "<BR>" << "found";
        QTest::newRow("redirect") << "Redirect Link"
                                  << site + "Status: Redirect Link<BR>" + foundOn + "<BR>"
                                  << "redirect";
        QTest::newRow("none found with reason")
            << "None Found (Source Protected)"
            << site + "Status: None Found (Source Protected)<BR><BR>" << "none";
        QTest::newRow("none found in capitals")
            << "NONE FOUND" << site + "Status: NONE FOUND<BR><BR>" << "none";
        QTest::newRow("missing: Site line only") << "Missing 002" << site + "<BR>" << "missing";
        QTest::newRow("domain link: Site line only") << "Domain Link" << site + "<BR>" << "found";
        QTest::newRow("lower-case direct is no linking status")
            << "direct link" << site + "<BR>" << "";
    }
    void blockDependsOnTheStatus()
    {
        QFETCH(QString, status);
        QFETCH(QString, block);
        QFETCH(QString, look);
        Project project;
        project.mainSites().appendUrl(QStringLiteral("m.example"));
        project.addList();
        project.linkingSites(1)->appendSite(test::site(QStringLiteral("p.example")));
        project.results().appendEntry(test::result(QStringLiteral("m.example"),
                                                   QStringLiteral("p.example"), status,
                                                   QStringLiteral("p.example/links.htm")));
        QCOMPARE(sections(document(project)), "<h3>m.example</h3>\r\n" + block);
        const QString partner = look.isEmpty() ? QStringLiteral("partner")
                                               : QStringLiteral("partner ") + look;
        QCOMPARE(sections(styledDocument(project)),
                 "<h3>m.example</h3>\r\n<div class=\"" + partner + "\">" + block);
    }

    // The report is one page that opens anywhere and reads well on screen, in the dark and on
    // paper: its look is a stylesheet in its head, with no script and nothing fetched.
    void theLookIsAStylesheetInTheHead()
    {
        Project project;
        QVERIFY(test::loadOutputFixture(project, QStringLiteral("mixed.prj")));
        const QString doc = styledDocument(project, 9);
        const qsizetype style = doc.indexOf(QStringLiteral("<style>"));
        QVERIFY(style > doc.indexOf(QStringLiteral("<title>")));
        QVERIFY(style < doc.indexOf(QStringLiteral("<body>")));
        QCOMPARE(doc.count(QStringLiteral("<style>")), 1);
        for (const char* part : {"sans-serif", "@media (prefers-color-scheme:dark)",
                                 "@media print", ".found{", ".redirect{", ".none,.missing{",
                                 "border-collapse"})
            QVERIFY2(doc.contains(QLatin1String(part)), part);
        for (const char* outside : {"<script", "<link", "@import", "url("})
            QVERIFY2(!doc.contains(QLatin1String(outside), Qt::CaseInsensitive), outside);
        // Each block is closed where the next one or a heading begins; the last is left for the
        // end of the page, so the report ends as it always did. The look adds no line.
        QCOMPARE(doc.count(QStringLiteral("<div ")), 4);
        QCOMPARE(doc.count(QStringLiteral("</div>")), 3);
        QVERIFY(doc.endsWith(QStringLiteral("</a><BR><BR>")));
        QCOMPARE(sections(doc).count(QStringLiteral("\r\n")),
                 sections(document(project, 9)).count(QStringLiteral("\r\n")));
    }

    void linkingSitesMatchRowsByCaseSensitiveDomainKey_data()
    {
        QTest::addColumn<QString>("linkingSite");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<bool>("matches");
        QTest::newRow("same") << "example.com"
                              << "example.com" << true;
        QTest::newRow("www. and path dropped") << "www.example.com/links/"
                                               << "example.com" << true;
        QTest::newRow("scheme in any case dropped") << "HTTPS://example.com"
                                                    << "example.com" << true;
        QTest::newRow("one letter differs in case") << "Example.com"
                                                    << "example.com" << false;
        QTest::newRow("upper-case WWW. is kept") << "WWW.example.com"
                                                 << "example.com" << false;
        QTest::newRow("other host") << "example.org"
                                    << "example.com" << false;
    }
    void linkingSitesMatchRowsByCaseSensitiveDomainKey()
    {
        QFETCH(QString, linkingSite);
        QFETCH(QString, remote);
        QFETCH(bool, matches);
        Project project;
        project.mainSites().appendUrl(QStringLiteral("m.example"));
        project.addList();
        project.linkingSites(1)->appendSite(test::site(linkingSite));
        project.results().appendEntry(
            test::result(QStringLiteral("m.example"), remote, LinkStatus::NoneFound));
        QCOMPARE(sections(document(project)).contains(QStringLiteral("Site: ")), matches);
    }

    void everyMatchingRowGivesABlockWhateverItsMainSite()
    {
        Project project;
        project.mainSites().appendUrl(QStringLiteral("first.example"));
        project.addList();
        project.linkingSites(1)->appendSite(test::site(QStringLiteral("p.example")));
        project.linkingSites(1)->appendSite(test::site(QStringLiteral("unscanned.example")));
        project.results().appendEntry(test::result(QStringLiteral("first.example"),
                                                   QStringLiteral("p.example"),
                                                   QStringLiteral("None Found (a)")));
        project.results().appendEntry(test::result(QStringLiteral("second.example"),
                                                   QStringLiteral("p.example"),
                                                   QStringLiteral("None Found (b)")));
        const QString s = sections(document(project));
        QVERIFY(s.indexOf(QStringLiteral("(a)")) >= 0);
        QVERIFY(s.indexOf(QStringLiteral("(a)")) < s.indexOf(QStringLiteral("(b)")));
        QVERIFY(!s.contains(QStringLiteral("unscanned")));
    }

    // Page URLs and site names come from partner pages and must not become markup of the
    // report the program shows.
    void insertedTextsAreHtmlEscaped()
    {
        Project project;
        project.mainSites().appendUrl(QStringLiteral("<b>me</b>.example"));
        project.addList();
        const QString hostile = QStringLiteral("evil.example'onmouseover='x\"&<script>");
        project.linkingSites(1)->appendSite(test::site(hostile));
        project.results().appendEntry(
            test::result(QStringLiteral("me.example"), hostile, LinkStatus::Direct,
                         QStringLiteral("evil.example/'><img src=x onerror=alert(1)>")));
        const QString doc = document(project);
        QVERIFY(!doc.contains(QStringLiteral("<script>")));
        QVERIFY(!doc.contains(QStringLiteral("<img")));
        QVERIFY(!doc.contains(QStringLiteral("<b>me")));
        QVERIFY(doc.contains(QStringLiteral("<h3>&lt;b&gt;me&lt;/b&gt;.example</h3>")));
        const QString key
            = QStringLiteral("evil.example&#39;onmouseover=&#39;x&quot;&amp;&lt;script&gt;");
        QVERIFY(doc.contains(QStringLiteral("Site: <a href='http://") + key + QStringLiteral("'>")
                             + key + QStringLiteral("</a><BR>")));
        QVERIFY(doc.contains(QStringLiteral(
            "<a href='http://evil.example/&#39;&gt;&lt;img src=x onerror=alert(1)&gt;'>")));
    }

    // Report links lead to web addresses only: a scheme-less value is an http address (a browser
    // would take it for a local file), and a value of any other scheme, as a project file may
    // hold, is shown as text and never becomes a live link.
    void linksLeadOnlyToWebAddresses_data()
    {
        QTest::addColumn<QString>("linkingSite");
        QTest::addColumn<QString>("foundOn");
        QTest::addColumn<QString>("block");
        QTest::newRow("no scheme")
            << "p.example" << "p.example/a|b.html"
            << "Site: <a href='http://p.example'>p.example</a><BR>Status: Direct Link<BR>"
               "Found On: <a href='http://p.example/a|b.html'>p.example/a|b.html</a><BR><BR>";
        QTest::newRow("https site and page")
            << "HTTPS://p.example/" << "https://p.example/links.htm"
            << "Site: <a href='https://p.example'>p.example</a><BR>Status: Direct Link<BR>"
               "Found On: <a href='https://p.example/links.htm'>https://p.example/links.htm</a>"
               "<BR><BR>";
        QTest::newRow("a port is no scheme")
            << "p.example" << "p.example:8080/links.htm"
            << "Site: <a href='http://p.example'>p.example</a><BR>Status: Direct Link<BR>"
               "Found On: <a href='http://p.example:8080/links.htm'>p.example:8080/links.htm</a>"
               "<BR><BR>";
        QTest::newRow("javascript page")
            << "p.example" << "JavaScript:alert('x')"
            << "Site: <a href='http://p.example'>p.example</a><BR>Status: Direct Link<BR>"
               "Found On: JavaScript:alert(&#39;x&#39;)<BR><BR>";
        QTest::newRow("javascript site")
            << "javascript:alert(1)" << "data:text/html,<b>x</b>"
            << "Site: javascript:alert(1)<BR>Status: Direct Link<BR>"
               "Found On: data:text/html,&lt;b&gt;x&lt;/b&gt;<BR><BR>";
        QTest::newRow("empty page") << "p.example" << ""
                                    << "Site: <a href='http://p.example'>p.example</a><BR>"
                                       "Status: Direct Link<BR>Found On: <BR><BR>";
    }
    void linksLeadOnlyToWebAddresses()
    {
        QFETCH(QString, linkingSite);
        QFETCH(QString, foundOn);
        QFETCH(QString, block);
        Project project;
        project.mainSites().appendUrl(QStringLiteral("m.example"));
        project.addList();
        project.linkingSites(1)->appendSite(test::site(linkingSite));
        // The Remote column holds the bare host, which matches the site's domain key.
        const QString remote = linkingSite.startsWith(u'j') ? linkingSite : QStringLiteral("p.example");
        project.results().appendEntry(
            test::result(QStringLiteral("m.example"), remote, LinkStatus::Direct, foundOn));
        QCOMPARE(sections(document(project)), "<h3>m.example</h3>\r\n" + block);
    }

    void projectCopyIsWrittenWhileAProjectIsKnown_data()
    {
        QTest::addColumn<QString>("lastProject");
        QTest::addColumn<QString>("copy");
        QTest::newRow("no project") << ""
                                    << "";
        QTest::newRow("folder of the project plays no part") << "/elsewhere/dir/links.prj"
                                                             << "Project Files/links.html";
        QTest::newRow(".prj in any case") << "/x/Links.PRJ"
                                          << "Project Files/Links.html";
        QTest::newRow("backslash path") << "C:\\sites\\a.prj.prj"
                                        << "Project Files/a.html.html";
    }
    void projectCopyIsWrittenWhileAProjectIsKnown()
    {
        QFETCH(QString, lastProject);
        QFETCH(QString, copy);
        test::Sandbox box;
        box.settings->WriteSetting(QStringLiteral("LastProject"), lastProject);
        Project project;
        QVERIFY(test::loadOutputFixture(project, QStringLiteral("mixed.prj")));
        ReportWriter writer(project, box.app, *box.settings);
        QSignalSpy shown(&writer, &ReportWriter::reportGenerated);
        const ReportWriter::Generation g = writer.generate(9);
        QVERIFY(g.failures.isEmpty());
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.at(0).at(0).toString(), box.file(QStringLiteral("tempreport.html")));
        const QByteArray temp = test::readAll(g.tempFile);
        QVERIFY(temp.endsWith(QByteArrayLiteral("</a><BR><BR>\r\n")));
        if (copy.isEmpty()) {
            QVERIFY(g.projectCopy.isEmpty());
            QCOMPARE(QDir(box.file(QStringLiteral("Project Files"))).entryList(QDir::Files).size(),
                     0);
        } else {
            QCOMPARE(g.projectCopy, box.file(copy));
            QCOMPARE(test::readAll(g.projectCopy), temp);
        }
    }

    // The scan's stop and the project rebuild both regenerate the report, with the pages the
    // statistics counted.
    void regenerationTakesThePagesFromTheStatistics()
    {
        test::Sandbox box;
        Project project;
        ScanStatistics statistics(*box.settings);
        ProjectFile projectFile(project, *box.settings, box.app);
        ReportWriter writer(project, box.app, *box.settings);
        QObject::connect(&projectFile, &ProjectFile::reportRegenerationRequested, &writer,
                         &ReportWriter::regenerate);
        writer.regenerate();
        QVERIFY(
            test::readAll(writer.tempReportPath()).contains("Total Pages Scanned:</td><td> 0<"));
        writer.setStatistics(&statistics);
        statistics.lPagesScanned = 17;
        Q_EMIT projectFile.reportRegenerationRequested();
        QVERIFY(
            test::readAll(writer.tempReportPath()).contains("Total Pages Scanned:</td><td> 17<"));
    }

    void unwritableCopyIsReportedAndTheTempFileStillWritten()
    {
        test::Sandbox box;
        box.settings->WriteSetting(QStringLiteral("LastProject"), QStringLiteral("/x/links.prj"));
        QVERIFY(QDir(box.file(QStringLiteral("Project Files"))).removeRecursively());
        Project project;
        ReportWriter writer(project, box.app, *box.settings);
        const ReportWriter::Generation g = writer.generate(0);
        QCOMPARE(g.failures.size(), 1);
        QVERIFY2(g.failures.at(0).startsWith(QStringLiteral("Error: ")),
                 qPrintable(g.failures.at(0)));
        QVERIFY(g.failures.at(0).contains(QStringLiteral(" - ")));
        QVERIFY(test::readAll(g.tempFile).startsWith("<html>\r\n"));
    }

    void saveReportAsAppliesTheHtmRule_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain name") << "report"
                                    << "report.htm";
        QTest::newRow("upper-case .HTML kept") << "report.HTML"
                                               << "report.HTML";
        QTest::newRow(".htm inside the name") << "a.htm.txt"
                                              << "a.htm.txt";
    }
    void saveReportAsAppliesTheHtmRule()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        test::Sandbox box;
        Project project;
        ReportWriter writer(project, box.app, *box.settings);
        writer.generate(0);
        bool asked = false;
        const WriteOutcome o = writer.saveReportAs(box.file(chosen), [&](const QString&) {
            asked = true;
            return true;
        });
        QVERIFY2(o.written(), qPrintable(o.message));
        QVERIFY(!asked);
        QCOMPARE(o.path, box.file(written));
        QCOMPARE(test::readAll(o.path), test::readAll(writer.tempReportPath()));
    }

    void saveReportAsCopiesTheLastGeneratedReport()
    {
        test::Sandbox box;
        Project project;
        ReportWriter writer(project, box.app, *box.settings);
        writer.generate(0);
        const QByteArray generated = test::readAll(writer.tempReportPath());
        project.results().appendEntry(
            test::result(QStringLiteral("m"), QStringLiteral("r"), LinkStatus::Direct));
        const WriteOutcome o = writer.saveReportAs(box.file(QStringLiteral("r.htm")), {});
        QVERIFY(o.written());
        QCOMPARE(test::readAll(o.path), generated);
    }

    void saveReportAsAsksBeforeReplacingTheChosenFile()
    {
        test::Sandbox box;
        Project project;
        ReportWriter writer(project, box.app, *box.settings);
        writer.generate(0);
        const QString existing = box.file(QStringLiteral("old.htm"));
        QVERIFY(test::writeAll(existing, "old"));

        QString question;
        WriteOutcome o = writer.saveReportAs(existing, [&](const QString& q) {
            question = q;
            return false;
        });
        QCOMPARE(question,
                 QStringLiteral("File already exists.  Are you sure you want to overwrite it?"));
        QCOMPARE(o.status, WriteOutcome::Status::Cancelled);
        QCOMPARE(test::readAll(existing), QByteArray("old"));

        o = writer.saveReportAs(existing, [](const QString&) { return true; });
        QVERIFY(o.written());
        QCOMPARE(test::readAll(existing), test::readAll(writer.tempReportPath()));
    }

    void saveReportAsChecksTheNameBeforeTheExtensionIsAdded()
    {
        test::Sandbox box;
        Project project;
        ReportWriter writer(project, box.app, *box.settings);
        writer.generate(0);
        const QString withHtm = box.file(QStringLiteral("report.htm"));
        QVERIFY(test::writeAll(withHtm, "old"));
        bool asked = false;
        WriteOutcome o
            = writer.saveReportAs(box.file(QStringLiteral("report")), [&](const QString&) {
                  asked = true;
                  return true;
              });
        QVERIFY(!asked);
        QVERIFY(o.written());
        QCOMPARE(test::readAll(withHtm), test::readAll(writer.tempReportPath()));

        // The file of the bare name the user agreed to replace goes; the report lands in .htm.
        const QString bare = box.file(QStringLiteral("notes"));
        QVERIFY(test::writeAll(bare, "x"));
        o = writer.saveReportAs(bare, [&](const QString&) {
            asked = true;
            return true;
        });
        QVERIFY(asked);
        QVERIFY(o.written());
        QVERIFY(!QFile::exists(bare));
        QVERIFY(QFile::exists(bare + QStringLiteral(".htm")));
    }

    void saveReportAsCancelledNamesDoNothing_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("empty") << "";
        QTest::newRow("single space") << " ";
    }
    void saveReportAsCancelledNamesDoNothing()
    {
        QFETCH(QString, chosen);
        test::Sandbox box;
        Project project;
        ReportWriter writer(project, box.app, *box.settings);
        writer.generate(0);
        const WriteOutcome o = writer.saveReportAs(chosen, {});
        QCOMPARE(o.status, WriteOutcome::Status::Cancelled);
        QVERIFY(o.message.isEmpty());
    }

    // Nothing generated yet in this application folder: the copy fails, the user is told, and
    // the file that was there stays as it was.
    void failedSaveReportAsIsReportedAndKeepsThePreviousFile()
    {
        test::Sandbox box;
        Project project;
        ReportWriter writer(project, box.app, *box.settings);
        const QString existing = box.file(QStringLiteral("keep.htm"));
        QVERIFY(test::writeAll(existing, "previous"));
        const WriteOutcome o = writer.saveReportAs(existing, [](const QString&) { return true; });
        QCOMPARE(o.status, WriteOutcome::Status::Failed);
        QVERIFY2(o.message.startsWith(QStringLiteral("Error: 5 - ")), qPrintable(o.message));
        QCOMPARE(test::readAll(existing), QByteArray("previous"));

        writer.generate(0);
        const WriteOutcome bad
            = writer.saveReportAs(box.file(QStringLiteral("no/such/folder/r.htm")), {});
        QCOMPARE(bad.status, WriteOutcome::Status::Failed);
        QVERIFY2(bad.message.startsWith(QStringLiteral("Error: ")), qPrintable(bad.message));
    }
};

CORVANE_TEST_CLASS(ReportWriterTest);
#include "ReportWriterTest.moc"
