#pragma once

#include <QList>
#include <QObject>
#include <QPair>

// Every folder of tests/ is one executable; each test class in it registers
// itself with QDF_TEST(Class) and the shared main runs them in turn.
namespace TestSupport {
using TestFactory = QObject *(*)();
// One list for the whole executable, filled before main() runs.
inline QList<QPair<const char *, TestFactory>> &registeredTests()
{
    static QList<QPair<const char *, TestFactory>> tests;
    return tests;
}
} // namespace TestSupport

#define QDF_TEST(Class)                                                                    \
    static const bool Class##Registered = (TestSupport::registeredTests().append(          \
        { #Class, []() -> QObject * { return new Class; } }), true);
