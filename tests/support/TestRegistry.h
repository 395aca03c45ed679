#pragma once

#include <QCoreApplication>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace corvane::test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;

// Test classes of one area register themselves here; the area's executable runs each in turn.
std::vector<TestFactory>& registeredTests();

// The application object of an area's executable: a QCoreApplication unless the area registers
// another (the window tests need a QApplication).
using ApplicationFactory = std::function<std::unique_ptr<QCoreApplication>(int& argc, char** argv)>;
ApplicationFactory& applicationFactory();

struct ApplicationRegistrar {
    explicit ApplicationRegistrar(ApplicationFactory factory)
    {
        applicationFactory() = std::move(factory);
    }
};

struct TestRegistrar {
    explicit TestRegistrar(TestFactory factory) { registeredTests().push_back(std::move(factory)); }
};

} // namespace corvane::test

#define CORVANE_TEST_CLASS(Class)                                                                  \
    static const corvane::test::TestRegistrar corvaneTestRegistrar_##Class(                        \
        [] { return std::unique_ptr<QObject>(new Class); })
