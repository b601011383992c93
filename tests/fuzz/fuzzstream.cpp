#include "fuzzstream.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace Fuzz {

void fail(const QString &what)
{
    std::fprintf(stderr, "invariant broken: %s\n", qUtf8Printable(what));
    std::fflush(stderr);
    std::abort();
}

void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtFatalMsg)
            fail(message);
    });
}

QString useTemporarySettings()
{
    // Removed at exit, with everything the targets stored in it. In memory
    // where possible: the store syncs every write to disk, which would slow
    // the fuzzers down to a crawl.
    static const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
        ? QStringLiteral("/dev/shm")
        : QDir::tempPath();
    static QTemporaryDir dir(base + QStringLiteral("/qdf-fuzz-XXXXXX"));
    check(dir.isValid(), QStringLiteral("no temporary settings folder"));
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    return dir.path();
}

} // namespace Fuzz
