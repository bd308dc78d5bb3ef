#include "note/form_sticky.h"

#include "app/note_store.h"
#include "platform/app_error.h"
#include "platform/profile.h"
#include "platform/rtf_reader.h"
#include "platform/rtf_writer.h"
#include "platform/window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <array>

namespace {

// The context menu, in display order.
// clang-format off
constexpr TFormSticky::MenuEntry menuEntries[] = {
    {"PMUndo", "Undo", "Ctrl+Z", 0},
    {"N1", "", "", 0},
    {"PMCut", "Cut", "Ctrl+X", 0},
    {"PMCopy", "Copy", "Ctrl+C", 0},
    {"PMPaste", "Paste", "Ctrl+V", 0},
    {"N2", "", "", 0},
    {"PMSelectAll", "Select All", "Ctrl+A", 0},
    {"PMPrint", "Print", "Ctrl+P", 0},
    {"PMSaveAs", "Save as ...", "", 0},
    {"N9", "", "", 0},
    {"PMWindow", "Window", "", 0},
    {"PMChangeTitle", "Change Title", "", 1},
    {"PMChangeColor", "Change Color", "", 1},
    {"PMChangeOpacity", "Change Opacity", "", 1},
    {"PMOpacity100", "100", "", 2},
    {"PMOpacity90", "90", "", 2},
    {"PMOpacity80", "80", "", 2},
    {"PMOpacity70", "70", "", 2},
    {"PMOpacity60", "60", "", 2},
    {"PMOpacity50", "50", "", 2},
    {"PMOpacity40", "40", "", 2},
    {"PMOpacity30", "30", "", 2},
    {"PMOpacity20", "20", "", 2},
    {"PMOpacity10", "10", "", 2},
    {"PMStayOnTop", "Stay On Top", "Ctrl+T", 1, true},
    {"N7", "", "", 0},
    {"PMText", "Text", "", 0},
    {"PMFont", "Font", "", 1},
    {"PMFontSelect", "Select ...", "", 2},
    {"PMSize", "Size", "", 1},
    {"PMFontSizeMore", "More  Ctrl +", "", 2},
    {"PMFontSizeLess", "Less   Ctrl -", "", 2},
    {"N4", "", "", 2},
    {"PMFontSize8", "8", "", 2},
    {"PMFontSize10", "10", "", 2},
    {"PMFontSize12", "12", "", 2},
    {"PMFontSize14", "14", "", 2},
    {"PMFontSize16", "16", "", 2},
    {"PMFontSize18", "18", "", 2},
    {"PMFontSize24", "24", "", 2},
    {"PMFontSize36", "36", "", 2},
    {"PMFontSize48", "48", "", 2},
    {"PMFontSize60", "60", "", 2},
    {"PMFontSize72", "72", "", 2},
    {"PMStyle", "Style", "", 1},
    {"PMBold", "Bold", "Ctrl+B", 2},
    {"PMItalic", "Italic", "Ctrl+I", 2},
    {"PMUnderline", "Underline", "Ctrl+U", 2},
    {"PMStrikeOut", "Strike Out", "Ctrl+S", 2},
    {"PMCase", "Case", "", 1},
    {"PMUppercase", "Uppercase", "", 2},
    {"PMLowercase", "Lowercase", "", 2},
    {"N5", "", "", 1},
    {"PMAlignment", "Alignment", "", 1},
    {"PMAlignLeft", "Left", "", 2},
    {"PMAlignCenter", "Center", "", 2},
    {"PMAlignRight", "Right", "", 2},
    {"PMList", "List", "", 1},
    {"PMNone", "None", "", 2},
    {"PMBullets", "Bullets", "", 2},
    {"PMNumbers", "Numbers", "", 2},
    {"PMSmallLetters", "Small Letters", "", 2},
    {"PMLargeLetters", "Large Letters", "", 2},
    {"PMSmallRomanNumbers", "Small Roman Numbers", "", 2},
    {"PMLargeRomanNumbers", "Large Roman Numbers", "", 2},
    {"N6", "", "", 1},
    {"PMLockText", "Lock", "Ctrl+L", 1, true},
    {"N8", "", "", 0},
    {"PMAlarm", "Alarm", "Ctrl+Shift+A", 0},
};
// clang-format on

constexpr const char *saveExtensions[] = {".stc", ".txt", ".rtf"};

// The opacity steps: the percentage times 255 / 100 with the fraction dropped, but 254 for "100" so the
// note stays a translucent-capable window.
struct OpacityStep {
    const char *name;
    int alpha;
};
constexpr std::array<OpacityStep, 10> opacitySteps{{{"PMOpacity100", 254},
                                                    {"PMOpacity90", 229},
                                                    {"PMOpacity80", 204},
                                                    {"PMOpacity70", 178},
                                                    {"PMOpacity60", 153},
                                                    {"PMOpacity50", 127},
                                                    {"PMOpacity40", 102},
                                                    {"PMOpacity30", 76},
                                                    {"PMOpacity20", 51},
                                                    {"PMOpacity10", 25}}};

// 5 points (100 twips); block margins count in points, as the RTF codec reads and writes them.
constexpr qreal creationIndent = 5.0;

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
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
    , m_defaultSoundFile(programFolder + QStringLiteral("alarm/alarm.mp3"))
    , m_programFolder(programFolder)
{
    setWindowTitle(QStringLiteral("Sticky"));
    setGeometry(388, 104, 240, 180);
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPointSize(8);
    setFont(formFont);

    m_alarmFields.countdown = false;
    m_alarmFields.countStart = 1;
    m_alarmFields.soundFile = m_defaultSoundFile;

    m_richEdit = new QTextEdit(this);
    m_richEdit->setObjectName(QStringLiteral("RichEdit1"));
    m_richEdit->setAcceptRichText(true);
    m_richEdit->setTabChangesFocus(false);
    m_richEdit->setLineWrapMode(QTextEdit::WidgetWidth);
    m_richEdit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_richEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_richEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_richEdit->setFrameShape(QFrame::NoFrame);
    m_richEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_richEdit);

    makeShortcutItems();
    connect(m_richEdit, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showPopupMenu(m_richEdit->viewport()->mapToGlobal(pos)); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showPopupMenu(mapToGlobal(pos)); });

    FormCreate();

    connect(m_richEdit->document(), &QTextDocument::contentsChanged, this, [this] {
        m_textDirty = true;
        if (!m_loading)
            Q_EMIT changed();
    });
    connect(m_richEdit->document(), &QTextDocument::contentsChange, this, [this](int, int, int added) {
        if (added > longWordLength && !m_loading)
            updateWrapMode();
    });
}

TFormSticky::~TFormSticky() = default;

void TFormSticky::FormCreate()
{
    // New text is 10 point with 5-point indents on both sides, while the form's base font stays 8 point.
    QTextCharFormat charFormat;
    charFormat.setFontPointSize(10);
    m_richEdit->mergeCurrentCharFormat(charFormat);
    QTextCursor cursor(m_richEdit->document());
    QTextBlockFormat blockFormat = cursor.blockFormat();
    blockFormat.setLeftMargin(creationIndent);
    blockFormat.setRightMargin(creationIndent);
    cursor.setBlockFormat(blockFormat);
    m_textDirty = true;
}

QAction *TFormSticky::makeItem(const MenuEntry &entry)
{
    const QString name = QString::fromLatin1(entry.name);
    auto *action = new QAction(QString::fromUtf8(entry.caption), this);
    action->setObjectName(name);
    action->setCheckable(entry.checkable);
    m_items.insert(name, action);

    using Handler = void (TFormSticky::*)();
    static const QHash<QString, Handler> handlers{
        {QStringLiteral("PMUndo"), &TFormSticky::PMUndoClick},
        {QStringLiteral("PMCut"), &TFormSticky::PMCutClick},
        {QStringLiteral("PMCopy"), &TFormSticky::PMCopyClick},
        {QStringLiteral("PMPaste"), &TFormSticky::PMPasteClick},
        {QStringLiteral("PMSelectAll"), &TFormSticky::PMSelectAllClick},
        {QStringLiteral("PMSaveAs"), &TFormSticky::PMSaveAsClick},
        {QStringLiteral("PMChangeTitle"), &TFormSticky::PMChangeTitleClick},
        {QStringLiteral("PMChangeColor"), &TFormSticky::PMChangeColorClick},
        {QStringLiteral("PMStayOnTop"), &TFormSticky::PMStayOnTopClick},
        {QStringLiteral("PMLockText"), &TFormSticky::PMLockTextClick},
    };
    if (const Handler handler = handlers.value(name))
        connect(action, &QAction::triggered, this, handler);
    for (const OpacityStep &step : opacitySteps) {
        if (name == QLatin1String(step.name)) {
            const int alpha = step.alpha;
            connect(action, &QAction::triggered, this, [this, alpha] {
                setOpacity(alpha);
                ApplyOpacity(alpha);
            });
        }
    }
    return action;
}

void TFormSticky::makeShortcutItems()
{
    // The items with shortcuts exist from the start, as the shortcuts work while the note has the
    // keyboard focus, also with the menu never opened; they include both items with check marks.
    for (const MenuEntry &entry : menuEntries) {
        if (*entry.shortcut == '\0')
            continue;
        QAction *action = makeItem(entry);
        action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
        addAction(action);
    }
}

void TFormSticky::ensureMenu() const
{
    // The rest of the menu is built when it is first needed: with hundreds of notes, most menus are never
    // opened, and building them all would slow the start.
    if (m_popupMenu)
        return;
    auto *self = const_cast<TFormSticky *>(this);
    self->m_popupMenu = new QMenu(self);
    m_popupMenu->setObjectName(QStringLiteral("PopupMenu1"));
    QList<QMenu *> menus{m_popupMenu};
    const int count = int(std::size(menuEntries));
    for (int i = 0; i < count; ++i) {
        const MenuEntry &entry = menuEntries[i];
        const QString name = QString::fromLatin1(entry.name);
        menus.resize(entry.depth + 1);
        QMenu *menu = menus.back();
        QAction *action = nullptr;
        if (*entry.caption == '\0') {
            action = menu->addSeparator();
        } else if (i + 1 < count && menuEntries[i + 1].depth > entry.depth) {
            QMenu *submenu = menu->addMenu(QString::fromUtf8(entry.caption));
            submenu->setObjectName(name);
            menus.append(submenu);
            action = submenu->menuAction();
        } else {
            action = m_items.value(name);
            if (!action)
                action = self->makeItem(entry);
            menu->addAction(action);
        }
        action->setObjectName(name);
        self->m_items.insert(name, action);
    }
    self->applyTrayMenu();
}

QMenu *TFormSticky::PopupMenu1() const
{
    ensureMenu();
    return m_popupMenu;
}

QAction *TFormSticky::menuItem(const QString &name) const
{
    ensureMenu();
    return m_items.value(name);
}

QStringList TFormSticky::menuItemNames()
{
    QStringList names;
    for (const MenuEntry &entry : menuEntries)
        names.append(QString::fromLatin1(entry.name));
    return names;
}

void TFormSticky::showPopupMenu(const QPoint &globalPos)
{
    PopupMenu1()->popup(globalPos);
}

void TFormSticky::setTrayMenu(QMenu *trayMenu)
{
    m_trayMenu = trayMenu;
    if (m_popupMenu)
        applyTrayMenu();
}

void TFormSticky::applyTrayMenu()
{
    if (m_trayMenuAction) {
        m_popupMenu->removeAction(m_trayMenuAction);
        delete m_traySeparator;
        m_traySeparator = nullptr;
        m_trayMenuAction = nullptr;
    }
    if (!m_trayMenu)
        return;
    m_traySeparator = m_popupMenu->addSeparator();
    m_trayMenuAction = m_popupMenu->addMenu(m_trayMenu);
    m_trayMenuAction->setText(QStringLiteral("Quillet 1.02"));
}

void TFormSticky::setOpacity(int alpha)
{
    if (m_opacity == alpha)
        return;
    m_opacity = alpha;
    Q_EMIT changed();
}

void TFormSticky::ApplyOpacity(int alpha)
{
    Window::setOpacity(this, alpha);
}

void TFormSticky::setNoteColor(quint32 color)
{
    const bool differs = m_noteColor != color;
    m_noteColor = color;
    QPalette palette = m_richEdit->palette();
    palette.setColor(QPalette::Base, toQColor(color));
    m_richEdit->setPalette(palette);
    if (differs)
        Q_EMIT changed();
}

void TFormSticky::setStayOnTop(bool onTop)
{
    const bool differs = m_stayOnTop != onTop;
    m_stayOnTop = onTop;
    m_items.value(QStringLiteral("PMStayOnTop"))->setChecked(onTop);
    Window::setStayOnTop(this, onTop);
    if (differs)
        Q_EMIT changed();
}

void TFormSticky::setLockText(bool locked)
{
    locked = locked || m_textCut;
    const bool differs = m_lockText != locked;
    m_lockText = locked;
    m_items.value(QStringLiteral("PMLockText"))->setChecked(locked);
    m_richEdit->setReadOnly(locked);
    // A read-only QTextEdit would drop its caret and keyboard selection; the note stays navigable.
    if (locked)
        m_richEdit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (differs)
        Q_EMIT changed();
}

NoteRecord TFormSticky::toRecord() const
{
    NoteRecord record = m_alarmFields;
    record.title = windowTitle();
    record.left = pos().x();
    record.top = pos().y();
    record.width = width();
    record.height = height();
    record.opacity = m_opacity;
    record.color = m_noteColor;
    record.stayOnTop = m_stayOnTop;
    record.lockText = m_lockText;
    record.text = noteText();
    return record;
}

void TFormSticky::applyRecord(const NoteRecord &record)
{
    m_loading = true;
    setWindowTitle(record.title);
    move(record.left, record.top);
    resize(record.width, record.height);
    m_opacity = record.opacity;
    setNoteColor(record.color);
    m_alarmFields = record;
    m_alarmFields.text.clear();
    setStayOnTop(record.stayOnTop);
    m_textCut = record.text.size() > maxShownTextLength;
    setLockText(record.lockText);
    QTextDocument *document = m_richEdit->document();
    if (!record.text.isEmpty()) {
        RtfReader::readNoteText(m_textCut ? record.text.first(maxShownTextLength) : record.text, document);
        m_textCache = record.text;
        m_textDirty = false;
    }
    updateWrapMode();
    document->setModified(false);
    m_loading = false;
}

void TFormSticky::updateWrapMode()
{
    m_richEdit->setWordWrapMode(hasLongWord(m_richEdit->document()->toPlainText())
                                    ? QTextOption::WrapAnywhere
                                    : QTextOption::WrapAtWordBoundaryOrAnywhere);
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
    setNoteColor(m_noteColor);
    ApplyOpacity(m_opacity);
}

void TFormSticky::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        Window::keepOnScreen(this);
    }
    FormShow();
}

void TFormSticky::closeEvent(QCloseEvent *event)
{
    // Closing deletes the note: out of the list now, out of the store at the next save. The window
    // itself is only hidden and lives until the program ends.
    event->accept();
    Q_EMIT closed(this);
}

void TFormSticky::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (!m_loading && isVisible())
        Q_EMIT changed();
}

void TFormSticky::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_loading && isVisible())
        Q_EMIT changed();
}

void TFormSticky::PMChangeTitleClick()
{
    bool ok = false;
    const QString title = QInputDialog::getText(this, QStringLiteral("Change Title"), QStringLiteral("Input Title"),
                                                QLineEdit::Normal, windowTitle(), &ok);
    if (!ok || title == windowTitle())
        return;
    setWindowTitle(title);
    Q_EMIT changed();
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

void TFormSticky::PMStayOnTopClick()
{
    setStayOnTop(!m_stayOnTop);
}

void TFormSticky::PMLockTextClick()
{
    setLockText(!m_lockText);
}

void TFormSticky::PMUndoClick()
{
    m_richEdit->undo();
}

void TFormSticky::PMCutClick()
{
    m_richEdit->cut();
}

void TFormSticky::PMCopyClick()
{
    m_richEdit->copy();
}

void TFormSticky::PMPasteClick()
{
    m_richEdit->paste();
}

void TFormSticky::PMSelectAllClick()
{
    m_richEdit->selectAll();
}

QString TFormSticky::withFilterExtension(const QString &name, int filterIndex)
{
    if (filterIndex < 1 || filterIndex > int(std::size(saveExtensions)))
        return name;
    // The extension is what follows the last dot after the last folder separator.
    const qsizetype separator = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > separator ? name.left(dot) : name;
    return stem + QLatin1String(saveExtensions[filterIndex - 1]);
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
    dialog.setDirectory(m_programFolder.isEmpty() ? QDir::currentPath() : m_programFolder);
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

bool TFormSticky::saveToFile(const QString &path) const
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot).toLower();
    if (extension == QLatin1String(".stc")) {
        WriteStickieFile(path);
        return true;
    }
    QByteArray content;
    if (extension == QLatin1String(".txt")) {
        // Plain text as the platform keeps it: CR LF between lines and one after the last.
        QString text = m_richEdit->document()->toPlainText();
        text.replace(QChar::LineSeparator, QLatin1Char('\n'));
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        content = text.toUtf8() + "\r\n";
    } else if (extension == QLatin1String(".rtf")) {
        content = RtfWriter::write(*m_richEdit->document());
    } else {
        return false;
    }
    if (!Profile::writeWholeFile(path, content))
        throw AppError(QStringLiteral("Cannot create file %1").arg(QFileInfo(path).absoluteFilePath()));
    return true;
}

void TFormSticky::WriteStickieFile(const QString &path) const
{
    NoteStore::saveStickieFile(path, toRecord());
}
