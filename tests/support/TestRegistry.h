#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace corvane::test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;

// Test classes of one area register themselves here; the area's executable runs each in turn.
std::vector<TestFactory>& registeredTests();

struct TestRegistrar {
    explicit TestRegistrar(TestFactory factory) { registeredTests().push_back(std::move(factory)); }
};

} // namespace corvane::test

#define CORVANE_TEST_CLASS(Class)                                                                  \
    static const corvane::test::TestRegistrar corvaneTestRegistrar_##Class(                        \
        [] { return std::unique_ptr<QObject>(new Class); })
