#pragma once

#include <QString>
#include <QStringList>

namespace corvane {

class SettingsStore;

// The scan options as the options window shows and changes them. Every change is written to the
// settings store at once; the scan reads them where it needs them.
class ScanOptions
{
public:
    explicit ScanOptions(SettingsStore& settings);

    // The 13 entries of the page-limit list, "01" to "500,000"; the setting holds the index.
    static const QStringList& pageLimitCaptions();

    // The stored page-limit index (the default 4 when the stored one is not in the list), written
    // back so that the setting exists afterwards.
    int openPageLimit();
    void setPageLimit(int index);
    // A check box: "1" or "0" under its key.
    void setChecked(const QString& key, bool checked);
    bool isChecked(const QString& key) const;
    // The text of a number field as it stands after a change. A number the setting accepts is
    // written; empty text writes nothing. Anything else (letters, a number beyond 16 bits, a
    // timeout of no seconds) returns the replacement the field is to show, which is written in
    // turn when the field changes to it; otherwise an empty text.
    QString numberFieldChanged(const QString& key, const QString& text,
                               const QString& replacement);
    // The text a field shows: the stored value, or the key's default when it was never written.
    QString fieldText(const QString& key) const;
    // A text field: its text, as it stands after each change, under its key.
    void setText(const QString& key, const QString& text);

private:
    SettingsStore& m_settings;
};

} // namespace corvane
