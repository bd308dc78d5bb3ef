#include "model/note_list.h"
#include "store/note_store.h"
#include "store/note_trash.h"
#include "store/profile.h"
#include "store/revision.h"

#include "../test_clock.h"
#include "../test_files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray noteSection(int number, const QString &title)
{
    return QStringLiteral("[Stickie%1]\r\nTitle=%2\r\nLeft=%1\r\nTop=%1\r\nWidth=250\r\nHeight=190\r\n")
        .arg(number)
        .arg(title)
        .toUtf8();
}

NoteRecord titled(const QString &title)
{
    NoteRecord record;
    record.title = title;
    return record;
}

} // namespace

// The note list against real files in a temporary data folder, without a window.
class TestNoteList : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<NoteList> m_list;
    QStringList m_errors;

    QString storePath() const { return m_dir.filePath(QStringLiteral("stickies.ini")); }
    void writeStore(int count)
    {
        QByteArray store = "[Stickies]\r\nTotal=" + QByteArray::number(count) + "\r\n";
        for (int i = 1; i <= count; ++i)
            store += noteSection(i, QStringLiteral("note %1").arg(i));
        writeFile(storePath(), store);
    }
    NoteList *load()
    {
        m_list = std::make_unique<NoteList>(storePath(), m_dir.path() + QLatin1Char('/'));
        connect(m_list.get(), &NoteList::errorRaised, this, [this](const QString &text) { m_errors.append(text); });
        m_list->removeStaleTemporaryFiles();
        m_list->load(1252);
        return m_list.get();
    }
    Profile savedStore() const { return Profile::load(storePath()); }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_errors.clear();
    }
    void cleanup() { m_list.reset(); }

    void autosave_savedAfterAPauseAndAtTheLatestAtTheLimit_data()
    {
        QTest::addColumn<int>("changeEveryMs"); // 0: one change, then nothing
        QTest::newRow("one change") << 0;
        // A change every 100 ms is never a pause of 300 ms: only the limit saves it while the changes go on.
        QTest::newRow("changes without a pause") << 100;
    }
    void autosave_savedAfterAPauseAndAtTheLatestAtTheLimit()
    {
        QFETCH(int, changeEveryMs);
        writeStore(1);
        NoteList *list = load();
        if (changeEveryMs)
            list->setAutosaveDelays(300, 1000);
        // Changes go on for 8 s at most; a save must come before they stop (a busy machine only adds pauses).
        QElapsedTimer changing;
        changing.start();
        QString title = QStringLiteral("changed");
        list->at(0)->setTitle(title);
        bool saved = false;
        while (!(saved = savedStore().readString(u"Stickie1", u"Title") != u"note 1") && changing.elapsed() < 8000) {
            if (changeEveryMs)
                list->at(0)->setTitle(title += QLatin1Char('x'));
            QTest::qWait(changeEveryMs ? changeEveryMs : 50);
        }
        QVERIFY2(saved, "a change went unsaved too long");
        // A note added is saved too, as the list's next note.
        list->add(titled(QStringLiteral("added")));
        QTRY_COMPARE_WITH_TIMEOUT(savedStore().readInteger(u"Stickies", u"Total", 0), 2, 6000);
        QCOMPARE(savedStore().readString(u"Stickie2", u"Title"), QStringLiteral("added"));
    }

    void save_firstOfTheDay_copiesTheStoreAsItWas()
    {
        TestClock clock(QDateTime(QDate(2026, 12, 9), QTime(23, 59)));
        writeStore(1);
        const QByteArray stored = readFile(storePath());
        NoteList *list = load();
        const auto copyOf = [this](const char *day) {
            return readFile(m_dir.filePath(QStringLiteral("backups/stickies-%1.ini").arg(QLatin1String(day))));
        };
        list->add(titled(QStringLiteral("a")));
        list->saveIfChanged();
        list->add(titled(QStringLiteral("b")));
        list->saveIfChanged();
        QCOMPARE(copyOf("2026-12-09"), stored);
        const QByteArray lastOfTheDay = readFile(storePath());
        clock.advance(60 * 1000);
        list->add(titled(QStringLiteral("c")));
        list->saveIfChanged();
        QCOMPARE(copyOf("2026-12-10"), lastOfTheDay);
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", -1), 4);
        QVERIFY(m_errors.isEmpty());
    }

    void save_backupCannotBeMade_reportedOnceAndTheNotesStillSaved()
    {
        TestClock clock;
        writeStore(0);
        writeFile(m_dir.filePath(QStringLiteral("backups")), "a file where the folder would be");
        NoteList *list = load();
        for (int day = 0; day < 2; ++day) {
            list->add(titled(QStringLiteral("day %1").arg(day)));
            list->saveIfChanged();
            QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", -1), day + 1);
            clock.advance(24 * 3600 * 1000);
        }
        QCOMPARE(m_errors, QStringList{QStringLiteral("Unable to write to %1")
                                           .arg(m_dir.filePath(QStringLiteral("backups/stickies-2026-12-09.ini")))});
    }

    void start_leftoverTemporaryFiles_areRemoved()
    {
        // Only the program's own temporary names go; every name a user may have chosen stays.
        const QStringList kept{"notes.txt",           "quillet.ini.OLD123",  "quillet.ini.quillet-save-x1Y2z",
                               "stickies.ini.Ab3dE9", "stickies.ini.Backup", "stickies.ini.bak001"};
        for (const QString &name :
             kept + QStringList{"stickies.ini.quillet-save-Ab3dE9", "quillet.ini.quillet-save-x1Y2z3",
                                "stickies-trash.ini.quillet-save-Q7w8E9"})
            writeFile(m_dir.filePath(name), "left");
        load();
        QStringList left = QDir(m_dir.path()).entryList(QDir::Files);
        left.sort();
        QCOMPARE(left, kept);
    }

    void start_afterACutShortDelete_theTrashLetsGoOfStoredNotes()
    {
        writeStore(2);
        const QByteArray store = readFile(storePath());
        NoteList *list = load();
        QSignalSpy removed(list, &NoteList::removed);
        list->remove(list->at(0));
        QCOMPARE(removed.size(), 1);
        QVERIFY(list->canRestore());
        // As if the program had died between the trash's write and the store's: the note is in both files.
        writeFile(storePath(), store);
        list = load();
        QCOMPARE(list->size(), 2);
        NoteTrash trash(NoteTrash::pathBeside(storePath()));
        trash.load(NoteDefaults(), QDateTime::currentDateTimeUtc());
        QVERIFY(trash.isEmpty());
        QVERIFY(!list->canRestore());
    }
    void save_storeReplacedSinceRead_mergesInsteadOfOverwriting()
    {
        writeStore(2);
        NoteList *list = load();
        list->startSync();
        list->save();
        // Another machine's store arrives before this one's watcher could look: it changed note 2 and added one.
        NoteStore::LoadResult there = NoteStore::load(storePath(), {});
        there.notes[1].title = QStringLiteral("changed there");
        there.notes[1].revision =
            Revision::fromString(there.notes[1].revision).advanced(QStringLiteral("there")).toString();
        NoteRecord added = titled(QStringLiteral("added there"));
        added.id = QStringLiteral("new-note");
        added.revision = QStringLiteral("there:1");
        there.notes.append(added);
        NoteStore::saveContent(storePath(), there);
        list->at(0)->setTitle(QStringLiteral("changed here"));
        list->save();

        QStringList titles;
        for (const NoteRecord &note : NoteStore::load(storePath(), {}).notes)
            titles.append(note.title);
        QCOMPARE(titles, QStringList({"changed here", "changed there", "added there"}));
        QCOMPARE(list->size(), 3);
    }

    void sync_replacedByAFileThatIsNoWholeStore_reportedOnceAndKept_data()
    {
        QTest::addColumn<QByteArray>("replacement");
        QTest::newRow("cut short") << QByteArray("[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=hal");
        QTest::newRow("not a store") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\n");
        QTest::newRow("counts more notes") << QByteArray("[Stickies]\r\nTotal=3\r\n[Stickie1]\r\nTitle=x\r\n");
    }
    void sync_replacedByAFileThatIsNoWholeStore_reportedOnceAndKept()
    {
        QFETCH(QByteArray, replacement);
        writeStore(2);
        NoteList *list = load();
        QSignalSpy notMerged(list, &NoteList::storeNotMerged);
        list->startSync();
        writeFile(storePath(), replacement);
        list->syncWithDisk();
        list->syncWithDisk();
        QCOMPARE(notMerged.count(), 1);
        QCOMPARE(list->size(), 2);

        // The next save writes the notes, and keeps the file it replaces on this machine.
        list->at(0)->setTitle(QStringLiteral("saved"));
        list->save();
        QCOMPARE(savedStore().readString(u"Stickie1", u"Title"), QStringLiteral("saved"));
        QCOMPARE(savedStore().readString(u"Stickie2", u"Title"), QStringLiteral("note 2"));
        const QStringList kept = QDir(m_dir.path()).entryList({QStringLiteral("stickies.ini.unmerged-*")});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(readFile(m_dir.filePath(kept.first())), replacement);
    }
};

QTEST_GUILESS_MAIN(TestNoteList)
#include "tst_note_list.moc"
