#include "testmain.h"

#include <QApplication>
#include <QtTest>

// QDF_TEST_CLASS=Name runs one class only, so that function names given on
// the command line reach the class that has them.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QByteArray only = qgetenv("QDF_TEST_CLASS");
    int failed = 0;
    for (const auto &test : TestSupport::registeredTests()) {
        if (!only.isEmpty() && only != test.first)
            continue;
        const QScopedPointer<QObject> object(test.second());
        failed += QTest::qExec(object.get(), argc, argv) != 0;
    }
    return failed == 0 ? 0 : 1;
}
