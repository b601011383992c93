#include "modal.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace TestSupport {

QObject *whenModalShown(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        act(modal);
    });
    poll->start(10);
    return poll;
}

} // namespace TestSupport
