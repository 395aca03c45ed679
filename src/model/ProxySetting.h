#pragma once

#include <QString>

namespace corvane {

// The "Proxy" setting: "none" (straight to every server), "system" (the desktop's settings and the
// http_proxy, https_proxy and no_proxy variables; the default) or "HOST:PORT" (that HTTP proxy).
struct ProxySetting {
    enum class Mode { None, System, Fixed };
    Mode mode = Mode::System;
    QString host;
    quint16 port = 0;

    // False for a text that is none of the three.
    static bool parse(const QString& text, ProxySetting& out);
    static inline const QString kNone = QStringLiteral("none");
    static inline const QString kSystem = QStringLiteral("system");
};

} // namespace corvane
