#include "app/copycommand.h"
#include "app/startup.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

namespace {

bool hasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char *argv[])
{
    {
        // The copies between file and server need no display.
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        if (isCopyCommand(arguments)) {
            QCoreApplication app(argc, argv);
            return runCopyCommand(arguments);
        }
    }
    if (!hasDisplay()) {
        std::fputs("Tarvel 是图形界面程序，但没有找到显示器（DISPLAY 未设置）。\n"
                   "Tarvel needs a display. Without one, run it under a virtual display:\n"
                   "    xvfb-run -a ./build/tarvel\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    // Started from the desktop menu: the shop file is the one in the home folder.
    if (QCoreApplication::arguments().contains(QStringLiteral("--home")))
        QDir::setCurrent(QDir::homePath());
    QApplication::setApplicationName(QStringLiteral("Tarvel"));
    const Startup started = startTarvel();
    if (!started.window)
        return started.outcome == Startup::Outcome::Declined ? 0 : 1;
    return QApplication::exec();
}
