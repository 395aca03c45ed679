#include "model/ScanStatistics.h"

#include "model/SettingKeys.h"
#include "model/SettingsStore.h"

#include <algorithm>
#include <limits>

namespace corvane {

namespace {

const QString kHistPages = SettingKey::lHistWebScanned;
const QString kHistLinks = SettingKey::lHistEmailFound;
constexpr qint32 kMax = std::numeric_limits<qint32>::max();

// A stored historical count. Text that is not a whole number (a hand-edited or damaged settings
// file) starts the count from 0; a count beyond the counter's range stays at its largest value.
qint32 storedCount(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 v = t.toLongLong(&ok);
    if (ok)
        return v < 0 ? 0 : v > kMax ? kMax : qint32(v);
    const QStringView digits = QStringView(t).startsWith(u'+') ? QStringView(t).mid(1)
                                                               : QStringView(t);
    const bool allDigits = !digits.isEmpty()
        && std::all_of(digits.begin(), digits.end(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; });
    return allDigits ? kMax : 0;
}

// Counters stop at their largest value instead of wrapping to negative numbers.
void addCapped(qint32& counter, qint32 count)
{
    if (count > 0)
        counter = count > kMax - counter ? kMax : counter + count;
}

void increment(qint32& counter)
{
    addCapped(counter, 1);
}

} // namespace

ScanStatistics::ScanStatistics(SettingsStore& settings, QObject* parent)
    : QObject(parent), m_settings(&settings)
{
    lHistPagesScanned = storedCount(m_settings->ReadSetting(kHistPages, QStringLiteral("0")));
    lHistLinksFound = storedCount(m_settings->ReadSetting(kHistLinks, QStringLiteral("0")));
}

ScanStatistics::ScanStatistics(QObject* parent) : QObject(parent) {}

void ScanStatistics::CountScanEvent(int kind)
{
    switch (kind) {
    case PageRequested:
        increment(lPagesScanned);
        increment(lHistPagesScanned);
        if (m_settings)
            m_settings->WriteSetting(kHistPages, QString::number(lHistPagesScanned));
        break;
    case PageQueued:
        increment(lPagesFound);
        break;
    case LinkRecorded:
        increment(lLinksFound);
        increment(lHistLinksFound);
        if (m_settings)
            m_settings->WriteSetting(kHistLinks, QString::number(lHistLinksFound));
        break;
    case MainSiteScanned:
        increment(lMainSitesScanned);
        break;
    case LinkingSiteScanned:
        increment(lLinkingSitesScanned);
        break;
    default:
        break;
    }
    Q_EMIT statisticsChanged();
}

void ScanStatistics::CountPagesQueued(qint32 count)
{
    if (count <= 0)
        return;
    addCapped(lPagesFound, count);
    Q_EMIT statisticsChanged();
}

void ScanStatistics::add(qint32 pagesScanned, qint32 pagesFound, qint32 linksFound)
{
    addCapped(lPagesScanned, pagesScanned);
    addCapped(lHistPagesScanned, pagesScanned);
    addCapped(lPagesFound, pagesFound);
    addCapped(lLinksFound, linksFound);
    addCapped(lHistLinksFound, linksFound);
    if (m_settings && pagesScanned > 0)
        m_settings->WriteSetting(kHistPages, QString::number(lHistPagesScanned));
    if (m_settings && linksFound > 0)
        m_settings->WriteSetting(kHistLinks, QString::number(lHistLinksFound));
    if (pagesScanned > 0 || pagesFound > 0 || linksFound > 0)
        Q_EMIT statisticsChanged();
}

void ScanStatistics::resetRun()
{
    lMainSitesScanned = 0;
    lLinkingSitesScanned = 0;
    lPagesScanned = 0;
    lPagesFound = 0;
    lLinksFound = 0;
}

} // namespace corvane
