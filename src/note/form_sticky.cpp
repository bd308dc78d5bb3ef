#include "note/form_sticky.h"

#include "alarm/alarm_sound.h"
#include "alarm/note_shaker.h"
#include "base/app_error.h"
#include "base/program_folders.h"
#include "i18n/language_file.h"
#include "i18n/message_text.h"
#include "i18n/text_catalog.h"
#include "model/note_search.h"
#include "note/note_edit.h"
#include "note/note_print.h"
#include "note/text_format.h"
#include "platform/gui/window.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"
#include "store/note_export.h"
#include "store/note_store.h"
#include "widgets/menu_table.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMoveEvent>
#include <QPalette>
#include <QPointer>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <array>
#include <bit>

namespace {

// The context menu, in display order. The opacity steps are the percentage times 255 / 100 with the fraction
// dropped, but 254 for "100" so that the note stays a translucent-capable window.
// clang-format off
constexpr MenuRow<TFormSticky> menuRows[] = {
    {.name = "PMUndo", .key = u"FormSticky->PMUndo->Caption", .shortcut = "Ctrl+Z", .onClick = &TFormSticky::PMUndoClick},
    {.name = "N1"},
    {.name = "PMCut", .key = u"FormSticky->PMCut->Caption", .shortcut = "Ctrl+X", .onClick = &TFormSticky::PMCutClick},
    {.name = "PMCopy", .key = u"FormSticky->PMCopy->Caption", .shortcut = "Ctrl+C", .onClick = &TFormSticky::PMCopyClick},
    {.name = "PMPaste", .key = u"FormSticky->PMPaste->Caption", .shortcut = "Ctrl+V", .onClick = &TFormSticky::PMPasteClick},
    {.name = "N2"},
    {.name = "PMSelectAll", .key = u"FormSticky->PMSelectAll->Caption", .shortcut = "Ctrl+A", .onClick = &TFormSticky::PMSelectAllClick},
    {.name = "PMPrint", .key = u"FormSticky->PMPrint->Caption", .shortcut = "Ctrl+P", .onClick = &TFormSticky::PMPrintClick},
    {.name = "PMSaveAs", .key = u"FormSticky->PMSaveAs->Caption", .onClick = &TFormSticky::PMSaveAsClick},
    {.name = "N9"},
    {.name = "PMWindow", .key = u"FormSticky->PMWindow->Caption"},
    {.name = "PMChangeTitle", .key = u"FormSticky->PMChangeTitle->Caption", .depth = 1, .onClick = &TFormSticky::PMChangeTitleClick},
    {.name = "PMChangeColor", .key = u"FormSticky->PMChangeColor->Caption", .depth = 1, .onClick = &TFormSticky::PMChangeColorClick},
    {.name = "PMChangeOpacity", .key = u"FormSticky->PMChangeOpacity->Caption", .depth = 1},
    {.name = "PMOpacity100", .label = "100", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 254},
    {.name = "PMOpacity90", .label = "90", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 229},
    {.name = "PMOpacity80", .label = "80", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 204},
    {.name = "PMOpacity70", .label = "70", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 178},
    {.name = "PMOpacity60", .label = "60", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 153},
    {.name = "PMOpacity50", .label = "50", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 127},
    {.name = "PMOpacity40", .label = "40", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 102},
    {.name = "PMOpacity30", .label = "30", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 76},
    {.name = "PMOpacity20", .label = "20", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 51},
    {.name = "PMOpacity10", .label = "10", .depth = 2, .onValue = &TFormSticky::PMOpacityClick, .value = 25},
    {.name = "PMStayOnTop", .key = u"FormSticky->PMStayOnTop->Caption", .depth = 1, .shortcut = "Ctrl+T", .checkable = true, .onClick = &TFormSticky::PMStayOnTopClick},
    {.name = "N7"},
    {.name = "PMText", .key = u"FormSticky->PMText->Caption"},
    {.name = "PMFont", .key = u"FormSticky->PMFont->Caption", .depth = 1},
    {.name = "PMFontSelect", .key = u"FormSticky->PMFontSelect->Caption", .depth = 2, .onClick = &TFormSticky::PMFontSelectClick},
    {.name = "PMSize", .key = u"FormSticky->PMSize->Caption", .depth = 1},
    {.name = "PMFontSizeMore", .key = u"FormSticky->PMFontSizeMore->Caption", .depth = 2, .onClick = &TFormSticky::PMFontSizeMoreClick},
    {.name = "PMFontSizeLess", .key = u"FormSticky->PMFontSizeLess->Caption", .depth = 2, .onClick = &TFormSticky::PMFontSizeLessClick},
    {.name = "N4", .depth = 2},
    {.name = "PMFontSize8", .label = "8", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 8},
    {.name = "PMFontSize10", .label = "10", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 10},
    {.name = "PMFontSize12", .label = "12", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 12},
    {.name = "PMFontSize14", .label = "14", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 14},
    {.name = "PMFontSize16", .label = "16", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 16},
    {.name = "PMFontSize18", .label = "18", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 18},
    {.name = "PMFontSize24", .label = "24", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 24},
    {.name = "PMFontSize36", .label = "36", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 36},
    {.name = "PMFontSize48", .label = "48", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 48},
    {.name = "PMFontSize60", .label = "60", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 60},
    {.name = "PMFontSize72", .label = "72", .depth = 2, .onValue = &TFormSticky::PMFontSizeClick, .value = 72},
    {.name = "PMStyle", .key = u"FormSticky->PMStyle->Caption", .depth = 1},
    {.name = "PMBold", .key = u"FormSticky->PMBold->Caption", .depth = 2, .shortcut = "Ctrl+B", .onValue = &TFormSticky::PMStyleClick, .value = TextFormat::Bold},
    {.name = "PMItalic", .key = u"FormSticky->PMItalic->Caption", .depth = 2, .shortcut = "Ctrl+I", .onValue = &TFormSticky::PMStyleClick, .value = TextFormat::Italic},
    {.name = "PMUnderline", .key = u"FormSticky->PMUnderline->Caption", .depth = 2, .shortcut = "Ctrl+U", .onValue = &TFormSticky::PMStyleClick, .value = TextFormat::Underline},
    {.name = "PMStrikeOut", .key = u"FormSticky->PMStrikeOut->Caption", .depth = 2, .shortcut = "Ctrl+S", .onValue = &TFormSticky::PMStyleClick, .value = TextFormat::StrikeOut},
    {.name = "PMCase", .key = u"FormSticky->PMCase->Caption", .depth = 1},
    {.name = "PMUppercase", .key = u"FormSticky->PMUppercase->Caption", .depth = 2, .onClick = &TFormSticky::PMUppercaseClick},
    {.name = "PMLowercase", .key = u"FormSticky->PMLowercase->Caption", .depth = 2, .onClick = &TFormSticky::PMLowercaseClick},
    {.name = "N5", .depth = 1},
    {.name = "PMAlignment", .key = u"FormSticky->PMAlignment->Caption", .depth = 1},
    {.name = "PMAlignLeft", .key = u"FormSticky->PMAlignLeft->Caption", .depth = 2, .onValue = &TFormSticky::PMAlignClick, .value = Qt::AlignLeft},
    {.name = "PMAlignCenter", .key = u"FormSticky->PMAlignCenter->Caption", .depth = 2, .onValue = &TFormSticky::PMAlignClick, .value = Qt::AlignHCenter},
    {.name = "PMAlignRight", .key = u"FormSticky->PMAlignRight->Caption", .depth = 2, .onValue = &TFormSticky::PMAlignClick, .value = Qt::AlignRight},
    {.name = "PMList", .key = u"FormSticky->PMList->Caption", .depth = 1},
    {.name = "PMNone", .key = u"FormSticky->PMNone->Caption", .depth = 2, .onValue = &TFormSticky::PMListClick, .value = 0},
    {.name = "PMBullets", .key = u"FormSticky->PMBullets->Caption", .depth = 2, .onValue = &TFormSticky::PMListClick, .value = 1},
    {.name = "PMNumbers", .key = u"FormSticky->PMNumbers->Caption", .depth = 2, .onValue = &TFormSticky::PMListClick, .value = 2},
    {.name = "PMSmallLetters", .key = u"FormSticky->PMSmallLetters->Caption", .depth = 2, .onValue = &TFormSticky::PMListClick, .value = 3},
    {.name = "PMLargeLetters", .key = u"FormSticky->PMLargeLetters->Caption", .depth = 2, .onValue = &TFormSticky::PMListClick, .value = 4},
    {.name = "PMSmallRomanNumbers", .key = u"FormSticky->PMSmallRomanNumbers->Caption", .depth = 2, .onValue = &TFormSticky::PMListClick, .value = 5},
    {.name = "PMLargeRomanNumbers", .key = u"FormSticky->PMLargeRomanNumbers->Caption", .depth = 2, .onValue = &TFormSticky::PMListClick, .value = 6},
    {.name = "N6", .depth = 1},
    {.name = "PMLockText", .key = u"FormSticky->PMLockText->Caption", .depth = 1, .shortcut = "Ctrl+L", .checkable = true, .onClick = &TFormSticky::PMLockTextClick},
    {.name = "N8"},
    {.name = "PMAlarm", .key = u"FormSticky->PMAlarm->Caption", .shortcut = "Ctrl+Shift+A", .onClick = &TFormSticky::PMAlarmClick},
};
// clang-format on
constexpr int itemStayOnTop = menuRow(menuRows, "PMStayOnTop");
constexpr int itemLockText = menuRow(menuRows, "PMLockText");

// 5 points (100 twips); block margins count in points, as the RTF codec reads and writes them.
constexpr qreal creationIndent = 5.0;
constexpr int creationSize = 10;

// Breaking lines at word boundaries costs time that grows with the square of a word's length (a word of
// 100,000 characters takes seconds to lay out); a note holding a word this long wraps anywhere instead.
constexpr int longWordLength = 10000;

bool hasLongWord(const QString &text)
{
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > longWordLength)
            return true;
    }
    return false;
}

// System colours (0x80000000 + index) as the palette roles that play their part here.
QColor systemColor(quint32 index)
{
    const QPalette palette = QApplication::palette();
    switch (index) {
    case 5: // clWindow
        return palette.color(QPalette::Base);
    case 8:  // clWindowText
    case 7:  // clMenuText
    case 18: // clBtnText
        return palette.color(QPalette::Text);
    case 13: // clHighlight
        return palette.color(QPalette::Highlight);
    case 14: // clHighlightText
        return palette.color(QPalette::HighlightedText);
    case 23: // clInfoText
        return palette.color(QPalette::ToolTipText);
    case 24: // clInfoBk
        return palette.color(QPalette::ToolTipBase);
    default:
        return palette.color(QPalette::Button);
    }
}

} // namespace

TFormSticky::TFormSticky(const QString &programFolder, QWidget *parent)
    : TFormSticky(nullptr, programFolder, parent)
{}

TFormSticky::TFormSticky(Note *note, const QString &programFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
    , m_defaultSoundFile(programFolder + QStringLiteral("alarm/alarm.mp3"))
    , m_programFolder(programFolder)
{
    m_shaker = new NoteShaker(this);
    setWindowTitle(QStringLiteral("Sticky"));
    setGeometry(Defaults::noteLeft, Defaults::noteTop, Defaults::noteWidth, Defaults::noteHeight);
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPointSize(8);
    setFont(formFont);

    m_lastFont.font = formFont;

    m_richEdit = new NoteEdit(this);
    m_richEdit->setObjectName(QStringLiteral("RichEdit1"));
    m_richEdit->setAcceptRichText(true);
    m_richEdit->setTabChangesFocus(false);
    m_richEdit->setLineWrapMode(QTextEdit::WidgetWidth);
    m_richEdit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_richEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_richEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_richEdit->setFrameShape(QFrame::NoFrame);
    m_richEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    // The text fills the window, which resizeEvent keeps so without a layout to activate at every show; the
    // window goes no smaller than the text edit can be.
    m_richEdit->setGeometry(rect());
    static const QSize smallest = m_richEdit->minimumSizeHint();
    setMinimumSize(smallest);

    m_menu = std::make_unique<MenuTable<TFormSticky>>(this, ::menuRows, &TextCatalog::builtInText);
    m_richEdit->viewport()->installEventFilter(this);
    m_richEdit->installEventFilter(this);
    connect(m_richEdit, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showPopupMenu(m_richEdit->viewport()->mapToGlobal(pos)); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showPopupMenu(mapToGlobal(pos)); });

    // A stored text replaces the document whole, format and all: only a window that starts empty is given the
    // format new text is typed in, which spares every stored note a round of layout at start.
    if (!note || note->record().text.isEmpty())
        FormCreate();
    attach(note);

    connect(m_richEdit->document(), &QTextDocument::contentsChanged, this, [this] {
        m_textDirty = true;
        if (!m_loading && m_note)
            m_note->markChanged();
    });
    connect(m_richEdit->document(), &QTextDocument::contentsChange, this, [this](int, int, int added) {
        if (added > longWordLength && !m_loading)
            updateWrapMode();
    });
}

TFormSticky::~TFormSticky()
{
    m_shaker->stop();
    if (m_note)
        m_note->setLiveState({});
}

void TFormSticky::attach(Note *note)
{
    if (!note) {
        // A window of its own: the note starts with what the window was made with.
        NoteRecord record;
        record.title = windowTitle();
        record.opacity = 0;
        record.color = 0;
        record.alarm.countdown = false;
        record.alarm.soundFile = m_defaultSoundFile;
        readLiveState(record);
        m_note = new Note(record, this);
    } else {
        m_note = note;
        showNote();
    }
    attachLiveState();
    connect(m_note, &Note::changed, this, &TFormSticky::changed);
    connect(m_note, &Note::replaced, this, &TFormSticky::applyRecord);
    connect(this, &QWidget::windowTitleChanged, this, [this](const QString &title) {
        if (m_note)
            m_note->setTitle(title);
    });
}

void TFormSticky::FormCreate()
{
    // New text is 10 point with 5-point indents on both sides, while the form's base font stays 8 point.
    applyCreationFormat(QTextCursor(m_richEdit->document()));
    QTextCharFormat charFormat;
    charFormat.setFontPointSize(creationSize);
    m_richEdit->mergeCurrentCharFormat(charFormat);
    // A new note has nothing to undo: the format it was made with stays.
    m_richEdit->document()->clearUndoRedoStacks();
    m_textDirty = true;
}

void TFormSticky::applyCreationFormat(QTextCursor cursor)
{
    QTextCharFormat charFormat;
    charFormat.setFontPointSize(creationSize);
    cursor.mergeCharFormat(charFormat);
    // The paragraph marks too: an empty paragraph gives their format to what is typed into it, wherever the
    // caret was put.
    cursor.mergeBlockCharFormat(charFormat);
    QTextBlockFormat blockFormat;
    blockFormat.setLeftMargin(creationIndent);
    blockFormat.setRightMargin(creationIndent);
    cursor.mergeBlockFormat(blockFormat);
}

QMenu *TFormSticky::PopupMenu1() const
{
    if (!m_menuMade) {
        m_menuMade = true;
        m_menu->menu();
        const_cast<TFormSticky *>(this)->applyTrayMenu();
    }
    return m_menu->menu();
}

QAction *TFormSticky::menuItem(QStringView name) const
{
    const int row = m_menu->find(name);
    if (row < 0)
        qFatal("the note menu has no item %s", qPrintable(name.toString()));
    PopupMenu1();
    return m_menu->action(row);
}

std::span<const MenuRow<TFormSticky>> TFormSticky::menuRows()
{
    return ::menuRows;
}

void TFormSticky::ApplyNoteLanguage(const QString &language)
{
    ApplyNoteLanguage(LanguageFile(LanguageFile::folderIn(m_programFolder), language));
}

void TFormSticky::ApplyNoteLanguage(const LanguageFile &file)
{
    if (!file.isLoaded())
        return;
    // The menu row of each note key, in the catalog's order; found once, the table being the same for all.
    static const QList<int> rows = [] {
        QList<int> found;
        for (const TextCatalog::Entry &entry : TextCatalog::entries(TextCatalog::Group::NoteWindow))
            found.append(menuRowOf(entry.key));
        return found;
    }();
    const auto entries = TextCatalog::entries(TextCatalog::Group::NoteWindow);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i] < 0)
            continue;
        const QString current = m_menu->caption(rows[i]);
        const QString text = file.text(entries[i].key, current);
        if (text != current)
            m_menu->setCaption(rows[i], text);
    }
}

int TFormSticky::menuRowOf(QStringView key)
{
    for (std::size_t i = 0; i < std::size(::menuRows); ++i) {
        if (key == QStringView(::menuRows[i].key) && !key.isEmpty())
            return int(i);
    }
    return -1;
}

void TFormSticky::showPopupMenu(const QPoint &globalPos)
{
    PopupMenu1()->popup(globalPos);
}

void TFormSticky::setTrayMenu(QMenu *trayMenu)
{
    m_trayMenu = trayMenu;
    if (m_menuMade)
        applyTrayMenu();
}

void TFormSticky::applyTrayMenu()
{
    if (m_trayMenuAction) {
        m_menu->menu()->removeAction(m_trayMenuAction);
        delete m_traySeparator;
        m_traySeparator = nullptr;
        m_trayMenuAction = nullptr;
    }
    if (!m_trayMenu)
        return;
    m_traySeparator = m_menu->menu()->addSeparator();
    m_trayMenuAction = m_menu->menu()->addMenu(m_trayMenu);
    m_trayMenuAction->setText(QString::fromLatin1(ProgramVersion::title));
}

void TFormSticky::setOpacity(int alpha)
{
    m_note->setOpacity(alpha);
}

void TFormSticky::ApplyOpacity(int alpha)
{
    Window::setOpacity(this, alpha);
}

void TFormSticky::setNoteColor(quint32 color)
{
    m_note->setColor(color);
    QPalette palette = m_richEdit->palette();
    palette.setColor(QPalette::Base, toQColor(color));
    m_richEdit->setPalette(palette);
}

void TFormSticky::setStayOnTop(bool onTop)
{
    m_note->setStayOnTop(onTop);
    m_menu->setChecked(itemStayOnTop, onTop);
    Window::setStayOnTop(this, onTop);
}

void TFormSticky::setLockText(bool locked)
{
    m_note->setLockText(locked);
    // A cut text stays locked whatever the user chose, but the store keeps the user's choice.
    const bool inForce = isTextLocked();
    m_menu->setChecked(itemLockText, inForce);
    m_richEdit->setReadOnly(inForce);
    // A read-only QTextEdit would drop its caret and keyboard selection; the note stays navigable.
    if (inForce)
        m_richEdit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

QPoint TFormSticky::storedPosition() const
{
    // The shake is no change of the note: a ringing note is kept where it was put. A stored position beyond
    // reach is written back as it was until the note is moved.
    QPoint position = m_shaker->isRinging() ? m_shaker->base() : pos();
    if (m_unreachablePosition && position == m_placedAt)
        position = *m_unreachablePosition;
    return position;
}

void TFormSticky::attachLiveState()
{
    m_note->setLiveState([this](NoteRecord &record) { readLiveState(record); },
                         [this]() -> std::optional<QString> {
                             // A text too long to show whole is only whole in its RTF.
                             if (m_textCut)
                                 return std::nullopt;
                             return m_richEdit->document()->toPlainText();
                         });
}

void TFormSticky::readLiveState(NoteRecord &record) const
{
    const QPoint position = storedPosition();
    record.left = position.x();
    record.top = position.y();
    record.width = width();
    record.height = height();
    record.text = noteText();
}

void TFormSticky::applyRecord(const NoteRecord &record)
{
    // The note takes the record whole, then the window shows it.
    m_note->setLiveState({});
    m_note->setRecord(record);
    showNote();
    attachLiveState();
}

void TFormSticky::showNote()
{
    const NoteRecord record = m_note->record();
    m_loading = true;
    setWindowTitle(record.title);
    const QPoint stored(record.left, record.top);
    m_placedAt = Window::boundedPosition(record.left, record.top);
    m_unreachablePosition = m_placedAt != stored ? std::optional(stored) : std::nullopt;
    move(m_placedAt);
    resize(Window::boundedSize(record.width, record.height));
    setNoteColor(record.color);
    setStayOnTop(record.stayOnTop);
    m_textCut = record.text.size() > maxShownTextLength;
    setLockText(record.lockText);
    QTextDocument *document = m_richEdit->document();
    if (!record.text.isEmpty()) {
        readText(m_textCut ? record.text.first(maxShownTextLength) : record.text, document);
        m_textCache = record.text;
        m_textDirty = false;
    }
    updateWrapMode();
    // What was loaded is no edit to undo: an undo must not empty the note.
    document->clearUndoRedoStacks();
    document->setModified(false);
    // A note is read from its beginning: the caret and the view start there, not where loading left them.
    m_richEdit->moveCursor(QTextCursor::Start);
    m_loading = false;
}

void TFormSticky::readText(const QString &text, QTextDocument *document)
{
    RtfReader::readNoteText(text, document);
    // Plain words (a store written by hand or by another program) show as typed text does.
    if (!text.isEmpty() && !RtfReader::looksLikeRtf(text.toUtf8())) {
        QTextCursor all(document);
        all.select(QTextCursor::Document);
        applyCreationFormat(all);
    }
}

std::unique_ptr<QTextDocument> TFormSticky::wholeTextDocument() const
{
    if (!m_textCut)
        return nullptr;
    const QTextDocument *shown = m_richEdit->document();
    auto whole = std::make_unique<QTextDocument>();
    whole->setDefaultFont(shown->defaultFont());
    whole->setDocumentMargin(shown->documentMargin());
    readText(m_textCache, whole.get());
    QTextOption option = shown->defaultTextOption();
    option.setWrapMode(hasLongWord(whole->toPlainText()) ? QTextOption::WrapAnywhere
                                                         : QTextOption::WrapAtWordBoundaryOrAnywhere);
    whole->setDefaultTextOption(option);
    return whole;
}

void TFormSticky::updateWrapMode()
{
    m_richEdit->setWordWrapMode(hasLongWord(m_richEdit->document()->toPlainText())
                                    ? QTextOption::WrapAnywhere
                                    : QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void TFormSticky::showFound(const QStringList &words)
{
    // A hidden note (minimised, or "Hide All") comes back at its place.
    if (isMinimized() || !isVisible())
        showNormal();
    Window::bringToFront(this);
    // The window shows the note's text as the search read it, so a place in one is the same place in the other.
    const NoteSearch::Match match = NoteSearch::firstMatch(words, m_richEdit->document()->toPlainText());
    QTextCursor cursor(m_richEdit->document());
    if (match.isValid()) {
        cursor.setPosition(int(match.position));
        cursor.setPosition(int(match.position + match.length), QTextCursor::KeepAnchor);
    }
    m_richEdit->setTextCursor(cursor);
    m_richEdit->ensureCursorVisible();
    m_richEdit->setFocus();
}

QString TFormSticky::noteText() const
{
    if (m_textDirty && !m_textCut) {
        m_textCache = m_richEdit->document()->isEmpty() ? QString() : RtfWriter::writeNoteText(*m_richEdit->document());
        m_textDirty = false;
    }
    return m_textCache;
}

QColor TFormSticky::toQColor(quint32 color)
{
    if ((color & 0xFF000000u) == 0x80000000u)
        return systemColor(color & 0x00FFFFFFu);
    if (color == 0x1FFFFFFFu) // clNone: no colour of its own
        return QApplication::palette().color(QPalette::Base);
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

void TFormSticky::FormShow()
{
    if (!m_note)
        return;
    setNoteColor(m_note->color());
    ApplyOpacity(m_note->opacity());
    if (!currentLanguage)
        return;
    std::shared_ptr<const LanguageFile> file = currentLanguage();
    if (file && file != m_shownLanguage) {
        applyShownLanguage(file);
        m_shownLanguage = std::move(file);
    }
}

void TFormSticky::applyShownLanguage(const std::shared_ptr<const LanguageFile> &file)
{
    if (m_menu->hasOwnCaptions() || !file->isLoaded()) {
        ApplyNoteLanguage(*file);
        return;
    }
    // A menu with the built-in captions still (every note as the store's load makes it) takes what the file
    // gives those, which is worked out once per reading of the file, not once per note.
    static std::weak_ptr<const LanguageFile> workedOut;
    static QList<std::pair<int, QString>> changes;
    if (workedOut.owner_before(file) || file.owner_before(workedOut)) {
        changes.clear();
        const auto entries = TextCatalog::entries(TextCatalog::Group::NoteWindow);
        for (const TextCatalog::Entry &entry : entries) {
            const int row = menuRowOf(entry.key);
            if (row < 0)
                continue;
            const QString builtIn = m_menu->caption(row);
            QString text = file->text(entry.key, builtIn);
            if (text != builtIn)
                changes.append({row, std::move(text)});
        }
        workedOut = file;
    }
    for (const auto &[row, text] : std::as_const(changes))
        m_menu->setCaption(row, text);
}

void TFormSticky::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        Window::keepOnScreen(this);
        m_placedAt = pos();
    }
    FormShow();
}

void TFormSticky::closeEvent(QCloseEvent *event)
{
    // Closing deletes the note: out of the list now, out of the store at once; the main form then deletes
    // the window.
    event->accept();
    Q_EMIT closed(this);
}

bool TFormSticky::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_richEdit->viewport() && event->type() == QEvent::MouseButtonPress)
        RichEdit1MouseDown(); // and the press goes on to the editor as usual
    if (watched == m_richEdit && event->type() == QEvent::KeyPress &&
        RichEdit1KeyDown(*static_cast<QKeyEvent *>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

void TFormSticky::ringAlarm()
{
    // Nothing waits for a later "Play Sound": a sound is started now or not at all.
    const AlarmFields &fields = m_note->alarm().fields;
    const bool sound = fields.playSound && !fields.soundFile.isEmpty();
    m_shaker->start();
    if (sound) {
        m_soundKind = AlarmSound::kindOf(fields.soundFile);
        AlarmSound::start(fields.soundFile, [note = QPointer<TFormSticky>(this)](const QString &message) {
            if (note)
                Q_EMIT note->soundFailed(message);
        });
    }
}

void TFormSticky::Timer1Timer()
{
    m_shaker->step();
}

void TFormSticky::RichEdit1MouseDown()
{
    if (!m_shaker->isRinging())
        return;
    m_shaker->stop();
    // Where the user put it, which is where the store keeps the note.
    move(m_shaker->base());
    m_shaker->forgetSteps();
    if (m_soundKind == QLatin1String(".mp3"))
        AlarmSound::stopAlarmPlayer();
}

void TFormSticky::stopAlarm()
{
    if (m_note)
        m_note->alarm().disarm();
    RichEdit1MouseDown();
}

void TFormSticky::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    // The shake's own steps are no move of the note.
    if (!m_shaker->windowMoved(event->pos()))
        return;
    if (!m_loading && isVisible() && m_note)
        m_note->markChanged();
}

void TFormSticky::resizeEvent(QResizeEvent *event)
{
    m_richEdit->setGeometry(rect());
    QWidget::resizeEvent(event);
    if (!m_loading && isVisible() && m_note)
        m_note->markChanged();
}

void TFormSticky::PMChangeTitleClick()
{
    bool ok = false;
    const QString title = QInputDialog::getText(this, QStringLiteral("Change Title"), QStringLiteral("Input Title"),
                                                QLineEdit::Normal, windowTitle(), &ok);
    if (!ok || title == windowTitle())
        return;
    setWindowTitle(title); // the note follows the window's title
}

void TFormSticky::PMChangeColorClick()
{
    // The dialog opens on the colour last chosen in this note, not on the note's colour.
    const QColor chosen = QColorDialog::getColor(m_lastChosenColor, this);
    if (!chosen.isValid())
        return;
    m_lastChosenColor = chosen;
    setNoteColor(quint32(chosen.red()) | quint32(chosen.green()) << 8 | quint32(chosen.blue()) << 16);
}

void TFormSticky::PMOpacityClick(int alpha)
{
    setOpacity(alpha);
    ApplyOpacity(alpha);
}

void TFormSticky::PMStayOnTopClick()
{
    // Moving the window into or out of the topmost band makes it anew; the user goes on typing where
    // the caret was.
    setStayOnTop(!stayOnTop());
    Window::bringToFront(this);
    m_richEdit->setFocus(Qt::OtherFocusReason);
}

void TFormSticky::PMLockTextClick()
{
    if (m_textCut) {
        // An edit of the part shown would lose the rest of the text. The menu has already flipped the check
        // mark; it shows the lock again.
        setLockText(lockText());
        throw AppError(MessageText::text(textTooLongKey));
    }
    setLockText(!lockText());
}

QString TFormSticky::withFilterExtension(const QString &name, int filterIndex)
{
    return NoteExport::withFilterExtension(name, filterIndex);
}

void TFormSticky::PMPrintClick()
{
    const std::unique_ptr<QTextDocument> whole = wholeTextDocument();
    NotePrint::print(whole ? *whole : *m_richEdit->document(), windowTitle());
}

void TFormSticky::PMAlarmClick()
{
    emit alarmRequested(this);
}

void TFormSticky::PMSaveAsClick()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Qt's own dialog, as the platform's offers no way to rewrite the typed name when the type changes.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList filters{QStringLiteral("Stickie File (*.stc)"), QStringLiteral("TXT File (*.txt)"),
                              QStringLiteral("RTF File (*.rtf)")};
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(m_saveFilterIndex - 1));
    dialog.setDirectory(saveFolder(m_programFolder));
    dialog.selectFile(QStringLiteral("Stickie%1.stc").arg(m_noteNumber));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &filter) {
        m_saveFilterIndex = int(filters.indexOf(filter)) + 1;
        if (auto *nameBox = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            nameBox->setText(withFilterExtension(nameBox->text(), m_saveFilterIndex));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveToFile(dialog.selectedFiles().constFirst());
}

QString TFormSticky::saveFolder(const QString &programFolder)
{
    if (ProgramFolders::canCreateFileIn(programFolder))
        return programFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

bool TFormSticky::saveToFile(const QString &path) const
{
    const NoteExport::Format format = NoteExport::formatOf(path);
    if (format == NoteExport::Format::Stickie) {
        WriteStickieFile(path);
        return true;
    }
    if (format == NoteExport::Format::None)
        return false;
    const std::unique_ptr<QTextDocument> whole = wholeTextDocument();
    const QTextDocument &document = whole ? *whole : *m_richEdit->document();
    NoteExport::writeFile(path, format == NoteExport::Format::Text ? NoteExport::plainTextFile(document.toPlainText())
                                                                   : RtfWriter::write(document));
    return true;
}

void TFormSticky::WriteStickieFile(const QString &path) const
{
    NoteStore::saveStickieFile(path, toRecord());
}
