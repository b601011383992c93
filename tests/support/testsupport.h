#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// Points the user-scope settings store at a fresh temporary folder for as long
// as the object lives, so no test ever touches the user's real settings.
class TemporarySettings final
{
public:
    TemporarySettings()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    }
    // Leaves the store pointing at a folder that no longer exists rather than
    // at the user's real one.
    ~TemporarySettings()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

// True only inside the finder side of scripts/netlab: a network namespace
// of its own, not the machine's. `why` says what is missing otherwise.
bool insideLab(QString *why = nullptr);

} // namespace TestSupport

// Network tests call this first: they never run in the machine's own namespace.
#define QDF_REQUIRE_LAB()                                                                  \
    do {                                                                                   \
        QString qdfWhy;                                                                    \
        if (!TestSupport::insideLab(&qdfWhy))                                              \
            QSKIP(qPrintable(qdfWhy));                                                     \
    } while (false)
