#include "store/profile.h"
#include "store/store_merge.h"

#include <QRegularExpression>
#include <QTest>

namespace {

const QDateTime now(QDate(2026, 12, 10), QTime(12, 0), Qt::UTC);

// A store written as "id=title@revision" notes and "-id@revision" deleted notes, separated by ";".
NoteStore::Content store(const QString &text)
{
    NoteStore::Content content;
    for (const QString &item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype at = item.indexOf(QLatin1Char('@'));
        const QString revision = item.mid(at + 1);
        if (item.startsWith(QLatin1Char('-'))) {
            content.deleted.append({item.mid(1, at - 1), revision, now.addDays(-1)});
            continue;
        }
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        NoteRecord note;
        note.id = item.left(equals);
        note.title = item.mid(equals + 1, at - equals - 1);
        note.revision = revision;
        content.notes.append(note);
    }
    return content;
}

// The same notation; a conflict copy's identity, a hash, is written "*".
QString text(const QList<NoteRecord> &notes, const QList<NoteStore::DeletedNote> &deleted = {})
{
    static const QRegularExpression hash(QStringLiteral("^[0-9a-f]{32}$"));
    QStringList items;
    for (const NoteRecord &note : notes)
        items.append((hash.match(note.id).hasMatch() ? QStringLiteral("*") : note.id) + QLatin1Char('=') + note.title +
                     QLatin1Char('@') + note.revision);
    for (const NoteStore::DeletedNote &note : deleted)
        items.append(QLatin1Char('-') + note.id + QLatin1Char('@') + note.revision);
    return items.join(QLatin1Char(';'));
}

} // namespace

// The merge of two machines' stores, note by note, by identity and revision.
class TestStoreMerge : public QObject {
    Q_OBJECT

private slots:
    void merge_followsTheTable_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("merged");
        QTest::addColumn<QString>("removed"); // local notes that go to the trash

        QTest::newRow("unchanged on both") << "a=x@p:1;b=y@q:1"
                                           << "b=y@q:1;a=x@p:1"
                                           << "a=x@p:1;b=y@q:1"
                                           << "";
        QTest::newRow("changed there only") << "a=old@p:1"
                                            << "a=new@p:1 q:1"
                                            << "a=new@p:1 q:1"
                                            << "";
        // Saved here twice since: the other machine's older, unchanged copy does not win.
        QTest::newRow("changed here only") << "a=mine@p:3"
                                           << "a=old@p:1"
                                           << "a=mine@p:3"
                                           << "";
        QTest::newRow("added here") << "a=x@p:1;n=new@p:1"
                                    << "a=x@p:1"
                                    << "a=x@p:1;n=new@p:1"
                                    << "";
        QTest::newRow("added there") << "a=x@p:1"
                                     << "n=new@q:1;a=x@p:1"
                                     << "a=x@p:1;n=new@q:1"
                                     << "";
        QTest::newRow("deleted there, unchanged here") << "a=x@p:1;b=y@p:1"
                                                       << "a=x@p:1;-b@p:1"
                                                       << "a=x@p:1;-b@p:1"
                                                       << "b=y@p:1";
        QTest::newRow("deleted there, changed here since") << "b=edited@p:1 q:1"
                                                           << "-b@p:1"
                                                           << "b=edited@p:1 q:1"
                                                           << "";
        QTest::newRow("deleted here, unchanged there") << "-b@p:1"
                                                       << "b=y@p:1"
                                                       << "-b@p:1"
                                                       << "";
        QTest::newRow("deleted here, changed there since") << "-b@p:1"
                                                           << "b=edited@p:1 q:1"
                                                           << "b=edited@p:1 q:1"
                                                           << "";
        QTest::newRow("changed on both") << "a=mine@p:2"
                                         << "a=theirs@p:1 q:1"
                                         << "a=mine@p:2 q:1;*=theirs (conflict)@p:1 q:1"
                                         << "";
        QTest::newRow("changed on both, the other keeps the identity") << "a=mine@p:1 q:1"
                                                                       << "a=theirs@p:3"
                                                                       << "a=theirs@p:3 q:1;*=mine (conflict)@p:1 q:1"
                                                                       << "";
        // Two machines that took the same name: nothing typed on either is lost.
        QTest::newRow("same revision, different text") << "a=mine@p:1"
                                                       << "a=theirs@p:1"
                                                       << "a=theirs@p:1;*=mine (conflict)@p:1"
                                                       << "";
        // An older store's note that no machine changed, read with each machine's defaults: one version.
        QTest::newRow("no revision on either, different defaults") << "a=mine@"
                                                                   << "a=theirs@"
                                                                   << "a=theirs@"
                                                                   << "";
        QTest::newRow("the other's delete and change of other notes") << "a=x@p:1;b=y@p:1;c=z@p:1"
                                                                      << "a=x@p:1;-b@p:1;c=z2@p:1 q:1"
                                                                      << "a=x@p:1;c=z2@p:1 q:1;-b@p:1"
                                                                      << "b=y@p:1";
    }
    void merge_followsTheTable()
    {
        QFETCH(QString, local);
        QFETCH(QString, other);
        QFETCH(QString, merged);
        QFETCH(QString, removed);

        const StoreMerge::Result forward = StoreMerge::merge(store(local), store(other), now);
        QCOMPARE(text(forward.merged.notes, forward.merged.deleted), merged);
        QCOMPARE(text(forward.removed), removed);
        // The other machine, merging this one's store, comes to the same notes: no conflict of conflicts.
        const StoreMerge::Result backward = StoreMerge::merge(store(other), store(local), now);
        QVERIFY(StoreMerge::sameContent(forward.merged, backward.merged));
        // Merged again, with the other's store or with the other's merge, nothing is doubled or rewritten.
        for (const NoteStore::Content &again : {store(other), backward.merged}) {
            const StoreMerge::Result twice = StoreMerge::merge(forward.merged, again, now);
            QCOMPARE(text(twice.merged.notes, twice.merged.deleted), merged);
            QVERIFY(twice.removed.isEmpty());
        }
    }

    void identify_olderStore_sameIdentitiesOnEveryMachine_duplicatesApart()
    {
        // Two identical notes and another, without identities, read by two machines whose defaults differ.
        const Profile older = Profile::fromBytes("[Stickies]\r\nTotal=3\r\n[Stickie1]\r\nTitle=x\r\n"
                                                 "[Stickie2]\r\nTitle=x\r\n[Stickie3]\r\nTitle=y\r\n");
        QStringList ids[2];
        for (int machine = 0; machine < 2; ++machine) {
            NoteDefaults defaults;
            defaults.soundFile = QStringLiteral("/machine%1/alarm.mp3").arg(machine);
            QList<NoteRecord> notes = NoteStore::read(older, defaults).notes;
            StoreMerge::identify(notes);
            for (const NoteRecord &note : std::as_const(notes))
                ids[machine].append(note.id);
        }
        QCOMPARE(ids[0], ids[1]);
        QCOMPARE(QSet<QString>(ids[0].cbegin(), ids[0].cend()).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestStoreMerge)
#include "tst_store_merge.moc"
