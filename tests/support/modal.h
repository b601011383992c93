#pragma once

#include <QApplication>
#include <QList>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace TestSupport {

// Calls `act` once on the next modal widget (box, dialog or chooser) that shows,
// from a poll, so that a test can answer the window's nested event loops.
// Deleting the returned object gives up waiting.
inline QObject *whenModalShown(std::function<void(QWidget *)> act)
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

// Stands in for the desktop's browser: QDesktopServices::setUrlHandler(scheme, &catcher, "open").
class UrlCatcher final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace TestSupport
