#include "testsupport.h"

#include <QNetworkInterface>
#include <QSettings>
#include <QStandardPaths>

#include <unistd.h>

namespace TestSupport {

namespace {

QByteArray linkTarget(const char *path)
{
    char buffer[256];
    const ssize_t n = ::readlink(path, buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
}

} // namespace

TemporarySettings::TemporarySettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
}

TemporarySettings::~TemporarySettings()
{
    // Leave the store pointing at a folder that no longer exists rather than at
    // the user's real one.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
}

bool insideLab(QString *why)
{
    auto fail = [why](const char *text) {
        if (why)
            *why = QString::fromLatin1(text);
        return false;
    };
    if (qEnvironmentVariableIsEmpty("QDF_LAB_DEVICE_NS"))
        return fail("network test: run it through scripts/netlab (ctest does)");
    const QByteArray own = linkTarget("/proc/self/ns/net");
    const QByteArray init = linkTarget("/proc/1/ns/net");
    if (own.isEmpty() || own == init)
        return fail("network test: not inside a private network namespace");
    // Where the machine's own namespace cannot be read, the links tell: the
    // lab has loopback and its own veth end only.
    bool labLink = false;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : all) {
        if (iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        if (!iface.name().startsWith(QLatin1String("qdf")))
            return fail("network test: this namespace has links outside the lab");
        labLink = true;
    }
    if (!labLink)
        return fail("network test: no lab link in this namespace");
    return true;
}

} // namespace TestSupport
