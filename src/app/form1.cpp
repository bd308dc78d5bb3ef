#include "app/form1.h"

#include "alarm/form_alarm.h"
#include "app/about_box.h"
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
#include "store/store_backups.h"
#include "widgets/error_dialog.h"
#include "widgets/st_tray_icon.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QScopedValueRollback>
#include <QScreen>

#include <algorithm>
#include <array>
#include <utility>

QPointer<TFormSticky> FormSticky;

namespace {

// The tray menu, in display order; the language items, from the language list, follow "Language".
// clang-format off
constexpr MenuRow<TForm1> rowsBeforeLanguages[] = {
    {.name = "PMNewStickyNote", .key = u"PMNewStickyNote->Caption", .onClick = &TForm1::PMNewStickyNoteClick},
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
    for (QTimer *timer : {&m_autosave, &m_autosaveLimit}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, &TForm1::saveIfChanged);
    }
    setAutosaveDelays(autosaveDelayMs, autosaveLimitMs);
    connect(&m_settings, &Settings::changed, this, &TForm1::settingChanged);
    m_trash = NoteTrash(NoteTrash::pathBeside(m_folders.storePath));
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

void TForm1::setAutosaveDelays(int delayMs, int limitMs)
{
    m_autosave.setInterval(delayMs);
    m_autosaveLimit.setInterval(limitMs);
}

TForm1::~TForm1()
{
    // The form owns every note window it made; FormSticky forgets each as it goes.
    qDeleteAll(m_allNotes);
    delete m_templateNote;
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
    removeStaleTemporaryFiles();
    // A failing step is shown and start-up goes on with the next: a desktop folder that cannot be written or
    // a settings value that cannot be read must not keep the notes from loading. What the step failed to
    // set keeps its default.
    ErrorDialog::guard([&] {
        m_templateNote = new TFormSticky(m_folders.resourceFolder);
        FormSticky = m_templateNote;
        m_formOptions = std::make_unique<TFormOptions>(m_settings);
        m_aboutBox = std::make_unique<TAboutBox>();
        m_formOptions->setApplyLanguage([this] { ApplyLanguage(m_settings.language()); });
        m_formOptions->setSaveNotes([this] { SaveNotes(); });
        connect(m_formOptions.get(), &TFormOptions::appliedToNotes, this, &TForm1::applyDefaultToNotes);
        m_aboutBox->setApplyLanguage([this] { ApplyLanguage(m_settings.language()); });
        ErrorDialog::guard([this] { RegisterFileType(); });

        // A "Color" that cannot be read leaves the default colour; the other settings still count.
        ErrorDialog::guard([this] { m_settings.read(m_folders.settingsPath); });
        m_alarms.setAlarmsChecked(m_settings.alarmsChecked());
        ErrorDialog::guard([this] { ApplyAutoStart(); });
        ApplyLanguage(m_settings.language());

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
    noteChanged(); // the fired alarm is off now, which the store must learn
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
    for (TFormSticky *note : std::as_const(m_notes)) {
        FormSticky = note;
        if (key == Settings::Key::Opacity) {
            note->setOpacity(m_settings.opacity());
            note->ApplyOpacity(m_settings.opacity());
        } else if (key == Settings::Key::Color) {
            note->setNoteColor(m_settings.color());
        }
    }
}

void TForm1::removeStaleTemporaryFiles() const
{
    // A kill during a save can leave the temporary file that was about to replace the store (or another of
    // the program's files); the old file is still whole, so the leftover only takes room. Only names of the
    // program's own go: a user's "stickies.ini.bak001" stays. Only the instance that holds the store runs
    // this, so no other save can be in progress.
    for (const QString &folderPath : {m_folders.dataFolder, m_folders.dataFolder + QStringLiteral("backups")}) {
        const QDir folder(folderPath);
        for (const QString &entry : folder.entryList(QDir::Files | QDir::Hidden)) {
            if (Profile::isLeftoverTemporary(entry))
                QFile::remove(folder.filePath(entry));
        }
    }
}

NoteDefaults TForm1::noteDefaults() const
{
    NoteDefaults defaults;
    defaults.opacity = m_settings.opacity();
    defaults.color = m_settings.color();
    if (m_templateNote) {
        defaults.width = m_templateNote->width();
        defaults.height = m_templateNote->height();
        defaults.soundFile = m_templateNote->toRecord().alarm.soundFile;
    }
    return defaults;
}

TFormSticky *TForm1::createNote()
{
    auto *note = new TFormSticky(m_folders.resourceFolder);
    m_allNotes.append(note);
    connect(note, &TFormSticky::closed, this, &TForm1::removeFromList);
    connect(note, &TFormSticky::changed, this, &TForm1::noteChanged);
    connect(note, &TFormSticky::alarmRequested, this, &TForm1::PMAlarmClick);
    connect(note, &TFormSticky::soundFailed, this, &TForm1::reportSoundFailure);
    m_alarms.add(&note->alarm(), [this, note] { ringNote(note); });
    if (!m_trayIcon->trayAvailable())
        note->setTrayMenu(m_popupMenu);
    // Every show applies the current language, so a note made later carries it from its first display.
    note->currentLanguage = [this] { return m_settings.language(); };
    FormSticky = note;
    return note;
}

void TForm1::addToList(TFormSticky *note)
{
    m_notes.append(note);
    noteChanged();
}

void TForm1::removeFromList(TFormSticky *note)
{
    // Windows closed while the program ends are not the user's closes: no note is deleted then.
    if (m_closed || m_quitting)
        return;
    // The closed window may already be out of the list (closed twice); its stale number must not
    // take another note out.
    const qsizetype index = m_notes.indexOf(note);
    if (index < 0)
        return;
    // Kept as it was, alarm and all, before the alarm is silenced.
    const NoteRecord record = note->toRecord();
    // A deleted note's alarm fires no more, and a ringing one stops.
    note->stopAlarm();
    m_alarms.remove(&note->alarm());
    m_notes.removeAt(index);
    for (qsizetype i = 0; i < m_notes.size(); ++i)
        m_notes[i]->setNoteNumber(int(i + 1));
    if (m_deletingAll)
        m_deletedBatch.prepend(record); // "Delete All" closes from the last note to the first
    else
        keepDeleted({record});
}

void TForm1::keepDeleted(const QList<NoteRecord> &records)
{
    if (records.isEmpty())
        return;
    // The trash first, then the store at once: a crash between the two writes leaves the notes in both
    // files, which the next start sorts out, and never in neither.
    if (m_trashUsable) {
        try {
            m_trash.add(records, Clock::current().now());
            m_trashErrorShown = false;
        } catch (const AppError &error) {
            reportTrashError(error.message());
        }
        updateRestoreItem();
    }
    saveIfChanged();
}

void TForm1::reportTrashError(const QString &message)
{
    // A trash that cannot be written (a full disk) is reported once; the deletes go on all the same.
    if (m_trashErrorShown)
        return;
    m_trashErrorShown = true;
    ErrorDialog::show(message);
}

void TForm1::updateRestoreItem()
{
    m_trayMenu->action(itemRestoreDeleted)->setEnabled(m_trashUsable && !m_trash.isEmpty());
}

void TForm1::loadTrash(const QList<NoteRecord> *storeNotes)
{
    const QDateTime now = Clock::current().now();
    try {
        m_trash.load(noteDefaults(), now);
        m_trashUsable = true;
        // Without the store's notes (it could not be read) there is nothing to compare the trash with.
        if (storeNotes)
            m_trash.dropNotesIn(*storeNotes, now);
    } catch (const AppError &error) {
        reportTrashError(error.message());
    }
    updateRestoreItem();
}

void TForm1::noteChanged()
{
    if (!savesEnabled() || m_closed)
        return;
    m_autosave.start();
    if (!m_autosaveLimit.isActive())
        m_autosaveLimit.start();
}

void TForm1::LoadNotes()
{
    NoteStore::LoadResult result;
    try {
        result = NoteStore::load(m_folders.storePath, noteDefaults(), Languages::codePage(m_settings.language()));
    } catch (const AppError &error) {
        // The store is there but cannot be read (no permission, an I/O error): taking it for empty would
        // let the next save replace every note in it. The run goes on without them, and what the user makes
        // meanwhile is kept in a file of its own (writeRecovered).
        m_storeUnreadable = true;
        ErrorDialog::show(error.message());
        loadTrash(nullptr);
        return;
    }
    loadTrash(&result.notes);
    m_noteCount = int(result.notes.size());
    m_lastSaved = result.notes;
    m_unshown = std::move(result.notes);
    m_notesLoaded = true;

    // Making thousands of windows takes a while: events are handled every few tens of milliseconds, so a
    // termination request, "Exit" or a later start is answered meanwhile.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    while (!m_unshown.isEmpty() && !m_closed) {
        showStoredNote(m_unshown.takeFirst());
        if (sinceEvents.elapsed() >= 50) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    }
    // A colour that cannot be read is reported once the notes are up; that note took the default
    // colour and every other note loaded, so the next save loses nothing.
    for (const QString &error : std::as_const(result.errors)) {
        if (!m_closed)
            ErrorDialog::show(error);
    }
}

void TForm1::showStoredNote(const NoteRecord &record)
{
    TFormSticky *note = createNote();
    note->setNoteNumber(int(m_notes.size()) + 1);
    note->applyRecord(record);
    m_notes.append(note);
    note->show();
}

QList<NoteRecord> TForm1::currentRecords() const
{
    QList<NoteRecord> records;
    records.reserve(m_notes.size() + m_unshown.size());
    for (const TFormSticky *note : m_notes)
        records.append(note->toRecord());
    records.append(m_unshown);
    return records;
}

void TForm1::SaveNotes()
{
    if (savesEnabled())
        writeRecords(currentRecords());
}

void TForm1::writeRecords(QList<NoteRecord> records)
{
    QString backupError;
    if (m_storeUnreadable) {
        writeRecovered(records);
    } else {
        backupError = backUpStore();
        NoteStore::save(m_folders.storePath, records);
    }
    m_lastSaved = std::move(records);
    m_autosaveErrorShown = false;
    // Shown once the notes are safe: the dialog's own loop must not run while the save waits.
    if (!backupError.isEmpty())
        ErrorDialog::show(backupError);
}

QString TForm1::backUpStore()
{
    // Only a store this run has read is copied: one that could not be read is never written, nor copied.
    const QDate today = Clock::current().now().date();
    if (!m_notesLoaded || m_backupDay == today)
        return {};
    m_backupDay = today;
    try {
        StoreBackups::backUp(m_folders.storePath, today);
    } catch (const AppError &error) {
        // A folder of backups that cannot be written would otherwise ask every day; once a run is enough.
        if (!m_backupErrorShown) {
            m_backupErrorShown = true;
            return error.message();
        }
        qWarning("quillet: %s", qPrintable(error.message()));
    }
    return {};
}

void TForm1::writeRecovered(const QList<NoteRecord> &records)
{
    // The store that could not be read is never replaced in this run. The notes made meanwhile go to a file
    // of their own beside it, named once per run so that an earlier run's file is never overwritten, and
    // the user is told once where they are.
    if (m_recoveredPath.isEmpty()) {
        if (records.isEmpty())
            return;
        const QString stem = m_folders.storePath + QStringLiteral(".recovered-") +
                             Clock::current().now().toString(QStringLiteral("yyyy-MM-dd"));
        m_recoveredPath = stem;
        for (int n = 2; QFileInfo::exists(m_recoveredPath) || QFileInfo(m_recoveredPath).isSymLink(); ++n)
            m_recoveredPath = stem + QLatin1Char('-') + QString::number(n);
    }
    NoteStore::save(m_recoveredPath, records);
    if (!m_recoveredReported) {
        m_recoveredReported = true;
        ErrorDialog::show(
            MessageText::text(u"Messages->NotesRecovered")
                .arg(QDir::toNativeSeparators(m_folders.storePath), QDir::toNativeSeparators(m_recoveredPath)));
    }
}

void TForm1::saveIfChanged()
{
    m_autosave.stop();
    m_autosaveLimit.stop();
    if (!savesEnabled())
        return;
    QList<NoteRecord> records = currentRecords();
    if (records == m_lastSaved)
        return;
    try {
        writeRecords(std::move(records));
        // The alarms were watched until now, which a start after a crash needs to know.
        writeSettings();
    } catch (const AppError &error) {
        // An automatic save that keeps failing (a full disk) is reported once, not every two seconds.
        if (!m_autosaveErrorShown) {
            m_autosaveErrorShown = true;
            ErrorDialog::show(error.message());
        }
    }
}

void TForm1::OpenNoteFile(const QString &path)
{
    QString colorError;
    const NoteRecord record =
        NoteStore::loadStickieFile(path, noteDefaults(), &colorError, Languages::codePage(m_settings.language()));
    if (!colorError.isEmpty())
        ErrorDialog::show(colorError);
    TFormSticky *note = createNote();
    note->setNoteNumber(int(m_notes.size()) + 1);
    note->applyRecord(record);
    // Its alarm was in no store of this program: a moment already past is nothing this program missed.
    note->alarm().setCheckedUntil(Clock::current().now());
    note->show();
    addToList(note);
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
    // The notes the load has not reached yet were not looked at at all.
    const bool armedUnshown = std::any_of(m_unshown.cbegin(), m_unshown.cend(),
                                          [](const NoteRecord &record) { return record.alarm.enabled; });
    // Neither were those of a store that could not be read: they ring when it can be read again.
    if ((armedUnshown || m_storeUnreadable) && m_alarms.checkedBeforeStart().isValid())
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
    m_autosave.stop();
    m_autosaveLimit.stop();
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
    m_noteCount = int(m_notes.size()) + 1;
    TFormSticky *note = createNote();
    note->setWindowTitle(newNoteTitle());
    note->setNoteNumber(m_noteCount);
    // Centred within the primary screen's free area, wherever that screen lies among the others.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        note->move(area.x() + (area.width() - note->width()) / 2, area.y() + (area.height() - note->height()) / 2);
    }
    NoteRecord record = note->toRecord();
    record.title = note->windowTitle();
    record.opacity = m_settings.opacity();
    record.color = m_settings.color();
    record.alarm.countdown = true;
    record.text.clear();
    note->applyRecord(record);
    note->show();
    addToList(note);
}

void TForm1::PMAllOnTopClick()
{
    const bool checked = m_trayMenu->action(itemAllOnTop)->isChecked();
    for (TFormSticky *note : std::as_const(m_notes)) {
        FormSticky = note;
        note->setStayOnTop(checked);
    }
}

void TForm1::PMAllLockTextClick()
{
    const bool checked = m_trayMenu->action(itemAllLockText)->isChecked();
    for (TFormSticky *note : std::as_const(m_notes)) {
        FormSticky = note;
        note->setLockText(checked);
    }
}

void TForm1::PMHideAllClick()
{
    const bool checked = m_trayMenu->action(itemHideAll)->isChecked();
    for (TFormSticky *note : std::as_const(m_notes)) {
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
    // All the notes go to the trash as one batch, so that one "Restore Deleted Notes" brings them all back.
    m_deletingAll = true;
    // From the end: each close takes one note out of the list, and every index still to visit stays valid.
    for (qsizetype i = m_notes.size() - 1; i >= 0; --i)
        if (i < m_notes.size())
            m_notes[i]->close();
    m_deletingAll = false;
    keepDeleted(std::exchange(m_deletedBatch, {}));
}

void TForm1::PMRestoreDeletedClick()
{
    if (!m_trashUsable || m_trash.isEmpty())
        return;
    for (const NoteRecord &record : m_trash.lastBatch())
        showStoredNote(record);
    m_alarms.reschedule();
    // The store first, then the trash: a crash between the two leaves the notes in both files, and the next
    // start takes them out of the trash. While the store cannot be saved they stay in the trash; while it
    // cannot be read they go to the file of recovered notes.
    if (savesEnabled()) {
        m_autosave.stop();
        m_autosaveLimit.stop();
        if (!ErrorDialog::guard([this] { writeRecords(currentRecords()); }))
            return;
    }
    try {
        m_trash.removeLastBatch(Clock::current().now());
    } catch (const AppError &error) {
        reportTrashError(error.message());
    }
    updateRestoreItem();
}

TFormAlarm *TForm1::formAlarm()
{
    if (!m_formAlarm)
        m_formAlarm = std::make_unique<TFormAlarm>();
    return m_formAlarm.get();
}

void TForm1::PMAlarmClick(TFormSticky *note)
{
    const int number = int(m_notes.indexOf(note)) + 1;
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
    dialog->onPlaySoundChanged = [this, target](bool on) {
        if (target) {
            target->alarm().fields.playSound = on;
            noteChanged();
        }
    };
    dialog->onOk = [this, dialog, target] {
        if (!target || !m_notes.contains(target.data()))
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
    forms.dialogs = {m_formOptions.get(), formAlarm(), m_aboutBox.get()};
    return forms;
}

TextTarget TForm1::textTarget(QStringView key)
{
    return TextTarget::find(key, textForms());
}

void TForm1::ApplyLanguage(const QString &language)
{
    for (std::size_t i = 0; i < Languages::count; ++i)
        m_trayMenu->action(itemFirstLanguage + int(i))->setChecked(language == QStringView(Languages::list[i].name));

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
    for (qsizetype i = m_notes.size() - 1; i >= 0; --i)
        m_notes[i]->ApplyNoteLanguage(file);
}

void TForm1::StTrayIcon1Click()
{
    // Every note to the front, in list order, so the last one ends up on top.
    for (TFormSticky *note : std::as_const(m_notes)) {
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
    for (TFormSticky *note : std::as_const(m_allNotes))
        note->setTrayMenu(menu);
}
