#include "modal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace TestSupport {

QPointer<QObject> whenModalShown(std::function<void(QWidget *)> action, QWidget *outer, int timeoutMs)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(5);
    QElapsedTimer clock;
    clock.start();
    QPointer<QWidget> skip(outer);
    const bool skipNothing = outer == nullptr;
    QObject::connect(poll, &QTimer::timeout, poll, [=]() mutable {
        QWidget *modal = QApplication::activeModalWidget();
        const bool isOuter = !skipNothing && modal == skip.data();
        if (modal && !isOuter && modal->isVisible()) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        } else if (clock.hasExpired(timeoutMs)) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start();
    return poll;
}

} // namespace TestSupport
