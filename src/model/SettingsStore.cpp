#include "model/SettingsStore.h"

#include "model/ProxySetting.h"

#include <QSettings>

namespace corvane {

namespace {

// What a setting accepts: any text, or a whole number (written as plain decimal digits, with a
// "-" for a negative one) within a range; a check box accepts 0 and 1.
enum class Accepts { Text, Number, Proxy };

struct KeyDefault {
    const char* key;
    const char* value;
    Accepts accepts = Accepts::Text;
    qint64 min = 0;
    qint64 max = 0;
};

constexpr KeyDefault checkBox(const char* key, const char* value)
{
    return {key, value, Accepts::Number, 0, 1};
}
constexpr KeyDefault number(const char* key, const char* value, qint64 min, qint64 max)
{
    return {key, value, Accepts::Number, min, max};
}
constexpr KeyDefault text(const char* key, const char* value)
{
    return {key, value, Accepts::Text, 0, 0};
}

// Every setting the program reads, with the default its readers pass and the values that mean
// something to them: a page-limit index outside the table, or a timeout of no seconds, would make
// a scan give up every Linking Site without a word.
constexpr KeyDefault kDefaults[] = {
    number("txtTimeout", "60", 1, 32767),
    number("cmbAdvance", "4", 0, 12),
    // Milliseconds between two requests to the same host.
    number("HostInterval", "0", 0, 30000),
    // How the engine reaches the web: "none", "system" or "HOST:PORT".
    {"Proxy", "system", Accepts::Proxy, 0, 0},
    checkBox("chkAuto", "1"),
    checkBox("chkAuto2", "1"),
    checkBox("chkRedirect", "1"),
    checkBox("chkUpdate", "1"),
    number("ParallelSites", "4", 1, 32),
    // What the engine's requests name as their client; empty for the program's own name.
    text("UserAgent", ""),
    // Inconclusive scans in a row after which a partner last seen linking counts as lost.
    number("LostAfterFailures", "3", 1, 1000),
    // A shell command run after a scan with changes, the changes as JSON on its input; empty: none.
    text("AlertCommand", ""),
    checkBox("chkFileTypes", "1"),
    checkBox("chkLog", "0"),
    checkBox("chkAudioEmail", "1"),
    checkBox("chkAudioNext", "1"),
    checkBox("chkAudioFinished", "1"),
    checkBox("chkAutoSave", "0"),
    // Kept for the options dialog only; it has no effect, so any 16-bit number will do.
    number("txtAutoSave", "5", -32768, 32767),
    number("ScanType", "0", 0, 2),
    number("SkipType", "0", 0, 1),
    checkBox("showHelp", "1"),
    text("LastProject", ""),
    number("lHistWebScanned", "0", 0, 2147483647),
    number("lHistEmailFound", "0", 0, 2147483647),
    checkBox("chkNewWin", "1"),
    checkBox("chkBullet", "0"),
    number("optAll", "0", 0, 1),
    text("txtHTML1",
         "Paste all the HTML that you want to come before the links on your page here.  This will "
         "be the first part of your generated webpage."),
    text("txtHTML2",
         "Your link HTML will be generated here.  This will be the second part of your generated "
         "webpage."),
    text("txtHTML3",
         "Paste all the HTML that you want to come after the links on your page here.  This will "
         "be the third part of your generated webpage."),
    number("optScript", "0", 0, 1),
    number("getUrlOption", "0", 0, 1),
    text("getURL1", "http://"),
    text("getURL2", "http://"),
    number("getURLCombo", "-1", -1, 3),
};

const KeyDefault* entryFor(const QString& key)
{
    static const QHash<QString, const KeyDefault*> byFoldedKey = [] {
        QHash<QString, const KeyDefault*> t;
        for (const KeyDefault& d : kDefaults)
            t.insert(QString::fromLatin1(d.key).toLower(), &d);
        return t;
    }();
    return byFoldedKey.value(key.toLower(), nullptr);
}

// A whole number as a setting stores it: optional "-", then decimal digits only.
bool strictNumber(const QString& text, qint64* value)
{
    const qsizetype digitsFrom = text.startsWith(u'-') ? 1 : 0;
    if (text.size() <= digitsFrom || text.size() - digitsFrom > 18)
        return false;
    for (qsizetype i = digitsFrom; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    *value = text.toLongLong();
    return true;
}

const QHash<QString, std::pair<QString, QString>>& defaultsByFoldedKey()
{
    static const QHash<QString, std::pair<QString, QString>> table = [] {
        QHash<QString, std::pair<QString, QString>> t;
        for (const KeyDefault& d : kDefaults) {
            const QString key = QString::fromLatin1(d.key);
            t.insert(key.toLower(), {key, QString::fromLatin1(d.value)});
        }
        return t;
    }();
    return table;
}

// The same entries by their own spelling: the program reads its settings under that spelling at
// every point of use (several times per page during a scan), and a direct look-up spares folding
// the key each time.
const QHash<QString, std::pair<QString, QString>>& defaultsByCanonicalKey()
{
    static const QHash<QString, std::pair<QString, QString>> table = [] {
        QHash<QString, std::pair<QString, QString>> t;
        const auto& folded = defaultsByFoldedKey();
        for (auto it = folded.cbegin(); it != folded.cend(); ++it)
            t.insert(it->first, *it);
        return t;
    }();
    return table;
}

const QString kGroup = QStringLiteral("Settings");

} // namespace

bool parseLeadingInt(const QString& text, qint64* value)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 v = 0;
    bool any = false;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        any = true;
        if (v < (qint64(1) << 40))
            v = v * 10 + (text[i].unicode() - u'0');
    }
    if (!any)
        return false;
    *value = negative ? -v : v;
    return true;
}

SettingsStore::SettingsStore(QObject* parent)
    : QObject(parent),
      m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Corvane"), QStringLiteral("Corvane")))
{
    load();
}

SettingsStore::SettingsStore(const QString& iniFile, QObject* parent)
    : QObject(parent), m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
    load();
}

SettingsStore::~SettingsStore()
{
    sync();
}

void SettingsStore::load()
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(1000);
    connect(&m_flushTimer, &QTimer::timeout, this, &SettingsStore::sync);
    m_settings->beginGroup(kGroup);
    const QStringList keys = m_settings->childKeys();
    for (const QString& key : keys)
        m_values.insert(canonicalKey(key), m_settings->value(key).toString());
    m_settings->endGroup();
}

void SettingsStore::scheduleFlush()
{
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

QString SettingsStore::canonicalKey(const QString& key)
{
    const auto& spelled = defaultsByCanonicalKey();
    if (const auto it = spelled.constFind(key); it != spelled.cend())
        return it->first;
    const QString folded = key.toLower();
    const auto& table = defaultsByFoldedKey();
    const auto it = table.constFind(folded);
    return it != table.cend() ? it->first : folded;
}

QString SettingsStore::defaultValue(const QString& key)
{
    const auto& spelled = defaultsByCanonicalKey();
    if (const auto it = spelled.constFind(key); it != spelled.cend())
        return it->second;
    const auto& table = defaultsByFoldedKey();
    const auto it = table.constFind(key.toLower());
    return it != table.cend() ? it->second : QString();
}

QString SettingsStore::ReadSetting(const QString& key, const QString& fallback) const
{
    const QString canonical = canonicalKey(key);
    const auto ov = m_overrides.constFind(canonical);
    if (ov != m_overrides.cend())
        return *ov;
    const auto it = m_values.constFind(canonical);
    return it != m_values.cend() ? *it : fallback;
}

QString SettingsStore::ReadSetting(const QString& key) const
{
    // A key under its own spelling gives its canonical form and its default in one look-up.
    const auto& spelled = defaultsByCanonicalKey();
    if (const auto it = spelled.constFind(key); it != spelled.cend()) {
        const auto ov = m_overrides.constFind(it->first);
        if (ov != m_overrides.cend())
            return *ov;
        const auto value = m_values.constFind(it->first);
        return value != m_values.cend() ? *value : it->second;
    }
    return ReadSetting(key, defaultValue(key));
}

int SettingsStore::readInt(const QString& key, int fallback) const
{
    qint64 v = 0;
    if (!parseLeadingInt(ReadSetting(key, QString::number(fallback)), &v))
        return fallback;
    return int(std::clamp<qint64>(v, INT_MIN, INT_MAX));
}

int SettingsStore::readInt(const QString& key) const
{
    qint64 v = 0;
    if (!parseLeadingInt(ReadSetting(key), &v))
        return 0;
    return int(std::clamp<qint64>(v, INT_MIN, INT_MAX));
}

bool SettingsStore::isOn(const QString& key) const
{
    return readInt(key) == 1;
}

void SettingsStore::WriteSetting(const QString& key, const QString& value)
{
    const QString canonical = canonicalKey(key);
    const auto ov = m_overrides.find(canonical);
    if (ov != m_overrides.end()) {
        *ov = value;
    } else {
        m_values.insert(canonical, value);
        m_dirty.insert(canonical);
        scheduleFlush();
    }
    Q_EMIT settingChanged(canonical);
}

QStringList SettingsStore::knownKeys()
{
    QStringList keys;
    for (const KeyDefault& d : kDefaults)
        keys.append(QString::fromLatin1(d.key));
    return keys;
}

bool SettingsStore::isKnownKey(const QString& key)
{
    return entryFor(key) != nullptr;
}

bool SettingsStore::isAccepted(const QString& key, const QString& value)
{
    const KeyDefault* entry = entryFor(key);
    if (!entry)
        return false;
    if (entry->accepts == Accepts::Text)
        return true;
    if (entry->accepts == Accepts::Proxy) {
        ProxySetting proxy;
        return ProxySetting::parse(value, proxy);
    }
    qint64 v = 0;
    return strictNumber(value, &v) && v >= entry->min && v <= entry->max;
}

QString SettingsStore::acceptedValues(const QString& key)
{
    const KeyDefault* entry = entryFor(key);
    if (!entry)
        return {};
    if (entry->accepts == Accepts::Text)
        return QStringLiteral("any text");
    if (entry->accepts == Accepts::Proxy)
        return QStringLiteral("none, system or HOST:PORT");
    if (entry->min == 0 && entry->max == 1)
        return QStringLiteral("0 or 1");
    return QStringLiteral("a whole number from ") + QString::number(entry->min)
           + QStringLiteral(" to ") + QString::number(entry->max);
}

QList<std::pair<QString, QString>> SettingsStore::storedValuesNotAccepted() const
{
    QList<std::pair<QString, QString>> wrong;
    for (const KeyDefault& d : kDefaults) {
        const QString key = QString::fromLatin1(d.key);
        const auto it = m_values.constFind(key);
        if (it != m_values.cend() && !isAccepted(key, *it))
            wrong.append({key, *it});
    }
    return wrong;
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

void SettingsStore::setOverride(const QString& key, const QString& value)
{
    const QString canonical = canonicalKey(key);
    m_overrides.insert(canonical, value);
    Q_EMIT settingChanged(canonical);
}

void SettingsStore::sync()
{
    m_flushTimer.stop();
    if (m_dirty.isEmpty())
        return;
    for (const QString& key : std::as_const(m_dirty))
        m_settings->setValue(kGroup + u'/' + key, m_values.value(key));
    m_dirty.clear();
    m_settings->sync();
}

} // namespace corvane
