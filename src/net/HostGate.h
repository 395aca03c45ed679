#pragma once

#include <QHash>
#include <QObject>
#include <QString>

namespace corvane {

// The hosts the Linking Sites in progress are talking to: one connection per host at a time, so
// two partners on one server (or a page of one partner on another's host) take turns.
class HostGate final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HostGate)

public:
    explicit HostGate(QObject* parent = nullptr) : QObject(parent) {}

    // Takes the host for owner (an owner holds one host at a time: what it held before is given
    // up, also when the host is not to be had). False while another owner holds it; an empty
    // host is always free. Host names are compared as UrlTools::HostKey gives them.
    bool take(const QString& host, const void* owner);
    void release(const void* owner);

Q_SIGNALS:
    // A host was given up: whoever waits for one may try again.
    void released();

private:
    QHash<QString, const void*> m_owners;
    QHash<const void*, QString> m_held;
};

} // namespace corvane
