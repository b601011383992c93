#include "testmain.h"

#include <QApplication>
#include <QList>
#include <QPair>
#include <QtTest>

#include <memory>

namespace TestSupport {

static QList<QPair<const char *, TestFactory>> &registry()
{
    static QList<QPair<const char *, TestFactory>> tests;
    return tests;
}

int registerTest(const char *name, TestFactory factory)
{
    registry().append({name, factory});
    return registry().size();
}

} // namespace TestSupport

// QDF_TEST_CLASS=Name runs one class only, so that function names given on
// the command line reach the class that has them.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QByteArray only = qgetenv("QDF_TEST_CLASS");
    int failed = 0;
    for (const auto &test : TestSupport::registry()) {
        if (!only.isEmpty() && only != test.first)
            continue;
        std::unique_ptr<QObject> object(test.second());
        failed += QTest::qExec(object.get(), argc, argv) != 0;
    }
    return failed == 0 ? 0 : 1;
}
