#include "alarm/cmx_id3.h"
#include "alarm/mp3_length.h"
#include "base/app_error.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

// Takes the input as an MP3 file: measures its play length and reads its tag as the alarm dialog does, writes
// the fields it read back over it, and checks that the file kept its length (or grew by one tag where it had
// none) and reads the same.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("input.mp3"));
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        check(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }

    const Mp3Length length = Mp3Length::measure(path);
    check(length.ok() ? length.milliseconds >= 0 : !length.errorText.isEmpty());

    const TcmxID3 tag = TcmxID3::read(path);
    const QString title = tag.getTitle();
    const QString artist = tag.getArtist();
    const QString album = tag.getAlbum();
    const QString year = tag.getYear();
    const QString comment = tag.getComment();
    const quint8 genre = tag.getGenreNdx();
    check(!TcmxID3::getGenreText(genre).isEmpty());
    check(TcmxID3::fromBytes(tag.bytes()).bytes() == tag.bytes());

    const TcmxID3 same = TcmxID3::fromFields(title, artist, album, comment, year.toInt(), tag.getTrack(), genre);
    try {
        same.write(path);
    } catch (const AppError &) {
        __builtin_trap(); // a file of the program's own folder that it could read
    }
    // The tag goes over the one the file has, and is appended to a file without one.
    const bool hadTag =
        size >= std::size_t(TcmxID3::Size) &&
        QByteArray::fromRawData(reinterpret_cast<const char *>(data) + size - TcmxID3::Size, 3) == "TAG";
    check(QFileInfo(path).size() == qint64(size) + (hadTag ? 0 : TcmxID3::Size));
    const TcmxID3 back = TcmxID3::read(path);
    check(back.getTitle() == same.getTitle() && back.getArtist() == same.getArtist() &&
          back.getAlbum() == same.getAlbum() && back.getComment() == same.getComment() &&
          back.getTrack() == same.getTrack() && back.getGenreNdx() == genre);
    return 0;
}
