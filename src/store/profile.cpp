#include "store/profile.h"

#include "base/app_error.h"
#include "platform/code_page.h"
#include "platform/file_sync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>

#include <array>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five bytes the code page leaves undefined keep
// their C1 code points, as the system's own conversion does, so no byte of a file is ever dropped.
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(const char *data, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        out[i] = (byte >= 0x80 && byte <= 0x9F) ? QChar(cp1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. One pass over the bytes.
bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        if (p[1] < lo || p[1] > hi)
            return false;
        for (int i = 2; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
        p += extra + 1;
    }
    return true;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') || c == QLatin1Char('\f');
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QString foldName(QStringView name)
{
    return name.toString().toCaseFolded();
}

// A value that the reading rules would change (outer blanks, one pair of enclosing quotes) is wrapped in
// double quotes, which reading removes again, so titles like ' hello ' or '"quoted"' come back unchanged.
// Line breaks cannot live inside one entry and are dropped, as the one-line rule for note text does.
QString protectValue(const QString &value)
{
    QString text = value;
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))) {
        text.remove(QLatin1Char('\r'));
        text.remove(QLatin1Char('\n'));
    }
    const QStringView trimmed = trimBlanks(text);
    const bool quoted = trimmed.size() >= 2 &&
                        (trimmed.front() == QLatin1Char('"') || trimmed.front() == QLatin1Char('\'')) &&
                        trimmed.back() == trimmed.front();
    if (trimmed.size() != text.size() || quoted)
        return QLatin1Char('"') + text + QLatin1Char('"');
    return text;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

Profile::Profile(QString path)
    : m_path(std::move(path))
{}

Profile Profile::load(const QString &path, int eightBitCodePage, std::optional<QByteArray> *fileBytes)
{
    if (fileBytes)
        fileBytes->reset();
    // A link whose target is gone counts as unreadable, not as missing: it may point to a drive that is
    // not mounted, whose notes a save must not replace.
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Profile(path);
    // Only regular files are opened: a FIFO would block for ever and a device (/dev/zero) never ends.
    QFile file(path);
    QByteArray bytes;
    if (info.isFile() && info.size() <= maxFileBytes && file.open(QIODevice::ReadOnly)) {
        bytes = readUpTo(file, info.size(), maxFileBytes);
        if (file.error() == QFileDevice::NoError && bytes.size() <= maxFileBytes) {
            if (fileBytes)
                *fileBytes = bytes;
            return fromBytesInCodePage(bytes, eightBitCodePage, path);
        }
    }
    throw AppError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(info.absoluteFilePath())));
}

QByteArray Profile::readUpTo(QFile &file, qint64 expectedSize, qint64 limit)
{
    QByteArray bytes = file.read(qMin(expectedSize, limit) + 1);
    if (bytes.size() > expectedSize && bytes.size() <= limit)
        bytes += file.read(limit + 1 - bytes.size());
    return bytes;
}

Profile Profile::fromBytes(const QByteArray &bytes, const QString &path)
{
    return fromBytesInCodePage(bytes, 1252, path);
}

Profile Profile::fromBytesInCodePage(const QByteArray &bytes, int eightBitCodePage, const QString &path)
{
    Profile profile(path);
    const bool utf8 = isValidUtf8(bytes);
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    // A byte order mark says UTF-8 was meant even where the rest is not; it is never part of a name.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        pos = 3;

    // Lines end at CR LF, LF or a lone CR; a last line without an ending still counts.
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        const qsizetype length = end - pos;
        if (utf8)
            profile.addLine(QString::fromUtf8(data + pos, length));
        else if (eightBitCodePage == 1252)
            profile.addLine(decodeCp1252(data + pos, length));
        else
            profile.addLine(CodePage::decode(eightBitCodePage, QByteArray::fromRawData(data + pos, length)));
        if (end < size && data[end] == '\r' && end + 1 < size && data[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    return profile;
}

void Profile::addLine(QString text)
{
    const QStringView trimmed = trimBlanks(text);
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.lastIndexOf(QLatin1Char(']'));
        if (close > 0) {
            Section section;
            section.name = trimBlanks(trimmed.sliced(1, close - 1)).toString();
            section.header = std::move(text);
            const QString folded = foldName(section.name);
            if (!m_sectionIndex.contains(folded))
                m_sectionIndex.insert(folded, m_sections.size());
            m_sections.append(std::move(section));
            return;
        }
        // A "[" without "]" (a header cut short) is no header; its keys stay in the section before it,
        // where an earlier key of the same name wins, so it cannot overwrite a readable note.
    }

    Line line;
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals >= 0) {
        // "=value" with a blank key means nothing: line.key stays empty and the line is never found.
        line.key = trimBlanks(QStringView(text).first(equals)).toString();
        if (!line.key.isEmpty())
            line.valueOffset = equals + 1;
    }
    line.text = std::move(text);

    if (m_sections.isEmpty()) {
        m_preamble.append(std::move(line));
        return;
    }
    Section &section = m_sections.last();
    if (!line.key.isEmpty()) {
        const QString folded = foldName(line.key);
        if (!section.keyIndex.contains(folded))
            section.keyIndex.insert(folded, section.lines.size());
    }
    section.lines.append(std::move(line));
}

const Profile::Section *Profile::findSection(QStringView section) const
{
    const auto it = m_sectionIndex.constFind(foldName(section));
    return it == m_sectionIndex.cend() ? nullptr : &m_sections.at(*it);
}

Profile::Section *Profile::findSection(QStringView section)
{
    const auto it = m_sectionIndex.constFind(foldName(section));
    return it == m_sectionIndex.cend() ? nullptr : &m_sections[*it];
}

const Profile::Line *Profile::findLine(QStringView section, QStringView key) const
{
    const Section *found = findSection(section);
    if (!found)
        return nullptr;
    const auto it = found->keyIndex.constFind(foldName(key));
    return it == found->keyIndex.cend() ? nullptr : &found->lines.at(*it);
}

bool Profile::hasSection(QStringView section) const
{
    return findSection(section) != nullptr;
}

bool Profile::hasKey(QStringView section, QStringView key) const
{
    return findLine(section, key) != nullptr;
}

QStringList Profile::sections() const
{
    // A repeated section name is listed once: lookups by that name only ever reach its first section.
    QStringList names;
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        if (m_sectionIndex.value(foldName(m_sections.at(i).name)) == i)
            names.append(m_sections.at(i).name);
    }
    return names;
}

QStringList Profile::keys(QStringView section) const
{
    QStringList names;
    const Section *found = findSection(section);
    if (!found)
        return names;
    for (qsizetype i = 0; i < found->lines.size(); ++i) {
        const Line &line = found->lines.at(i);
        if (!line.key.isEmpty() && found->keyIndex.value(foldName(line.key)) == i)
            names.append(line.key);
    }
    return names;
}

QString Profile::readString(QStringView section, QStringView key, const QString &defaultValue) const
{
    const Line *line = findLine(section, key);
    return line ? cleanValue(line->rawValue()) : defaultValue;
}

int Profile::readInteger(QStringView section, QStringView key, int defaultValue) const
{
    const Line *line = findLine(section, key);
    if (!line)
        return defaultValue;
    bool ok = false;
    const int value = parseInteger(cleanValue(line->rawValue()), &ok);
    return ok ? value : defaultValue;
}

bool Profile::readBool(QStringView section, QStringView key, bool defaultValue) const
{
    const Line *line = findLine(section, key);
    if (!line)
        return defaultValue;
    bool ok = false;
    const int value = parseInteger(cleanValue(line->rawValue()), &ok);
    return ok ? value != 0 : defaultValue;
}

void Profile::writeString(QStringView section, QStringView key, const QString &value)
{
    Section *target = findSection(section);
    if (!target) {
        Section created;
        created.name = section.toString();
        created.header = QLatin1Char('[') + created.name + QLatin1Char(']');
        m_sectionIndex.insert(foldName(section), m_sections.size());
        m_sections.append(std::move(created));
        target = &m_sections.last();
    }

    const QString folded = foldName(key);
    const auto it = target->keyIndex.constFind(folded);
    if (it != target->keyIndex.cend()) {
        // Replaced in place, keeping the key as the file spells it.
        Line &line = target->lines[*it];
        line.text = line.key + QLatin1Char('=') + protectValue(value);
        line.valueOffset = line.key.size() + 1;
        return;
    }

    Line line;
    line.key = key.toString();
    line.text = line.key + QLatin1Char('=') + protectValue(value);
    line.valueOffset = line.key.size() + 1;
    // A new key goes after the section's last non-blank line, so blank lines that separate it from the
    // next section stay where they are. Only blank lines follow, so no indexed line moves.
    qsizetype at = target->lines.size();
    while (at > 0 && trimBlanks(target->lines.at(at - 1).text).isEmpty())
        --at;
    target->keyIndex.insert(folded, at);
    target->lines.insert(at, std::move(line));
}

void Profile::writeInteger(QStringView section, QStringView key, int value)
{
    writeString(section, key, QString::number(value));
}

void Profile::writeBool(QStringView section, QStringView key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray Profile::toBytes() const
{
    QString text;
    qsizetype total = 0;
    for (const Line &line : m_preamble)
        total += line.text.size() + 2;
    for (const Section &section : m_sections) {
        total += section.header.size() + 2;
        for (const Line &line : section.lines)
            total += line.text.size() + 2;
    }
    text.reserve(total);

    const QLatin1StringView crlf("\r\n");
    for (const Line &line : m_preamble)
        text += line.text + crlf;
    for (const Section &section : m_sections) {
        text += section.header + crlf;
        for (const Line &line : section.lines) {
            text += line.text;
            text += crlf;
        }
    }
    return text.toUtf8();
}

void Profile::save() const
{
    if (!writeWholeFile(m_path, toBytes()))
        throw AppError(QStringLiteral("Unable to write to %1")
                           .arg(QDir::toNativeSeparators(QFileInfo(m_path).absoluteFilePath())));
}

bool Profile::writeWholeFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : path;
    // Written beside the target and renamed over it once every byte is on the disk, so the old file
    // survives any failure (a full disk, a kill) whole. The flush is checked before anything else, since a
    // full disk often shows only there.
    QTemporaryFile file(target + QLatin1String(temporaryInfix) + QStringLiteral("XXXXXX"));
    if (!file.open())
        return false;
    if (file.write(bytes) != bytes.size() || !FileSync::toDisk(file) || file.error() != QFileDevice::NoError ||
        file.size() != bytes.size())
        return false;
    // The new file keeps the old one's permissions; a first one gets the usual ones rather than the
    // temporary file's owner-only mode.
    const QFileInfo existing(target);
    file.setPermissions(existing.exists()
                            ? existing.permissions()
                            : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                                  QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    file.close();
    if (!FileSync::replace(file.fileName(), target))
        return false; // the temporary file is removed with the object
    file.setAutoRemove(false);
    return true;
}

bool Profile::isLeftoverTemporary(const QString &fileName)
{
    // A name, the infix and six letters or digits (QTemporaryFile's), matched by hand: the start-up sweep
    // would otherwise load the regular-expression engine for it alone.
    constexpr qsizetype suffixLength = 6;
    const QLatin1StringView infix(temporaryInfix);
    const qsizetype at = fileName.size() - suffixLength - infix.size();
    if (at < 1 || QStringView(fileName).sliced(at, infix.size()) != infix)
        return false;
    const QStringView suffix = QStringView(fileName).last(suffixLength);
    return std::all_of(suffix.begin(), suffix.end(), [](QChar c) { return c.unicode() < 128 && c.isLetterOrNumber(); });
}

int Profile::parseInteger(QStringView text, bool *ok)
{
    *ok = false;
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && text[i] == QLatin1Char('-')) {
        negative = true;
        ++i;
    }
    if (i >= text.size())
        return 0;

    const QStringView rest = text.sliced(i);
    quint32 pattern = 0;
    if (rest.startsWith(QLatin1Char('$')) || rest.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QStringView digits = rest.sliced(rest.front() == QLatin1Char('$') ? 1 : 2);
        if (digits.isEmpty() || digits.size() > 8)
            return 0;
        for (QChar c : digits) {
            const int digit = hexDigit(c);
            if (digit < 0)
                return 0;
            pattern = (pattern << 4) | quint32(digit);
        }
        *ok = true;
        // Hexadecimal is a bit pattern: "0xFFFFFFFF" is -1, and a "-" in front negates that pattern.
        return static_cast<int>(negative ? 0u - pattern : pattern);
    }

    // Decimal must stay within the signed range; the limit is one higher for negative numbers.
    const quint64 limit = negative ? 2147483648ull : 2147483647ull;
    quint64 value = 0;
    for (QChar c : rest) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        value = value * 10 + quint64(c.unicode() - u'0');
        if (value > limit)
            return 0;
    }
    *ok = true;
    return static_cast<int>(negative ? 0ull - value : value);
}

QString Profile::cleanValue(QStringView raw)
{
    QStringView value = trimBlanks(raw);
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            value = value.sliced(1, value.size() - 2);
    }
    return value.toString();
}
