#include "mainwindow.h"
#include "mainwindowtester.h"
#include "modal.h"
#include "testsupport.h"
#include "urlcatcher.h"

#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>


namespace {

using TestSupport::whenModalShown;

QPushButton *okButton(QWidget *dialog)
{
    for (QPushButton *b : dialog->findChildren<QPushButton *>())
        if (b->text() == QLatin1String("Ok"))
            return b;
    return nullptr;
}

} // namespace

class tst_AboutBox : public QObject
{
    Q_OBJECT

private slots:
    void box_showsTitleSizeAndProducts();
    void heading_pictureResolvesFromBundle();
    void qtLink_opensAboutQtOnTopOfTheBox();
    void otherLinks_goToTheDesktopHandler();
    void closing_withOkOrTitleBarButton();

private:
    TestSupport::TemporarySettings settings;
};

void tst_AboutBox::box_showsTitleSizeAndProducts()
{
    MainWindow window;
    QString title;
    QSize size;
    QString text;
    whenModalShown([&](QWidget *dialog) {
        title = dialog->windowTitle();
        size = dialog->size();
        text = dialog->findChild<QTextBrowser *>()->toPlainText();
        QVERIFY(!(dialog->windowFlags() & Qt::WindowContextHelpButtonHint));
        okButton(dialog)->click();
    });
    MainWindowTester(window).about();

    QCOMPARE(title, QStringLiteral("About Quorvel Device Finder"));
    QCOMPARE(size, QSize(410, 480));
    QVERIFY(text.contains(QLatin1String("Version 1.4.1")));
    QVERIFY(text.contains(QLatin1String("Version 5.15.16, licensed under the GNU LGPL version 2.1")));
    QVERIFY(text.contains(QLatin1String("Quorvel Device Finder is a user-friendly application")));

    const int from = text.indexOf(QLatin1String("Supported Products:"));
    const int to = text.indexOf(QLatin1String("Web: "));
    QVERIFY(from > 0 && to > from);
    const QStringList products = text.mid(from, to - from).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
    const QStringList expected{
        "QuorvelNET-4.3 version 1.8.0 or newer", "QuorvelNET-III version 5.6.0 or newer",
        "Lumaboard-4.3 version 1.6.0 or newer",  "Lumaboard-III version 1.8.0 or newer",
        "Cinaboard-II version 2.2.0 or newer",   "Cinaboard-III version 1.0.0 or newer",
        "Cinaboard-IV version 1.6.0 or newer",   "Cinaboard-M4 version 1.0.0 or newer",
        "Netaboard-IQ version 1.0.0 or newer",   "Netaboard-M3 version 1.4.0 or newer",
        "Netaboard-M4 version 1.0.0 or newer"};
    QStringList shown;
    for (const QString &line : products)
        shown << line.trimmed();
    QCOMPARE(shown, expected);
}

void tst_AboutBox::heading_pictureResolvesFromBundle()
{
    QTemporaryDir elsewhere;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(elsewhere.path()); // no icons/ folder here

    MainWindow window;
    std::unique_ptr<QTextBrowser> browser(MainWindowTester(window).createAppTextBrowser(QStringLiteral("x"), {}));
    QDir::setCurrent(cwd);

    QVERIFY(browser->toHtml().contains(QLatin1String("icons/windowicon.png")));
    const QVariant picture = browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("icons/windowicon.png")));
    QImage image;
    QVERIFY(image.loadFromData(picture.toByteArray()));
    QVERIFY(!image.isNull());
}

void tst_AboutBox::qtLink_opensAboutQtOnTopOfTheBox()
{
    MainWindow window;
    QString aboutQtTitle;
    bool boxStillOpen = false;
    whenModalShown([&](QWidget *about) {
        auto *browser = about->findChild<QTextBrowser *>();
        whenModalShown([&, about](QWidget *aboutQt) {
            aboutQtTitle = aboutQt->windowTitle();
            QVERIFY(qobject_cast<QMessageBox *>(aboutQt));
            static_cast<QDialog *>(aboutQt)->reject();
            QTimer::singleShot(0, about, [&, about] {
                boxStillOpen = about->isVisible();
                okButton(about)->click();
            });
        }, about);
        emit browser->anchorClicked(QUrl(QStringLiteral("veltrano:///aboutQt")));
    });
    MainWindowTester(window).about();
    QCOMPARE(aboutQtTitle, QStringLiteral("About Qt"));
    QVERIFY(boxStillOpen);
}

void tst_AboutBox::otherLinks_goToTheDesktopHandler()
{
    TestSupport::UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("veltrano"), &catcher, "open");

    MainWindow window;
    MainWindowTester tester(window);
    bool boxStillOpen = false;
    whenModalShown([&](QWidget *about) {
        auto *browser = about->findChild<QTextBrowser *>();
        QVERIFY(browser->toHtml().contains(QLatin1String("https://www.korvex.example")));
        emit browser->anchorClicked(QUrl(QStringLiteral("https://www.korvex.example")));
        boxStillOpen = about->isVisible();
        okButton(about)->click();
    });
    tester.about();
    // Only the path counts: another scheme with the path /aboutQt is not a web link.
    tester.onAppTextBrowserAnchorClicked(QUrl(QStringLiteral("veltrano:///elsewhere")));

    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("veltrano"));
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl(QStringLiteral("https://www.korvex.example")),
                                        QUrl(QStringLiteral("veltrano:///elsewhere"))}));
    QVERIFY(boxStillOpen);
}

void tst_AboutBox::closing_withOkOrTitleBarButton()
{
    MainWindow window;
    MainWindowTester tester(window);
    int closed = 0;
    whenModalShown([&](QWidget *about) {
        ++closed;
        okButton(about)->click();
    });
    tester.about();
    whenModalShown([&](QWidget *about) {
        ++closed;
        about->close();
    });
    tester.about();
    QCOMPARE(closed, 2);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_AboutBox)
#include "tst_aboutbox.moc"
