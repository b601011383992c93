#include "devicecli.h"

#include <QCoreApplication>

#include <cstdio>

// No widget application: the program runs over SSH and in scripts without any
// display, and tells of stray datagrams on standard error.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    DeviceCli cli(QStringLiteral(QDF_VERSION), stdout, stderr);
    return cli.run(QCoreApplication::arguments().mid(1));
}
