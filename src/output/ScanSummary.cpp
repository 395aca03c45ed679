#include "output/ScanSummary.h"

#include "model/Project.h"
#include "scan/ScanController.h"
#include "web/UrlTools.h"

namespace corvane {

namespace {

QString counted(int n, const char* one, const char* many)
{
    return QString::number(n) + u' ' + QLatin1String(n == 1 ? one : many);
}

} // namespace

namespace ScanSummary {

QString duration(qint64 milliseconds)
{
    if (milliseconds < 10000)
        return QString::number(double(milliseconds) / 1000.0, 'f', 1) + QStringLiteral(" s");
    const qint64 seconds = (milliseconds + 500) / 1000;
    if (seconds < 120)
        return QString::number(seconds) + QStringLiteral(" s");
    return QString::number(seconds / 60) + QStringLiteral(" min ") + QString::number(seconds % 60)
           + QStringLiteral(" s");
}

QString line(const QList<PartnerOutcome>& finished, int partners, int pages, qint64 milliseconds)
{
    int counts[PartnerOutcome::kVerdictCount] = {};
    int noValueLinks = 0;
    for (const PartnerOutcome& p : finished) {
        ++counts[int(p.verdict)];
        noValueLinks += p.noValueLinks();
    }
    const int notChecked = partners - int(finished.size())
                           + counts[int(PartnerOutcome::Verdict::NotChecked)];
    QString text = counted(partners, "partner", "partners") + QStringLiteral(": ")
                   + QString::number(counts[int(PartnerOutcome::Verdict::LinksBack)])
                   + QStringLiteral(" link back, ")
                   + QString::number(counts[int(PartnerOutcome::Verdict::Missing)])
                   + QStringLiteral(" missing, ")
                   + counted(counts[int(PartnerOutcome::Verdict::Error)], "error", "errors");
    if (const int blocked = counts[int(PartnerOutcome::Verdict::Blocked)]; blocked > 0)
        text += QStringLiteral(", ") + QString::number(blocked) + QStringLiteral(" blocked");
    if (notChecked > 0)
        text += QStringLiteral(", ") + QString::number(notChecked) + QStringLiteral(" not checked");
    if (noValueLinks > 0)
        text += QStringLiteral("; ") + counted(noValueLinks, "link", "links")
                + (noValueLinks == 1 ? QStringLiteral(" passes") : QStringLiteral(" pass"))
                + QStringLiteral(" no value (nofollow, sponsored, ugc, noindex, robots.txt, "
                                 "canonical)");
    text += QStringLiteral("; ") + counted(pages, "page", "pages") + QStringLiteral(" in ")
            + duration(milliseconds);
    return text;
}

} // namespace ScanSummary

ScanTally::ScanTally(const Project& project, ScanController& scan, QObject* parent)
    : QObject(parent), m_project(project)
{
    connect(&scan, &ScanController::scanStarted, this, &ScanTally::onStarted);
    connect(&scan, &ScanController::pageStarted, this, [this] { ++m_pages; });
    connect(&scan, &ScanController::linkingSiteFinished, this, &ScanTally::onSiteFinished);
    connect(&scan, &ScanController::scanStopped, this, [this] {
        m_ms = m_clock.isValid() ? m_clock.elapsed() : 0;
        m_clock.invalidate();
        Q_EMIT scanSummarised(summary());
    });
}

void ScanTally::onStarted()
{
    // The Linking Sites of the scan, as the controller plans them from the scan type.
    const ScanState& st = m_project.state();
    m_partners = 0;
    if (st.iScanType == ScanController::SelectedLinkingSite) {
        m_partners = 1;
    } else {
        const int last = st.iScanType == ScanController::SelectedMainSite ? st.iCurrentMain : m_project.mainSiteCount();
        for (int k = st.iCurrentMain; k <= last; ++k) {
            if (const LinkingSiteList* list = m_project.linkingSites(k))
                m_partners += list->count();
        }
    }
    m_finished.clear();
    m_pages = 0;
    m_nextRow = m_project.results().count();
    m_ms = 0;
    m_clock.start();
}

void ScanTally::onSiteFinished(int mainSite, int row)
{
    PartnerOutcome p;
    p.main = UrlTools::NormalizeMainSite(m_project.mainSiteUrl(mainSite));
    if (const LinkingSiteList* list = m_project.linkingSites(mainSite);
        list && row >= 1 && row <= list->count())
        p.linkingSite = list->url(row - 1);
    p.mainPosition = mainSite;
    p.row = row;
    const ResultList& results = m_project.results();
    for (int i = m_nextRow; i < results.count(); ++i)
        p.rows.append(results.entry(i));
    m_nextRow = results.count();
    p.verdict = PartnerVerdict::of(p.rows);
    m_finished.append(p);
}

QString ScanTally::summary() const
{
    const qint64 ms = m_clock.isValid() ? m_clock.elapsed() : m_ms;
    return ScanSummary::line(m_finished, m_partners, m_pages, ms);
}

} // namespace corvane
