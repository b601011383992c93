#include "mainwindow.h"
#include "qtcompat.h"
#include "singleapplication.h"

int main(int argc, char **argv)
{
    QtCompat::scaleWithScreen();
    SingleApplication app(argc, argv);
    if (app.isRunning()) {
        // Whether the running instance got it or not, this start ends here.
        app.sendMessage(QStringLiteral("..."), 5000);
        return 0;
    }

    MainWindow window(nullptr);
    app.setActivationWindow(&window, true);
    window.show();
    QObject::connect(&app, &SingleApplication::messageReceived, &window, &MainWindow::moveToTop);
    return app.exec();
}
