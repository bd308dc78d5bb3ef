#include "alarm/cmx_id3.h"

#include "base/app_error.h"
#include "platform/code_page.h"

#include <QFile>

#include <iterator>

namespace {

constexpr int codePage = 1252;

struct Field {
    int offset;
    int width;
};

constexpr Field titleField{3, 30};
constexpr Field artistField{33, 30};
constexpr Field albumField{63, 30};
constexpr Field yearField{93, 4};
constexpr Field commentField{97, 28};
constexpr int trackOffset = 126;
constexpr int genreOffset = 127;

// The ID3 version 1 genres (0-79) and the common extension list (80-147), in index order.
constexpr const char *genres[] = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progressive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A capella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "Britpop",
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock",
    "Merengue",
    "Salsa",
    "Thrash Metal",
    "Anime",
    "JPop",
    "Synthpop",
};
static_assert(std::size(genres) == 148);

QByteArray marker()
{
    return QByteArrayLiteral("TAG");
}

// Characters the code page has no byte for become "?", as the platform's 8-bit conversion does.
QByteArray encode(const QString &text)
{
    QByteArray bytes;
    if (CodePage::encode(codePage, text, &bytes))
        return bytes;
    bytes.clear();
    for (const QChar c : text) {
        QByteArray one;
        bytes += CodePage::encode(codePage, QString(c), &one) ? one : QByteArray("?");
    }
    return bytes;
}

} // namespace

TcmxID3::TcmxID3()
    : m_bytes(Size, '\0')
{
    m_bytes.replace(0, 3, marker());
}

TcmxID3 TcmxID3::fromBytes(const QByteArray &bytes)
{
    TcmxID3 tag;
    if (bytes.size() == Size && bytes.startsWith(marker()))
        tag.m_bytes = bytes;
    return tag;
}

TcmxID3 TcmxID3::fromFields(const QString &title, const QString &artist, const QString &album, const QString &comment,
                            int year, quint8 track, quint8 genre)
{
    TcmxID3 tag;
    tag.setText(titleField.offset, titleField.width, title);
    tag.setText(artistField.offset, artistField.width, artist);
    tag.setText(albumField.offset, albumField.width, album);
    tag.setText(yearField.offset, yearField.width, QString::number(year));
    tag.setText(commentField.offset, commentField.width, comment);
    tag.m_bytes[trackOffset] = char(track);
    tag.m_bytes[genreOffset] = char(genre);
    return tag;
}

TcmxID3 TcmxID3::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file %1").arg(path));
    if (file.size() < Size || !file.seek(file.size() - Size))
        return TcmxID3();
    return fromBytes(file.read(Size));
}

void TcmxID3::write(const QString &path) const
{
    // The tag is changed in place rather than through a copy of the whole file: only its last 128 bytes change.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        throw AppError(QStringLiteral("Cannot open file %1").arg(path));
    const qint64 size = file.size();
    qint64 at = size;
    if (size >= Size && file.seek(size - Size) && file.read(Size).startsWith(marker()))
        at = size - Size;
    if (!file.seek(at) || file.write(m_bytes) != Size || !file.flush())
        throw AppError(QStringLiteral("Unable to write to %1").arg(path));
}

QString TcmxID3::getTitle() const
{
    return text(titleField.offset, titleField.width);
}

QString TcmxID3::getArtist() const
{
    return text(artistField.offset, artistField.width);
}

QString TcmxID3::getAlbum() const
{
    return text(albumField.offset, albumField.width);
}

QString TcmxID3::getYear() const
{
    return text(yearField.offset, yearField.width);
}

QString TcmxID3::getComment() const
{
    return text(commentField.offset, commentField.width);
}

quint8 TcmxID3::getTrack() const
{
    return quint8(m_bytes.at(trackOffset));
}

quint8 TcmxID3::getGenreNdx() const
{
    return quint8(m_bytes.at(genreOffset));
}

int TcmxID3::MaxGenreID()
{
    return int(std::size(genres)) - 1;
}

QString TcmxID3::getGenreText(int index)
{
    if (index < 0 || index > MaxGenreID())
        return QString::number(index);
    return QString::fromLatin1(genres[index]);
}

QString TcmxID3::text(int offset, int width) const
{
    QByteArray field = m_bytes.mid(offset, width);
    const qsizetype end = field.indexOf('\0');
    if (end >= 0)
        field.truncate(end);
    return CodePage::decode(codePage, field);
}

void TcmxID3::setText(int offset, int width, const QString &text)
{
    // A text that fills its field has no zero byte after it; the next field starts right away.
    const QByteArray bytes = encode(text).left(width);
    m_bytes.replace(offset, bytes.size(), bytes);
}
