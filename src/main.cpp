#include "app/form1.h"
#include "app/program_folders.h"
#include "platform/error_dialog.h"
#include "platform/quillet_application.h"
#include "platform/single_instance.h"
#include "platform/termination_signals.h"
#include "ui/st_tray_icon.h"

#include <QFileInfo>

int main(int argc, char **argv)
{
    // Notes need absolute positions and the topmost band, which Wayland does not give to clients:
    // run through XWayland where it is there.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QuilletApplication app(argc, argv);
    QApplication::setWindowIcon(TStTrayIcon::builtInIcon());
    const QString commandLineFile = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const ProgramFolders folders = ProgramFolders::forExecutable(QCoreApplication::applicationFilePath());

    // One instance per store: a later start hands its argument to the running one and ends.
    SingleInstance instance(SingleInstance::serverNameFor(folders.dataFolder));
    if (!instance.listen()) {
        const QString argument =
            commandLineFile.isEmpty() ? commandLineFile : QFileInfo(commandLineFile).absoluteFilePath();
        if (instance.sendToRunning(argument))
            return 0;
    }

    TForm1 form(folders);
    QObject::connect(&instance, &SingleInstance::argumentReceived, &form, &TForm1::handleSecondStart);
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, &form, &TForm1::closeForTermination);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form] { form.writeQuietly(); });

    form.FormCreate(commandLineFile);
    return app.exec();
}
