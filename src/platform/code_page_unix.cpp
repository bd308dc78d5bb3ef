#include "platform/code_page.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <unordered_map>

// glibc's iconv does the conversions. Handles are opened once per thread and code page and reset
// before each use, because opening one costs far more than converting a few words of a note.
namespace {

constexpr char16_t replacementChar = 0xFFFD;

QByteArray iconvName(int codePage)
{
    switch (codePage) {
    case 10000:
        return "MACINTOSH";
    case 20127:
        return "ASCII";
    case 65001:
        return "UTF-8";
    default:
        return "CP" + QByteArray::number(codePage);
    }
}

bool isKnownCodePage(int codePage)
{
    switch (codePage) {
    case 437:
    case 850:
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
    case 10000:
    case 20127:
    case 65001:
        return true;
    default:
        return codePage >= 1250 && codePage <= 1258;
    }
}

bool isDoubleByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361 ||
           codePage == 65001;
}

// Latin-1 but for 0x80-0x9F, where five bytes have no character.
constexpr std::array<char16_t, 256> windows1252 = [] {
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = char16_t(byte);
    constexpr char16_t high[32] = {0x20AC, replacementChar, 0x201A,          0x0192, 0x201E, 0x2026, 0x2020,
                                   0x2021, 0x02C6,          0x2030,          0x0160, 0x2039, 0x0152, replacementChar,
                                   0x017D, replacementChar, replacementChar, 0x2018, 0x2019, 0x201C, 0x201D,
                                   0x2022, 0x2013,          0x2014,          0x02DC, 0x2122, 0x0161, 0x203A,
                                   0x0153, replacementChar, 0x017E,          0x0178};
    for (int i = 0; i < 32; ++i)
        table[0x80 + i] = high[i];
    return table;
}();

class IconvCache {
public:
    ~IconvCache()
    {
        for (auto &entry : m_handles)
            if (entry.second != invalidHandle())
                iconv_close(entry.second);
    }

    // A handle converting between the code page and UTF-16LE, or invalidHandle() when iconv lacks it.
    iconv_t handle(int codePage, bool toUnicode)
    {
        const int key = toUnicode ? codePage : -codePage;
        auto it = m_handles.find(key);
        if (it == m_handles.end()) {
            const QByteArray name = iconvName(codePage);
            iconv_t cd =
                toUnicode ? iconv_open("UTF-16LE", name.constData()) : iconv_open(name.constData(), "UTF-16LE");
            it = m_handles.emplace(key, cd).first;
        }
        if (it->second != invalidHandle())
            iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

    // Single-byte code pages decode through a table built once, which keeps long Cyrillic or Greek
    // notes from paying an iconv call per word.
    const std::array<char16_t, 256> *table(int codePage)
    {
        // The page of nearly every store and language file: no converter is opened for it.
        if (codePage == 1252)
            return &windows1252;
        auto it = m_tables.find(codePage);
        if (it != m_tables.end())
            return &it->second;
        iconv_t cd = handle(codePage, true);
        if (cd == invalidHandle())
            return nullptr;
        std::array<char16_t, 256> table;
        for (int byte = 0; byte < 256; ++byte) {
            char in = char(byte);
            char16_t out[4] = {};
            char *inPtr = &in;
            char *outPtr = reinterpret_cast<char *>(out);
            size_t inLeft = 1;
            size_t outLeft = sizeof(out);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
            // Code pages with combining marks hold a base letter back until they see what follows.
            if (result != size_t(-1))
                result = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
            table[byte] = (result == size_t(-1) || outLeft != sizeof(out) - 2) ? replacementChar : out[0];
        }
        return &m_tables.emplace(codePage, table).first->second;
    }

    static iconv_t invalidHandle() { return reinterpret_cast<iconv_t>(-1); }

private:
    std::unordered_map<int, iconv_t> m_handles;
    std::unordered_map<int, std::array<char16_t, 256>> m_tables;
};

IconvCache &cache()
{
    thread_local IconvCache instance;
    return instance;
}

QString decodeMultiByte(iconv_t cd, const QByteArray &bytes)
{
    QString result;
    result.resize(bytes.size() + 1);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char16_t *outStart = reinterpret_cast<char16_t *>(result.data());
    char *out = reinterpret_cast<char *>(outStart);
    size_t outLeft = size_t(result.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen: no multi-byte code page yields more UTF-16 units than bytes
        // A byte that starts no valid character becomes one replacement character; reading goes on
        // with the next byte so that the rest of the text survives.
        if (outLeft < 2)
            break;
        *reinterpret_cast<char16_t *>(out) = replacementChar;
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    result.resize(qsizetype((reinterpret_cast<char16_t *>(out) - outStart)));
    return result;
}

} // namespace

namespace CodePage {

QString decode(int codePage, const QByteArray &bytes)
{
    if (!isKnownCodePage(codePage))
        codePage = 1252;
    if (isDoubleByte(codePage)) {
        iconv_t cd = cache().handle(codePage, true);
        if (cd != IconvCache::invalidHandle())
            return decodeMultiByte(cd, bytes);
        codePage = 1252;
    }
    const std::array<char16_t, 256> *table = cache().table(codePage);
    if (!table)
        return QString::fromLatin1(bytes);
    QString result(bytes.size(), Qt::Uninitialized);
    QChar *out = result.data();
    for (const char byte : bytes)
        *out++ = QChar((*table)[uchar(byte)]);
    return result;
}

bool encode(int codePage, const QString &text, QByteArray *bytes)
{
    if (!isKnownCodePage(codePage))
        return false;
    iconv_t cd = cache().handle(codePage, false);
    if (cd == IconvCache::invalidHandle())
        return false;
    QByteArray result(text.size() * 4 + 4, Qt::Uninitialized);
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.constData()));
    size_t inLeft = size_t(text.size()) * 2;
    char *out = result.data();
    size_t outLeft = size_t(result.size());
    if (iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1))
        return false;
    // Stateful code pages may need a closing shift sequence.
    if (iconv(cd, nullptr, nullptr, &out, &outLeft) == size_t(-1))
        return false;
    result.truncate(qsizetype(out - result.data()));
    if (bytes)
        *bytes = result;
    return true;
}

} // namespace CodePage
