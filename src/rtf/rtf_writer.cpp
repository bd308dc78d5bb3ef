#include "rtf/rtf_writer.h"

#include "platform/code_page.h"
#include "rtf/rtf_charsets.h"
#include "rtf/rtf_formats.h"
#include "rtf/rtf_lists.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QMutex>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <array>
#include <map>

namespace {

// Charsets tried, in this order, for a character the run's current charset lacks. The rich-edit
// control writes Cyrillic, Greek, Central European... text as \'hh bytes under a font of that
// charset, which every reader of RTF understands; anything else goes out as \uN.
constexpr int fallbackCharsets[] = {0, 204, 161, 238, 162, 186, 177, 178, 222, 163};
constexpr int symbolCharset = 2;

// Characters to bytes for a single-byte code page, built once from the decoding table.
const QHash<char16_t, uchar> &encodingTable(int codePage)
{
    static QMutex mutex;
    static std::map<int, QHash<char16_t, uchar>> tables;
    const QMutexLocker locker(&mutex);
    auto it = tables.find(codePage);
    if (it == tables.end()) {
        QByteArray bytes;
        for (int byte = 0x80; byte < 0x100; ++byte)
            bytes.append(char(byte));
        const QString decoded = CodePage::decode(codePage, bytes);
        QHash<char16_t, uchar> table;
        for (int i = 0; i < decoded.size() && i < 0x80; ++i) {
            const char16_t ch = decoded.at(i).unicode();
            if (ch != 0xFFFD && ch >= 0x80 && !table.contains(ch))
                table.insert(ch, uchar(0x80 + i));
        }
        it = tables.emplace(codePage, std::move(table)).first;
    }
    return it->second;
}

QByteArray hexByte(uchar byte)
{
    static const char digits[] = "0123456789abcdef";
    return QByteArray("\\'") + digits[byte >> 4] + digits[byte & 15];
}

QByteArray unicodeEscape(char16_t unit)
{
    // \uN takes a signed 16-bit number; "?" is what a reader without Unicode shows instead.
    return "\\u" + QByteArray::number(int(qint16(unit))) + '?';
}

QString romanNumber(int number)
{
    static const std::pair<int, const char *> parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                                                         {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                                                         {5, "v"},    {4, "iv"},   {1, "i"}};
    QString result;
    for (const auto &[value, text] : parts) {
        while (number >= value && result.size() < 32) {
            result += QLatin1String(text);
            number -= value;
        }
    }
    return result;
}

QString letterNumber(int number)
{
    QString result;
    while (number > 0) {
        --number;
        result.prepend(QChar(u'a' + number % 26));
        number /= 26;
    }
    return result;
}

using ListKind = RtfLists::Kind;

struct ParaProps {
    size_t alignment = 0; // in the shared table of alignments; 0 is left
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    QList<int> tabs;
    ListKind list = ListKind::None;

    bool operator==(const ParaProps &) const = default;
};

struct CharProps {
    int font = 0;
    int halfPoints = 24;
    int foreground = 0;
    int background = 0;
    std::array<bool, RtfFormats::toggleCount> toggles{}; // in the order of the shared table
};

int twips(qreal points)
{
    return qRound(qBound<qreal>(-31680.0, points, 31680.0) * 20);
}

class Writer {
public:
    explicit Writer(const QTextDocument &document);
    QByteArray run();

private:
    void controlWord(const char *name);
    void controlWord(const char *name, int param);
    void controlSymbol(const QByteArray &symbol);
    void beginText(char next);
    void writeParagraphStart(const QTextBlock &block, const ParaProps &props, bool withNumbering);
    void writeNumberText(const QTextBlock &block, ListKind kind);
    void writeCharFormat(const QTextCharFormat &format, const QString &text);
    void writeText(const QString &text, const QString &family);
    int fontIndex(const QString &family, int charset);
    int colorIndex(const QBrush &brush);
    int charsetFor(char16_t ch, int current) const;
    const QHash<char16_t, uchar> &tableOf(int charset) const;
    QString familyOf(const QTextCharFormat &format) const;
    int halfPointsOf(const QTextCharFormat &format) const;
    ParaProps paraProps(const QTextBlock &block) const;
    QByteArray header() const;

    const QTextDocument &m_document;
    QFont m_defaultFont;
    QByteArray m_body;
    bool m_pendingDelimiter = false;
    bool m_pendingNewline = false;
    QList<std::pair<QString, int>> m_fonts;
    QHash<std::pair<QString, int>, int> m_fontIndex;
    QList<QRgb> m_colors;
    QHash<QRgb, int> m_colorIndex;
    QHash<const QTextList *, int> m_itemNumbers;
    const QHash<char16_t, uchar> *m_fallbackTables[std::size(fallbackCharsets)];
    CharProps m_state;
};

Writer::Writer(const QTextDocument &document)
    : m_document(document)
    , m_defaultFont(document.defaultFont())
{
    // Without a GUI application the default font has no family; a font table entry needs a name.
    if (m_defaultFont.family().isEmpty())
        m_defaultFont.setFamilies({QStringLiteral("Arial")});
    fontIndex(m_defaultFont.family(), 0); // \deff0
    for (size_t i = 0; i < std::size(fallbackCharsets); ++i)
        m_fallbackTables[i] = &encodingTable(RtfCharsets::codePage(fallbackCharsets[i]));
}

// Every control word is ended by a delimiter before text follows it, and a line break is written
// only where a delimiter already ends the word: the RTF reads the same with its line breaks removed.
void Writer::controlWord(const char *name)
{
    if (m_pendingNewline) {
        m_body += "\r\n";
        m_pendingNewline = false;
    }
    m_body += '\\';
    m_body += name;
    m_pendingDelimiter = true;
}

void Writer::controlWord(const char *name, int param)
{
    controlWord(name);
    m_body += QByteArray::number(param);
}

void Writer::controlSymbol(const QByteArray &symbol)
{
    if (m_pendingNewline) {
        m_body += "\r\n";
        m_pendingNewline = false;
    }
    m_body += symbol;
    m_pendingDelimiter = false;
}

void Writer::beginText(char next)
{
    // Only a letter, a digit, a space or a minus sign could be read as part of the word before it.
    const bool needsSpace = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
                            (next >= '0' && next <= '9') || next == ' ' || next == '-';
    if (m_pendingDelimiter && needsSpace)
        m_body += ' ';
    if (m_pendingNewline)
        m_body += "\r\n";
    m_pendingDelimiter = false;
    m_pendingNewline = false;
}

int Writer::fontIndex(const QString &family, int charset)
{
    const std::pair<QString, int> key(family, charset);
    const auto it = m_fontIndex.constFind(key);
    if (it != m_fontIndex.constEnd())
        return *it;
    const int index = int(m_fonts.size());
    m_fonts.append(key);
    m_fontIndex.insert(key, index);
    return index;
}

int Writer::colorIndex(const QBrush &brush)
{
    if (brush.style() == Qt::NoBrush)
        return 0;
    const QRgb rgb = brush.color().rgb();
    const auto found = m_colorIndex.constFind(rgb);
    if (found != m_colorIndex.constEnd())
        return *found;
    m_colors.append(rgb);
    m_colorIndex.insert(rgb, int(m_colors.size()));
    return int(m_colors.size());
}

int Writer::charsetFor(char16_t ch, int current) const
{
    for (size_t i = 0; i < std::size(fallbackCharsets); ++i)
        if (fallbackCharsets[i] == current && m_fallbackTables[i]->contains(ch))
            return current;
    for (size_t i = 0; i < std::size(fallbackCharsets); ++i)
        if (m_fallbackTables[i]->contains(ch))
            return fallbackCharsets[i];
    return -1;
}

const QHash<char16_t, uchar> &Writer::tableOf(int charset) const
{
    for (size_t i = 0; i < std::size(fallbackCharsets); ++i)
        if (fallbackCharsets[i] == charset)
            return *m_fallbackTables[i];
    return *m_fallbackTables[0];
}

QString Writer::familyOf(const QTextCharFormat &format) const
{
    const QStringList families = format.property(QTextFormat::FontFamilies).toStringList();
    if (!families.isEmpty() && !families.front().isEmpty())
        return families.front();
    const QString family = format.property(QTextFormat::FontFamily).toString();
    return family.isEmpty() ? m_defaultFont.family() : family;
}

int Writer::halfPointsOf(const QTextCharFormat &format) const
{
    qreal points = 0;
    if (format.hasProperty(QTextFormat::FontPointSize))
        points = format.fontPointSize();
    else if (format.hasProperty(QTextFormat::FontPixelSize))
        points = format.intProperty(QTextFormat::FontPixelSize) * 0.75;
    else
        points = m_defaultFont.pointSizeF() > 0 ? m_defaultFont.pointSizeF() : m_defaultFont.pixelSize() * 0.75;
    return points > 0 ? qBound(1, qRound(points * 2), 3276) : 24;
}

ParaProps Writer::paraProps(const QTextBlock &block) const
{
    const QTextBlockFormat format = block.blockFormat();
    ParaProps props;
    props.alignment = RtfFormats::alignmentOf(format.alignment() & Qt::AlignHorizontal_Mask);
    props.leftIndent = twips(format.leftMargin());
    props.rightIndent = twips(format.rightMargin());
    props.firstIndent = twips(format.textIndent());
    props.spaceBefore = twips(format.topMargin());
    props.spaceAfter = twips(format.bottomMargin());
    for (const QTextOption::Tab &tab : format.tabPositions())
        props.tabs.append(twips(tab.position));
    if (const QTextList *list = block.textList())
        props.list = RtfLists::kindOf(list->format().style());
    return props;
}

void Writer::writeParagraphStart(const QTextBlock &block, const ParaProps &props, bool withNumbering)
{
    controlWord("pard");
    if (props.list != ListKind::None) {
        writeNumberText(block, props.list);
        if (withNumbering) {
            controlSymbol("{\\*");
            controlWord("pn");
            if (props.list == ListKind::Bullet) {
                controlWord(RtfLists::entry(props.list).keyword);
                controlWord("pnf", fontIndex(QStringLiteral("Symbol"), symbolCharset));
                controlWord("pnindent", 0);
                controlSymbol("{");
                controlWord("pntxtb");
                controlSymbol("\\'b7}");
            } else {
                controlWord("pnlvlbody");
                controlWord("pnf", 0);
                controlWord("pnindent", 0);
                controlWord("pnstart", 1);
                controlWord(RtfLists::entry(props.list).keyword);
                controlSymbol("{");
                controlWord("pntxta");
                beginText('.');
                m_body += ".}";
            }
            controlSymbol("}");
        }
    }
    if (props.alignment != 0)
        controlWord(RtfFormats::alignments[props.alignment].keyword);
    if (props.leftIndent != 0)
        controlWord("li", props.leftIndent);
    if (props.rightIndent != 0)
        controlWord("ri", props.rightIndent);
    if (props.firstIndent != 0)
        controlWord("fi", props.firstIndent);
    if (props.spaceBefore != 0)
        controlWord("sb", props.spaceBefore);
    if (props.spaceAfter != 0)
        controlWord("sa", props.spaceAfter);
    for (const int tab : props.tabs)
        controlWord("tx", tab);
}

// The number or bullet as readers without numbering support show it; {\pntext} is skipped by those
// that number the paragraph themselves.
void Writer::writeNumberText(const QTextBlock &block, ListKind kind)
{
    controlSymbol("{");
    controlWord("pntext");
    if (kind == ListKind::Bullet) {
        controlWord("f", fontIndex(QStringLiteral("Symbol"), symbolCharset));
        controlSymbol("\\'b7");
    } else {
        // Counted here rather than asked of the list, which searches its items for every block.
        const int number = ++m_itemNumbers[block.textList()];
        QString label;
        switch (kind) {
        case ListKind::LowerAlpha:
            label = letterNumber(number);
            break;
        case ListKind::UpperAlpha:
            label = letterNumber(number).toUpper();
            break;
        case ListKind::LowerRoman:
            label = romanNumber(number);
            break;
        case ListKind::UpperRoman:
            label = romanNumber(number).toUpper();
            break;
        default:
            label = QString::number(number);
            break;
        }
        controlWord("f", 0);
        beginText('0');
        m_body += label.toLatin1() + '.';
    }
    controlWord("tab");
    controlSymbol("}");
}

void Writer::writeCharFormat(const QTextCharFormat &format, const QString &text)
{
    const QString family = familyOf(format);
    int font = m_state.font;
    if (m_fonts.at(font).first != family || m_fonts.at(font).second == symbolCharset) {
        // Start the run in the charset its first foreign character needs, so that a Cyrillic word
        // does not switch fonts right after its first letter.
        int charset = 0;
        for (const QChar ch : text) {
            if (ch.unicode() >= 0x80) {
                charset = qMax(charsetFor(ch.unicode(), 0), 0);
                break;
            }
        }
        font = fontIndex(family, charset);
    }
    CharProps target;
    target.font = font;
    target.halfPoints = halfPointsOf(format);
    target.foreground = format.hasProperty(QTextFormat::ForegroundBrush) ? colorIndex(format.foreground()) : 0;
    target.background = format.hasProperty(QTextFormat::BackgroundBrush) ? colorIndex(format.background()) : 0;
    for (size_t i = 0; i < RtfFormats::toggleCount; ++i)
        target.toggles[i] = RtfFormats::toggles[i].get(format);

    using RtfFormats::Value;
    if (target.foreground != m_state.foreground)
        controlWord(RtfFormats::keyword(Value::Foreground), target.foreground);
    if (target.background != m_state.background)
        controlWord(RtfFormats::keyword(Value::Background), target.background);
    for (size_t i = 0; i < RtfFormats::toggleCount; ++i) {
        const RtfFormats::ToggleFormat &toggle = RtfFormats::toggles[i];
        if (target.toggles[i] == m_state.toggles[i])
            continue;
        if (target.toggles[i])
            controlWord(toggle.keyword);
        else if (toggle.offKeyword)
            controlWord(toggle.offKeyword);
        else
            controlWord(toggle.keyword, 0);
    }
    if (target.font != m_state.font)
        controlWord(RtfFormats::keyword(Value::Font), target.font);
    if (target.halfPoints != m_state.halfPoints)
        controlWord(RtfFormats::keyword(Value::Size), target.halfPoints);
    m_state = target;
}

void Writer::writeText(const QString &text, const QString &family)
{
    for (const QChar qch : text) {
        const char16_t ch = qch.unicode();
        if (ch < 0x80) {
            if (ch == '\t') {
                controlWord("tab");
            } else if (ch == '\\' || ch == '{' || ch == '}') {
                controlSymbol(QByteArray(1, '\\') + char(ch));
            } else if (ch >= 0x20) {
                beginText(char(ch));
                m_body += char(ch);
            }
            continue;
        }
        if (ch == QChar::LineSeparator || ch == QChar::ParagraphSeparator) {
            controlWord("line");
            continue;
        }
        if (ch == QChar::ObjectReplacementCharacter || ch == 0xFDD0 || ch == 0xFDD1)
            continue; // images, frames and other objects are not part of a note's text
        if (!QChar::isSurrogate(ch)) {
            const int current = m_fonts.at(m_state.font).second;
            const int charset = charsetFor(ch, current);
            if (charset >= 0) {
                if (charset != current) {
                    m_state.font = fontIndex(family, charset);
                    controlWord(RtfFormats::keyword(RtfFormats::Value::Font), m_state.font);
                }
                controlSymbol(hexByte(tableOf(charset).value(ch)));
                continue;
            }
        }
        controlSymbol(unicodeEscape(ch));
    }
}

QByteArray Writer::header() const
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl";
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        const auto &[family, charset] = m_fonts.at(i);
        out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset" + QByteArray::number(charset) + ' ';
        const int codePage = RtfCharsets::codePage(charset) ? RtfCharsets::codePage(charset) : 1252;
        for (const QChar qch : family) {
            const char16_t ch = qch.unicode();
            if (ch == ';' || ch == '{' || ch == '}' || ch == '\\' || ch < 0x20)
                continue; // a family name has no way to carry these
            if (ch < 0x80)
                out += char(ch);
            else if (encodingTable(codePage).contains(ch))
                out += hexByte(encodingTable(codePage).value(ch));
            else
                out += unicodeEscape(ch);
        }
        out += ";}";
    }
    out += "}\r\n";
    if (!m_colors.isEmpty()) {
        out += "{\\colortbl ;";
        for (const QRgb rgb : m_colors)
            out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) + "\\blue" +
                   QByteArray::number(qBlue(rgb)) + ';';
        out += "}\r\n";
    }
    out += "{\\*\\generator Quillet;}\\viewkind4\\uc1 \r\n";
    return out;
}

QByteArray Writer::run()
{
    m_body.reserve(m_document.characterCount() * 2 + 256);
    ParaProps previous;
    const QTextList *previousList = nullptr;
    bool first = true;
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        const ParaProps props = paraProps(block);
        const QTextList *list = block.textList();
        const bool listStarts = list && list != previousList;
        if (first || !(props == previous) || listStarts)
            writeParagraphStart(block, props, list != nullptr);
        else if (list)
            writeNumberText(block, props.list);
        previous = props;
        previousList = list;
        first = false;

        bool empty = true;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || fragment.length() == 0)
                continue;
            const QString text = fragment.text();
            const QTextCharFormat format = fragment.charFormat();
            writeCharFormat(format, text);
            writeText(text, familyOf(format));
            empty = false;
        }
        // An empty paragraph keeps its size and font through the format of its paragraph mark.
        if (empty)
            writeCharFormat(block.charFormat(), QString());
        controlWord("par");
        m_pendingNewline = true;
    }
    QByteArray out = header();
    out += m_body;
    if (m_pendingNewline)
        out += "\r\n";
    out += "}\r\n";
    return out;
}

} // namespace

QByteArray RtfWriter::write(const QTextDocument &document)
{
    return Writer(document).run();
}

QString RtfWriter::writeNoteText(const QTextDocument &document)
{
    QByteArray rtf = write(document);
    rtf.replace('\r', QByteArray()).replace('\n', QByteArray());
    return QString::fromLatin1(rtf);
}
