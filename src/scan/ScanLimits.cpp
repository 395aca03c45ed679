#include "scan/ScanLimits.h"

#include "model/SettingKeys.h"
#include "model/SettingsStore.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace corvane::ScanLimits {

namespace {

constexpr qint32 kPageLimits[]
    = {1, 10, 50, 100, 500, 1000, 5000, 10000, 20000, 50000, 100000, 200000, 500000};

} // namespace

qint32 pageLimitFor(int index)
{
    if (index < 0 || index >= int(std::size(kPageLimits)))
        return -1;
    return kPageLimits[index];
}

qint16 expectedLinks(const QString& field)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok, 10);
    if (!ok || value < std::numeric_limits<qint16>::min()
        || value > std::numeric_limits<qint16>::max())
        return 1;
    return qint16(value);
}

qint16 readTimeout(const SettingsStore& settings)
{
    return qint16(std::clamp(settings.readInt(SettingKey::txtTimeout),
                             int(std::numeric_limits<qint16>::min()),
                             int(std::numeric_limits<qint16>::max())));
}

int parallelSites(const SettingsStore& settings)
{
    return std::clamp(settings.readInt(SettingKey::ParallelSites), 1, kMaxParallelSites);
}

} // namespace corvane::ScanLimits
