#include "app/cli/ScanProgress.h"

#include "model/Project.h"
#include "output/ScanSummary.h"
#include "scan/ScanController.h"
#include "web/UrlTools.h"

#include <algorithm>

namespace corvane::cli {

namespace {

constexpr qint64 kDrawIntervalMs = 100;

quint64 keyOf(int mainSite, int row)
{
    return (quint64(quint32(mainSite)) << 32) | quint32(row);
}

QString counted(int n, const char* one, const char* many)
{
    return QString::number(n) + u' ' + QLatin1String(n == 1 ? one : many);
}

} // namespace

ScanProgress::ScanProgress(const Project& project, ScanController& scan, Environment& env,
                           bool quiet)
    : m_project(project), m_env(env), m_quiet(quiet), m_live(env.errIsTerminal && !quiet)
{
    for (int k = 1; k <= project.mainSiteCount(); ++k) {
        if (const LinkingSiteList* list = project.linkingSites(k))
            m_total += list->count();
    }
    connect(&scan, &ScanController::linkingSiteSelected, this, &ScanProgress::onSiteSelected);
    connect(&scan, &ScanController::linkingSiteStarted, this, &ScanProgress::onSiteStarted);
    connect(&scan, &ScanController::pageStarted, this,
            [this](int mainSite, int row) { onPageStarted(mainSite, row); });
    connect(&scan, &ScanController::linkingSiteScanned, this, &ScanProgress::onSiteScanned);
    connect(&scan, &ScanController::linkingSiteFinished, this, &ScanProgress::onSiteFinished);
    connect(&scan, &ScanController::sitesInProgressChanged, this,
            [this](const QStringList& sites) {
                m_alsoInProgress = sites.mid(1);
                redraw();
            });
    connect(&scan, &ScanController::statusChanged, this, &ScanProgress::onIdle);
    m_drawTimer.setSingleShot(true);
    connect(&m_drawTimer, &QTimer::timeout, this, &ScanProgress::redraw);
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &ScanProgress::redraw);
}

ScanProgress::~ScanProgress() = default;

QString ScanProgress::duration(qint64 milliseconds)
{
    return ScanSummary::duration(milliseconds);
}

void ScanProgress::onSiteStarted(int mainSite, int row)
{
    if (!m_sinceStart.isValid()) {
        m_sinceStart.start();
        if (m_live)
            m_clock.start();
    }
    SiteClock& clock = m_clocks[keyOf(mainSite, row)];
    clock.startMs = m_sinceStart.elapsed();
}

void ScanProgress::onSiteScanned(int mainSite, int row)
{
    const auto it = m_clocks.find(keyOf(mainSite, row));
    if (it != m_clocks.end())
        it->endMs = m_sinceStart.elapsed();
}

void ScanProgress::onSiteSelected(int mainSite, int row)
{
    if (!m_sinceStart.isValid()) {
        m_sinceStart.start();
        if (m_live)
            m_clock.start();
    }
    if (m_project.mainSiteCount() > 1 && mainSite != m_lastMainShown && !m_quiet) {
        printLine(QStringLiteral("Main Site ") + QString::number(mainSite) + QStringLiteral(" of ")
                  + QString::number(m_project.mainSiteCount()) + QStringLiteral(": ")
                  + m_project.mainSiteUrl(mainSite));
    }
    m_lastMainShown = mainSite;
    m_current = PartnerOutcome();
    m_current.main = UrlTools::NormalizeMainSite(m_project.mainSiteUrl(mainSite));
    const LinkingSiteList* list = m_project.linkingSites(mainSite);
    if (list && row >= 1 && row <= list->count())
        m_current.linkingSite = list->url(row - 1);
    m_current.mainPosition = mainSite;
    m_current.row = row;
    m_current.pages = m_clocks.value(keyOf(mainSite, row)).pages;
    m_firstRow = m_project.results().count();
    m_inProgress = true;
    m_waiting.clear();
}

void ScanProgress::onPageStarted(int mainSite, int row)
{
    ++m_pages;
    ++m_clocks[keyOf(mainSite, row)].pages;
    if (m_inProgress && mainSite == m_current.mainPosition && row == m_current.row) {
        ++m_current.pages;
        m_waiting.clear();
    }
    redraw();
}

void ScanProgress::onIdle(int panel, const QString& text)
{
    // Panel 4 counts the seconds the server has kept silent.
    if (panel != 4 || !m_inProgress)
        return;
    m_waiting = text;
    redraw();
}

void ScanProgress::onSiteFinished(int mainSite, int row)
{
    if (!m_inProgress || mainSite != m_current.mainPosition || row != m_current.row)
        return;
    m_inProgress = false;
    const ResultList& results = m_project.results();
    for (int i = m_firstRow; i < results.count(); ++i)
        m_current.rows.append(results.entry(i));
    m_current.verdict = PartnerVerdict::of(m_current.rows);
    const qint64 ms = siteMs(mainSite, row);
    m_current.seconds = double(ms) / 1000.0;
    m_finished.insert(keyOf(mainSite, row), m_current);
    if (m_quiet)
        return;
    const QString verdict = m_current.statuses().join(QStringLiteral(", "));
    printLine(u'[' + QString::number(m_finished.size()) + u'/' + QString::number(m_total)
              + QStringLiteral("] ") + m_current.linkingSite + QStringLiteral(": ")
              + coloured(verdict, m_current.verdict) + QStringLiteral(" (")
              + counted(m_current.pages, "page", "pages") + QStringLiteral(", ") + duration(ms)
              + u')');
}

QString ScanProgress::coloured(const QString& text, PartnerOutcome::Verdict verdict) const
{
    if (!m_env.colour)
        return text;
    const char* code = nullptr;
    switch (verdict) {
    case PartnerOutcome::Verdict::LinksBack:
        code = "\x1b[32m";
        break;
    case PartnerOutcome::Verdict::Missing:
        code = "\x1b[33m";
        break;
    case PartnerOutcome::Verdict::Error:
        code = "\x1b[31m";
        break;
    case PartnerOutcome::Verdict::Blocked:
        code = "\x1b[35m";
        break;
    case PartnerOutcome::Verdict::NotChecked:
        return text;
    }
    return QLatin1String(code) + text + QStringLiteral("\x1b[0m");
}

void ScanProgress::printLine(const QString& line)
{
    if (m_liveShown)
        m_env.err << "\r\x1b[K";
    m_env.err << line << '\n';
    m_liveShown = false;
    m_env.err.flush();
    if (m_live && m_inProgress) {
        // The live line comes back under it at once.
        m_sinceDraw.invalidate();
        redraw();
    }
}

void ScanProgress::redraw()
{
    if (!m_live || !m_inProgress)
        return;
    if (m_sinceDraw.isValid() && !m_sinceDraw.hasExpired(kDrawIntervalMs)) {
        if (!m_drawTimer.isActive())
            m_drawTimer.start(int(kDrawIntervalMs - m_sinceDraw.elapsed()));
        return;
    }
    m_drawTimer.stop();
    const ScanState& st = m_project.state();
    QString line = u'[' + QString::number(m_finished.size() + 1) + u'/' + QString::number(m_total)
                   + QStringLiteral("] ") + m_current.linkingSite;
    if (m_current.pages > 0)
        line += QStringLiteral("  page ") + QString::number(st.lPagesTaken) + QStringLiteral(" of ")
                + QString::number(st.lPagesKnown + 1);
    line += QStringLiteral("  ") + counted(m_pages, "page", "pages") + QStringLiteral(" so far, ")
            + duration(elapsedMs());
    if (!m_waiting.isEmpty())
        line += QStringLiteral("  no answer: ") + m_waiting;
    // Several at once: the one shown is the one the scan's outcomes wait for.
    if (!m_alsoInProgress.isEmpty())
        line += QStringLiteral("  (also ") + QString::number(m_alsoInProgress.size())
                + QStringLiteral(" more: ") + m_alsoInProgress.join(QStringLiteral(", ")) + u')';
    if (m_env.colour)
        line = QStringLiteral("\x1b[2m") + line + QStringLiteral("\x1b[0m");
    m_env.err << "\r\x1b[K" << line;
    m_env.err.flush();
    m_liveShown = true;
    m_sinceDraw.start();
}

qint64 ScanProgress::siteMs(int mainSite, int row) const
{
    const SiteClock clock = m_clocks.value(keyOf(mainSite, row));
    const qint64 end = clock.endMs >= 0 ? clock.endMs : elapsedMs();
    return std::max<qint64>(0, end - clock.startMs);
}

qint64 ScanProgress::elapsedMs() const
{
    if (m_endMs >= 0)
        return m_endMs;
    return m_sinceStart.isValid() ? m_sinceStart.elapsed() : 0;
}

void ScanProgress::finish()
{
    m_endMs = m_sinceStart.isValid() ? m_sinceStart.elapsed() : 0;
    m_drawTimer.stop();
    m_clock.stop();
    if (m_liveShown) {
        m_env.err << "\r\x1b[K";
        m_env.err.flush();
    }
    m_liveShown = false;
    m_live = false;
}

QList<PartnerOutcome> ScanProgress::outcomes() const
{
    QList<PartnerOutcome> all;
    for (int k = 1; k <= m_project.mainSiteCount(); ++k) {
        const LinkingSiteList* list = m_project.linkingSites(k);
        for (int row = 1; list && row <= list->count(); ++row) {
            const auto it = m_finished.constFind(keyOf(k, row));
            if (it != m_finished.cend()) {
                all.append(*it);
                continue;
            }
            PartnerOutcome p;
            if (m_inProgress && m_current.mainPosition == k && m_current.row == row) {
                p = m_current;
                const ResultList& results = m_project.results();
                for (int i = m_firstRow; i < results.count(); ++i)
                    p.rows.append(results.entry(i));
                p.seconds = double(siteMs(k, row)) / 1000.0;
            } else {
                p.main = UrlTools::NormalizeMainSite(m_project.mainSiteUrl(k));
                p.linkingSite = list->url(row - 1);
                p.mainPosition = k;
                p.row = row;
            }
            p.verdict = PartnerOutcome::Verdict::NotChecked;
            all.append(p);
        }
    }
    return all;
}

QString ScanProgress::summary() const
{
    return ScanSummary::line(m_finished.values(), m_total, m_pages, elapsedMs());
}

} // namespace corvane::cli
