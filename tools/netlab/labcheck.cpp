#include "labcheck.h"

#include <QNetworkInterface>

#include <unistd.h>

namespace NetLab {

namespace {

QByteArray networkNamespace(const char *path)
{
    char buffer[256];
    const ssize_t n = ::readlink(path, buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
}

} // namespace

QString whyOutside()
{
    const QByteArray own = networkNamespace("/proc/self/ns/net");
    if (own.isEmpty() || own == networkNamespace("/proc/1/ns/net"))
        return QStringLiteral("not inside a private network namespace");
    // Where the machine's own namespace cannot be read, the links tell.
    bool labLink = false;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : all) {
        if (iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        if (!iface.name().startsWith(QLatin1String("qdf")))
            return QStringLiteral("this namespace has links outside the lab");
        labLink = true;
    }
    return labLink ? QString() : QStringLiteral("no lab link in this namespace");
}

} // namespace NetLab
