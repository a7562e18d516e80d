#include "app/MainForm.h"
#include "app/MainFormCommands.h"

#include <QApplication>
#include <QByteArray>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // The browser engine's sandbox refuses to start as root; it must be told before it loads.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", QByteArrayLiteral("1"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvesk"));

    talvesk::MainForm window;
    const talvesk::MainFormCommands commands(window);
    window.show();
    return app.exec();
}
