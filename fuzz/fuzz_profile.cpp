#include "store/note_record.h"
#include "store/profile.h"

#include <QCoreApplication>

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

// Reads the input as an INI file of the program (the note store, a .stc note, the settings, a language file)
// and checks what a save relies on: the file written back reads the same, a value written back reads as
// it was, and a note read, written and read again is the same note.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The code page that a file which is not UTF-8 is read in comes from the settings' language.
    static constexpr int codePages[] = {1252, 1251, 1253};
    const Profile profile = Profile::fromBytesInCodePage(bytes, codePages[size > 0 ? data[0] % 3 : 0]);

    const Profile reread = Profile::fromBytes(profile.toBytes());
    const QStringList sections = profile.sections();
    check(reread.sections() == sections);
    Profile rewritten = profile;
    for (const QString &section : sections) {
        const QStringList keys = profile.keys(section);
        check(reread.keys(section) == keys);
        for (const QString &key : keys) {
            const QString value = profile.readString(section, key);
            check(reread.readString(section, key) == value);
            rewritten.writeString(section, key, value);
            check(rewritten.readString(section, key) == value);
        }

        const NoteDefaults defaults;
        NoteRecord note = NoteRecord::read(profile, section, defaults);
        Profile written;
        note.write(written, section);
        // "Due" is stored to the second; a hand-written one with milliseconds loses them at the first save.
        if (note.due.isValid())
            note.due = note.due.addMSecs(-note.due.time().msec());
        check(NoteRecord::read(Profile::fromBytes(written.toBytes()), section, defaults) == note);
    }
    return 0;
}
