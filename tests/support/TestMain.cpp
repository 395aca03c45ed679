#include "support/TestRegistry.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTest>

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
    const auto& factory = corvane::test::applicationFactory();
    const std::unique_ptr<QCoreApplication> app =
        factory ? factory(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("CorvaneTest"));
    QCoreApplication::setApplicationName(QStringLiteral("CorvaneTest"));
    // CORVANE_TEST_ONLY=ClassName runs one test class of the area (its functions can then be
    // named on the command line as usual).
    const QByteArray only = qgetenv("CORVANE_TEST_ONLY");
    int failures = 0;
    for (const auto& factory : corvane::test::registeredTests()) {
        std::unique_ptr<QObject> test = factory();
        if (!only.isEmpty() && only != test->metaObject()->className())
            continue;
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
