#pragma once

#include <QObject>

// Every folder of tests/ is one executable; each test class in it registers
// itself with QDF_TEST(Class) and the shared main runs them in turn.
namespace TestSupport {
using TestFactory = QObject *(*)();
int registerTest(const char *name, TestFactory factory);
} // namespace TestSupport

#define QDF_TEST(Class)                                                                    \
    static const int Class##Registered                                                     \
        = TestSupport::registerTest(#Class, []() -> QObject * { return new Class; });
