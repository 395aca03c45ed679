#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QSettings;

namespace corvane {

// The user's options, kept per user under application "Corvane", group "Settings", as text values.
// Keys are case-insensitive: "txtAutosave" and "txtAutoSave" are one setting. Every known key's
// default is in one table (defaultValue). Callers read at the point of use, so a change made while
// a scan runs takes effect at once.
//
// Values are held in memory and written to the file within a second of a change (and at sync()
// and destruction): the statistics write a counter for every page, and a file rewrite per page
// would bound the crawl by the disk.
class SettingsStore final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsStore)

public:
    // The user's own store (INI format, user scope).
    explicit SettingsStore(QObject* parent = nullptr);
    // A store kept in the given INI file; tests and portable copies use it.
    explicit SettingsStore(const QString& iniFile, QObject* parent = nullptr);
    ~SettingsStore() override;

    // The stored text, or fallback when the key was never written.
    QString ReadSetting(const QString& key, const QString& fallback) const;
    // The stored text, or the key's default from the table (empty for an unknown key).
    QString ReadSetting(const QString& key) const;
    // A whole number read from the setting the way the program's readers convert it: leading
    // blanks skipped, an optional sign and the leading digits; fallback when there are none.
    int readInt(const QString& key, int fallback) const;
    int readInt(const QString& key) const;
    // True when the setting, read as a number, equals 1.
    bool isOn(const QString& key) const;

    void WriteSetting(const QString& key, const QString& value);

    // A value that holds for this run only: it is read in place of the stored one and never
    // written to the store (the command line's --set). Writes to such a key stay in memory.
    void setOverride(const QString& key, const QString& value);

    static QString defaultValue(const QString& key);

    // Every key of the settings table, in its order.
    static QStringList knownKeys();
    static bool isKnownKey(const QString& key);
    // Whether the key's readers take the value as meant: a check box 0 or 1, a number plain
    // decimal digits within the key's range, a text anything. False for an unknown key.
    static bool isAccepted(const QString& key, const QString& value);
    // What the key accepts, for a message: "0 or 1", "a whole number from 0 to 12", "any text".
    static QString acceptedValues(const QString& key);
    // The values of the file (not the overrides) that their key does not accept, as key and value.
    QList<std::pair<QString, QString>> storedValuesNotAccepted() const;
    // Where the store keeps its values.
    QString fileName() const;
    // The one spelling a key is stored under.
    static QString canonicalKey(const QString& key);

    // Writes pending changes to the file now.
    void sync();

Q_SIGNALS:
    void settingChanged(const QString& key);

private:
    void load();
    void scheduleFlush();

    std::unique_ptr<QSettings> m_settings;
    QHash<QString, QString> m_values;    // by canonical key: what the file holds, plus changes
    QSet<QString> m_dirty;               // changed keys not yet in the file
    QHash<QString, QString> m_overrides; // by canonical key
    QTimer m_flushTimer;
};

// The whole-number conversion used by every numeric setting reader: leading blanks skipped, an
// optional sign, then the leading digits. Returns false when no digit follows.
bool parseLeadingInt(const QString& text, qint64* value);

} // namespace corvane
