#include "store/note_store.h"

#include "store/profile.h"

#include <algorithm>

namespace {

const QString storeSection = QStringLiteral("Stickies");
const QString notePrefix = QStringLiteral("Stickie");
constexpr qint64 maxMissingNotes = 1000;

QString noteSection(qsizetype number)
{
    return notePrefix + QString::number(number);
}

// The numbers N of the "StickieN" sections present, ascending, written the way the store names them
// (decimal, no leading zero), since "Stickie01" is never looked up as note 1.
QList<qint64> noteSectionNumbers(const Profile &profile)
{
    QList<qint64> numbers;
    for (const QString &name : profile.sections()) {
        if (!name.startsWith(notePrefix, Qt::CaseInsensitive))
            continue;
        const QStringView digits = QStringView(name).sliced(notePrefix.size());
        if (digits.isEmpty() || digits.front() == QLatin1Char('0') || digits.size() > 10)
            continue;
        if (!std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            continue;
        numbers.append(digits.toLongLong());
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

Profile storeProfile(const QString &path, const QList<NoteRecord> &notes)
{
    Profile profile(path);
    profile.writeInteger(storeSection, u"Total", static_cast<int>(notes.size()));
    for (qsizetype i = 0; i < notes.size(); ++i)
        notes.at(i).write(profile, noteSection(i + 1));
    return profile;
}

} // namespace

namespace NoteStore {

LoadResult load(const QString &path, const NoteDefaults &defaults, int eightBitCodePage)
{
    LoadResult result;
    const Profile profile = Profile::load(path, eightBitCodePage);
    const QList<qint64> present = noteSectionNumbers(profile);
    const qint64 last = present.isEmpty() ? 0 : present.last();
    // A count that was lost (no "Total", damaged text, a negative number) must not make the next save
    // drop the notes that are still there: every note section present counts then.
    bool totalRead = false;
    const int total = Profile::parseInteger(profile.readString(storeSection, u"Total"), &totalRead);
    // A "Total" beyond the last note section would only add empty notes, and a corrupt one (two billion)
    // would stall the start; gaps below the last section still give default notes.
    const qint64 count = totalRead && total >= 0 ? std::min<qint64>(total, last) : last;

    // Walking the sections present rather than every number keeps a store with one "Stickie2000000000"
    // section quick; past maxMissingNotes, missing sections make no more notes, so such a store cannot
    // exhaust memory either, while every note it does hold is still read.
    const NoteRecord missing = NoteRecord::read(Profile(), notePrefix, defaults);
    qint64 missingLeft = maxMissingNotes;
    qint64 next = 1;
    const auto addMissing = [&](qint64 upTo) {
        const qint64 gap = std::min(upTo - next, missingLeft);
        for (qint64 i = 0; i < gap; ++i)
            result.notes.append(missing);
        missingLeft -= gap;
    };
    const auto readNote = [&](qint64 number) {
        QString colorError;
        result.notes.append(NoteRecord::read(profile, noteSection(number), defaults, &colorError));
        if (!colorError.isEmpty())
            result.errors.append(colorError);
    };
    for (const qint64 number : present) {
        if (number > count)
            break;
        addMissing(number);
        readNote(number);
        next = number + 1;
    }
    addMissing(count + 1);
    // Sections beyond a stale "Total" (a hand-edited store) are notes all the same: they follow the
    // counted ones in number order, so no section of the file is dropped by the next save.
    for (const qint64 number : present) {
        if (number > count)
            readNote(number);
    }
    return result;
}

QByteArray toBytes(const QList<NoteRecord> &notes)
{
    return storeProfile(QString(), notes).toBytes();
}

void save(const QString &path, const QList<NoteRecord> &notes)
{
    // Built fresh rather than edited from the old file, so sections of deleted notes vanish.
    storeProfile(path, notes).save();
}

NoteRecord loadStickieFile(const QString &path, const NoteDefaults &defaults, QString *colorError, int eightBitCodePage)
{
    return NoteRecord::read(Profile::load(path, eightBitCodePage), QStringLiteral("Stickie"), defaults, colorError);
}

void saveStickieFile(const QString &path, const NoteRecord &note)
{
    Profile profile(path);
    note.write(profile, QStringLiteral("Stickie"));
    profile.save();
}

} // namespace NoteStore
