#include "support/TestRegistry.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace corvane::test {

std::vector<TestFactory>& registeredTests()
{
    static std::vector<TestFactory> tests;
    return tests;
}

ApplicationFactory& applicationFactory()
{
    static ApplicationFactory factory;
    return factory;
}

} // namespace corvane::test

int main(int argc, char** argv)
{
    // Keeps QStandardPaths (and with it any settings a test forgets to redirect) away from the
    // user's real folders.
    QStandardPaths::setTestModeEnabled(true);
    // Nor do the desktop's session bus and the user's systemd units see a test: a test that wants
    // a bus starts its own, and schedules land in a folder of the run.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/corvane-test-bus");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const auto& factory = corvane::test::applicationFactory();
    const std::unique_ptr<QCoreApplication> app =
        factory ? factory(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("CorvaneTest"));
    QCoreApplication::setApplicationName(QStringLiteral("CorvaneTest"));
    // CORVANE_TEST_ONLY=ClassName runs one test class of the area (its functions can then be
    // named on the command line as usual).
    const QByteArray only = qgetenv("CORVANE_TEST_ONLY");
    int failures = 0;
    int ran = 0;
    for (const auto& factory : corvane::test::registeredTests()) {
        std::unique_ptr<QObject> test = factory();
        const QByteArray name = test->metaObject()->className();
        if (!only.isEmpty() && only != name && !name.endsWith(QByteArray("::").append(only)))
            continue;
        ++ran;
        failures += QTest::qExec(test.get(), argc, argv);
    }
    // A class asked for by name that is not there is a failure, not an empty success.
    if (ran == 0) {
        std::fprintf(stderr, "No test class %s in this area\n", only.constData());
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
