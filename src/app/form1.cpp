#include "app/form1.h"

#include "alarm/form_alarm.h"
#include "i18n/language_file.h"
#include "i18n/message_text.h"
#include "i18n/text_catalog.h"
#include "note/form_sticky.h"
#include "platform/clock.h"
#include "platform/locale_texts.h"
#include "platform/shell_integration.h"
#include "platform/window.h"
#include "store/app_error.h"
#include "store/defaults.h"
#include "store/note_store.h"
#include "store/profile.h"
#include "store/settings.h"
#include "ui/about_box.h"
#include "ui/error_dialog.h"
#include "ui/form_options.h"
#include "ui/st_tray_icon.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QScreen>

#include <algorithm>
#include <utility>

QPointer<TFormSticky> FormSticky;

namespace {

// The four languages of the tray menu, in the order of their items.
constexpr const char *languages[] = {"English", "Russian", "Bulgarian", "Greek"};

// The tray menu, in display order.
// clang-format off
constexpr MenuRow<TForm1> trayRows[] = {
    {.name = "PMNewStickyNote", .caption = "New Sticky Note", .onClick = &TForm1::PMNewStickyNoteClick},
    {.name = "N3"},
    {.name = "PMSetAll", .caption = "Set All"},
    {.name = "PMAllOnTop", .caption = "On Top", .depth = 1, .checkable = true, .onClick = &TForm1::PMAllOnTopClick},
    {.name = "PMAllLockText", .caption = "Lock Text", .depth = 1, .checkable = true, .onClick = &TForm1::PMAllLockTextClick},
    {.name = "PMHideAll", .caption = "Hide All", .checkable = true, .onClick = &TForm1::PMHideAllClick},
    {.name = "PMDeleteAll", .caption = "Delete All", .onClick = &TForm1::PMDeleteAllClick},
    {.name = "PMRestoreDeleted", .caption = "Restore Deleted Notes", .onClick = &TForm1::PMRestoreDeletedClick},
    {.name = "N4"},
    {.name = "PMOptions", .caption = "Options", .onClick = &TForm1::PMOptionsClick},
    {.name = "PMLanguage", .caption = "Language"},
    {.name = "PMLangEnglish", .caption = "English", .depth = 1, .checkable = true, .onValue = &TForm1::PMLangClick, .value = 0},
    {.name = "PMLangRussian", .caption = "Russian", .depth = 1, .checkable = true, .onValue = &TForm1::PMLangClick, .value = 1},
    {.name = "PMLangBulgarian", .caption = "Bulgarian", .depth = 1, .checkable = true, .onValue = &TForm1::PMLangClick, .value = 2},
    {.name = "PMLangGreek", .caption = "Greek", .depth = 1, .checkable = true, .onValue = &TForm1::PMLangClick, .value = 3},
    {.name = "N2"},
    {.name = "PMAbout", .caption = "About Program", .onClick = &TForm1::PMAboutClick},
    {.name = "N1"},
    {.name = "PMExit", .caption = "Exit", .onClick = &TForm1::PMExitClick},
};
// clang-format on
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
    DefaultColor = Defaults::noteColor;
    m_trayMenu = std::make_unique<MenuTable<TForm1>>(this, trayRows);
    m_popupMenu = m_trayMenu->menu();

    m_trayIcon = new TStTrayIcon(this);
    m_trayIcon->setObjectName(QStringLiteral("StTrayIcon1"));
    m_trayIcon->setMinimizeToTray(true);
    m_trayIcon->setPopupMenu(m_popupMenu);
    m_trayIcon->setHint(windowTitle());
    m_trayIcon->OnClick = [this](Qt::MouseButton, Qt::KeyboardModifiers) { StTrayIcon1Click(); };
    m_trayIcon->OnDblClick = [this](Qt::MouseButton, Qt::KeyboardModifiers, bool &restoreApp) {
        StTrayIcon1DblClick(restoreApp);
    };
    connect(m_trayIcon, &TStTrayIcon::errorRaised, this, [](const QString &message) { ErrorDialog::show(message); });
    connect(m_trayIcon, &TStTrayIcon::trayAvailabilityChanged, this, &TForm1::updateTrayMenuInNotes);

    m_list = std::make_unique<NoteList>(m_folders.storePath, m_folders.dataFolder);
    connect(m_list.get(), &NoteList::added, this, &TForm1::noteAdded);
    connect(m_list.get(), &NoteList::removed, this, &TForm1::noteRemoved);
    connect(m_list.get(), &NoteList::trashChanged, this, &TForm1::updateRestoreItem);
    connect(m_list.get(), &NoteList::errorRaised, this, [](const QString &message) { ErrorDialog::show(message); });
    connect(m_list.get(), &NoteList::notesRecovered, this, [](const QString &storePath, const QString &recovered) {
        ErrorDialog::show(MessageText::text(u"Messages->NotesRecovered")
                              .arg(QDir::toNativeSeparators(storePath), QDir::toNativeSeparators(recovered)));
    });
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
        m_formOptions = std::make_unique<TFormOptions>(this);
        m_aboutBox = std::make_unique<TAboutBox>();
        m_formOptions->setApplyLanguage([this] { ApplyLanguage(Language); });
        m_aboutBox->setApplyLanguage([this] { ApplyLanguage(Language); });
        ErrorDialog::guard([this] { RegisterFileType(); });

        Settings settings;
        const auto adoptSettings = [&] {
            Language = settings.language;
            AutoStart = settings.autoStart;
            DefaultOpacity = settings.opacity;
            DefaultColor = settings.color;
            m_alarms.setAlarmsChecked(settings.alarmsChecked);
        };
        // A "Color" that cannot be read leaves the default colour; the settings read before it still count.
        ErrorDialog::guard([&] { settings.read(m_folders.settingsPath); });
        adoptSettings();
        ErrorDialog::guard([this] { ApplyAutoStart(); });
        ApplyLanguage(Language);

        LoadNotes();
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
    ShellIntegration::ApplyAutoStart(AutoStart, QCoreApplication::applicationFilePath());
}

NoteDefaults TForm1::noteDefaults() const
{
    NoteDefaults defaults;
    defaults.opacity = DefaultOpacity;
    defaults.color = DefaultColor;
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
    if (!m_trayIcon->trayAvailable())
        window->setTrayMenu(m_popupMenu);
    // Every show applies the current language, so a note made later carries it from its first display.
    window->currentLanguage = [this] { return Language; };
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
    const QStringList errors = m_list->load(Settings::codePageOf(Language));
    if (m_list->isStoreUnreadable())
        return;
    NoteCount = int(m_list->size());

    // Making thousands of windows takes a while: events are handled every few tens of milliseconds, so a
    // termination request, "Exit" or a later start is answered meanwhile, and may change the list.
    QList<QPointer<Note>> stored;
    stored.reserve(m_list->size());
    for (Note *note : m_list->notes())
        stored.append(note);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (qsizetype i = 0; i < stored.size() && !m_closed; ++i) {
        Note *note = stored[i];
        if (!note || m_windows.contains(note))
            continue;
        const qsizetype index = i < m_list->size() && m_list->at(i) == note ? i : m_list->indexOf(note);
        makeWindow(note, int(index + 1))->show();
        if (sinceEvents.elapsed() >= 50) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    }
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
        NoteStore::loadStickieFile(path, noteDefaults(), &colorError, Settings::codePageOf(Language));
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

void TForm1::writeSettings() const
{
    Settings settings;
    settings.language = Language;
    settings.autoStart = AutoStart;
    settings.opacity = DefaultOpacity;
    settings.color = DefaultColor;
    QDateTime checked = m_alarms.alarmsChecked(AlarmClocks::current());
    // The notes the load has not made windows for yet were not looked at at all.
    const QList<Note *> &listed = m_list->notes();
    const bool armedUnshown = std::any_of(listed.cbegin(), listed.cend(), [this](const Note *note) {
        return note->alarm().fields.enabled && !m_windows.contains(note);
    });
    // Neither were those of a store that could not be read: they ring when it can be read again.
    if ((armedUnshown || m_list->isStoreUnreadable()) && m_alarms.checkedBeforeStart().isValid())
        checked = qMin(checked, m_alarms.checkedBeforeStart());
    settings.alarmsChecked = checked.toUTC();
    settings.write(m_folders.settingsPath);
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
    NoteCount = int(m_list->size()) + 1;
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
    record.opacity = DefaultOpacity;
    record.color = DefaultColor;
    record.alarm.countdown = true;
    record.alarm.soundFile = defaults.soundFile;
    m_list->add(record);
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
    if (!m_formAlarm)
        m_formAlarm = std::make_unique<TFormAlarm>();
    return m_formAlarm.get();
}

void TForm1::PMAlarmClick(TFormSticky *note)
{
    const int number = note->note() ? int(m_list->indexOf(note->note())) + 1 : 0;
    if (number < 1)
        return;
    // The texts first: the period list's selection is set by the filling that follows.
    ApplyLanguage(Language);
    TFormAlarm *dialog = formAlarm();
    FormSticky = note;
    dialog->fill(note->alarm().fields, Clock::current().now());
    dialog->TargetNote = number;
    dialog->DefaultSoundFile = note->defaultSoundFile();
    // The dialog writes into the note it was opened for, held here: the current note moves on while the
    // dialog is open (an alarm ringing on another note makes that one current).
    const QPointer<TFormSticky> target(note);
    dialog->onPlaySoundChanged = [this, target](bool on) {
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
    if (m_formOptions)
        m_formOptions->execute();
}

void TForm1::PMAboutClick()
{
    if (m_aboutBox)
        m_aboutBox->execute();
}

void TForm1::PMLangClick(int index)
{
    PMLanguageClick(QString::fromLatin1(languages[index]));
}

void TForm1::PMLanguageClick(const QString &language)
{
    Language = language;
    ApplyLanguage(Language);
}

TextTarget::Forms TForm1::textForms()
{
    TextTarget::Forms forms;
    forms.menuItem = [this](QStringView name) {
        const int row = m_trayMenu->find(name);
        return row < 0 ? nullptr : m_trayMenu->action(row);
    };
    forms.dialogs = {m_formOptions.get(), formAlarm(), m_aboutBox.get()};
    return forms;
}

TextTarget TForm1::textTarget(QStringView key)
{
    return TextTarget::find(key, textForms());
}

void TForm1::ApplyLanguage(const QString &language)
{
    for (int i = 0; i < int(std::size(languages)); ++i)
        m_trayMenu->action(itemFirstLanguage + i)->setChecked(language == QLatin1String(languages[i]));

    // Qt's own dialogs follow the chosen language, whether a language file of ours is there or not.
    m_qtTranslation.use(language);

    const LanguageFile file(LanguageFile::folderIn(m_folders.resourceFolder), language);
    // Without a file every text would fall back to itself.
    if (!file.isLoaded())
        return;
    const TextTarget::Forms forms = textForms();
    for (const TextCatalog::Entry &entry : TextCatalog::entries(TextCatalog::Group::MainForm)) {
        const TextTarget target = TextTarget::find(entry.key, forms);
        if (target.isValid())
            target.setText(file.text(entry.key, target.text()));
    }
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
        if (argument.isEmpty())
            PMNewStickyNoteClick();
        else
            OpenNoteFile(argument);
    });
}

void TForm1::updateTrayMenuInNotes()
{
    // Without a notification area the tray menu would be out of reach: every note carries it then.
    QMenu *menu = m_trayIcon->trayAvailable() ? nullptr : m_popupMenu;
    for (TFormSticky *note : std::as_const(m_windows))
        note->setTrayMenu(menu);
}
