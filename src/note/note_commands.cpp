// The text commands of a note window: the editing and format items of its context menu and their keys.
#include "note/form_sticky.h"

#include "note/note_font_dialog.h"
#include "note/text_format.h"
#include "platform/locale_texts.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace {

// "Less" leaves text smaller than this as it is.
constexpr int smallestShrinkable = 8;
constexpr int sizeStep = 2;
// The numbering style and tab (twips) every list command sends.
constexpr quint16 listNumberingStyle = 600;
constexpr quint16 listNumberingTab = 250;

} // namespace

// A locked note refuses every change by the user: the editor refuses typing, and the commands below refuse
// what the editor would otherwise do by program (an undo, a format, a case).
void TFormSticky::PMUndoClick()
{
    if (!isTextLocked())
        m_richEdit->undo();
}

void TFormSticky::PMCutClick()
{
    if (!isTextLocked())
        m_richEdit->cut();
}

void TFormSticky::PMCopyClick()
{
    m_richEdit->copy();
}

void TFormSticky::PMPasteClick()
{
    if (!isTextLocked())
        m_richEdit->paste();
}

void TFormSticky::PMSelectAllClick()
{
    m_richEdit->selectAll();
}

QFont TFormSticky::baseFont() const
{
    return m_richEdit->font();
}

void TFormSticky::setBaseFont(const QFont &font, const QColor &color)
{
    m_richEdit->setFont(font);
    m_baseColor = color;
    // The base font becomes the format of text typed next as a whole, styles and colour included.
    const QTextCharFormat format = TextFormat::fontFormat(font, color);
    m_richEdit->setCurrentCharFormat(format);
    QTextCursor cursor = m_richEdit->textCursor();
    if (cursor.block().length() == 1)
        cursor.setBlockCharFormat(format);
}

void TFormSticky::setSelectionSize(int points)
{
    QTextCharFormat format;
    format.setFontPointSize(points);
    m_richEdit->mergeCurrentCharFormat(format);
}

void TFormSticky::PMFontSelectClick()
{
    if (isTextLocked())
        return;
    const std::optional<NoteFont> choice = NoteFontDialog::getFont(this, m_lastFont);
    if (!choice)
        return;
    m_lastFont = *choice;
    applyFont(*choice);
}

void TFormSticky::applyFont(const NoteFont &choice)
{
    if (isTextLocked())
        return;
    if (!m_richEdit->textCursor().hasSelection())
        setBaseFont(choice.font, choice.color);
    else
        m_richEdit->mergeCurrentCharFormat(TextFormat::fontFormat(choice.font, choice.color));
}

void TFormSticky::PMFontSizeMoreClick()
{
    if (isTextLocked())
        return;
    const QTextCursor cursor = m_richEdit->textCursor();
    if (!cursor.hasSelection()) {
        QFont font = baseFont();
        font.setPointSize(font.pointSize() + sizeStep);
        setBaseFont(font, m_baseColor);
        return;
    }
    setSelectionSize(TextFormat::wholePoints(TextFormat::selectionFormat(cursor), baseFont()) + sizeStep);
}

void TFormSticky::PMFontSizeLessClick()
{
    if (isTextLocked())
        return;
    const QTextCursor cursor = m_richEdit->textCursor();
    if (!cursor.hasSelection()) {
        QFont font = baseFont();
        if (font.pointSize() >= smallestShrinkable) {
            font.setPointSize(font.pointSize() - sizeStep);
            setBaseFont(font, m_baseColor);
        }
        return;
    }
    const int points = TextFormat::wholePoints(TextFormat::selectionFormat(cursor), baseFont());
    if (points >= smallestShrinkable)
        setSelectionSize(points - sizeStep);
}

void TFormSticky::PMFontSizeClick(int points)
{
    if (isTextLocked())
        return;
    if (!m_richEdit->textCursor().hasSelection()) {
        QFont font = baseFont();
        font.setPointSize(points);
        setBaseFont(font, m_baseColor);
        return;
    }
    setSelectionSize(points);
}

void TFormSticky::PMStyleClick(int bit)
{
    if (isTextLocked())
        return;
    bool &flag = m_styleFlags[std::countr_zero(unsigned(bit))];
    flag = !flag;
    int bits = TextFormat::styleBits(TextFormat::selectionFormat(m_richEdit->textCursor()));
    bits = flag ? bits | bit : bits & ~bit;
    QTextCharFormat format;
    TextFormat::setStyleBits(format, bits);
    m_richEdit->mergeCurrentCharFormat(format);
}

void TFormSticky::PMAlignClick(int alignment)
{
    if (isTextLocked())
        return;
    QTextBlockFormat format;
    format.setAlignment(Qt::Alignment(alignment));
    m_richEdit->textCursor().mergeBlockFormat(format);
}

void TFormSticky::PMListClick(int kind)
{
    SetListNumbering(quint16(kind), listNumberingStyle, listNumberingTab);
}

void TFormSticky::SetListNumbering(quint16 kind, quint16 style, quint16 tab)
{
    if (isTextLocked())
        return;
    m_listFormat.cbSize = 188;
    m_listFormat.dwMask = 0xE020; // numbering, its style, its tab and its start
    m_listFormat.wNumbering = kind;
    m_listFormat.wNumberingStart = 1;
    m_listFormat.wNumberingStyle = style;
    m_listFormat.wNumberingTab = tab;
    // Numbers start at 1 and end in a full stop, Qt's own way; the tab is the list's indent step.
    if (kind <= quint16(RtfLists::Kind::UpperRoman))
        TextFormat::setList(m_richEdit->textCursor(), RtfLists::Kind(kind));
}

void TFormSticky::PMUppercaseClick()
{
    convertCase(true);
}

void TFormSticky::PMLowercaseClick()
{
    convertCase(false);
}

void TFormSticky::convertCase(bool upper)
{
    if (isTextLocked())
        return;
    const auto convert = [upper](const QString &text) {
        return upper ? LocaleTexts::upperCase(text) : LocaleTexts::lowerCase(text);
    };
    QTextCursor cursor = m_richEdit->textCursor();
    const bool whole = !cursor.hasSelection();
    if (whole)
        cursor.select(QTextCursor::Document);
    TextFormat::convertCase(cursor, convert);
    if (whole)
        cursor.movePosition(QTextCursor::End);
    m_richEdit->setTextCursor(cursor);
}

bool TFormSticky::RichEdit1KeyDown(const QKeyEvent &event)
{
    if (!event.modifiers().testFlag(Qt::KeypadModifier))
        return false;
    if (event.key() == Qt::Key_Plus)
        PMFontSizeMoreClick();
    else if (event.key() == Qt::Key_Minus)
        PMFontSizeLessClick();
    else
        return false;
    // Qt would type the character even with Ctrl held, which the platform's editor does not.
    return event.modifiers().testFlag(Qt::ControlModifier);
}
