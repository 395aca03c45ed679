#include "model/SettingsStore.h"

#include <QSettings>

namespace corvane {

namespace {

struct KeyDefault {
    const char* key;
    const char* value;
};

// Every setting the program reads, with the default its readers pass.
constexpr KeyDefault kDefaults[] = {
    {"txtTimeout", "60"},
    {"cmbAdvance", "4"},
    {"chkAuto", "1"},
    {"chkAuto2", "1"},
    {"chkRedirect", "1"},
    {"chkUpdate", "1"},
    {"chkFileTypes", "1"},
    {"chkLog", "0"},
    {"chkAudioEmail", "1"},
    {"chkAudioNext", "1"},
    {"chkAudioFinished", "1"},
    {"chkAutoSave", "0"},
    {"txtAutoSave", "5"},
    {"ScanType", "0"},
    {"SkipType", "0"},
    {"showHelp", "1"},
    {"LastProject", ""},
    {"lHistWebScanned", "0"},
    {"lHistEmailFound", "0"},
    {"chkNewWin", "1"},
    {"chkBullet", "0"},
    {"optAll", "0"},
    {"txtHTML1",
     "Paste all the HTML that you want to come before the links on your page here.  This will be "
     "the first part of your generated webpage."},
    {"txtHTML2",
     "Your link HTML will be generated here.  This will be the second part of your generated "
     "webpage."},
    {"txtHTML3",
     "Paste all the HTML that you want to come after the links on your page here.  This will be "
     "the third part of your generated webpage."},
    {"optScript", "0"},
    {"getUrlOption", "0"},
    {"getURL1", "http://"},
    {"getURL2", "http://"},
    {"getURLCombo", "-1"},
};

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

void SettingsStore::setOverride(const QString& key, const QString& value)
{
    m_overrides.insert(canonicalKey(key), value);
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
