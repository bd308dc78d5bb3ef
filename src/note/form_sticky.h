#pragma once

#include "alarm/note_shaker.h"
#include "model/note.h"
#include "model/note_alarm.h"
#include "note/note_font_dialog.h"
#include "store/note_record.h"
#include "widgets/menu_table.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>

class LanguageFile;
class QAction;
class QKeyEvent;
class QMenu;
class QTextCursor;
class QTextDocument;
class QTextEdit;

// One note on the desktop: a parentless top-level window whose client area is a rich-text editor, with
// a context menu that carries every note command. The window shows one Note of the list and turns the
// user's commands into changes of it; closing the window asks for the note's deletion, after which the
// main form deletes the window too.
class TFormSticky : public QWidget {
    Q_OBJECT

public:
    // programFolder: where the default alarm sound lies (its "alarm/alarm.mp3"). The first form shows a note
    // of its own, with the window's first values.
    explicit TFormSticky(const QString &programFolder = {}, QWidget *parent = nullptr);
    TFormSticky(Note *note, const QString &programFolder, QWidget *parent = nullptr);
    ~TFormSticky() override;

    // The 1-based position in the note list; names the default .stc file of "Save as".
    int noteNumber() const { return m_noteNumber; }
    void setNoteNumber(int number) { m_noteNumber = number; }

    // The note shown; null once it left the list and the window waits for its deletion.
    Note *note() const { return m_note; }

    int opacity() const { return m_note->opacity(); }
    // Stores the alpha; it is applied when the window is shown or by ApplyOpacity.
    void setOpacity(int alpha);
    void ApplyOpacity(int alpha);

    quint32 noteColor() const { return m_note->color(); }
    // Stores the colour and paints the editor with it.
    void setNoteColor(quint32 color);

    bool stayOnTop() const { return m_note->stayOnTop(); }
    // The flag, the check mark of "Stay On Top" and the window's band, together.
    void setStayOnTop(bool onTop);

    // The user's own lock, which the store keeps as "Lock Text".
    bool lockText() const { return m_note->lockText(); }
    // Sets the user's lock; the check mark of "Lock" and the editor's read-only state follow the lock in
    // force (isTextLocked).
    void setLockText(bool locked);
    // The text refuses the user's changes: locked by the user, or too long to show whole.
    bool isTextLocked() const { return (m_note && m_note->lockText()) || m_textCut; }

    // A stored text longer than this is shown as its first maxShownTextLength characters, in a note that
    // stays locked, and is written back exactly as it was read: nothing of it can be lost by an edit of
    // the part shown. Keeps showing any one note quick and its memory bounded. Exports and printing still
    // take the whole text.
    static constexpr qsizetype maxShownTextLength = qsizetype(1) << 20;
    bool isTextCut() const { return m_textCut; }
    // Why "Lock" cannot unlock a note whose text is cut.
    static constexpr char16_t textTooLongKey[] = u"Messages->TextTooLong";

    // Everything that is stored of the note; the text as one-line RTF.
    NoteRecord toRecord() const { return m_note->record(); }
    // Sets every stored property of the note (title, bounds, colour, opacity, flags, alarm fields, text) and
    // shows them.
    void applyRecord(const NoteRecord &record);
    // The note's text in its stored form. A note whose text was not edited since it was loaded gives
    // back exactly what was loaded, so formatting this program does not know survives.
    QString noteText() const;
    // For a note whose text is cut, the whole stored text in a document of its own, formatted as the editor
    // shows it; nullptr when the editor holds the whole text. What "Save as" and "Print" write.
    std::unique_ptr<QTextDocument> wholeTextDocument() const;

    QTextEdit *RichEdit1() const { return m_richEdit; }
    QMenu *PopupMenu1() const;
    // A menu item by its name ("PMStayOnTop", "PMOpacity50", ...); a name the menu lacks ends the program,
    // as only a wrong name in the code can ask for it.
    QAction *menuItem(QStringView name) const;
    // The rows of the context menu, in menu order: name, caption key, shortcut, depth, check mark, handler.
    static std::span<const MenuRow<TFormSticky>> menuRows();
    // The row that a note window's text key names ("FormSticky->PMUndo->Caption"); -1 for none.
    static int menuRowOf(QStringView key);

    // The language's texts for the context menu, each with the item's current caption as the fallback: a
    // text the file lacks stays as it is. The first form reads the file from the language folder.
    void ApplyNoteLanguage(const QString &language);
    void ApplyNoteLanguage(const LanguageFile &file);
    // The reading of the program's current language file, which a show of the window applies unless it was
    // applied already; while none is given, the menu keeps its texts.
    std::function<std::shared_ptr<const LanguageFile>()> currentLanguage;

    // The tray menu as the last submenu of the context menu, for desktops without a notification area
    // (nullptr removes it).
    void setTrayMenu(QMenu *trayMenu);

    // The design's colour value (0x00BBGGRR, or a system colour) as a colour to paint with.
    static QColor toQColor(quint32 color);

    // "Save as ...": the file's extension (.stc, .txt or .rtf, in any letter case) decides the format;
    // any other name writes nothing.
    void PMSaveAsClick();
    // The folder "Save as" proposes: the program folder where it can be written (a portable program), else
    // the user's documents folder (an installed program's folder holds its read-only resources), else home.
    static QString saveFolder(const QString &programFolder);
    // Writes the note to path in the format its extension names; false when the extension names none.
    // Throws AppError("Cannot create file <path>") or, for .stc, AppError("Unable to write to <path>").
    bool saveToFile(const QString &path) const;
    void WriteStickieFile(const QString &path) const;
    // The proposed name with the extension of save filter index (1 .stc, 2 .txt, 3 .rtf) in place of its own.
    static QString withFilterExtension(const QString &name, int filterIndex);

    void PMChangeTitleClick();
    void PMChangeColorClick();
    void PMOpacityClick(int alpha);
    void PMStayOnTopClick();
    void PMLockTextClick();
    void PMUndoClick();
    void PMCutClick();
    void PMCopyClick();
    void PMPasteClick();
    void PMSelectAllClick();
    // "Print": the whole formatted text on the default printer (see NotePrint).
    void PMPrintClick();

    // The "Text" submenu. A locked note refuses every one of them, as it refuses typing.
    void PMFontSelectClick();
    // The dialog's choice: on the selection, or with nothing selected as the base font, which then becomes
    // the format of text typed next as a whole.
    void applyFont(const NoteFont &choice);
    void PMFontSizeMoreClick();
    // Less than 8 points is left as it is: 8 gives 6, 7 stays 7.
    void PMFontSizeLessClick();
    void PMFontSizeClick(int points);
    // bit: a TextFormat::StyleBit. The window's own flag for it alternates at every use and decides between
    // set and clear; the style set the selection reports is then written, all four styles, to the selection.
    void PMStyleClick(int bit);
    void PMAlignClick(int alignment);
    void PMUppercaseClick();
    void PMLowercaseClick();
    // kind: 0 none, 1 bullets, 2 numbers, 3 small letters, 4 large letters, 5 small and 6 large Roman numbers.
    void PMListClick(int kind);
    // Fills the list-format record and numbers the paragraphs the selection touches by its kind.
    void SetListNumbering(quint16 kind, quint16 style, quint16 tab);
    // The keypad's plus and minus are "More" and "Less", with or without Ctrl. Without Ctrl the key then goes
    // on to the editor, which types the character; true when it must not (Ctrl held).
    bool RichEdit1KeyDown(const QKeyEvent &event);

    // The paragraph-numbering record the list commands fill and reuse: the fields of the platform's
    // PARAFORMAT2 that they set.
    struct ListFormatRecord {
        quint32 cbSize = 0;
        quint32 dwMask = 0;
        quint16 wNumbering = 0;
        quint16 wNumberingStart = 0;
        quint16 wNumberingStyle = 0;
        quint16 wNumberingTab = 0;
    };
    const ListFormatRecord &listFormatRecord() const { return m_listFormat; }
    // The editor's own font, which text without a format of its own shows in.
    QFont baseFont() const;
    // "Alarm": asks the main form for the alarm dialog on this note.
    void PMAlarmClick();

    // The note's alarm: its settings and a countdown's due moment. The main form's scheduler watches it and
    // calls ringAlarm() when it fires.
    NoteAlarm &alarm() { return m_note->alarm(); }
    const NoteAlarm &alarm() const { return m_note->alarm(); }
    QString defaultSoundFile() const { return m_defaultSoundFile; }
    // The alarm fired: the note comes to the front and shakes, one step every 10 ms, and its sound starts.
    // Returns at once; a sound that cannot be played is told by soundFailed() later.
    void ringAlarm();
    bool isRinging() const { return m_shaker->isRinging(); }
    // A mouse button pressed in the text: the ringing ends and an MP3 sound stops (a WAV plays on).
    void RichEdit1MouseDown();
    // One step of the ringing: to the front, and the shake (+1, +2, +1, 0, -1, 0 pixels from where it began or
    // where the user has put it since).
    void Timer1Timer();
    // The note is deleted: its alarm no longer fires, and a ringing one stops.
    void stopAlarm();
    // "Find...": shows the note in front of the others with the first place of any of the words selected in
    // its text (the caret at the start when only the title holds them).
    void showFound(const QStringList &words);

signals:
    // The window was closed: the main form takes it out of the note list.
    void closed(TFormSticky *note);
    // A stored property of the note changed (text, title, bounds, colour, opacity, flags, alarm).
    void changed();
    // "Alarm" was chosen: the main form opens the alarm dialog on this note.
    void alarmRequested(TFormSticky *note);
    // The sound of a ringing alarm could not be played; message is the error dialog's text.
    void soundFailed(const QString &message);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void attach(Note *note);
    // The note's stored properties into the window.
    void showNote();
    // What the window keeps of the note on its own: its bounds and text.
    void readLiveState(NoteRecord &record) const;
    // Lends the note its readers of the live bounds, text and plain text of this window.
    void attachLiveState();
    QPoint storedPosition() const;
    void FormShow();
    void applyShownLanguage(const std::shared_ptr<const LanguageFile> &file);
    void applyTrayMenu();
    void showPopupMenu(const QPoint &globalPos);
    void updateWrapMode();
    static void applyCreationFormat(QTextCursor cursor);
    // A stored text into document, plain words formatted as typed text.
    static void readText(const QString &text, QTextDocument *document);
    void setBaseFont(const QFont &font, const QColor &color);
    void setSelectionSize(int points);
    void convertCase(bool upper);

    QTextEdit *m_richEdit = nullptr;
    std::unique_ptr<MenuTable<TFormSticky>> m_menu;
    mutable bool m_menuMade = false;
    std::shared_ptr<const LanguageFile> m_shownLanguage;
    QMenu *m_trayMenu = nullptr;
    QAction *m_traySeparator = nullptr;
    QAction *m_trayMenuAction = nullptr;

    QPointer<Note> m_note;
    int m_noteNumber = 0;
    std::array<bool, 4> m_styleFlags{}; // bold, italic, underline, strike-out: set or clear at the next use
    ListFormatRecord m_listFormat;
    QColor m_baseColor;             // the base font's colour; invalid for the window text colour
    NoteFont m_lastFont;            // the font dialog reopens on the font last chosen in this note
    NoteShaker *m_shaker = nullptr; // Timer1 and the ringing
    QString m_soundKind;            // the extension of the sound this note's alarm last started
    QString m_defaultSoundFile;
    QColor m_lastChosenColor = Qt::black;
    QString m_programFolder;
    int m_saveFilterIndex = 1; // the save dialog reopens on the file type last chosen in this note
    bool m_shownOnce = false;
    bool m_loading = false;
    bool m_textCut = false; // the stored text is longer than what is shown (maxShownTextLength)
    // A stored position beyond Qt's range: the note is shown on screen, and the store keeps the position as it
    // was read until the note is moved from where it was placed.
    std::optional<QPoint> m_unreachablePosition;
    QPoint m_placedAt;

    mutable QString m_textCache;
    mutable bool m_textDirty = true;
};
