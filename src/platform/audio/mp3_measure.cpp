#include "platform/gui/mp3_length.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <mpg123.h>
#include <mutex>

namespace {

// The decoder reads through QFile's buffer: its own reader makes two system calls per frame, which is ten
// times slower on a large file.
ssize_t readFile(void *handle, void *buffer, size_t count)
{
    return ssize_t(static_cast<QFile *>(handle)->read(static_cast<char *>(buffer), qint64(count)));
}

off_t seekFile(void *handle, off_t offset, int whence)
{
    auto *file = static_cast<QFile *>(handle);
    qint64 to = offset;
    if (whence == SEEK_CUR)
        to += file->pos();
    else if (whence == SEEK_END)
        to += file->size();
    return file->seek(to) ? off_t(to) : off_t(-1);
}

Mp3Length failure(int code)
{
    return {0, code, QString::fromLatin1(mpg123_plain_strerror(code))};
}

struct HandleDeleter {
    void operator()(mpg123_handle *handle) const { mpg123_delete(handle); }
};

} // namespace

// What the audio module exports under mp3MeasureSymbol for Mp3Length::measure.
extern "C" Q_DECL_EXPORT Mp3Length quilletMeasureMp3(const QString &path)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });

    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return failure(MPG123_BAD_FILE);

    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, HandleDeleter> handle(mpg123_new(nullptr, &error));
    if (!handle)
        return failure(error);
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_replace_reader_handle(handle.get(), readFile, seekFile, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle.get(), &file) != MPG123_OK || mpg123_scan(handle.get()) != MPG123_OK)
        return failure(mpg123_errcode(handle.get()));

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    const off_t samples = mpg123_length(handle.get());
    // Data without a single MPEG frame (a text file, zeros) scans without error but has no length.
    if (samples <= 0 || mpg123_getformat(handle.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0)
        return failure(MPG123_RESYNC_FAIL);
    mpg123_close(handle.get());
    return {qint64(samples) * 1000 / rate, 0, QString()};
}
