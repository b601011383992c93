#include "mainwindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

const char applicationName[] = "Quorvel Device Finder";
const char applicationVersion[] = "1.4.1";
const char toolkitVersion[] = "5.15.16";
const char makerWebAddress[] = "https://www.korvex.example";

} // namespace

void MainWindow::about()
{
    const QStringList products{
        tr("QuorvelNET-4.3 version 1.8.0 or newer"),
        tr("QuorvelNET-III version 5.6.0 or newer"),
        tr("Lumaboard-4.3 version 1.6.0 or newer"),
        tr("Lumaboard-III version 1.8.0 or newer"),
        tr("Cinaboard-II version 2.2.0 or newer"),
        tr("Cinaboard-III version 1.0.0 or newer"),
        tr("Cinaboard-IV version 1.6.0 or newer"),
        tr("Cinaboard-M4 version 1.0.0 or newer"),
        tr("Netaboard-IQ version 1.0.0 or newer"),
        tr("Netaboard-M3 version 1.4.0 or newer"),
        tr("Netaboard-M4 version 1.0.0 or newer"),
    };
    const QString description =
        tr("<b>%1</b> is a user-friendly application<br>to scan the local network for installed "
           "Veltrano devices<br>and easily change their network configuration.")
            .arg(QLatin1String(applicationName));
    showAboutDialog(description, products);
}

void MainWindow::showAboutDialog(QString text, QStringList products)
{
    QDialog dialog(this, Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog.resize(410, 480);
    dialog.setWindowTitle(tr("About %1").arg(windowTitle()));

    auto *okButton = new QPushButton(QStringLiteral("Ok"));
    auto *buttonLayout = new QHBoxLayout;
    buttonLayout->addStretch();
    buttonLayout->addWidget(okButton);
    buttonLayout->addStretch();

    auto *layout = new QVBoxLayout;
    layout->addWidget(createAppTextBrowser(text, products));
    layout->addLayout(buttonLayout);
    dialog.setLayout(layout);

    connect(okButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.exec();
}

QTextBrowser *MainWindow::createAppTextBrowser(QString text, QStringList products)
{
    auto *browser = new QTextBrowser;
    browser->setOpenLinks(false);
    browser->setFrameShape(QFrame::WinPanel);
    // The heading picture is addressed relative to the working directory; look
    // it up in the resource bundle so it shows wherever the program starts.
    browser->setSearchPaths({QStringLiteral(":/")});

    QString html;
    html += QStringLiteral("<h2><img src='icons/windowicon.png' style='vertical-align: middle;'> "
                           "<span style='vertical-align: middle;'>%1</span></h2>")
                .arg(QLatin1String(applicationName));
    html += tr("<p> Version %2").arg(QLatin1String(applicationVersion));
    html += QStringLiteral("<p>") + tr("Copyright &copy; Korvex. All rights reserved.");
    html += QStringLiteral("<p>") + text;
    html += QStringLiteral("<p>") + tr("Qt Library:");
    html += QStringLiteral("<ul><li>") + tr("Version %1").arg(QLatin1String(toolkitVersion))
        + QStringLiteral(", ") + tr("licensed under the GNU LGPL version 2.1")
        + QStringLiteral("</li><li><a href='veltrano:///aboutQt'>")
        + tr("More information about the specific Qt version used")
        + QStringLiteral("</a></li></ul>");
    html += QStringLiteral("<p>") + tr("Supported Products:");
    html += QStringLiteral("<ul>");
    for (const QString &product : qAsConst(products))
        html += QStringLiteral("<li>") + product + QStringLiteral("</li>");
    html += QStringLiteral("</ul>");
    html += QStringLiteral("<p>") + tr("Web: ")
        + QStringLiteral("<a href='%1'>%1</a>").arg(QLatin1String(makerWebAddress));
    browser->setHtml(html);

    connect(browser, &QTextBrowser::anchorClicked, this, &MainWindow::onAppTextBrowserAnchorClicked);
    return browser;
}

void MainWindow::onAppTextBrowserAnchorClicked(QUrl url)
{
    if (url.path(QUrl::FullyDecoded) == QLatin1String("/aboutQt"))
        QApplication::aboutQt();
    else
        QDesktopServices::openUrl(url);
}
