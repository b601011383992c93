#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

namespace TestSupport {

// Stands in for the desktop's URL handler (QDesktopServices::setUrlHandler with
// the slot "open"), so tests see what would have been opened.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace TestSupport
