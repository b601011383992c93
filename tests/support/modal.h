#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace TestSupport {

// Calls `action` with the first modal widget other than `outer` that becomes
// active within `timeoutMs`. Schedule it before the call that runs the modal
// loop, since that call only returns once the dialog is closed. Deleting the
// returned watcher stops the wait early.
QPointer<QObject> whenModalShown(std::function<void(QWidget *)> action, QWidget *outer = nullptr,
                    int timeoutMs = 10000);

} // namespace TestSupport
