#include "net/HostGate.h"

#include "web/UrlTools.h"

namespace corvane {

bool HostGate::take(const QString& host, const void* owner)
{
    const QString key = UrlTools::HostKey(host);
    const auto held = m_owners.constFind(key);
    if (!key.isEmpty() && held != m_owners.cend() && held.value() != owner) {
        // Who waits holds nothing: two Linking Sites each waiting for the other's host would
        // wait for ever.
        release(owner);
        return false;
    }
    if (m_held.value(owner) != key) {
        release(owner);
        if (!key.isEmpty()) {
            m_owners.insert(key, owner);
            m_held.insert(owner, key);
        }
    }
    return true;
}

void HostGate::release(const void* owner)
{
    const auto held = m_held.find(owner);
    if (held == m_held.end())
        return;
    m_owners.remove(held.value());
    m_held.erase(held);
    Q_EMIT released();
}

} // namespace corvane
