#include "app/command_line.h"
#include "app/form1.h"
#include "app/quillet_application.h"
#include "app/store_guard.h"
#include "base/app_error.h"
#include "base/program_folders.h"
#include "i18n/message_text.h"
#include "platform/system_fonts.h"
#include "platform/termination_signals.h"
#include "store/settings.h"
#include "widgets/error_dialog.h"
#include "widgets/quiet_caret.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#include <future>
#include <system_error>

namespace {

// What a start finds out before it claims the store.
struct StoreClaim {
    ProgramFolders folders;
    QString storeFolder;
    bool storeFolderMade = true;
    std::unique_ptr<QLockFile> lock; // tried once
};

// Works on files and objects of its own (no widget, no event), so that it may run on a thread beside the
// making of the application object.
StoreClaim prepareClaim(const QString &executable)
{
    StoreClaim claim;
    claim.folders = ProgramFolders::forExecutable(executable);
    // The store's folder must be known before the instance claims it; the settings are read again, and what
    // cannot be read in them reported, once the program runs.
    Settings early;
    try {
        early.read(claim.folders.settingsPath);
    } catch (const AppError &) {
    }
    claim.storeFolder = early.storeFolder();
    claim.storeFolderMade = claim.folders.useStoreFolder(claim.storeFolder);
    claim.lock = StoreGuard::makeLock(claim.folders.lockPath());
    claim.lock->tryLock(0);
    return claim;
}

// The executable's path as QCoreApplication::applicationFilePath() gives it on Linux, known before the
// application object; empty where the system does not show it.
QString executableBeforeApplication()
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return self.isSymLink() ? self.canonicalFilePath() : QString();
}

} // namespace

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

    // While the application object connects to the display, two threads beside it load the system's font list,
    // which the first note's text waits for, and try the store's lock: a new lock file is written through to
    // the disk, a wait that costs the start nothing there. Qt takes the first thread that uses it for the main
    // thread, so this one makes itself known first.
    QThread::currentThread();
    std::future<void> fonts;
    std::future<StoreClaim> early;
    const QString executable = executableBeforeApplication();
    // Without a display to connect to, the application object ends the process: nothing is claimed then.
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (display) {
        try {
            fonts = std::async(std::launch::async, SystemFonts::prepare);
            if (!executable.isEmpty())
                early = std::async(std::launch::async, prepareClaim, executable);
        } catch (const std::system_error &) {
            // No thread to be had: the fonts are loaded with the first note, the claim is made after the
            // application object.
        }
    }
    QuilletApplication app(argc, argv);
    StoreClaim claim = early.valid() ? early.get() : prepareClaim(QCoreApplication::applicationFilePath());
    ProgramFolders &folders = claim.folders;

    // One instance per store: a later start hands its argument to the running one and ends.
    StoreGuard guard(folders.storePath, std::move(claim.lock));
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
    if (!claim.storeFolderMade) {
        ErrorDialog::show(
            MessageText::text(u"Messages->StoreFolderNotMade")
                .arg(QDir::toNativeSeparators(claim.storeFolder), QDir::toNativeSeparators(folders.dataFolder)));
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
