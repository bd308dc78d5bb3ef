#include "store/note_store.h"

#include "store/profile.h"

#include <QCryptographicHash>

#include <algorithm>

namespace {

const QString storeSection = QStringLiteral("Stickies");
const QString notePrefix = QStringLiteral("Stickie");
const QString deletedSection = QStringLiteral("Deleted Notes");
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

Profile storeProfile(const QString &path, const NoteStore::Content &content)
{
    Profile profile(path);
    profile.writeInteger(storeSection, u"Total", static_cast<int>(content.notes.size()));
    for (qsizetype i = 0; i < content.notes.size(); ++i)
        content.notes.at(i).write(profile, noteSection(i + 1));
    for (const NoteStore::DeletedNote &deleted : content.deleted) {
        profile.writeString(deletedSection, deleted.id,
                            deleted.when.toUTC().toString(Qt::ISODate) + QLatin1Char(' ') + deleted.revision);
    }
    return profile;
}

// A note that the older program wrote has no identity: it gets one made from what its section holds, not from
// the defaults that fill in its missing keys (which differ between machines), so that every machine that reads
// the same store names its notes alike.
QString derivedId(const Profile &profile, const QString &section)
{
    QByteArray stored;
    for (const QString &key : profile.keys(section))
        stored += key.toUtf8() + '=' + profile.readString(section, key).toUtf8() + '\n';
    return QString::fromLatin1(QCryptographicHash::hash(stored, QCryptographicHash::Sha1).toHex().left(32));
}

QList<NoteStore::DeletedNote> readDeleted(const Profile &profile)
{
    QList<NoteStore::DeletedNote> deleted;
    for (const QString &id : profile.keys(deletedSection)) {
        const QString value = profile.readString(deletedSection, id);
        const qsizetype blank = value.indexOf(QLatin1Char(' '));
        const QDateTime when = QDateTime::fromString(value.left(blank), Qt::ISODate);
        if (id.isEmpty() || !when.isValid())
            continue;
        deleted.append({id, blank < 0 ? QString() : value.mid(blank + 1).trimmed(), when.toUTC()});
    }
    return deleted;
}

} // namespace

namespace NoteStore {

LoadResult load(const QString &path, const NoteDefaults &defaults, int eightBitCodePage,
                std::optional<QByteArray> *fileBytes)
{
    return read(Profile::load(path, eightBitCodePage, fileBytes), defaults);
}

QString incompleteReason(const QByteArray &bytes, const Profile &profile)
{
    if (!bytes.endsWith('\n') && !bytes.endsWith('\r'))
        return QStringLiteral("its last line is cut short");
    bool totalRead = false;
    const int total = Profile::parseInteger(profile.readString(storeSection, u"Total"), &totalRead);
    if (!totalRead || total < 0)
        return QStringLiteral("it has no count of notes");
    if (noteSectionNumbers(profile).size() != total)
        return QStringLiteral("it counts %1 notes but holds %2").arg(total).arg(noteSectionNumbers(profile).size());
    return {};
}

LoadResult read(const Profile &profile, const NoteDefaults &defaults)
{
    LoadResult result;
    result.deleted = readDeleted(profile);
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
        if (result.notes.last().id.isEmpty())
            result.notes.last().id = derivedId(profile, noteSection(number));
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
    return contentBytes(Content{notes, {}});
}

QByteArray contentBytes(const Content &content)
{
    return storeProfile(QString(), content).toBytes();
}

void save(const QString &path, const QList<NoteRecord> &notes)
{
    saveContent(path, Content{notes, {}});
}

void saveContent(const QString &path, const Content &content)
{
    // Built fresh rather than edited from the old file, so sections of deleted notes vanish.
    storeProfile(path, content).save();
}

NoteRecord loadStickieFile(const QString &path, const NoteDefaults &defaults, QString *colorError, int eightBitCodePage)
{
    return NoteRecord::read(Profile::load(path, eightBitCodePage), QStringLiteral("Stickie"), defaults, colorError);
}

void saveStickieFile(const QString &path, const NoteRecord &note)
{
    Profile profile(path);
    NoteRecord copy = note;
    copy.id.clear();
    copy.revision.clear();
    copy.write(profile, QStringLiteral("Stickie"));
    profile.save();
}

} // namespace NoteStore
