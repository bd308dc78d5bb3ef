#include "../full_note.h"
#include "../note_titles.h"
#include "../test_files.h"
#include "base/app_error.h"
#include "store/note_trash.h"
#include "store/profile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime now(QDate(2026, 12, 9), QTime(14, 30), Qt::UTC);

NoteRecord note(const QString &title, int left = 0)
{
    NoteRecord record;
    record.title = title;
    record.left = left;
    return record;
}

QStringList titles(const QList<NoteTrash::Entry> &entries)
{
    QStringList result;
    for (const NoteTrash::Entry &entry : entries)
        result.append(entry.note.title);
    return result;
}

// A trash file as a user or an older run left it: one note per "title@left", each its own batch, deleted
// ageDays[i] days before now (none given: deleted now).
QByteArray trashFile(const QStringList &notes, const QList<int> &ageDays = {})
{
    QByteArray bytes = "; written by hand\r\n";
    for (qsizetype i = 0; i < notes.size(); ++i) {
        const QDateTime deleted = now.addDays(-ageDays.value(i, 0));
        bytes += QStringLiteral("[Stickie%1]\r\nTitle=%2\r\nLeft=%3\r\nDeleted=%4\r\nBatch=%1\r\n")
                     .arg(i + 1)
                     .arg(notes[i].section(QLatin1Char('@'), 0, 0), notes[i].section(QLatin1Char('@'), 1))
                     .arg(deleted.toString(Qt::ISODate))
                     .toUtf8();
    }
    return bytes;
}

} // namespace

class TestNoteTrash : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString trashPath() const { return m_dir.filePath(QLatin1String(NoteTrash::fileName)); }
    NoteTrash loaded() const
    {
        NoteTrash trash(trashPath());
        trash.load(NoteDefaults(), now);
        return trash;
    }

private slots:
    void init() { QFile::remove(trashPath()); }

    void batches_restoredNewestFirst_andReadBackWhole()
    {
        NoteTrash trash = loaded();
        QVERIFY(trash.isEmpty());
        trash.add({fullNote(), note(QStringLiteral("b"))}, now);
        trash.add({note(QStringLiteral("c"))}, now.addSecs(60));
        QCOMPARE(trash.entries().size(), 3);
        // Every field, the moment and the batch survive the file.
        QCOMPARE(loaded().entries(), trash.entries());
        const Profile file = Profile::load(trashPath());
        QCOMPARE(file.readString(u"Stickie3", u"Deleted"), QStringLiteral("2026-12-09T14:31:00Z"));
        QCOMPARE(file.readString(u"Stickie3", u"Batch"), QStringLiteral("2"));

        QCOMPARE(titles(trash.lastBatch()), QStringList{QStringLiteral("c")});
        trash.removeLastBatch(now);
        QCOMPARE(trash.lastBatch(), QList<NoteRecord>({fullNote(), note(QStringLiteral("b"))}));
        trash.removeLastBatch(now);
        QVERIFY(trash.isEmpty());
        QVERIFY(loaded().isEmpty());
    }

    void add_prunesByAgeAndCount_data()
    {
        QTest::addColumn<QList<int>>("ageDays"); // of the notes already in the trash, oldest first
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QString>("firstKept");

        QTest::newRow("29 days kept") << QList<int>{29} << 1 << 2 << "old1";
        QTest::newRow("exactly 30 days kept") << QList<int>{30} << 1 << 2 << "old1";
        QTest::newRow("31 days dropped") << QList<int>{31} << 1 << 1 << "new1";
        QTest::newRow("only the expired go") << QList<int>{40, 31, 10} << 1 << 2 << "old3";
        QTest::newRow("deleted in the future (clock set back) kept") << QList<int>{-3} << 1 << 2 << "old1";
        QTest::newRow("501st note: the oldest goes") << QList<int>(500, 1) << 1 << 500 << "old2";
        QTest::newRow("a batch pushing past 500") << QList<int>(499, 1) << 3 << 500 << "old3";
        QTest::newRow("one batch of 600") << QList<int>() << 600 << 500 << "new101";
    }
    void add_prunesByAgeAndCount()
    {
        QFETCH(QList<int>, ageDays);
        QFETCH(int, added);
        QFETCH(int, kept);
        QFETCH(QString, firstKept);
        QStringList old;
        for (int i = 0; i < ageDays.size(); ++i)
            old.append(QStringLiteral("old%1@0").arg(i + 1));
        writeFile(trashPath(), trashFile(old, ageDays));
        NoteTrash trash = loaded();
        QCOMPARE(trash.entries().size(), ageDays.size()); // a load drops nothing
        QList<NoteRecord> batch;
        for (int i = 0; i < added; ++i)
            batch.append(note(QStringLiteral("new%1").arg(i + 1)));
        trash.add(batch, now);
        QCOMPARE(trash.entries().size(), kept);
        QCOMPARE(trash.entries().first().note.title, firstKept);
        QCOMPARE(titles(loaded().entries()), titles(trash.entries()));
    }

    void dropNotesIn_notesStillStoredLeaveTheTrash_data()
    {
        QTest::addColumn<QStringList>("trash");
        QTest::addColumn<QStringList>("store");
        QTest::addColumn<QStringList>("remaining");

        QTest::newRow("in both files") << QStringList{"a@0", "b@0", "c@0"} << QStringList{"x@0", "b@0", "c@0"}
                                       << QStringList{"a"};
        QTest::newRow("same title, other place") << QStringList{"a@10"} << QStringList{"a@20"} << QStringList{"a"};
        QTest::newRow("store empty") << QStringList{"a@0"} << QStringList{} << QStringList{"a"};
    }
    void dropNotesIn_notesStillStoredLeaveTheTrash()
    {
        QFETCH(QStringList, trash);
        QFETCH(QStringList, store);
        QFETCH(QStringList, remaining);
        const QByteArray written = trashFile(trash);
        writeFile(trashPath(), written);
        QList<NoteRecord> storeNotes;
        for (const QString &stored : store) {
            // Read from a file, as the store's notes are, so that equal means equal as stored.
            writeFile(m_dir.filePath(QStringLiteral("store.ini")), trashFile({stored}));
            storeNotes.append(NoteRecord::read(Profile::load(m_dir.filePath(QStringLiteral("store.ini"))),
                                               QStringLiteral("Stickie1"), NoteDefaults()));
        }
        NoteTrash loadedTrash = loaded();
        loadedTrash.dropNotesIn(storeNotes, now);
        QCOMPARE(titles(loadedTrash.entries()), remaining);
        QCOMPARE(titles(loaded().entries()), remaining);
        // The file is rewritten only when a note went.
        QCOMPARE(readFile(trashPath()) == written, remaining.size() == trash.size());
    }

    void load_unreadableOrDamaged()
    {
        QVERIFY(QDir(m_dir.path()).mkdir(QLatin1String(NoteTrash::fileName)));
        QVERIFY_THROWS_EXCEPTION(AppError, loaded());
        QVERIFY(QDir(m_dir.path()).rmdir(QLatin1String(NoteTrash::fileName)));

        // A note whose moment was lost starts its thirty days now rather than going at once.
        writeFile(trashPath(), "[Stickie1]\r\nTitle=a\r\nDeleted=yesterday\r\n[Trash]\r\n[Stickie2]\r\nTitle=b\r\n");
        const NoteTrash trash = loaded();
        QCOMPARE(titles(trash.entries()), QStringList({"a", "b"}));
        QCOMPARE(trash.entries().first().deleted, now);
    }
};

QTEST_GUILESS_MAIN(TestNoteTrash)
#include "tst_note_trash.moc"
