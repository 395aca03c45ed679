#pragma once

#include <QString>

namespace corvane {

// The "Proxy" setting: "none" (straight to every server), "system" (the desktop's settings and the
// http_proxy, https_proxy, all_proxy and no_proxy variables; the default) or "HOST:PORT" (that
// HTTP proxy).
struct ProxySetting {
    enum class Mode { None, System, Fixed };
    enum class Kind { Http, Socks5 };
    Mode mode = Mode::System;
    QString host;
    quint16 port = 0;
    Kind kind = Kind::Http; // of a Fixed proxy
    QString user;           // the proxy's credentials, when a variable names them
    QString password;

    // False for a text that is none of the three.
    static bool parse(const QString& text, ProxySetting& out);
    // A proxy variable of the environment: "[scheme://][user[:password]@]host[:port][/]", the
    // scheme http (the default) or socks5, socks5h, socks; port 1080 when none is given. A Fixed
    // setting, or false for anything else (an https:// proxy too: the program does not speak TLS
    // to a proxy).
    static bool fromVariable(const QString& text, ProxySetting& out);
    static inline const QString kNone = QStringLiteral("none");
    static inline const QString kSystem = QStringLiteral("system");
    static constexpr quint16 kVariableDefaultPort = 1080;
};

} // namespace corvane
