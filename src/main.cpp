#include "app/command_line.h"
#include "app/form1.h"
#include "app/quillet_application.h"
#include "app/store_guard.h"
#include "base/app_error.h"
#include "base/program_folders.h"
#include "i18n/message_text.h"
#include "platform/termination_signals.h"
#include "store/settings.h"
#include "widgets/error_dialog.h"
#include "widgets/quiet_caret.h"

#include <QDir>
#include <QTextStream>

int main(int argc, char **argv)
{
    // Before the application object: --help, --version and a mistake need no display and touch no notes.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = CommandLine::parse(arguments);
    {
        QTextStream out(stdout);
        QTextStream errors(stderr);
        if (const std::optional<int> status = commandLine.answer(out, errors))
            return *status;
    }

    // Notes need absolute positions and the topmost band, which Wayland does not give to clients:
    // run through XWayland where it is there.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QuilletApplication app(argc, argv);
    ProgramFolders folders = ProgramFolders::forExecutable(QCoreApplication::applicationFilePath());
    // The store's folder must be known before the instance claims it; the settings are read again, and what
    // cannot be read in them reported, once the program runs.
    Settings early;
    try {
        early.read(folders.settingsPath);
    } catch (const AppError &) {
    }
    const QString storeFolder = early.storeFolder();
    const bool storeFolderMade = folders.useStoreFolder(storeFolder);

    // One instance per store: a later start hands its argument to the running one and ends.
    StoreGuard guard(folders.storePath, folders.lockPath());
    switch (guard.claim(commandLine.handOver())) {
    case StoreGuard::Outcome::HandedOver:
        return 0;
    case StoreGuard::Outcome::Refused:
        ErrorDialog::show(guard.refusal());
        return 1;
    case StoreGuard::Outcome::Run:
        break;
    }

    QuietCaret quietCaret;
    if (!storeFolderMade) {
        ErrorDialog::show(
            MessageText::text(u"Messages->StoreFolderNotMade")
                .arg(QDir::toNativeSeparators(storeFolder), QDir::toNativeSeparators(folders.dataFolder)));
    }
    TForm1 form(folders);
    QObject::connect(&guard.channel(), &SingleInstance::argumentReceived, &form, &TForm1::handleSecondStart);
    QObject::connect(&form, &TForm1::closing, &guard.channel(), &SingleInstance::close);
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, &form, &TForm1::closeForTermination);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form] { form.writeQuietly(); });

    form.FormCreate(commandLine.file());
    // A termination request or "Exit" during start-up has saved already; the event loop would never end.
    if (form.isClosed())
        return 0;
    // No instance ran: this one started for the action, which applies now that the notes are up.
    if (commandLine.action() != CommandLine::Action::None)
        form.handleSecondStart(commandLine.handOver());
    return app.exec();
}
