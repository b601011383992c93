#include "mainwindow.h"
#include "singleapplication.h"

int main(int argc, char **argv)
{
    // On a 200 % screen the whole window doubles, pixel sizes and icons too,
    // rather than only the fonts.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
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
