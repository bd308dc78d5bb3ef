#include "base/app_error.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"

#include <QCoreApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

// Feeds the input to both ways a note's text is read (an .rtf file's bytes and a stored note's text)
// and writes the result back, so that whatever the reader builds is also something the writer takes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    try {
        RtfReader::read(bytes, &document);
    } catch (const AppError &) {
        if (RtfReader::looksLikeRtf(bytes))
            __builtin_trap(); // only text that is no RTF at all may be refused
    }
    RtfWriter::write(document);
    RtfReader::readNoteText(QString::fromUtf8(bytes), &document);
    RtfWriter::writeNoteText(document);
    return 0;
}
