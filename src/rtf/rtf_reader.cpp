#include "rtf/rtf_reader.h"

#include "platform/code_page.h"
#include "rtf/rtf_charsets.h"
#include "rtf/rtf_lists.h"
#include "store/app_error.h"

#include <QColor>
#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

enum class Kw {
    Ignored,
    // destinations
    Rtf,
    FontTable,
    ColorTable,
    Pn,
    PnText,
    ListTable,
    ListOverrideTable,
    Skip,
    // document and font table
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    FCharset,
    Red,
    Green,
    Blue,
    // character formats
    Font,
    FontSize,
    Foreground,
    Background,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    Plain,
    // paragraph formats
    Pard,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    TabStop,
    ListOverrideIndex,
    // text
    Par,
    Line,
    Tab,
    Page,
    Row,
    Char,
    Unicode,
    UnicodeSkip,
    Bin,
    // numbering as the rich-edit control writes it
    PnKind,
    PnBody,
    PnLevel,
    // list tables of other writers
    List,
    ListId,
    LevelNfc,
    ListOverride,
};

// value: the character of Kw::Char, the list kind of Kw::PnKind.
struct KwInfo {
    Kw kw;
    char16_t value = 0;
};

struct KwEntry {
    const char *name;
    Kw kw;
    char16_t value = 0;
};

// Words the reader acts on, plus words it must know only so that the glued-word rule below does not
// split them (\pararsid is a word of its own, not \par followed by "arsid").
const KwEntry keywordTable[] = {
    {"rtf", Kw::Rtf},
    {"fonttbl", Kw::FontTable},
    {"colortbl", Kw::ColorTable},
    {"pn", Kw::Pn},
    {"pntext", Kw::PnText},
    {"listtext", Kw::PnText},
    {"listtable", Kw::ListTable},
    {"listoverridetable", Kw::ListOverrideTable},
    {"stylesheet", Kw::Skip},
    {"info", Kw::Skip},
    {"pict", Kw::Skip},
    {"fldinst", Kw::Skip},
    {"pntxta", Kw::Skip},
    {"pntxtb", Kw::Skip},
    {"header", Kw::Skip},
    {"headerl", Kw::Skip},
    {"headerr", Kw::Skip},
    {"headerf", Kw::Skip},
    {"footer", Kw::Skip},
    {"footerl", Kw::Skip},
    {"footerr", Kw::Skip},
    {"footerf", Kw::Skip},
    {"footnote", Kw::Skip},
    {"annotation", Kw::Skip},
    {"nonshppict", Kw::Skip},
    {"shp", Kw::Skip},
    {"objdata", Kw::Skip},
    {"objclass", Kw::Skip},
    {"xe", Kw::Skip},
    {"tc", Kw::Skip},
    {"txe", Kw::Skip},
    {"rxe", Kw::Skip},
    {"revtbl", Kw::Skip},
    {"rsidtbl", Kw::Skip},
    {"filetbl", Kw::Skip},
    {"xmlnstbl", Kw::Skip},
    {"listpicture", Kw::Skip},
    {"themedata", Kw::Skip},
    {"colorschememapping", Kw::Skip},
    {"latentstyles", Kw::Skip},
    {"datastore", Kw::Skip},
    {"generator", Kw::Skip},
    {"template", Kw::Skip},
    {"docvar", Kw::Skip},
    {"ansi", Kw::Ansi},
    {"mac", Kw::Mac},
    {"pc", Kw::Pc},
    {"pca", Kw::Pca},
    {"ansicpg", Kw::AnsiCpg},
    {"deff", Kw::Deff},
    {"fcharset", Kw::FCharset},
    {"red", Kw::Red},
    {"green", Kw::Green},
    {"blue", Kw::Blue},
    {"f", Kw::Font},
    {"fs", Kw::FontSize},
    {"cf", Kw::Foreground},
    {"highlight", Kw::Background},
    {"cb", Kw::Background},
    {"chcbpat", Kw::Background},
    {"b", Kw::Bold},
    {"i", Kw::Italic},
    {"ul", Kw::Underline},
    {"uld", Kw::Underline},
    {"uldb", Kw::Underline},
    {"ulw", Kw::Underline},
    {"ulwave", Kw::Underline},
    {"uldash", Kw::Underline},
    {"uldashd", Kw::Underline},
    {"uldashdd", Kw::Underline},
    {"ulth", Kw::Underline},
    {"ulhwave", Kw::Underline},
    {"ululdbwave", Kw::Underline},
    {"ulnone", Kw::UnderlineNone},
    {"strike", Kw::Strike},
    {"strikedl", Kw::Strike},
    {"plain", Kw::Plain},
    {"pard", Kw::Pard},
    {"ql", Kw::AlignLeft},
    {"qc", Kw::AlignCenter},
    {"qr", Kw::AlignRight},
    {"qj", Kw::AlignJustify},
    {"qd", Kw::AlignJustify},
    {"li", Kw::LeftIndent},
    {"lin", Kw::LeftIndent},
    {"ri", Kw::RightIndent},
    {"rin", Kw::RightIndent},
    {"fi", Kw::FirstIndent},
    {"sb", Kw::SpaceBefore},
    {"sa", Kw::SpaceAfter},
    {"tx", Kw::TabStop},
    {"ls", Kw::ListOverrideIndex},
    {"par", Kw::Par},
    {"line", Kw::Line},
    {"tab", Kw::Tab},
    {"cell", Kw::Tab},
    {"nestcell", Kw::Tab},
    {"page", Kw::Page},
    {"row", Kw::Row},
    {"nestrow", Kw::Row},
    {"lquote", Kw::Char, 0x2018},
    {"rquote", Kw::Char, 0x2019},
    {"ldblquote", Kw::Char, 0x201C},
    {"rdblquote", Kw::Char, 0x201D},
    {"bullet", Kw::Char, 0x2022},
    {"emdash", Kw::Char, 0x2014},
    {"endash", Kw::Char, 0x2013},
    {"emspace", Kw::Char, 0x2003},
    {"enspace", Kw::Char, 0x2002},
    {"qmspace", Kw::Char, 0x2005},
    {"zwj", Kw::Char, 0x200D},
    {"zwnj", Kw::Char, 0x200C},
    {"ltrmark", Kw::Char, 0x200E},
    {"rtlmark", Kw::Char, 0x200F},
    {"u", Kw::Unicode},
    {"uc", Kw::UnicodeSkip},
    {"bin", Kw::Bin},
    {"pnlvlbody", Kw::PnBody},
    {"pnlvl", Kw::PnLevel},
    {"pncard", Kw::PnKind, char16_t(RtfLists::Kind::Decimal)},
    {"pnord", Kw::PnKind, char16_t(RtfLists::Kind::Decimal)},
    {"pnordt", Kw::PnKind, char16_t(RtfLists::Kind::Decimal)},
    {"list", Kw::List},
    {"listid", Kw::ListId},
    {"levelnfc", Kw::LevelNfc},
    {"levelnfcn", Kw::LevelNfc},
    {"listoverride", Kw::ListOverride},
    {"pararsid", Kw::Ignored},
    {"pardirnatural", Kw::Ignored},
    {"partightenfactor", Kw::Ignored},
    {"linex", Kw::Ignored},
    {"linemod", Kw::Ignored},
    {"linestart", Kw::Ignored},
    {"linestarts", Kw::Ignored},
    {"linerestart", Kw::Ignored},
    {"lineppage", Kw::Ignored},
    {"linecont", Kw::Ignored},
    {"linebetcol", Kw::Ignored},
    {"tabsnoovrlp", Kw::Ignored},
    {"pagebb", Kw::Ignored},
    {"sect", Kw::Ignored},
    {"sectd", Kw::Ignored},
    {"sectdefaultcl", Kw::Ignored},
    {"sectexpand", Kw::Ignored},
    {"sectlinegrid", Kw::Ignored},
    {"sectnum", Kw::Ignored},
    {"sectrsid", Kw::Ignored},
    {"sectspecifycl", Kw::Ignored},
    {"sectspecifygenn", Kw::Ignored},
    {"sectspecifyl", Kw::Ignored},
    {"sectunlocked", Kw::Ignored},
    {"cellx", Kw::Ignored},
};

// Words that take no parameter and after which the rich-edit control starts a new line. Once the
// store has removed the line breaks, the text of the next line sticks to them ("\parsecond",
// "\par2nd"); such a glued word is read as the word followed by text.
const char *const glueWords[] = {"par",       "line",      "tab",    "plain",  "page",   "sect",    "lquote", "rquote",
                                 "ldblquote", "rdblquote", "bullet", "emdash", "endash", "emspace", "enspace"};

const std::unordered_map<std::string_view, KwInfo> &keywords()
{
    static const std::unordered_map<std::string_view, KwInfo> map = [] {
        std::unordered_map<std::string_view, KwInfo> result;
        for (const KwEntry &entry : keywordTable)
            result.emplace(entry.name, KwInfo{entry.kw, entry.value});
        for (const RtfLists::Entry &entry : RtfLists::table)
            result.emplace(entry.keyword, KwInfo{Kw::PnKind, char16_t(entry.kind)});
        return result;
    }();
    return map;
}

bool isGlueWord(std::string_view name)
{
    for (const char *word : glueWords)
        if (name == word)
            return true;
    return false;
}

// The shortest glue word the name begins with; 0 when there is none. Shortest, not longest: the
// control always ends \pard with a delimiter, so "\pardone" in a stored note is "\par" + "done".
size_t gluePrefix(std::string_view name)
{
    size_t best = 0;
    for (const char *word : glueWords) {
        const std::string_view candidate(word);
        if (candidate.size() < name.size() && name.substr(0, candidate.size()) == candidate &&
            (best == 0 || candidate.size() < best))
            best = candidate.size();
    }
    return best;
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
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;

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
        , m_document(document)
        , m_cursor(document)
        , m_utf8Text(utf8Text)
    {}

    void run();

private:
    Group &top() { return m_stack.back(); }

    void openGroup();
    bool closeGroup();
    void skipGroup();
    void controlSequence();
    void handleWord(std::string_view name, bool hasParam, int param);
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

    const char *m_p;
    const char *m_end;
    QTextDocument *m_document;
    QTextCursor m_cursor;
    bool m_utf8Text;

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

void Parser::controlSequence()
{
    if (m_p >= m_end)
        return;
    const char c = *m_p;
    if (c < 'a' || c > 'z') {
        ++m_p;
        if (c == '\'')
            handleHex();
        else
            handleSymbol(c);
        return;
    }
    const char *nameStart = m_p;
    while (m_p < m_end && *m_p >= 'a' && *m_p <= 'z')
        ++m_p;
    const std::string_view name(nameStart, size_t(m_p - nameStart));
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
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    value = std::min(value, maxParam);
    const int param = int(negative ? -value : value);

    const auto &map = keywords();
    if (map.find(name) == map.end()) {
        const size_t prefix = gluePrefix(name);
        if (prefix > 0) {
            // The rest of the letters, the digits and the space after them are text of their own.
            m_p = nameStart + prefix;
            handleWord(name.substr(0, prefix), false, 0);
            return;
        }
    } else if (hasParam && isGlueWord(name)) {
        m_p = paramStart;
        handleWord(name, false, 0);
        return;
    }
    handleWord(name, hasParam, param);
}

void Parser::setDestination(Dest dest)
{
    m_charsDirty = true;
    top().dest = dest;
    top().ownsDest = true;
}

void Parser::handleWord(std::string_view name, bool hasParam, int param)
{
    const auto &map = keywords();
    const auto it = map.find(name);
    const bool starred = m_star;
    m_star = false;
    const KwInfo info = it == map.end() ? KwInfo{Kw::Ignored} : it->second;
    // A starred group is one the writer marked as safe to skip; numbering and list tables are the only
    // ones worth reading. Destinations directly in the document's group would swallow the whole text.
    const bool inDocument = m_stack.size() <= 2 || m_overflow > 0;
    const bool readable = info.kw == Kw::Pn || info.kw == Kw::ListTable || info.kw == Kw::ListOverrideTable;
    if (starred && !readable && !inDocument) {
        skipGroup();
        return;
    }
    Group &group = top();
    const bool on = !hasParam || param != 0;
    if (m_skipChars > 0 && (info.kw == Kw::Char || info.kw == Kw::Unicode)) {
        --m_skipChars;
        return;
    }
    switch (info.kw) {
    case Kw::Ignored:
    case Kw::Rtf:
        break;
    case Kw::FontTable:
        if (!inDocument)
            setDestination(Dest::FontTable);
        break;
    case Kw::ColorTable:
        if (!inDocument)
            setDestination(Dest::ColorTable);
        break;
    case Kw::Pn:
        if (!inDocument) {
            setDestination(Dest::Pn);
            m_pnLevel = ListKind::None;
            m_pnStyle = ListKind::None;
        }
        break;
    case Kw::PnText:
        if (!inDocument) {
            setDestination(Dest::Capture);
            m_captured.clear();
        }
        break;
    case Kw::ListTable:
        if (!inDocument)
            setDestination(Dest::ListTable);
        break;
    case Kw::ListOverrideTable:
        if (!inDocument)
            setDestination(Dest::ListOverrideTable);
        break;
    case Kw::Skip:
        if (!inDocument)
            skipGroup();
        break;
    case Kw::Ansi:
        m_codePage = 1252;
        break;
    case Kw::Mac:
        m_codePage = 10000;
        break;
    case Kw::Pc:
        m_codePage = 437;
        break;
    case Kw::Pca:
        m_codePage = 850;
        break;
    case Kw::AnsiCpg:
        if (param > 0)
            m_codePage = param;
        break;
    case Kw::Deff:
        m_defaultFont = param;
        m_charsDirty = true;
        m_formatValid = false;
        break;
    case Kw::FCharset:
        if (group.dest == Dest::FontTable)
            m_fontCharset = param;
        break;
    case Kw::Red:
    case Kw::Green:
    case Kw::Blue:
        if (group.dest == Dest::ColorTable) {
            const int component = qBound(0, param, 255);
            (info.kw == Kw::Red ? m_red : info.kw == Kw::Green ? m_green : m_blue) = component;
            m_colorSet = true;
        }
        break;
    case Kw::Font:
        if (group.dest == Dest::FontTable) {
            commitFont();
            m_fontId = param;
            m_fontCharset = -1;
            m_fontName.clear();
        } else {
            group.chars.font = param;
            m_charsDirty = true;
        }
        break;
    case Kw::FontSize:
        group.chars.fontSize = param > 0 ? qMin(param, 3276) : 24;
        m_charsDirty = true;
        break;
    case Kw::Foreground:
        group.chars.foreground = qMax(param, 0);
        m_charsDirty = true;
        break;
    case Kw::Background:
        group.chars.background = qMax(param, 0);
        m_charsDirty = true;
        break;
    case Kw::Bold:
        group.chars.bold = on;
        m_charsDirty = true;
        break;
    case Kw::Italic:
        group.chars.italic = on;
        m_charsDirty = true;
        break;
    case Kw::Underline:
        group.chars.underline = on;
        m_charsDirty = true;
        break;
    case Kw::UnderlineNone:
        group.chars.underline = false;
        m_charsDirty = true;
        break;
    case Kw::Strike:
        group.chars.strike = on;
        m_charsDirty = true;
        break;
    case Kw::Plain:
        group.chars = CharState{};
        m_charsDirty = true;
        break;
    case Kw::Pard:
        group.para = ParaState{};
        break;
    case Kw::AlignLeft:
        group.para.alignment = Qt::AlignLeft;
        break;
    case Kw::AlignCenter:
        group.para.alignment = Qt::AlignHCenter;
        break;
    case Kw::AlignRight:
        group.para.alignment = Qt::AlignRight;
        break;
    case Kw::AlignJustify:
        group.para.alignment = Qt::AlignJustify;
        break;
    case Kw::LeftIndent:
        group.para.leftIndent = qBound(-maxTwips, param, maxTwips);
        break;
    case Kw::RightIndent:
        group.para.rightIndent = qBound(-maxTwips, param, maxTwips);
        break;
    case Kw::FirstIndent:
        group.para.firstIndent = qBound(-maxTwips, param, maxTwips);
        break;
    case Kw::SpaceBefore:
        group.para.spaceBefore = qBound(0, param, maxTwips);
        break;
    case Kw::SpaceAfter:
        group.para.spaceAfter = qBound(0, param, maxTwips);
        break;
    case Kw::TabStop:
        if (group.para.tabs.size() < 64)
            group.para.tabs.append(qBound(0, param, maxTwips));
        break;
    case Kw::ListOverrideIndex:
        if (group.dest == Dest::ListOverrideTable) {
            m_overrideIndex = param;
            noteOverride();
        } else {
            group.para.list = listFromOverride(param);
        }
        break;
    case Kw::Par:
    case Kw::Row:
        if (group.dest == Dest::Text)
            finishParagraph();
        break;
    case Kw::Page:
        if (group.dest == Dest::Text)
            finishParagraph();
        break;
    case Kw::Line:
        m_skipChars = 0;
        appendChar(QChar::LineSeparator);
        break;
    case Kw::Tab:
        m_skipChars = 0;
        appendChar(QLatin1Char('\t'));
        break;
    case Kw::Char:
        appendChar(QChar(info.value));
        break;
    case Kw::Unicode:
        m_skipChars = 0; // a second \u where a fallback was due: keep the character rather than drop it
        appendChar(QChar(char16_t(param & 0xFFFF)));
        m_skipChars = group.unicodeSkip;
        break;
    case Kw::UnicodeSkip:
        group.unicodeSkip = qBound(0, param, 16);
        break;
    case Kw::Bin:
        if (param > 0)
            m_p += std::min<qint64>(param, m_end - m_p);
        break;
    case Kw::PnKind:
        if (group.dest == Dest::Pn) {
            const auto kind = ListKind(info.value);
            (kind == ListKind::Bullet ? m_pnLevel : m_pnStyle) = kind;
        }
        break;
    case Kw::PnBody:
    case Kw::PnLevel:
        if (group.dest == Dest::Pn)
            m_pnLevel = ListKind::Decimal;
        break;
    case Kw::List:
        if (group.dest == Dest::ListTable)
            m_listId = m_listNfc = -1;
        break;
    case Kw::ListId:
        if (group.dest == Dest::ListTable) {
            m_listId = param;
            noteList();
        } else if (group.dest == Dest::ListOverrideTable) {
            m_overrideList = param;
            noteOverride();
        }
        break;
    case Kw::LevelNfc:
        if (group.dest == Dest::ListTable && m_listNfc < 0) {
            m_listNfc = param;
            noteList();
        }
        break;
    case Kw::ListOverride:
        if (group.dest == Dest::ListOverrideTable)
            m_overrideIndex = m_overrideList = -1;
        break;
    }
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
    format.setFontWeight(state.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(state.italic);
    format.setFontUnderline(state.underline);
    format.setFontStrikeOut(state.strike);
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
