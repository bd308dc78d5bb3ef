#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// An INI file in the dialect every file of the program uses (the note store, .stc note files, the
// settings file, the language files):
//  - "[Section]" lines start sections, "Key=Value" lines are entries; lines end in CR LF when written,
//    and CR LF, LF or a lone CR are all accepted when read; blank lines and lines without "=" mean nothing;
//  - section and key names match without regard to letter case;
//  - on reading, blanks around the value are dropped and one pair of enclosing double or single quotes
//    is removed; a missing file, section or key gives the caller's default;
//  - on writing, a new section is appended at the end of the file, a new key at the end of its section,
//    and an existing key's value is replaced in place; everything else in the file stays as it was;
//  - values are read and written whole, whatever their length;
//  - files are written in UTF-8; a file that is not valid UTF-8 is read as Windows-1252.
//
// The file is parsed once when the object is made, and written once by save(), whole, through a
// temporary file in the same folder that is renamed over the old one, so a failed save never leaves
// a truncated file behind.
class Profile {
public:
    // An empty profile that will be saved to path.
    Profile() = default;
    explicit Profile(QString path);

    // Reads path. A missing file gives an empty profile. A path that exists but is no regular file (a
    // folder, a FIFO, a device), is larger than maxFileBytes or cannot be read whole throws
    // AppError("Cannot open file <full path>"): taking such a file for empty would let the next save
    // replace notes that are still there. A file that is not valid UTF-8 is read in the given 8-bit Windows
    // code page (see fromBytesInCodePage). fileBytes, when given, receives the bytes parsed, or nothing when
    // there was no file.
    static Profile load(const QString &path, int eightBitCodePage = 1252,
                        std::optional<QByteArray> *fileBytes = nullptr);
    static constexpr qint64 maxFileBytes = qint64(256) * 1024 * 1024;
    // The bytes of an open file whose size was expectedSize, up to one byte past limit: the buffer is sized by
    // the file, not by the limit, and a file that grew since is read on so that it is still caught.
    static QByteArray readUpTo(QFile &file, qint64 expectedSize, qint64 limit);
    // Parses bytes as the content of a file at path (which is only remembered for save()).
    static Profile fromBytes(const QByteArray &bytes, const QString &path = {});
    // As fromBytes(), but a file that is not valid UTF-8 is read as 8-bit text in the given Windows code page
    // (1251 for a Cyrillic file, 1253 for a Greek one) instead of Windows-1252.
    static Profile fromBytesInCodePage(const QByteArray &bytes, int eightBitCodePage, const QString &path = {});

    const QString &path() const { return m_path; }

    bool hasSection(QStringView section) const;
    bool hasKey(QStringView section, QStringView key) const;
    // The names of all sections, in file order, as spelled in the file.
    QStringList sections() const;
    // The keys of a section, in file order, as spelled in the file.
    QStringList keys(QStringView section) const;

    QString readString(QStringView section, QStringView key, const QString &defaultValue = {}) const;
    int readInteger(QStringView section, QStringView key, int defaultValue) const;
    bool readBool(QStringView section, QStringView key, bool defaultValue) const;

    void writeString(QStringView section, QStringView key, const QString &value);
    void writeInteger(QStringView section, QStringView key, int value);
    void writeBool(QStringView section, QStringView key, bool value);

    // The file's content as it would be written: UTF-8, CR LF line ends.
    QByteArray toBytes() const;
    // Writes the whole file atomically. Throws AppError("Unable to write to <full path>") on failure,
    // leaving any existing file untouched.
    void save() const;

    // Replaces the file at path with bytes through a temporary file that is renamed over it only when
    // every byte reached the disk; false (and the old file whole) otherwise. A link is followed: its target
    // is replaced and the link stays.
    static bool writeWholeFile(const QString &path, const QByteArray &bytes);
    // The temporary files of writeWholeFile are "<file name>.quillet-save-" and six letters or digits: a name no
    // person gives a file, so that what a kill left behind can be removed without touching a user's copies.
    static constexpr char temporaryInfix[] = ".quillet-save-";
    static bool isLeftoverTemporary(const QString &fileName);

    // The integer reading of the dialect: optional blanks, an optional "-", then decimal digits within
    // the signed 32-bit range, or one to eight hexadecimal digits after "0x", "0X" or "$", taken as the
    // 32-bit pattern ("0xFFFFFFFF" is -1, "0x80000005" a system colour). Anything else, or an empty
    // text, sets *ok to false and returns 0.
    static int parseInteger(QStringView text, bool *ok);
    // Applies the reading rules to a raw value: trims blanks, removes one pair of enclosing quotes.
    static QString cleanValue(QStringView raw);

private:
    struct Line {
        QString text;               // the line as read, or as built by a write
        QString key;                // trimmed key of an entry; empty for headers, blanks and lines without "="
        qsizetype valueOffset = -1; // where the raw (untrimmed) value starts in text, for entries
        QStringView rawValue() const { return QStringView(text).mid(valueOffset); }
    };
    struct Section {
        QString name;                       // trimmed, as spelled in the file
        QString header;                     // the header line as read, written back unchanged
        QList<Line> lines;                  // the lines after the header, up to the next section
        QHash<QString, qsizetype> keyIndex; // case-folded key -> first line with that key
    };

    void addLine(QString text);
    const Section *findSection(QStringView section) const;
    Section *findSection(QStringView section);
    const Line *findLine(QStringView section, QStringView key) const;

    QString m_path;
    QList<Line> m_preamble; // lines before the first section header
    QList<Section> m_sections;
    QHash<QString, qsizetype> m_sectionIndex; // case-folded name -> first section with that name
};
