#pragma once

#include "alarm/alarm_scheduler.h"
#include "app/command_line.h"
#include "base/program_folders.h"
#include "i18n/qt_translation.h"
#include "i18n/text_target.h"
#include "model/note_list.h"
#include "note/form_sticky.h"
#include "store/note_record.h"
#include "store/note_trash.h"
#include "store/settings.h"
#include "widgets/menu_table.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <span>

class QAction;
class QMenu;
class FindWindow;
class LanguageFile;
class TAboutBox;
class TFormAlarm;
class TFormOptions;
class TFormSticky;
class TStTrayIcon;

// The main form: never shown. It owns the tray icon and its menu, the note list and the settings, runs
// start-up and shut-down, and makes a window for every listed note.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(const ProgramFolders &folders, QWidget *parent = nullptr);
    ~TForm1() override;

    // Start-up: the dialogs, the .stc file type, settings, start at logon, notes, the note file named on the
    // command line. A failing step is shown with the error dialog and start-up goes on with the next one,
    // what the step failed to set keeping its default, so the notes always load.
    void FormCreate(const QString &commandLineFile);
    // Shut-down's writing part: the notes, then the settings. False when a write failed (it was shown);
    // the program then keeps running with all its notes.
    bool FormClose();

    // Reads the store into the note list and shows one note window per note. A store that exists but cannot be
    // read is reported, and no save replaces it in this run. Events are handled while the windows are made, so
    // a termination request or "Exit" is answered at once; the notes not shown yet are saved as they were read.
    void LoadNotes();
    // Rewrites the store from the note list. Throws AppError("Unable to write to <path>").
    void SaveNotes() { m_list->save(); }
    void OpenNoteFile(const QString &path);
    // The desktop's hooks, with this executable and the icon in the resource folder. Both throw
    // AppError("Failed to set data for '<name>'").
    void RegisterFileType() const;
    void ApplyAutoStart() const;

    // Tray menu and tray icon commands.
    void PMNewStickyNoteClick();
    // "Find...": the one find window, opened or brought to the front.
    void PMFindClick();
    void PMAllOnTopClick();
    void PMAllLockTextClick();
    void PMHideAllClick();
    void PMDeleteAllClick();
    // Brings back the notes of the last delete still in the trash (one close, or one "Delete All") at their
    // old places, after the other notes.
    void PMRestoreDeletedClick();
    void PMOptionsClick();
    void PMAboutClick();
    // Makes the language the setting in force, which applies it; the one already in force is applied again.
    void PMLanguageClick(const QString &language);
    void PMLangClick(int index); // the item of the language at index in the language list

    // Checks the language item whose word is exactly the name (letter case counts; any other name checks
    // none), then puts the texts of language/<name>.ini into the tray menu, the options dialog, the alarm
    // dialog, the about box and every listed note, each with the control's current text as its fallback. The
    // file is read afresh at every call; a name with a path in it reads nothing.
    void ApplyLanguage(const QString &language);
    // The controls that the main form's text keys name.
    TextTarget textTarget(QStringView key);
    void PMExitClick();
    void StTrayIcon1Click();
    void StTrayIcon1DblClick(bool &restoreApp);

    // A later start of the program handed over its command-line argument: a .stc file to open, an action, or
    // nothing, which asks for a new note.
    void handleSecondStart(const QString &argument);
    // The actions of the command line: --new, --show, --hide and --toggle.
    void runAction(CommandLine::Action action);

    // Saves the notes when something changed since the last save; used after edits, and when the
    // session ends or the process is asked to terminate.
    void saveIfChanged() { m_list->saveIfChanged(); }
    // Writes settings and notes, reporting a failure only on stderr (the session is ending).
    void writeQuietly();
    // Writes settings and notes without asking anything and ends the program (termination signals),
    // whenever it comes: during start-up, too, where it also ends start-up.
    void closeForTermination();
    // The program is ending ("Exit" went through, or a termination request came).
    bool isClosed() const { return m_closed; }
    // The steps of the start that wait for the notes to be on the screen (the program's icon, the icon in the
    // notification area, what the desktop is told of the program) are done.
    bool isStartFinished() const { return m_startFinished; }

    // The windows of the listed notes, in list order; a note whose window the load has not made yet has none.
    QList<TFormSticky *> notes() const;
    NoteList &noteList() { return *m_list; }
    // The tray menu, made when first asked for (with the tray icon, once the notes are up).
    QMenu *PopupMenu1() const { return m_trayMenu->menu(); }
    // The dialogs, each made when first asked for.
    TFormOptions *FormOptions();
    TAboutBox *AboutBox();
    // The find window, shown by "Find...".
    FindWindow *FormFind();
    // A tray menu item by its name; a name the menu lacks ends the program, as only a wrong name in the code
    // can ask for it.
    QAction *menuItem(QStringView name) const;
    // The rows of the tray menu, in menu order.
    static std::span<const MenuRow<TForm1>> menuRows();
    // Made once the notes are up.
    TStTrayIcon *StTrayIcon1() const { return m_trayIcon; }
    const ProgramFolders &folders() const { return m_folders; }
    AlarmScheduler &alarms() { return m_alarms; }
    // The one alarm dialog of the program, made when first needed.
    TFormAlarm *formAlarm();
    // "Alarm" of a note: fills the alarm dialog from the note and shows it modally; its OK writes the eight
    // fields, arms the countdown and saves all notes.
    void PMAlarmClick(TFormSticky *note);
    // Saves go to the store once it was read, and to a file of recovered notes beside it when it could not be.
    bool savesEnabled() const { return m_list->savesEnabled(); }
    // Where this run keeps its notes because the store could not be read; empty while there is none.
    const QString &recoveredPath() const { return m_list->recoveredPath(); }

    // The number the last new note was given, or the number of notes the store held.
    int NoteCount() const { return m_noteCount; }
    // The program settings, which the tray menu and the options dialog change and the exit writes.
    Settings &settings() { return m_settings; }
    const Settings &settings() const { return m_settings; }

    static constexpr int autosaveLimitMs = NoteList::autosaveLimitMs;
    void setAutosaveDelays(int delayMs, int limitMs) { m_list->setAutosaveDelays(delayMs, limitMs); }
    bool autosavePending() const { return m_list->autosavePending(); }

signals:
    // The program is about to end: nothing more is handed over to it.
    void closing();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The window of a listed note; number is its place in the list + 1.
    TFormSticky *makeWindow(Note *note, int number);
    void noteAdded(Note *note);
    void noteRemoved(Note *note);
    void noteClosed(TFormSticky *window);
    void updateRestoreItem();
    void finishClosing();
    void writeSettings();
    // A setting changed: the tray menu and every dialog and note follow the language; start at logon is
    // applied at once.
    void settingChanged(Settings::Key key);
    // The options dialog gave every open note the default opacity or colour.
    void applyDefaultToNotes(Settings::Key key);
    TextTarget::Forms textForms();
    void applyTexts(const LanguageFile &file, const TextTarget::Forms &forms);
    // Gives a dialog made after a language was applied the texts it would have had.
    void applyLanguageTo(QWidget *dialog);
    void ringNote(TFormSticky *note);
    // A ringing note's sound failed: shown once start-up is over and the ringing notes all rang, one box
    // after the other.
    void reportSoundFailure(const QString &message);
    void showSoundFailures();
    void updateTrayMenuInNotes();
    void makeTrayIcon();
    void finishStartOnceShown();
    void finishStart();
    // Hides every note (minimised, as "Hide All" does) or shows it, with "Hide All" checked to match.
    void setAllHidden(bool hidden);
    // A note chosen in the find window comes to the front with the first of the words selected.
    void showFoundNote(Note *note, const QStringList &words);
    NoteDefaults noteDefaults() const;
    QString newNoteTitle() const;

    ProgramFolders m_folders;
    Settings m_settings;
    int m_noteCount = 0;
    // Start at logon could not be applied and the setting goes back: nothing is applied meanwhile.
    bool m_revertingAutoStart = false;
    std::unique_ptr<NoteList> m_list;
    QHash<const Note *, TFormSticky *> m_windows;
    QList<QPointer<TFormSticky>> m_droppedWindows; // of deleted notes, deleted once their own event returned
    // The texts languages gave to dialogs not made yet, by catalog key.
    QHash<QString, QString> m_dialogTexts;
    std::shared_ptr<const LanguageFile> m_languageFile;
    std::unique_ptr<TFormOptions> m_formOptions;
    std::unique_ptr<TAboutBox> m_aboutBox;
    std::unique_ptr<FindWindow> m_formFind;
    std::unique_ptr<MenuTable<TForm1>> m_trayMenu;
    TStTrayIcon *m_trayIcon = nullptr;
    AlarmScheduler m_alarms;
    QtTranslation m_qtTranslation;
    std::unique_ptr<TFormAlarm> m_formAlarm;
    bool m_closed = false;
    bool m_started = false;
    bool m_startFinished = false;
    QPointer<QWindow> m_awaitedWindow; // the last note shown at start, until the window manager shows it
    bool m_quitting = false;           // Qt is closing every window because the program quits
    QStringList m_pendingArguments;    // handed over by later starts while this one was still starting

    QStringList m_soundFailures; // not shown yet
    bool m_showingSoundFailures = false;
};

// The current note: the note window that the last note command addressed; null once that window is gone.
extern QPointer<TFormSticky> FormSticky;
