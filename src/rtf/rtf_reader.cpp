#include "rtf/rtf_reader.h"

#include "base/app_error.h"
#include "platform/code_page.h"
#include "rtf/rtf_charsets.h"
#include "rtf/rtf_control_words.h"
#include "rtf/rtf_formats.h"
#include "rtf/rtf_lists.h"

#include <QColor>
#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Once a writer's line breaks are gone, text that began a line sticks to a word of this kind that
// ended the line before: "\par" + "2nd" reads "\par2nd", so the digits are text, not a parameter.
bool takesNoNumber(std::string_view name)
{
    const RtfControlWords::Word *word = RtfControlWords::find(name);
    return word && (word->kind == RtfControlWords::Kind::Flag || word->kind == RtfControlWords::Kind::Symbol);
}

// RTF with no line break before its end: a stored note, which keeps its RTF on one line.
bool isOneLine(const char *begin, const char *end)
{
    while (end > begin && (end[-1] == '\r' || end[-1] == '\n' || end[-1] == '\0' || end[-1] == ' '))
        --end;
    const size_t size = size_t(end - begin);
    return !std::memchr(begin, '\r', size) && !std::memchr(begin, '\n', size);
}

using ListKind = RtfLists::Kind;

// The number format of a list level in other writers' list tables (\levelnfc).
ListKind kindFromNfc(int nfc)
{
    switch (nfc) {
    case 1:
        return ListKind::UpperRoman;
    case 2:
        return ListKind::LowerRoman;
    case 3:
        return ListKind::UpperAlpha;
    case 4:
        return ListKind::LowerAlpha;
    case 23:
    case 255:
        return ListKind::Bullet;
    default:
        return ListKind::Decimal;
    }
}

struct CharState {
    int font = -1; // -1: the document's default font (\deff)
    int fontSize = 24;
    int foreground = 0;
    int background = 0;
    std::array<bool, RtfFormats::toggleCount> toggles{}; // in the order of the shared table

    bool operator==(const CharState &) const = default;
};

struct ParaState {
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    QList<int> tabs;
    // No kind: a list whose kind only its number text tells.
    std::optional<ListKind> list = ListKind::None;
};

// The paragraph values a \li, \ri, \fi, \sb or \sa sets, in twips.
enum ParaValue { LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter };

enum class Dest { Text, FontTable, ColorTable, Pn, Capture, ListTable, ListOverrideTable };

struct Group {
    CharState chars;
    ParaState para;
    Dest dest = Dest::Text;
    bool ownsDest = false;
    int unicodeSkip = 1;
};

struct FontEntry {
    QString family;
    int codePage = 0; // 0: the document's code page
};

// Deeper groups than this share the state of the deepest one; real documents nest a few dozen deep.
constexpr int maxStackDepth = 4096;
constexpr qint64 maxParam = 0x7FFFFFFF;
constexpr int maxTwips = 31680 * 2;

class Parser {
public:
    Parser(const QByteArray &data, qsizetype start, QTextDocument *document, bool utf8Text)
        : m_p(data.constData() + start)
        , m_end(data.constData() + data.size())
        , m_cursor(document)
        , m_utf8Text(utf8Text)
        , m_oneLine(isOneLine(m_p, m_end))
    {}

    void run();

private:
    // A control word as its handler gets it: value is the entry's own number (a destination, a
    // character, a list kind...), param the number written after the word.
    struct Word {
        int value;
        int param;
        bool hasParam;
    };
    using Handler = void (Parser::*)(const Word &);
    struct WordEntry {
        const char *name;
        Handler handler;
        int value = 0;
    };
    static const WordEntry wordTable[];
    static const WordEntry *findWord(std::string_view name);

    Group &top() { return m_stack.back(); }
    bool inDocument() const;

    void openGroup();
    bool closeGroup();
    void skipGroup();
    void controlSequence();
    struct WordSpan {
        size_t length; // 0: no word, a control symbol
        bool glued;    // the letters after it are text
    };
    WordSpan wordSpan(std::string_view letters) const;
    void handleWord(const WordEntry *entry, bool hasParam, int param);
    void handleHex();
    void handleSymbol(char symbol);
    void plainText();

    void textByte(uchar byte, bool escaped);
    void appendChar(QChar ch);
    void appendUtf8(uchar lead);
    void prepareRun();
    void flushBytes();
    void flushRun();
    void finishParagraph();
    QTextCharFormat charFormat(const CharState &state);
    int codePageOf(int font) const;
    std::optional<ListKind> listFromOverride(int ls) const;
    void noteList();
    void noteOverride();
    ListKind guessedList() const;
    void commitFont();
    void commitColor();
    void setDestination(Dest dest);

    void destination(const Word &word);
    void skippedDestination(const Word &word);
    void codePage(const Word &word);
    void defaultFont(const Word &word);
    void fontCharset(const Word &word);
    void colorComponent(const Word &word);
    void charToggle(const Word &word);
    void charToggleOff(const Word &word);
    void charValue(const Word &word);
    void plain(const Word &word);
    void pard(const Word &word);
    void alignment(const Word &word);
    void paraValue(const Word &word);
    void tabStop(const Word &word);
    void listOverrideIndex(const Word &word);
    void paragraphEnd(const Word &word);
    void breakChar(const Word &word);
    void character(const Word &word);
    void unicode(const Word &word);
    void unicodeSkip(const Word &word);
    void binary(const Word &word);
    void pnKind(const Word &word);
    void pnLevel(const Word &word);
    void listStart(const Word &word);
    void listId(const Word &word);
    void levelNfc(const Word &word);
    void listOverride(const Word &word);

    const char *m_p;
    const char *m_end;
    QTextCursor m_cursor;
    bool m_utf8Text;
    bool m_oneLine;

    std::vector<Group> m_stack;
    int m_overflow = 0;
    bool m_star = false;
    int m_skipChars = 0;

    int m_codePage = 1252;
    int m_defaultFont = 0;
    QHash<int, FontEntry> m_fonts;
    int m_fontId = -1;
    int m_fontCharset = -1;
    QByteArray m_fontName;
    std::vector<QColor> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorSet = false;

    // A numbering group being read, and the list the last paragraph went into.
    ListKind m_pnLevel = ListKind::None;
    ListKind m_pnStyle = ListKind::None;
    QString m_captured;
    QTextList *m_list = nullptr;
    ListKind m_listKind = ListKind::None;
    bool m_lastParaInList = false;

    // The list being read from a list table and the override being read, each entry of the tables
    // going into a hash as soon as both of its numbers are known.
    int m_listId = -1;
    int m_listNfc = -1;
    int m_overrideIndex = -1;
    int m_overrideList = -1;
    QHash<int, int> m_listNfcs;      // \listid -> \levelnfc of its first level
    QHash<int, int> m_overrideLists; // \ls -> \listid

    QString m_run;
    QByteArray m_bytes;
    CharState m_runState;
    bool m_charsDirty = true;
    std::vector<std::pair<QString, QTextCharFormat>> m_paraRuns;
    bool m_paraHasContent = false;
    bool m_firstParagraph = true;
    CharState m_formatState;
    QTextCharFormat m_format;
    bool m_formatValid = false;
};

void Parser::run()
{
    // One edit block for the whole document: outside one, every insertion lays out its paragraph
    // again to place the cursor, which costs more than the reading itself.
    m_cursor.beginEditBlock();
    m_stack.reserve(64);
    m_stack.push_back(Group{}); // stands below the document's own group
    while (m_p < m_end) {
        const char c = *m_p;
        switch (c) {
        case '{':
            ++m_p;
            openGroup();
            break;
        case '}':
            ++m_p;
            if (!closeGroup()) {
                m_p = m_end; // whatever follows the document (a NUL, a stray brace) is not read
            }
            break;
        case '\\':
            ++m_p;
            controlSequence();
            break;
        case '\r':
        case '\n':
        case '\0':
            ++m_p;
            break;
        case '\t':
            ++m_p;
            m_star = false;
            appendChar(QLatin1Char('\t'));
            break;
        default:
            plainText();
            break;
        }
    }
    flushRun();
    if (m_paraHasContent || m_firstParagraph)
        finishParagraph();
    m_cursor.endEditBlock();
}

void Parser::openGroup()
{
    m_skipChars = 0;
    m_star = false;
    if (m_stack.size() >= maxStackDepth) {
        ++m_overflow;
        return;
    }
    Group group = top();
    group.ownsDest = false;
    m_stack.push_back(std::move(group));
}

bool Parser::closeGroup()
{
    m_skipChars = 0;
    m_star = false;
    if (m_overflow > 0) {
        --m_overflow;
        return true;
    }
    if (m_stack.size() <= 1)
        return true; // a stray brace before the document
    const Group &closing = top();
    if (closing.dest == Dest::FontTable)
        commitFont();
    const Dest dest = closing.dest;
    const bool owned = closing.ownsDest;
    if (m_stack.size() == 2)
        return false; // the document's group ends the document
    m_stack.pop_back();
    m_charsDirty = true;
    if (owned && dest == Dest::Pn) {
        const ListKind kind = m_pnLevel == ListKind::Bullet || m_pnStyle == ListKind::None ? m_pnLevel : m_pnStyle;
        if (kind != ListKind::None)
            top().para.list = kind;
    }
    return true;
}

// Skips the rest of the current group (pictures, unknown starred destinations) without reading its
// content: braces are counted, escapes and \bin data stepped over.
void Parser::skipGroup()
{
    int depth = 1;
    while (m_p < m_end) {
        const char c = *m_p++;
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0) {
                closeGroup();
                return;
            }
        } else if (c == '\\' && m_p < m_end) {
            if (*m_p >= 'a' && *m_p <= 'z') {
                const char *start = m_p;
                while (m_p < m_end && *m_p >= 'a' && *m_p <= 'z')
                    ++m_p;
                const std::string_view name(start, size_t(m_p - start));
                const bool negative = m_p < m_end && *m_p == '-';
                if (negative)
                    ++m_p;
                qint64 value = 0;
                while (m_p < m_end && *m_p >= '0' && *m_p <= '9') {
                    if (value <= maxParam)
                        value = value * 10 + (*m_p - '0');
                    ++m_p;
                }
                if (m_p < m_end && *m_p == ' ')
                    ++m_p;
                if (name == "bin" && !negative)
                    m_p += std::min<qint64>(value, m_end - m_p);
            } else {
                ++m_p;
            }
        }
    }
}

// How many of the letters after a backslash make the control word. A known word is taken whole:
// capitals belong to a word only in the few words that have them (\clNoWrap, \trftsWidth), so
// elsewhere a capital ends the word. In one-line RTF a word can also be glued to the text that
// followed it on the next line ("\par" + "second", "{\loch" + "text"): an unknown word there is the
// shortest known word it begins with, the rest is text. Shortest, not longest: the control always
// ends \pard with a delimiter, so "\pardone" in a stored note is "\par" + "done". A word that is
// always written with a number is never glued, since the number would have ended it.
Parser::WordSpan Parser::wordSpan(std::string_view letters) const
{
    if (RtfControlWords::find(letters))
        return {letters.size(), false};
    if (m_oneLine) {
        const size_t longest = std::min(letters.size() - 1, RtfControlWords::longestWord);
        for (size_t length = 1; length <= longest; ++length) {
            const RtfControlWords::Word *word = RtfControlWords::find(letters.substr(0, length));
            if (word && word->kind != RtfControlWords::Kind::Value)
                return {length, true};
        }
    }
    size_t lowerCase = 0;
    while (lowerCase < letters.size() && letters[lowerCase] >= 'a' && letters[lowerCase] <= 'z')
        ++lowerCase;
    return {lowerCase, false};
}

void Parser::controlSequence()
{
    if (m_p >= m_end)
        return;
    const char *nameStart = m_p;
    while (m_p < m_end && isLetter(*m_p))
        ++m_p;
    const WordSpan span =
        m_p == nameStart ? WordSpan{0, false} : wordSpan(std::string_view(nameStart, size_t(m_p - nameStart)));
    if (span.length == 0) {
        m_p = nameStart + 1;
        if (*nameStart == '\'')
            handleHex();
        else
            handleSymbol(*nameStart);
        return;
    }
    const std::string_view name(nameStart, span.length);
    m_p = nameStart + span.length;
    const WordEntry *entry = findWord(name);
    if (span.glued) {
        handleWord(entry, false, 0); // the rest of the letters, digits and the space after them are text
        return;
    }
    const char *paramStart = m_p;
    bool hasParam = false;
    qint64 value = 0;
    bool negative = false;
    if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && m_p[1] >= '0' && m_p[1] <= '9') {
        negative = true;
        ++m_p;
    }
    while (m_p < m_end && *m_p >= '0' && *m_p <= '9') {
        hasParam = true;
        if (value <= maxParam)
            value = value * 10 + (*m_p - '0');
        ++m_p;
    }
    if (!hasParam)
        m_p = paramStart; // a lone "-" is text
    if (hasParam && m_oneLine && takesNoNumber(name)) {
        m_p = paramStart;
        handleWord(entry, false, 0);
        return;
    }
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    value = std::min(value, maxParam);
    handleWord(entry, hasParam, int(negative ? -value : value));
}

// The words the reader acts on; rtf_control_words.h knows the rest, which it ignores. The character
// formats, alignments and list kinds come from the tables the writer shares.
const Parser::WordEntry Parser::wordTable[] = {
    {"fonttbl", &Parser::destination, int(Dest::FontTable)},
    {"colortbl", &Parser::destination, int(Dest::ColorTable)},
    {"pn", &Parser::destination, int(Dest::Pn)},
    {"pntext", &Parser::destination, int(Dest::Capture)},
    {"listtext", &Parser::destination, int(Dest::Capture)},
    {"listtable", &Parser::destination, int(Dest::ListTable)},
    {"listoverridetable", &Parser::destination, int(Dest::ListOverrideTable)},
    {"stylesheet", &Parser::skippedDestination},
    {"info", &Parser::skippedDestination},
    {"pict", &Parser::skippedDestination},
    {"fldinst", &Parser::skippedDestination},
    {"pntxta", &Parser::skippedDestination},
    {"pntxtb", &Parser::skippedDestination},
    {"header", &Parser::skippedDestination},
    {"headerl", &Parser::skippedDestination},
    {"headerr", &Parser::skippedDestination},
    {"headerf", &Parser::skippedDestination},
    {"footer", &Parser::skippedDestination},
    {"footerl", &Parser::skippedDestination},
    {"footerr", &Parser::skippedDestination},
    {"footerf", &Parser::skippedDestination},
    {"footnote", &Parser::skippedDestination},
    {"annotation", &Parser::skippedDestination},
    {"nonshppict", &Parser::skippedDestination},
    {"shp", &Parser::skippedDestination},
    {"objdata", &Parser::skippedDestination},
    {"objclass", &Parser::skippedDestination},
    {"xe", &Parser::skippedDestination},
    {"tc", &Parser::skippedDestination},
    {"txe", &Parser::skippedDestination},
    {"rxe", &Parser::skippedDestination},
    {"revtbl", &Parser::skippedDestination},
    {"rsidtbl", &Parser::skippedDestination},
    {"filetbl", &Parser::skippedDestination},
    {"xmlnstbl", &Parser::skippedDestination},
    {"listpicture", &Parser::skippedDestination},
    {"themedata", &Parser::skippedDestination},
    {"colorschememapping", &Parser::skippedDestination},
    {"latentstyles", &Parser::skippedDestination},
    {"datastore", &Parser::skippedDestination},
    {"generator", &Parser::skippedDestination},
    {"template", &Parser::skippedDestination},
    {"docvar", &Parser::skippedDestination},
    {"ansi", &Parser::codePage, 1252},
    {"mac", &Parser::codePage, 10000},
    {"pc", &Parser::codePage, 437},
    {"pca", &Parser::codePage, 850},
    {"ansicpg", &Parser::codePage, 0},
    {"deff", &Parser::defaultFont},
    {"fcharset", &Parser::fontCharset},
    {"red", &Parser::colorComponent, 0},
    {"green", &Parser::colorComponent, 1},
    {"blue", &Parser::colorComponent, 2},
    {"plain", &Parser::plain},
    {"pard", &Parser::pard},
    {"li", &Parser::paraValue, LeftIndent},
    {"lin", &Parser::paraValue, LeftIndent},
    {"ri", &Parser::paraValue, RightIndent},
    {"rin", &Parser::paraValue, RightIndent},
    {"fi", &Parser::paraValue, FirstIndent},
    {"sb", &Parser::paraValue, SpaceBefore},
    {"sa", &Parser::paraValue, SpaceAfter},
    {"tx", &Parser::tabStop},
    {"ls", &Parser::listOverrideIndex},
    {"par", &Parser::paragraphEnd},
    {"row", &Parser::paragraphEnd},
    {"nestrow", &Parser::paragraphEnd},
    {"page", &Parser::paragraphEnd},
    {"line", &Parser::breakChar, QChar::LineSeparator},
    {"tab", &Parser::breakChar, '\t'},
    {"cell", &Parser::breakChar, '\t'},
    {"nestcell", &Parser::breakChar, '\t'},
    {"lquote", &Parser::character, 0x2018},
    {"rquote", &Parser::character, 0x2019},
    {"ldblquote", &Parser::character, 0x201C},
    {"rdblquote", &Parser::character, 0x201D},
    {"bullet", &Parser::character, 0x2022},
    {"emdash", &Parser::character, 0x2014},
    {"endash", &Parser::character, 0x2013},
    {"emspace", &Parser::character, 0x2003},
    {"enspace", &Parser::character, 0x2002},
    {"qmspace", &Parser::character, 0x2005},
    {"zwj", &Parser::character, 0x200D},
    {"zwnj", &Parser::character, 0x200C},
    {"ltrmark", &Parser::character, 0x200E},
    {"rtlmark", &Parser::character, 0x200F},
    {"u", &Parser::unicode},
    {"uc", &Parser::unicodeSkip},
    {"bin", &Parser::binary},
    {"pnlvlbody", &Parser::pnLevel},
    {"pnlvl", &Parser::pnLevel},
    {"pncard", &Parser::pnKind, int(ListKind::Decimal)},
    {"pnord", &Parser::pnKind, int(ListKind::Decimal)},
    {"pnordt", &Parser::pnKind, int(ListKind::Decimal)},
    {"list", &Parser::listStart},
    {"listid", &Parser::listId},
    {"levelnfc", &Parser::levelNfc},
    {"levelnfcn", &Parser::levelNfc},
    {"listoverride", &Parser::listOverride},
};

const Parser::WordEntry *Parser::findWord(std::string_view name)
{
    static const std::unordered_map<std::string_view, WordEntry> map = [] {
        std::unordered_map<std::string_view, WordEntry> result;
        for (const WordEntry &entry : wordTable)
            result.emplace(entry.name, entry);
        for (size_t i = 0; i < RtfFormats::toggleCount; ++i) {
            const RtfFormats::ToggleFormat &toggle = RtfFormats::toggles[i];
            result.emplace(toggle.keyword, WordEntry{toggle.keyword, &Parser::charToggle, int(i)});
            if (toggle.offKeyword)
                result.emplace(toggle.offKeyword, WordEntry{toggle.offKeyword, &Parser::charToggleOff, int(i)});
        }
        for (const RtfFormats::ToggleVariant &variant : RtfFormats::toggleVariants)
            result.emplace(variant.keyword, WordEntry{variant.keyword, &Parser::charToggle, int(variant.toggle)});
        for (const RtfFormats::ValueWord &word : RtfFormats::valueWords)
            result.emplace(word.keyword, WordEntry{word.keyword, &Parser::charValue, int(word.value)});
        for (size_t i = 0; i < std::size(RtfFormats::alignments); ++i)
            result.emplace(RtfFormats::alignments[i].keyword,
                           WordEntry{RtfFormats::alignments[i].keyword, &Parser::alignment, int(i)});
        for (const RtfLists::Entry &entry : RtfLists::table)
            result.emplace(entry.keyword, WordEntry{entry.keyword, &Parser::pnKind, int(entry.kind)});
        for ([[maybe_unused]] const auto &[word, entry] : result)
            Q_ASSERT_X(RtfControlWords::find(word), "RtfReader", "a word the reader acts on is missing from the table");
        return result;
    }();
    const auto it = map.find(name);
    return it == map.end() ? nullptr : &it->second;
}

void Parser::setDestination(Dest dest)
{
    m_charsDirty = true;
    top().dest = dest;
    top().ownsDest = true;
}

// Destinations directly in the document's group would swallow the whole text.
bool Parser::inDocument() const
{
    return m_stack.size() <= 2 || m_overflow > 0;
}

void Parser::handleWord(const WordEntry *entry, bool hasParam, int param)
{
    const bool starred = std::exchange(m_star, false);
    // A starred group is one the writer marked as safe to skip; numbering and list tables are the only
    // ones worth reading.
    const bool readable = entry && entry->handler == &Parser::destination &&
                          (Dest(entry->value) == Dest::Pn || Dest(entry->value) == Dest::ListTable ||
                           Dest(entry->value) == Dest::ListOverrideTable);
    if (starred && !readable && !inDocument()) {
        skipGroup();
        return;
    }
    if (!entry)
        return;
    if (m_skipChars > 0 && (entry->handler == &Parser::character || entry->handler == &Parser::unicode)) {
        --m_skipChars; // a fallback character written as a word
        return;
    }
    (this->*entry->handler)(Word{entry->value, param, hasParam});
}

void Parser::destination(const Word &word)
{
    if (inDocument())
        return;
    const Dest dest = Dest(word.value);
    setDestination(dest);
    if (dest == Dest::Pn)
        m_pnLevel = m_pnStyle = ListKind::None;
    else if (dest == Dest::Capture)
        m_captured.clear();
}

void Parser::skippedDestination(const Word &)
{
    if (!inDocument())
        skipGroup();
}

// \ansi, \mac, \pc and \pca name their code page; \ansicpgN gives it as its number.
void Parser::codePage(const Word &word)
{
    if (word.value != 0)
        m_codePage = word.value;
    else if (word.param > 0)
        m_codePage = word.param;
}

void Parser::defaultFont(const Word &word)
{
    m_defaultFont = word.param;
    m_charsDirty = true;
    m_formatValid = false;
}

void Parser::fontCharset(const Word &word)
{
    if (top().dest == Dest::FontTable)
        m_fontCharset = word.param;
}

void Parser::colorComponent(const Word &word)
{
    if (top().dest != Dest::ColorTable)
        return;
    int *const components[] = {&m_red, &m_green, &m_blue};
    *components[word.value] = qBound(0, word.param, 255);
    m_colorSet = true;
}

void Parser::charToggle(const Word &word)
{
    top().chars.toggles[size_t(word.value)] = !word.hasParam || word.param != 0;
    m_charsDirty = true;
}

void Parser::charToggleOff(const Word &word)
{
    top().chars.toggles[size_t(word.value)] = false;
    m_charsDirty = true;
}

void Parser::charValue(const Word &word)
{
    CharState &chars = top().chars;
    switch (RtfFormats::Value(word.value)) {
    case RtfFormats::Value::Font:
        if (top().dest == Dest::FontTable) {
            // \fN in the font table starts the entry of font N.
            commitFont();
            m_fontId = word.param;
            m_fontCharset = -1;
            m_fontName.clear();
            return;
        }
        chars.font = word.param;
        break;
    case RtfFormats::Value::Size:
        chars.fontSize = word.param > 0 ? qMin(word.param, 3276) : 24;
        break;
    case RtfFormats::Value::Foreground:
        chars.foreground = qMax(word.param, 0);
        break;
    case RtfFormats::Value::Background:
        chars.background = qMax(word.param, 0);
        break;
    }
    m_charsDirty = true;
}

void Parser::plain(const Word &)
{
    top().chars = CharState{};
    m_charsDirty = true;
}

void Parser::pard(const Word &)
{
    top().para = ParaState{};
}

void Parser::alignment(const Word &word)
{
    top().para.alignment = RtfFormats::alignments[word.value].alignment;
}

void Parser::paraValue(const Word &word)
{
    // Indents may be negative (a hanging first line, a paragraph reaching into the margin); spacing not.
    static constexpr struct {
        int ParaState::*field;
        int min;
    } values[] = {
        {&ParaState::leftIndent, -maxTwips}, {&ParaState::rightIndent, -maxTwips}, {&ParaState::firstIndent, -maxTwips},
        {&ParaState::spaceBefore, 0},        {&ParaState::spaceAfter, 0},
    };
    const auto &value = values[word.value];
    top().para.*value.field = qBound(value.min, word.param, maxTwips);
}

void Parser::tabStop(const Word &word)
{
    if (top().para.tabs.size() < 64)
        top().para.tabs.append(qBound(0, word.param, maxTwips));
}

// \lsN: in the override table the number of the override being read, in the text the list of the
// paragraph.
void Parser::listOverrideIndex(const Word &word)
{
    if (top().dest == Dest::ListOverrideTable) {
        m_overrideIndex = word.param;
        noteOverride();
    } else {
        top().para.list = listFromOverride(word.param);
    }
}

void Parser::paragraphEnd(const Word &)
{
    if (top().dest == Dest::Text)
        finishParagraph();
}

void Parser::breakChar(const Word &word)
{
    m_skipChars = 0;
    appendChar(QChar(char16_t(word.value)));
}

void Parser::character(const Word &word)
{
    appendChar(QChar(char16_t(word.value)));
}

void Parser::unicode(const Word &word)
{
    appendChar(QChar(char16_t(word.param & 0xFFFF)));
    m_skipChars = top().unicodeSkip;
}

void Parser::unicodeSkip(const Word &word)
{
    top().unicodeSkip = qBound(0, word.param, 16);
}

void Parser::binary(const Word &word)
{
    if (word.param > 0)
        m_p += std::min<qint64>(word.param, m_end - m_p);
}

void Parser::pnKind(const Word &word)
{
    if (top().dest != Dest::Pn)
        return;
    const auto kind = ListKind(word.value);
    (kind == ListKind::Bullet ? m_pnLevel : m_pnStyle) = kind;
}

void Parser::pnLevel(const Word &)
{
    if (top().dest == Dest::Pn)
        m_pnLevel = ListKind::Decimal;
}

void Parser::listStart(const Word &)
{
    if (top().dest == Dest::ListTable)
        m_listId = m_listNfc = -1;
}

void Parser::listId(const Word &word)
{
    if (top().dest == Dest::ListTable) {
        m_listId = word.param;
        noteList();
    } else if (top().dest == Dest::ListOverrideTable) {
        m_overrideList = word.param;
        noteOverride();
    }
}

void Parser::levelNfc(const Word &word)
{
    if (top().dest == Dest::ListTable && m_listNfc < 0) {
        m_listNfc = word.param;
        noteList();
    }
}

void Parser::listOverride(const Word &)
{
    if (top().dest == Dest::ListOverrideTable)
        m_overrideIndex = m_overrideList = -1;
}

void Parser::handleHex()
{
    auto hexValue = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    m_star = false;
    const int high = m_p < m_end ? hexValue(m_p[0]) : -1;
    const int low = m_p + 1 < m_end ? hexValue(m_p[1]) : -1;
    if (high < 0 || low < 0)
        return; // a broken escape: the characters after it are read as they are
    m_p += 2;
    textByte(uchar(high * 16 + low), true);
}

void Parser::handleSymbol(char symbol)
{
    const bool starred = m_star;
    m_star = false;
    switch (symbol) {
    case '*':
        m_star = !starred;
        return;
    case '\\':
    case '{':
    case '}':
        textByte(uchar(symbol), false);
        return;
    case '~':
        appendChar(QChar(0x00A0));
        return;
    case '-':
        appendChar(QChar(0x00AD));
        return;
    case '_':
        appendChar(QChar(0x2011));
        return;
    case '\r':
    case '\n':
        if (top().dest == Dest::Text)
            finishParagraph();
        return;
    case '\t':
        appendChar(QLatin1Char('\t'));
        return;
    default:
        return;
    }
}

// Reads a stretch of ordinary text in one go; this is where a long note spends its time.
void Parser::plainText()
{
    m_star = false;
    if (top().dest != Dest::Text || m_skipChars > 0 || !m_bytes.isEmpty()) {
        textByte(uchar(*m_p++), false);
        return;
    }
    const char *start = m_p;
    while (m_p < m_end) {
        const uchar c = uchar(*m_p);
        if (c < 0x20 || c >= 0x80 || c == '\\' || c == '{' || c == '}')
            break;
        ++m_p;
    }
    if (m_p == start) {
        textByte(uchar(*m_p++), false);
        return;
    }
    prepareRun();
    m_run.append(QLatin1String(start, m_p - start));
}

void Parser::textByte(uchar byte, bool escaped)
{
    if (m_skipChars > 0) {
        --m_skipChars;
        return;
    }
    switch (top().dest) {
    case Dest::Text:
        if (byte < 0x20) {
            if (byte == '\t')
                appendChar(QLatin1Char('\t'));
            return; // NUL and other control bytes are no text
        }
        if (byte >= 0x80 && m_utf8Text && !escaped) {
            appendUtf8(byte);
        } else if (byte < 0x80 && m_bytes.isEmpty()) {
            appendChar(QLatin1Char(char(byte)));
        } else {
            prepareRun();
            m_bytes.append(char(byte));
        }
        break;
    case Dest::FontTable:
        if (byte == ';' && !escaped)
            commitFont();
        else if (m_fontName.size() < 256)
            m_fontName.append(char(byte));
        break;
    case Dest::ColorTable:
        if (byte == ';')
            commitColor();
        break;
    case Dest::Capture:
        if (m_captured.size() < 32 && byte > ' ' && byte < 0x80)
            m_captured.append(QLatin1Char(char(byte)));
        break;
    default:
        break;
    }
}

void Parser::appendChar(QChar ch)
{
    if (m_skipChars > 0) {
        --m_skipChars;
        return;
    }
    const Dest dest = top().dest;
    if (dest == Dest::Capture) {
        if (m_captured.size() < 32 && !ch.isSpace())
            m_captured.append(ch);
        return;
    }
    if (dest != Dest::Text)
        return;
    prepareRun();
    flushBytes();
    m_run.append(ch);
}

// Text handed over as a QString (a stored note) may carry characters beyond ASCII as they are.
void Parser::appendUtf8(uchar lead)
{
    int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    length = int(qMin<qint64>(length, m_end - m_p + 1));
    const QString decoded = QString::fromUtf8(m_p - 1, length);
    m_p += length - 1;
    prepareRun();
    flushBytes();
    m_run.append(decoded);
}

void Parser::prepareRun()
{
    if (!m_charsDirty)
        return;
    m_charsDirty = false;
    const CharState &state = top().chars;
    if (state == m_runState)
        return;
    flushRun();
    m_runState = state;
}

void Parser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_run.append(CodePage::decode(codePageOf(m_runState.font), m_bytes));
    m_bytes.clear();
}

void Parser::flushRun()
{
    flushBytes();
    if (m_run.isEmpty())
        return;
    // Characters that would make the document start a paragraph or a frame of its own are no text
    // here: a paragraph ends only at \par.
    for (QChar &ch : m_run) {
        const char16_t unit = ch.unicode();
        if (unit == QChar::ParagraphSeparator || unit == '\r' || unit == '\n')
            ch = QChar::LineSeparator;
        else if (unit == 0xFDD0 || unit == 0xFDD1 || unit == 0xFDEF || unit == 0xFFFC)
            ch = QChar(0xFFFD);
    }
    m_paraRuns.emplace_back(m_run, charFormat(m_runState));
    m_run.clear();
    m_paraHasContent = true;
}

QTextCharFormat Parser::charFormat(const CharState &state)
{
    if (m_formatValid && state == m_formatState)
        return m_format;
    QTextCharFormat format;
    const auto font = m_fonts.constFind(state.font < 0 ? m_defaultFont : state.font);
    if (font != m_fonts.constEnd() && !font->family.isEmpty())
        format.setFontFamilies(QStringList{font->family});
    format.setFontPointSize(state.fontSize / 2.0);
    if (state.foreground > 0 && size_t(state.foreground) < m_colors.size() && m_colors[state.foreground].isValid())
        format.setForeground(m_colors[state.foreground]);
    if (state.background > 0 && size_t(state.background) < m_colors.size() && m_colors[state.background].isValid())
        format.setBackground(m_colors[state.background]);
    for (size_t i = 0; i < RtfFormats::toggleCount; ++i)
        RtfFormats::toggles[i].set(format, state.toggles[i]);
    m_format = format;
    m_formatState = state;
    m_formatValid = true;
    return format;
}

int Parser::codePageOf(int font) const
{
    const auto entry = m_fonts.constFind(font < 0 ? m_defaultFont : font);
    if (entry != m_fonts.constEnd() && entry->codePage != 0)
        return entry->codePage;
    return m_codePage;
}

std::optional<ListKind> Parser::listFromOverride(int ls) const
{
    const auto list = m_overrideLists.constFind(ls);
    if (list == m_overrideLists.constEnd())
        return std::nullopt;
    const auto nfc = m_listNfcs.constFind(*list);
    return nfc == m_listNfcs.constEnd() ? std::nullopt : std::optional(kindFromNfc(*nfc));
}

void Parser::noteList()
{
    if (m_listId >= 0 && m_listNfc >= 0 && m_listNfcs.size() < 10000)
        m_listNfcs.insert(m_listId, m_listNfc);
}

void Parser::noteOverride()
{
    if (m_overrideIndex >= 0 && m_overrideList >= 0 && m_overrideLists.size() < 10000)
        m_overrideLists.insert(m_overrideIndex, m_overrideList);
}

// A paragraph whose numbering is known only from its number text ({\pntext 1.\tab} without a
// numbering group, or a list missing from the list table) becomes a numbered or bulleted item.
ListKind Parser::guessedList() const
{
    for (const QChar ch : m_captured) {
        if (ch.isDigit())
            return ListKind::Decimal;
    }
    const QChar first = m_captured.isEmpty() ? QChar() : m_captured.front();
    if (first >= QLatin1Char('a') && first <= QLatin1Char('z'))
        return ListKind::LowerAlpha;
    if (first >= QLatin1Char('A') && first <= QLatin1Char('Z'))
        return ListKind::UpperAlpha;
    return ListKind::Bullet;
}

// A paragraph goes into the document whole once its end is read, because only then are its
// paragraph formats known: one insertion of the block with its formats, then its runs.
void Parser::finishParagraph()
{
    m_skipChars = 0;
    flushRun();
    const ParaState &para = top().para;
    QTextBlockFormat format;
    format.setAlignment(para.alignment);
    format.setLeftMargin(para.leftIndent / 20.0);
    format.setRightMargin(para.rightIndent / 20.0);
    format.setTextIndent(para.firstIndent / 20.0);
    format.setTopMargin(para.spaceBefore / 20.0);
    format.setBottomMargin(para.spaceAfter / 20.0);
    if (!para.tabs.isEmpty()) {
        QList<QTextOption::Tab> tabs;
        for (const int twips : para.tabs)
            tabs.append(QTextOption::Tab(twips / 20.0, QTextOption::LeftTab));
        format.setTabPositions(tabs);
    }
    ListKind kind = para.list.value_or(ListKind::None);
    if (!para.list || (kind == ListKind::None && !m_captured.isEmpty()))
        kind = guessedList();
    const bool continuesList = kind != ListKind::None && m_list && m_lastParaInList && m_listKind == kind;
    if (continuesList)
        format.setObjectIndex(m_list->objectIndex()); // the new block joins the list as it is inserted

    const QTextCharFormat markFormat = charFormat(top().chars);
    if (m_firstParagraph) {
        m_cursor.setBlockFormat(format);
        m_cursor.setBlockCharFormat(markFormat);
    } else {
        m_cursor.insertBlock(format, markFormat);
    }
    if (kind != ListKind::None && !continuesList) {
        QTextListFormat listFormat;
        listFormat.setStyle(RtfLists::entry(kind).style);
        listFormat.setIndent(1);
        m_list = m_cursor.createList(listFormat);
        m_listKind = kind;
    }
    for (const auto &[text, runFormat] : m_paraRuns)
        m_cursor.insertText(text, runFormat);
    m_paraRuns.clear();
    m_lastParaInList = kind != ListKind::None;
    m_captured.clear();
    m_firstParagraph = false;
    m_paraHasContent = false;
}

void Parser::commitFont()
{
    if (m_fontId < 0)
        return;
    FontEntry entry;
    entry.codePage = m_fontCharset >= 0 ? RtfCharsets::codePage(m_fontCharset) : 0;
    const int nameCodePage = entry.codePage != 0 ? entry.codePage : m_codePage;
    entry.family = CodePage::decode(nameCodePage, m_fontName).trimmed();
    if (m_fonts.size() < 10000 || m_fonts.contains(m_fontId))
        m_fonts.insert(m_fontId, entry);
    m_fontId = -1;
    m_fontName.clear();
    m_formatValid = false;
}

void Parser::commitColor()
{
    if (m_colors.size() < 10000)
        m_colors.push_back(m_colorSet ? QColor(m_red, m_green, m_blue) : QColor());
    m_red = m_green = m_blue = 0;
    m_colorSet = false;
    m_formatValid = false;
}

qsizetype rtfStart(const QByteArray &data)
{
    qsizetype i = 0;
    if (data.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return QByteArrayView(data).sliced(i).startsWith("{\\rtf") ? i : -1;
}

void readInto(const QByteArray &data, qsizetype start, QTextDocument *document, bool utf8Text)
{
    // Loading replaces the note's content: nothing of it belongs on the undo stack.
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    Parser(data, start, document, utf8Text).run();
    document->setUndoRedoEnabled(undo);
}

} // namespace

void RtfReader::read(const QByteArray &data, QTextDocument *document)
{
    const qsizetype start = rtfStart(data);
    if (start < 0)
        throw AppError(QStringLiteral("Failed to Load Stream"));
    readInto(data, start, document, false);
}

bool RtfReader::looksLikeRtf(const QByteArray &data)
{
    return rtfStart(data) >= 0;
}

void RtfReader::readNoteText(const QString &text, QTextDocument *document)
{
    if (text.isEmpty()) {
        document->clear();
        return;
    }
    const QByteArray data = text.toUtf8();
    const qsizetype start = rtfStart(data);
    if (start < 0) {
        document->setPlainText(text);
        return;
    }
    readInto(data, start, document, true);
}
