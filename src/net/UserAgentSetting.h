#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

class NetworkContext;
class SettingsStore;

// The "UserAgent" setting: what the engine's requests say they come from. Empty means the
// program's own name; a user whose partners refuse unknown clients may name another.
namespace UserAgentSetting {

// The User-Agent for a setting's value: the value without blanks around it and without any
// character that could end the header line; own when nothing is left.
QByteArray choose(const QString& setting, const QByteArray& own);
// Keeps the network's User-Agent in step with the setting, from now on.
void follow(NetworkContext& network, SettingsStore& settings, const QByteArray& own);

} // namespace UserAgentSetting

} // namespace corvane
