#include "app/form1.h"

#include "alarm/form_alarm.h"
#include "app/about_box.h"
#include "app/find_window.h"
#include "app/form_options.h"
#include "base/app_error.h"
#include "base/clock.h"
#include "base/defaults.h"
#include "i18n/language_file.h"
#include "i18n/languages.h"
#include "i18n/message_text.h"
#include "i18n/text_catalog.h"
#include "note/form_sticky.h"
#include "platform/gui/window.h"
#include "platform/locale_texts.h"
#include "platform/shell_integration.h"
#include "store/note_store.h"
#include "store/profile.h"
#include "store/settings.h"
#include "widgets/error_dialog.h"
#include "widgets/st_tray_icon.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <array>
#include <utility>

QPointer<TFormSticky> FormSticky;

namespace {

// The tray menu, in display order; the language items, from the language list, follow "Language".
// clang-format off
constexpr MenuRow<TForm1> rowsBeforeLanguages[] = {
    {.name = "PMNewStickyNote", .key = u"PMNewStickyNote->Caption", .onClick = &TForm1::PMNewStickyNoteClick},
    {.name = "PMFind", .key = u"PMFind->Caption", .onClick = &TForm1::PMFindClick},
    {.name = "N3"},
    {.name = "PMSetAll", .key = u"PMSetAll->Caption"},
    {.name = "PMAllOnTop", .key = u"PMAllOnTop->Caption", .depth = 1, .checkable = true, .onClick = &TForm1::PMAllOnTopClick},
    {.name = "PMAllLockText", .key = u"PMAllLockText->Caption", .depth = 1, .checkable = true, .onClick = &TForm1::PMAllLockTextClick},
    {.name = "PMHideAll", .key = u"PMHideAll->Caption", .checkable = true, .onClick = &TForm1::PMHideAllClick},
    {.name = "PMDeleteAll", .key = u"PMDeleteAll->Caption", .onClick = &TForm1::PMDeleteAllClick},
    {.name = "PMRestoreDeleted", .key = u"PMRestoreDeleted->Caption", .onClick = &TForm1::PMRestoreDeletedClick},
    {.name = "N4"},
    {.name = "PMOptions", .key = u"PMOptions->Caption", .onClick = &TForm1::PMOptionsClick},
    {.name = "PMLanguage", .key = u"PMLanguage->Caption"},
};
constexpr MenuRow<TForm1> rowsAfterLanguages[] = {
    {.name = "N2"},
    {.name = "PMAbout", .key = u"PMAbout->Caption", .onClick = &TForm1::PMAboutClick},
    {.name = "N1"},
    {.name = "PMExit", .key = u"PMExit->Caption", .onClick = &TForm1::PMExitClick},
};
// clang-format on
constexpr auto trayRows = [] {
    std::array<MenuRow<TForm1>, std::size(rowsBeforeLanguages) + Languages::count + std::size(rowsAfterLanguages)>
        rows{};
    auto next = std::copy(std::begin(rowsBeforeLanguages), std::end(rowsBeforeLanguages), rows.begin());
    for (std::size_t i = 0; i < Languages::count; ++i) {
        *next++ = {.name = Languages::list[i].menuItem,
                   .key = Languages::list[i].textKey,
                   .depth = 1,
                   .checkable = true,
                   .onValue = &TForm1::PMLangClick,
                   .value = int(i)};
    }
    std::copy(std::begin(rowsAfterLanguages), std::end(rowsAfterLanguages), next);
    return rows;
}();
constexpr int itemAllOnTop = menuRow(trayRows, "PMAllOnTop");
constexpr int itemAllLockText = menuRow(trayRows, "PMAllLockText");
constexpr int itemHideAll = menuRow(trayRows, "PMHideAll");
constexpr int itemRestoreDeleted = menuRow(trayRows, "PMRestoreDeleted");
constexpr int itemFirstLanguage = menuRow(trayRows, "PMLangEnglish");

} // namespace

TForm1::TForm1(const ProgramFolders &folders, QWidget *parent)
    : QWidget(parent)
    , m_folders(folders)
{
    setWindowTitle(QString::fromLatin1(ProgramVersion::title));
    m_trayMenu = std::make_unique<MenuTable<TForm1>>(this, trayRows, &TextCatalog::builtInText);

    connect(&m_settings, &Settings::changed, this, &TForm1::settingChanged);
    m_list = std::make_unique<NoteList>(m_folders.storePath, m_folders.dataFolder);
    connect(m_list.get(), &NoteList::added, this, &TForm1::noteAdded);
    connect(m_list.get(), &NoteList::removed, this, &TForm1::noteRemoved);
    connect(m_list.get(), &NoteList::trashChanged, this, &TForm1::updateRestoreItem);
    connect(m_list.get(), &NoteList::errorRaised, this, [](const QString &message) { ErrorDialog::show(message); });
    connect(m_list.get(), &NoteList::notesRecovered, this, [](const QString &storePath, const QString &recovered) {
        ErrorDialog::show(MessageText::text(u"Messages->NotesRecovered")
                              .arg(QDir::toNativeSeparators(storePath), QDir::toNativeSeparators(recovered)));
    });
    connect(m_list.get(), &NoteList::storeNotMerged, this, [](const QString &path, const QString &reason) {
        ErrorDialog::show(MessageText::text(u"Messages->StoreNotMerged").arg(QDir::toNativeSeparators(path), reason));
    });
    // Alarms that came in from another machine ring on time here too.
    connect(m_list.get(), &NoteList::merged, this, [this] { m_alarms.reschedule(); });
    // The alarms were watched until the save, which a start after a crash needs to know.
    m_list->setAfterSave([this] { writeSettings(); });
    updateRestoreItem();
    // Qt answers a request to quit by closing every window first; those closes must not delete notes.
    qApp->installEventFilter(this);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::Quit)
        m_quitting = true;
    // The window manager shows the note as one of its last steps with it: a quarter of a second more lets it
    // finish with the notes before the rest of the start.
    if (watched == m_awaitedWindow && event->type() == QEvent::Expose && m_awaitedWindow->isExposed())
        QTimer::singleShot(250, this, &TForm1::finishStart);
    return QWidget::eventFilter(watched, event);
}

TForm1::~TForm1()
{
    // The form owns every note window it made; FormSticky forgets each as it goes. The windows go before
    // the notes they show.
    qDeleteAll(m_windows);
    for (const QPointer<TFormSticky> &window : std::as_const(m_droppedWindows))
        delete window.data();
}

QList<TFormSticky *> TForm1::notes() const
{
    QList<TFormSticky *> windows;
    windows.reserve(m_windows.size());
    for (const Note *note : m_list->notes()) {
        if (TFormSticky *window = m_windows.value(note))
            windows.append(window);
    }
    return windows;
}

QAction *TForm1::menuItem(QStringView name) const
{
    const int row = m_trayMenu->find(name);
    if (row < 0)
        qFatal("the tray menu has no item %s", qPrintable(name.toString()));
    return m_trayMenu->action(row);
}

std::span<const MenuRow<TForm1>> TForm1::menuRows()
{
    return trayRows;
}

void TForm1::FormCreate(const QString &commandLineFile)
{
    m_list->removeStaleTemporaryFiles();
    // A failing step is shown and start-up goes on with the next: a desktop folder that cannot be written or
    // a settings value that cannot be read must not keep the notes from loading. What the step failed to
    // set keeps its default.
    ErrorDialog::guard([&] {
        // A "Color" that cannot be read leaves the default colour; the other settings still count.
        ErrorDialog::guard([this] { m_settings.read(m_folders.settingsPath); });
        m_alarms.setAlarmsChecked(m_settings.alarmsChecked());
        ApplyLanguage(m_settings.language());

        LoadNotes();
        // The windows' requests reach the window manager now (a termination request may be handled meanwhile).
        if (!m_closed)
            QGuiApplication::sync();
        if (!m_closed)
            finishStartOnceShown();
        // A store in a folder of its own is shared with other machines through a file-sync engine.
        if (m_folders.hasOwnStoreFolder() && !m_closed)
            m_list->startSync();
        if (!commandLineFile.isEmpty() && !m_closed)
            OpenNoteFile(commandLineFile);
    });
    m_started = true;
    showSoundFailures();
    // Later starts that handed over while this one was loading get their notes now, in order.
    const QStringList pending = std::exchange(m_pendingArguments, {});
    for (const QString &argument : pending)
        handleSecondStart(argument);
}

void TForm1::finishStartOnceShown()
{
    // The rest of the start waits until the window manager has put the last note on the screen: done at once,
    // it would take the processor from the window manager and the X server while they frame the notes. A
    // second at the most, for a window manager that is slow or a note hidden at once.
    const QList<TFormSticky *> windows = notes();
    const auto shown =
        std::find_if(windows.crbegin(), windows.crend(), [](const TFormSticky *window) { return window->isVisible(); });
    m_awaitedWindow = shown != windows.crend() ? (*shown)->windowHandle() : nullptr;
    if (!m_awaitedWindow || m_awaitedWindow->isExposed()) {
        finishStart();
        return;
    }
    m_awaitedWindow->installEventFilter(this);
    QTimer::singleShot(1000, this, &TForm1::finishStart);
}

void TForm1::finishStart()
{
    if (m_awaitedWindow)
        m_awaitedWindow->removeEventFilter(this);
    m_awaitedWindow = nullptr;
    if (m_startFinished || m_closed)
        return;
    m_startFinished = true;
    // The program's icon is drawn, and given to every window, once the notes are up: the first painting of
    // the program is work that the notes need not wait for. The icon in the notification area asks the
    // desktop's session bus where to go.
    QApplication::setWindowIcon(TStTrayIcon::builtInIcon());
    ErrorDialog::guard([this] { makeTrayIcon(); });
    ErrorDialog::guard([this] { RegisterFileType(); });
    ErrorDialog::guard([this] { ApplyAutoStart(); });
}

void TForm1::makeTrayIcon()
{
    m_trayIcon = new TStTrayIcon(this);
    m_trayIcon->setObjectName(QStringLiteral("StTrayIcon1"));
    m_trayIcon->setMinimizeToTray(true);
    m_trayIcon->setPopupMenu(PopupMenu1());
    m_trayIcon->setHint(windowTitle());
    m_trayIcon->OnClick = [this](Qt::MouseButton, Qt::KeyboardModifiers) { StTrayIcon1Click(); };
    m_trayIcon->OnDblClick = [this](Qt::MouseButton, Qt::KeyboardModifiers, bool &restoreApp) {
        StTrayIcon1DblClick(restoreApp);
    };
    connect(m_trayIcon, &TStTrayIcon::errorRaised, this, [](const QString &message) { ErrorDialog::show(message); });
    connect(m_trayIcon, &TStTrayIcon::trayAvailabilityChanged, this, &TForm1::updateTrayMenuInNotes);
    updateTrayMenuInNotes();
}

void TForm1::ringNote(TFormSticky *note)
{
    FormSticky = note;
    note->ringAlarm();
    if (note->note())
        note->note()->markChanged(); // the fired alarm is off now, which the store must learn
}

void TForm1::reportSoundFailure(const QString &message)
{
    m_soundFailures.append(message);
    showSoundFailures();
}

void TForm1::showSoundFailures()
{
    // A box during the load would hold up the notes not made yet, and their missed alarms with them.
    if (!m_started || m_closed || m_showingSoundFailures)
        return;
    m_showingSoundFailures = true;
    while (!m_soundFailures.isEmpty() && !m_closed)
        ErrorDialog::show(m_soundFailures.takeFirst());
    m_showingSoundFailures = false;
}

void TForm1::RegisterFileType() const
{
    ShellIntegration::RegisterFileType(QCoreApplication::applicationFilePath(),
                                       m_folders.resourceFolder + QStringLiteral("icon.svg"));
}

void TForm1::ApplyAutoStart() const
{
    ShellIntegration::ApplyAutoStart(m_settings.autoStart(), QCoreApplication::applicationFilePath());
}

void TForm1::settingChanged(Settings::Key key)
{
    if (key == Settings::Key::Language) {
        ApplyLanguage(m_settings.language());
    } else if (key == Settings::Key::AutoStart && !m_revertingAutoStart) {
        // An entry that cannot be written is reported, and the setting goes back to what is really in force.
        if (!ErrorDialog::guard([this] { ApplyAutoStart(); })) {
            const QScopedValueRollback reverting(m_revertingAutoStart, true);
            m_settings.setAutoStart(!m_settings.autoStart());
        }
    }
}

void TForm1::applyDefaultToNotes(Settings::Key key)
{
    for (TFormSticky *note : notes()) {
        FormSticky = note;
        if (key == Settings::Key::Opacity) {
            note->setOpacity(m_settings.opacity());
            note->ApplyOpacity(m_settings.opacity());
        } else if (key == Settings::Key::Color) {
            note->setNoteColor(m_settings.color());
        }
    }
}

NoteDefaults TForm1::noteDefaults() const
{
    NoteDefaults defaults;
    defaults.opacity = m_settings.opacity();
    defaults.color = m_settings.color();
    defaults.soundFile = m_folders.resourceFolder + QStringLiteral("alarm/alarm.mp3");
    return defaults;
}

TFormSticky *TForm1::makeWindow(Note *note, int number)
{
    auto *window = new TFormSticky(note, m_folders.resourceFolder);
    m_windows.insert(note, window);
    window->setNoteNumber(number);
    connect(window, &TFormSticky::closed, this, &TForm1::noteClosed);
    connect(window, &TFormSticky::alarmRequested, this, &TForm1::PMAlarmClick);
    connect(window, &TFormSticky::soundFailed, this, &TForm1::reportSoundFailure);
    m_alarms.add(&note->alarm(), [this, window] { ringNote(window); });
    if (m_trayIcon && !m_trayIcon->trayAvailable())
        window->setTrayMenu(PopupMenu1());
    // Every show applies the current language, so a note made later carries it from its first display.
    window->currentLanguage = [this] { return m_languageFile; };
    FormSticky = window;
    return window;
}

void TForm1::noteAdded(Note *note)
{
    makeWindow(note, int(m_list->size()))->show();
}

void TForm1::noteClosed(TFormSticky *window)
{
    // Windows closed while the program ends are not the user's closes: no note is deleted then.
    if (m_closed || m_quitting)
        return;
    // A window closed twice has left the list already.
    if (Note *note = window->note(); note && m_list->indexOf(note) >= 0)
        m_list->remove(note);
}

void TForm1::noteRemoved(Note *note)
{
    // A deleted note's alarm fires no more, and a ringing one stops.
    m_alarms.remove(&note->alarm());
    TFormSticky *window = m_windows.take(note);
    if (!window)
        return;
    window->stopAlarm();
    window->hide();
    // The window may be inside its own close: it goes once that returned.
    window->deleteLater();
    m_droppedWindows.removeIf([](const QPointer<TFormSticky> &dropped) { return dropped.isNull(); });
    m_droppedWindows.append(window);
    for (qsizetype i = 0; i < m_list->size(); ++i) {
        if (TFormSticky *shown = m_windows.value(m_list->at(i)))
            shown->setNoteNumber(int(i + 1));
    }
}

void TForm1::updateRestoreItem()
{
    m_trayMenu->action(itemRestoreDeleted)->setEnabled(m_list->canRestore());
}

void TForm1::LoadNotes()
{
    m_list->setDefaults(noteDefaults());
    const QStringList errors = m_list->load(Languages::codePage(m_settings.language()));
    if (m_list->isStoreUnreadable())
        return;
    m_noteCount = int(m_list->size());

    // Making thousands of windows takes a while: events are handled every few tens of milliseconds, and after
    // every hundred windows however fast they come, so a termination request, "Exit" or a later start is
    // answered meanwhile, and may change the list.
    QList<QPointer<Note>> stored;
    stored.reserve(m_list->size());
    for (Note *note : m_list->notes())
        stored.append(note);
    // The alarms are checked together once every window is made (one that is due rings then), not at every
    // pass of the event loop in between.
    m_alarms.setHeld(true);
    auto release = qScopeGuard([this] { m_alarms.setHeld(false); });
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (qsizetype i = 0; i < stored.size() && !m_closed; ++i) {
        Note *note = stored[i];
        if (!note || m_windows.contains(note))
            continue;
        const qsizetype index = i < m_list->size() && m_list->at(i) == note ? i : m_list->indexOf(note);
        // The window manager would hand the focus to each note in turn as it appears, each handover a round
        // of work for it, the X server and this program that grows with the number of windows; only the last
        // note takes the focus, as it would have in the end.
        TFormSticky *window = makeWindow(note, int(index + 1));
        if (i + 1 < stored.size())
            Window::showWithoutActivating(window);
        else
            window->show();
        if (sinceEvents.elapsed() >= 50 || (i + 1) % 100 == 0) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    }
    // Released here, before the colour errors' boxes; the guard is for a load that ends in an exception.
    release.dismiss();
    m_alarms.setHeld(false);
    // A colour that cannot be read is reported once the notes are up; that note took the default
    // colour and every other note loaded, so the next save loses nothing.
    for (const QString &error : errors) {
        if (!m_closed)
            ErrorDialog::show(error);
    }
}

void TForm1::OpenNoteFile(const QString &path)
{
    QString colorError;
    const NoteRecord record =
        NoteStore::loadStickieFile(path, noteDefaults(), &colorError, Languages::codePage(m_settings.language()));
    if (!colorError.isEmpty())
        ErrorDialog::show(colorError);
    Note *note = m_list->add(record);
    // Its alarm was in no store of this program: a moment already past is nothing this program missed.
    note->alarm().setCheckedUntil(Clock::current().now());
}

bool TForm1::FormClose()
{
    // The notes first: a settings file that cannot be written (a folder of that name, an immutable file)
    // still fails the close, but only once the notes are safe.
    return ErrorDialog::guard([this] {
        SaveNotes();
        writeSettings();
    });
}

void TForm1::writeSettings()
{
    QDateTime checked = m_alarms.alarmsChecked(AlarmClocks::current());
    // The notes the load has not made windows for yet were not looked at at all.
    const QList<Note *> &listed = m_list->notes();
    const bool armedUnshown = std::any_of(listed.cbegin(), listed.cend(), [this](const Note *note) {
        return note->alarm().fields.enabled && !m_windows.contains(note);
    });
    // Neither were those of a store that could not be read: they ring when it can be read again.
    if ((armedUnshown || m_list->isStoreUnreadable()) && m_alarms.checkedBeforeStart().isValid())
        checked = qMin(checked, m_alarms.checkedBeforeStart());
    m_settings.setAlarmsChecked(checked.toUTC());
    m_settings.write(m_folders.settingsPath);
}

void TForm1::PMExitClick()
{
    if (m_closed || !FormClose())
        return;
    finishClosing();
}

void TForm1::finishClosing()
{
    m_closed = true;
    m_list->stopAutosave();
    Q_EMIT closing();
    // Ends the event loop and any dialog's loop it runs in, also during start-up, before the main loop
    // runs (where quit() would do nothing); start-up stops at its next step, and its caller sees isClosed().
    QCoreApplication::exit(0);
}

void TForm1::writeQuietly()
{
    if (m_closed)
        return;
    // Nobody may be at the screen to answer a dialog: a failed write is only reported on stderr, and
    // the store on disk is still the last complete one.
    ErrorDialog::setHandler([](const QString &text) { qWarning("quillet: %s", qPrintable(text)); });
    FormClose();
    ErrorDialog::setHandler({});
}

void TForm1::closeForTermination()
{
    if (m_closed)
        return;
    // Nobody may be at the screen: from now on failures only go to stderr, so that no dialog opens a loop
    // of its own that would keep the program from ending.
    ErrorDialog::setHandler([](const QString &text) { qWarning("quillet: %s", qPrintable(text)); });
    FormClose();
    finishClosing();
}

QString TForm1::newNoteTitle() const
{
    // The short date and the long time; exactly at midnight, by whole seconds, the date alone.
    const QDateTime now = Clock::current().now();
    const QTime time = QTime(now.time().hour(), now.time().minute(), now.time().second());
    QString title = LocaleTexts::shortDate(now.date());
    if (time != QTime(0, 0))
        title += QLatin1Char(' ') + LocaleTexts::longTime(time);
    return title;
}

void TForm1::PMNewStickyNoteClick()
{
    m_noteCount = int(m_list->size()) + 1;
    const NoteDefaults defaults = noteDefaults();
    NoteRecord record;
    record.title = newNoteTitle();
    record.width = defaults.width;
    record.height = defaults.height;
    record.left = Defaults::noteLeft;
    record.top = Defaults::noteTop;
    // Centred within the primary screen's free area, wherever that screen lies among the others.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        record.left = area.x() + (area.width() - record.width) / 2;
        record.top = area.y() + (area.height() - record.height) / 2;
    }
    record.opacity = m_settings.opacity();
    record.color = m_settings.color();
    record.alarm.countdown = true;
    record.alarm.soundFile = defaults.soundFile;
    m_list->add(record);
}

void TForm1::PMFindClick()
{
    FormFind()->open();
}

// The dialogs are made when first opened, not at start-up, and take the language in force then.
TFormOptions *TForm1::FormOptions()
{
    if (!m_formOptions) {
        m_formOptions = std::make_unique<TFormOptions>(m_settings);
        m_formOptions->setApplyLanguage([this] { ApplyLanguage(m_settings.language()); });
        m_formOptions->setSaveNotes([this] { SaveNotes(); });
        connect(m_formOptions.get(), &TFormOptions::appliedToNotes, this, &TForm1::applyDefaultToNotes);
        applyLanguageTo(m_formOptions.get());
    }
    return m_formOptions.get();
}

TAboutBox *TForm1::AboutBox()
{
    if (!m_aboutBox) {
        m_aboutBox = std::make_unique<TAboutBox>();
        m_aboutBox->setApplyLanguage([this] { ApplyLanguage(m_settings.language()); });
        applyLanguageTo(m_aboutBox.get());
    }
    return m_aboutBox.get();
}

FindWindow *TForm1::FormFind()
{
    if (!m_formFind) {
        m_formFind = std::make_unique<FindWindow>(*m_list);
        connect(m_formFind.get(), &FindWindow::noteChosen, this, &TForm1::showFoundNote);
        applyLanguageTo(m_formFind.get());
    }
    return m_formFind.get();
}

void TForm1::showFoundNote(Note *note, const QStringList &words)
{
    if (TFormSticky *window = m_windows.value(note)) {
        FormSticky = window;
        window->showFound(words);
    }
}

void TForm1::PMAllOnTopClick()
{
    const bool checked = m_trayMenu->action(itemAllOnTop)->isChecked();
    for (TFormSticky *note : notes()) {
        FormSticky = note;
        note->setStayOnTop(checked);
    }
}

void TForm1::PMAllLockTextClick()
{
    const bool checked = m_trayMenu->action(itemAllLockText)->isChecked();
    for (TFormSticky *note : notes()) {
        FormSticky = note;
        note->setLockText(checked);
    }
}

void TForm1::PMHideAllClick()
{
    const bool checked = m_trayMenu->action(itemHideAll)->isChecked();
    for (TFormSticky *note : notes()) {
        FormSticky = note;
        // Minimised notes keep their normal bounds, which is what the store saves.
        if (checked)
            note->showMinimized();
        else
            note->showNormal();
    }
}

void TForm1::PMDeleteAllClick()
{
    if (!m_closed)
        m_list->removeAll();
}

void TForm1::PMRestoreDeletedClick()
{
    m_list->restoreDeleted();
}

TFormAlarm *TForm1::formAlarm()
{
    if (!m_formAlarm) {
        m_formAlarm = std::make_unique<TFormAlarm>();
        applyLanguageTo(m_formAlarm.get());
    }
    return m_formAlarm.get();
}

void TForm1::PMAlarmClick(TFormSticky *note)
{
    const int number = note->note() ? int(m_list->indexOf(note->note())) + 1 : 0;
    if (number < 1)
        return;
    // The texts first: the period list's selection is set by the filling that follows.
    ApplyLanguage(m_settings.language());
    TFormAlarm *dialog = formAlarm();
    FormSticky = note;
    dialog->fill(note->alarm().fields, Clock::current().now());
    dialog->TargetNote = number;
    dialog->DefaultSoundFile = note->defaultSoundFile();
    // The dialog writes into the note it was opened for, held here: the current note moves on while the
    // dialog is open (an alarm ringing on another note makes that one current).
    const QPointer<TFormSticky> target(note);
    dialog->onPlaySoundChanged = [target](bool on) {
        if (target && target->note()) {
            target->alarm().fields.playSound = on;
            target->note()->markChanged();
        }
    };
    dialog->onOk = [this, dialog, target] {
        if (!target || !target->note() || m_list->indexOf(target->note()) < 0)
            return;
        FormSticky = target.data();
        NoteAlarm &alarm = FormSticky->alarm();
        alarm.fields = dialog->values();
        const AlarmClocks clocks = AlarmClocks::current();
        if (const std::optional<qint64> seconds = dialog->countdownSeconds())
            alarm.startCountdown(*seconds, clocks);
        // Armed now: a moment that had already passed is no alarm missed.
        alarm.setCheckedUntil(clocks.now);
        m_alarms.reschedule();
        ErrorDialog::guard([this] { SaveNotes(); });
    };
    dialog->exec();
}

void TForm1::PMOptionsClick()
{
    FormOptions()->execute();
}

void TForm1::PMAboutClick()
{
    AboutBox()->execute();
}

void TForm1::PMLangClick(int index)
{
    PMLanguageClick(QStringView(Languages::list[index].name).toString());
}

void TForm1::PMLanguageClick(const QString &language)
{
    // A new language is applied as the setting changes. The one in force is applied again all the same: its
    // file is read afresh and its item, which the click has just unchecked, is checked again.
    if (language == m_settings.language())
        ApplyLanguage(language);
    else
        m_settings.setLanguage(language);
}

TextTarget::Forms TForm1::textForms()
{
    TextTarget::Forms forms;
    forms.menuItem = [this](QStringView name) {
        const int row = m_trayMenu->find(name);
        return row < 0 ? nullptr : m_trayMenu->action(row);
    };
    forms.dialogs = {m_formOptions.get(), m_formAlarm.get(), m_aboutBox.get(), m_formFind.get()};
    return forms;
}

TextTarget TForm1::textTarget(QStringView key)
{
    FormOptions();
    formAlarm();
    AboutBox();
    FormFind();
    return TextTarget::find(key, textForms());
}

void TForm1::applyTexts(const LanguageFile &file, const TextTarget::Forms &forms)
{
    for (const TextCatalog::Entry &entry : TextCatalog::entries(TextCatalog::Group::MainForm)) {
        // The tray menu's rows take their captions without being made: the menu is made when first needed,
        // which at start is once the notes are up.
        const TextCatalog::KeyPath path = TextCatalog::parse(entry.key);
        if (const int row = path.form.isEmpty() ? m_trayMenu->find(path.control) : -1; row >= 0) {
            const QString current = m_trayMenu->caption(row);
            if (const QString text = file.text(entry.key, current); path.property == u"Caption" && text != current)
                m_trayMenu->setCaption(row, text);
            continue;
        }
        const TextTarget target = TextTarget::find(entry.key, forms);
        if (target.isValid()) {
            target.setText(file.text(entry.key, target.text()));
        } else if (!path.form.isEmpty()) {
            // A dialog not made yet: it takes the text when it is made, as if it had been there all along (a
            // file lacking the key leaves the text of the language before).
            const QString kept = m_dialogTexts.value(entry.key.toString(), entry.builtInText.toString());
            m_dialogTexts.insert(entry.key.toString(), file.text(entry.key, kept));
        }
    }
}

void TForm1::applyLanguageTo(QWidget *dialog)
{
    const TextTarget::Forms forms{.menuItem = {}, .dialogs = {dialog}};
    for (auto text = m_dialogTexts.cbegin(); text != m_dialogTexts.cend(); ++text) {
        const TextTarget target = TextTarget::find(text.key(), forms);
        if (target.isValid())
            target.setText(text.value());
    }
}

void TForm1::ApplyLanguage(const QString &language)
{
    for (std::size_t i = 0; i < Languages::count; ++i)
        m_trayMenu->setChecked(itemFirstLanguage + int(i), language == QStringView(Languages::list[i].name));

    // Qt's own dialogs follow the chosen language, whether a language file of ours is there or not.
    m_qtTranslation.use(language);

    // Read once here; note windows shown later take their texts from this reading.
    m_languageFile = std::make_shared<const LanguageFile>(LanguageFile::folderIn(m_folders.resourceFolder), language);
    const LanguageFile &file = *m_languageFile;
    // Without a file every text would fall back to itself.
    if (!file.isLoaded())
        return;
    applyTexts(file, textForms());
    MessageText::apply(file);
    // The notes share the one reading of the file; from the last to the first.
    const QList<TFormSticky *> windows = notes();
    for (qsizetype i = windows.size() - 1; i >= 0; --i)
        windows[i]->ApplyNoteLanguage(file);
}

void TForm1::StTrayIcon1Click()
{
    // Every note to the front, in list order, so the last one ends up on top.
    for (TFormSticky *note : notes()) {
        FormSticky = note;
        Window::bringToFront(note);
    }
}

void TForm1::StTrayIcon1DblClick(bool &restoreApp)
{
    restoreApp = false;
    m_trayIcon->MinimizeApplication();
    PMNewStickyNoteClick();
}

void TForm1::handleSecondStart(const QString &argument)
{
    if (m_closed)
        return;
    if (!m_started) {
        m_pendingArguments.append(argument);
        return;
    }
    ErrorDialog::guard([&] {
        if (const std::optional<CommandLine::Action> action = CommandLine::actionIn(argument))
            runAction(*action);
        else if (argument.isEmpty())
            PMNewStickyNoteClick();
        else
            OpenNoteFile(argument);
    });
}

void TForm1::runAction(CommandLine::Action action)
{
    switch (action) {
    case CommandLine::Action::None:
        return;
    case CommandLine::Action::New:
        PMNewStickyNoteClick();
        return;
    case CommandLine::Action::Show:
        setAllHidden(false);
        StTrayIcon1Click();
        return;
    case CommandLine::Action::Hide:
        setAllHidden(true);
        return;
    case CommandLine::Action::Toggle: {
        // What the user sees decides, not the check mark alone: notes minimised one by one count as hidden.
        // Without notes there is nothing to see, and the check mark flips.
        const QList<TFormSticky *> windows = notes();
        const bool anyShown = std::any_of(windows.cbegin(), windows.cend(), [](const TFormSticky *note) {
            return note->isVisible() && !note->isMinimized();
        });
        const bool hide = windows.isEmpty() ? !m_trayMenu->action(itemHideAll)->isChecked() : anyShown;
        setAllHidden(hide);
        if (!hide)
            StTrayIcon1Click();
        return;
    }
    }
}

void TForm1::setAllHidden(bool hidden)
{
    m_trayMenu->action(itemHideAll)->setChecked(hidden);
    PMHideAllClick();
}

void TForm1::updateTrayMenuInNotes()
{
    // Without a notification area the tray menu would be out of reach: every note carries it then.
    QMenu *menu = !m_trayIcon || m_trayIcon->trayAvailable() ? nullptr : PopupMenu1();
    for (TFormSticky *note : std::as_const(m_windows))
        note->setTrayMenu(menu);
}
