#pragma once

#include <QString>

#include <functional>

class ConnectionDialog;

namespace TestSupport {

struct LoginAnswer
{
    QString user;
    QString password;
    bool remember = false;
};

// Drives the next network settings dialog: `fill` may change its fields, then
// Apply is pressed; a login dialog that comes up is answered with `login` and
// OK, and *loginShown tells whether one did. A settings dialog still open
// after that (Apply refused) is cancelled, so the caller never hangs.
void applyNextSettingsDialog(std::function<void(ConnectionDialog *)> fill,
    const LoginAnswer &login = LoginAnswer(), bool *loginShown = nullptr);

} // namespace TestSupport
