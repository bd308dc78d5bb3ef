#include "note/text_format.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>

#include <optional>

namespace TextFormat {

namespace {

QTextListFormat listFormat(RtfLists::Kind kind)
{
    QTextListFormat format;
    format.setStyle(RtfLists::entry(kind).style);
    format.setIndent(1);
    return format;
}

void joinList(QTextCursor &cursor, const QTextList *list)
{
    QTextBlockFormat modifier;
    modifier.setObjectIndex(list->objectIndex());
    cursor.mergeBlockFormat(modifier);
}

// Characters that stand for images, frames and other objects: no text of a note.
bool isObjectCharacter(QChar ch)
{
    const char16_t unit = ch.unicode();
    return unit == QChar::ObjectReplacementCharacter || unit == 0xFDD0 || unit == 0xFDD1 || unit == 0xFDEF;
}

QString textOnly(QString text)
{
    text.removeIf(isObjectCharacter);
    return text;
}

bool visible(const QBrush &brush)
{
    return brush.style() != Qt::NoBrush && brush.color().alpha() > 0;
}

// True when every character of the document lies on one and the same background.
bool backgroundEverywhere(const QTextDocument &document)
{
    std::optional<QColor> background;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (textOnly(fragment.text()).isEmpty())
                continue;
            const QBrush brush = fragment.charFormat().background();
            if (!visible(brush) || (background && *background != brush.color()))
                return false;
            background = brush.color();
        }
    }
    return background.has_value();
}

// The pasted run's format: its own faces, size and colours where it has them, the surrounding text's where
// it has none, and its own four styles.
QTextCharFormat cleanCharFormat(const QTextCharFormat &format, const QTextCharFormat &surrounding, bool dropBackground)
{
    QTextCharFormat clean;
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.front().isEmpty())
        clean.setFontFamilies({families.front()});
    else if (surrounding.hasProperty(QTextFormat::FontFamilies))
        clean.setFontFamilies(surrounding.fontFamilies().toStringList());
    if (format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0)
        clean.setFontPointSize(format.fontPointSize());
    else if (format.hasProperty(QTextFormat::FontPixelSize) && format.intProperty(QTextFormat::FontPixelSize) > 0)
        clean.setFontPointSize(format.intProperty(QTextFormat::FontPixelSize) * 0.75);
    else if (surrounding.hasProperty(QTextFormat::FontPointSize))
        clean.setFontPointSize(surrounding.fontPointSize());
    if (format.hasProperty(QTextFormat::ForegroundBrush) && visible(format.foreground()))
        clean.setForeground(format.foreground().color());
    else if (surrounding.hasProperty(QTextFormat::ForegroundBrush))
        clean.setForeground(surrounding.foreground());
    if (!dropBackground && format.hasProperty(QTextFormat::BackgroundBrush) && visible(format.background()))
        clean.setBackground(format.background().color());
    QTextCharFormat styles = format;
    styles.setFontUnderline(format.fontUnderline() || format.underlineStyle() != QTextCharFormat::NoUnderline);
    setStyleBits(clean, styleBits(styles));
    return clean;
}

} // namespace

QTextCharFormat selectionFormat(const QTextCursor &cursor)
{
    if (!cursor.hasSelection())
        return cursor.charFormat();
    QTextCursor first(cursor.document());
    first.setPosition(cursor.selectionStart() + 1);
    return first.charFormat();
}

int wholePoints(const QTextCharFormat &format, const QFont &defaultFont)
{
    qreal points = defaultFont.pointSizeF();
    if (format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0)
        points = format.fontPointSize();
    else if (format.hasProperty(QTextFormat::FontPixelSize))
        points = format.intProperty(QTextFormat::FontPixelSize) * 0.75;
    return qRound(qMax<qreal>(points, 0) * 20) / 20;
}

int styleBits(const QTextCharFormat &format)
{
    return (format.fontWeight() >= QFont::DemiBold ? Bold : 0) | (format.fontItalic() ? Italic : 0) |
           (format.fontUnderline() ? Underline : 0) | (format.fontStrikeOut() ? StrikeOut : 0);
}

void setStyleBits(QTextCharFormat &format, int bits)
{
    format.setFontWeight(bits & Bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(bits & Italic);
    format.setFontUnderline(bits & Underline);
    format.setFontStrikeOut(bits & StrikeOut);
}

QTextCharFormat fontFormat(const QFont &font, const QColor &color)
{
    QTextCharFormat format;
    format.setFontFamilies({font.family()});
    if (font.pointSizeF() > 0)
        format.setFontPointSize(font.pointSize());
    else
        format.setFontPointSize(font.pixelSize() * 0.75);
    format.setFontFixedPitch(font.fixedPitch());
    setStyleBits(format, (font.weight() >= QFont::DemiBold ? Bold : 0) | (font.italic() ? Italic : 0) |
                             (font.underline() ? Underline : 0) | (font.strikeOut() ? StrikeOut : 0));
    if (color.isValid())
        format.setForeground(color);
    return format;
}

void setList(const QTextCursor &cursor, RtfLists::Kind kind)
{
    QTextDocument *document = cursor.document();
    QTextCursor edit(cursor);
    edit.beginEditBlock();
    if (kind == RtfLists::Kind::None) {
        const QTextBlock last = document->findBlock(cursor.selectionEnd());
        for (QTextBlock block = document->findBlock(cursor.selectionStart()); block.isValid(); block = block.next()) {
            if (QTextList *list = block.textList()) {
                // Out of the list, the paragraph stands where it stood before it went in.
                const int indent = block.blockFormat().indent();
                list->remove(block);
                QTextCursor at(block);
                QTextBlockFormat format = block.blockFormat();
                format.setIndent(indent);
                at.setBlockFormat(format);
            }
            if (block == last)
                break;
        }
    } else {
        edit.createList(listFormat(kind));
    }
    joinLists(document);
    edit.endEditBlock();
}

void joinLists(QTextDocument *document)
{
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    QTextList *run = nullptr;
    QSet<int> used; // object indices, which stay unique while list objects come and go
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QTextList *list = block.textList();
        if (!list) {
            run = nullptr;
            continue;
        }
        cursor.setPosition(block.position());
        if (run && list->format().style() == run->format().style()) {
            if (list != run)
                joinList(cursor, run);
            continue;
        }
        run = used.contains(list->objectIndex()) ? cursor.createList(list->format()) : list;
        used.insert(run->objectIndex());
    }
    cursor.endEditBlock();
}

void convertCase(QTextCursor &cursor, const std::function<QString(const QString &)> &convert)
{
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    struct Run {
        int position;
        int length;
    };
    QList<Run> runs;
    QTextDocument *document = cursor.document();
    for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = qMax(fragment.position(), start);
            const int to = qMin(fragment.position() + fragment.length(), end);
            if (from < to)
                runs.append({from, to - from});
        }
    }
    QTextCursor edit(document);
    edit.beginEditBlock();
    int growth = 0;
    // From the last run back, so that a run whose length changes leaves the positions before it alone.
    for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
        edit.setPosition(it->position);
        edit.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
        const QString text = edit.selectedText();
        const QString converted = convert(text);
        if (converted == text)
            continue;
        QTextCursor formatAt(document);
        formatAt.setPosition(it->position + 1);
        edit.insertText(converted, formatAt.charFormat());
        growth += int(converted.size()) - it->length;
    }
    edit.endEditBlock();
    cursor.setPosition(start);
    cursor.setPosition(end + growth, QTextCursor::KeepAnchor);
}

void insertCleaned(QTextCursor &cursor, const QTextDocument &source)
{
    cursor.beginEditBlock();
    if (cursor.hasSelection())
        cursor.removeSelectedText();
    QTextBlockFormat paragraph = cursor.blockFormat();
    paragraph.clearProperty(QTextFormat::ObjectIndex);
    const QTextCharFormat surrounding = cursor.charFormat();
    const bool dropBackground = backgroundEverywhere(source);
    // A first pasted paragraph goes into the one pasted into; it brings its alignment and list only when
    // that one is empty.
    const bool intoEmpty = cursor.block().length() == 1;
    QHash<const QTextList *, QTextList *> lists;
    bool first = true;
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        // The paragraph a document keeps after each table is none of the pasted text's while it holds no text.
        if (textOnly(block.text()).isEmpty() && block.previous().isValid() &&
            QTextCursor(block).currentFrame() != QTextCursor(block.previous()).currentFrame())
            continue;
        QTextBlockFormat format = paragraph;
        const QTextBlockFormat own = block.blockFormat();
        if (own.hasProperty(QTextFormat::BlockAlignment))
            format.setAlignment(own.alignment() & Qt::AlignHorizontal_Mask);
        if (!first)
            cursor.insertBlock(format, surrounding);
        else if (intoEmpty)
            cursor.mergeBlockFormat(format);
        if (const QTextList *list = block.textList(); list && (!first || intoEmpty)) {
            QTextList *&into = lists[list];
            if (into)
                joinList(cursor, into);
            else
                into = cursor.createList(listFormat(RtfLists::kindOf(list->format().style())));
        }
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString text = textOnly(fragment.text());
            if (!text.isEmpty())
                cursor.insertText(text, cleanCharFormat(fragment.charFormat(), surrounding, dropBackground));
        }
        first = false;
    }
    joinLists(cursor.document());
    cursor.endEditBlock();
}

} // namespace TextFormat
