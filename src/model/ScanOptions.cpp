#include "model/ScanOptions.h"

#include "model/SettingsStore.h"

namespace corvane {

namespace {

const QString kPageLimit = QStringLiteral("cmbAdvance");
constexpr int kDefaultPageLimit = 4;

} // namespace

ScanOptions::ScanOptions(SettingsStore& settings) : m_settings(settings) {}

const QStringList& ScanOptions::pageLimitCaptions()
{
    static const QStringList captions = {
        QStringLiteral("01"),     QStringLiteral("10"),      QStringLiteral("50"),
        QStringLiteral("100"),    QStringLiteral("500"),     QStringLiteral("1,000"),
        QStringLiteral("5,000"),  QStringLiteral("10,000"),  QStringLiteral("20,000"),
        QStringLiteral("50,000"), QStringLiteral("100,000"), QStringLiteral("200,000"),
        QStringLiteral("500,000"),
    };
    return captions;
}

int ScanOptions::openPageLimit()
{
    int index = m_settings.readInt(kPageLimit, kDefaultPageLimit);
    if (index < 0 || index >= pageLimitCaptions().size())
        index = kDefaultPageLimit;
    setPageLimit(index);
    return index;
}

void ScanOptions::setPageLimit(int index)
{
    m_settings.WriteSetting(kPageLimit, QString::number(index));
}

void ScanOptions::setChecked(const QString& key, bool checked)
{
    m_settings.WriteSetting(key, checked ? QStringLiteral("1") : QStringLiteral("0"));
}

bool ScanOptions::isChecked(const QString& key) const
{
    return m_settings.isOn(key);
}

QString ScanOptions::numberFieldChanged(const QString& key, const QString& text,
                                        const QString& replacement)
{
    if (text.isEmpty())
        return {};
    bool converts = false;
    const qint16 value = text.trimmed().toShort(&converts);
    const QString number = QString::number(value);
    if (!converts || !SettingsStore::isAccepted(key, number))
        return replacement;
    m_settings.WriteSetting(key, number);
    return {};
}

QString ScanOptions::fieldText(const QString& key) const
{
    return m_settings.ReadSetting(key);
}

void ScanOptions::setText(const QString& key, const QString& text)
{
    m_settings.WriteSetting(key, text);
}

} // namespace corvane
