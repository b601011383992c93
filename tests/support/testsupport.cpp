#include "testsupport.h"

#include "labcheck.h"

#include <QSettings>
#include <QStandardPaths>

namespace TestSupport {

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
    const QString outside = qEnvironmentVariableIsEmpty("QDF_LAB_DEVICE_NS")
        ? QStringLiteral("run it through scripts/netlab (ctest does)")
        : NetLab::whyOutside();
    if (!outside.isEmpty() && why)
        *why = QStringLiteral("network test: ") + outside;
    return outside.isEmpty();
}

} // namespace TestSupport
