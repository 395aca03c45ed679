#include "net/UserAgentSetting.h"

#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "net/NetworkContext.h"


namespace corvane::UserAgentSetting {

QByteArray choose(const QString& setting, const QByteArray& own)
{
    QByteArray agent;
    for (const QChar c : setting.trimmed()) {
        // Visible ASCII and blanks only: a line end would let the value add header lines.
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            agent.append(char(c.unicode()));
    }
    agent = agent.trimmed();
    return agent.isEmpty() ? own : agent;
}

void follow(NetworkContext& network, SettingsStore& settings, const QByteArray& own)
{
    const auto apply = [&network, &settings, own] {
        network.setUserAgent(choose(settings.ReadSetting(SettingKey::UserAgent), own));
    };
    apply();
    QObject::connect(&settings, &SettingsStore::settingChanged, &network,
                     [apply](const QString& key) {
                         if (key == SettingKey::UserAgent)
                             apply();
                     });
}

} // namespace corvane::UserAgentSetting
