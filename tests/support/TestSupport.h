#pragma once

#include "model/AppFolder.h"
#include "model/SettingsStore.h"

#include <QTemporaryDir>

#include <memory>

namespace corvane::test {

// A temporary application folder, seeded with the shipped data, and a settings store kept in a
// file inside it, so no test touches the user's real folders or settings.
struct Sandbox {
    QTemporaryDir dir;
    AppFolder app;
    std::unique_ptr<SettingsStore> settings;

    Sandbox();
    QString file(const QString& relative) const { return app.file(relative); }
};

// Reads a whole file; empty when it cannot be read.
QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& bytes);

} // namespace corvane::test
