#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>

class QWidget;

namespace TestSupport {

// Calls `act` once on the next modal widget (box, dialog or chooser) that shows,
// from a poll, so that a test can answer the window's nested event loops.
// Deleting the returned object gives up waiting.
QObject *whenModalShown(std::function<void(QWidget *)> act);

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
