#include "model/note_list.h"
#include "model/note_search.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

NoteRecord note(const QString &title, const QString &text)
{
    NoteRecord record;
    record.title = title;
    record.text = text;
    return record;
}

} // namespace

// Which notes the words typed into "Find..." find, read from the notes' plain text.
class TestNoteSearch : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    std::unique_ptr<NoteList> makeList() const
    {
        auto list =
            std::make_unique<NoteList>(m_dir.filePath(QStringLiteral("stickies.ini")), m_dir.path() + QLatin1Char('/'));
        list->add(note(QStringLiteral("Shopping"),
                       QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Buy milk and \\b bread\\b0\\par "
                                      "Caf\\'e9 at noon}")));
        list->add(note(QString::fromUtf8("Été plans"), QStringLiteral("Trip to the sea")));
        list->add(note(QStringLiteral("Work"), QString::fromUtf8("Send Bob the RÉSUMÉ")));
        list->add(note(QStringLiteral("Empty"), QString()));
        return list;
    }

private slots:
    void find_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found");
        const QStringList all{"Shopping", QString::fromUtf8("Été plans"), "Work", "Empty"};
        QTest::newRow("no words: every note") << "  " << all;
        QTest::newRow("a word of the text") << "milk" << QStringList{"Shopping"};
        QTest::newRow("letter case aside") << "MiLK" << QStringList{"Shopping"};
        QTest::newRow("accented, as typed") << QString::fromUtf8("café") << QStringList{"Shopping"};
        QTest::newRow("accented capital") << QString::fromUtf8("CAFÉ") << QStringList{"Shopping"};
        QTest::newRow("accented capital in the text") << QString::fromUtf8("résumé") << QStringList{"Work"};
        QTest::newRow("no accent finds no accented letter") << "cafe" << QStringList{};
        QTest::newRow("accented title, case aside")
            << QString::fromUtf8("éTÉ") << QStringList{QString::fromUtf8("Été plans")};
        QTest::newRow("several words, blanks round them") << " bread \t milk " << QStringList{"Shopping"};
        QTest::newRow("every word must be there") << "milk sea" << QStringList{};
        QTest::newRow("one word in the title, one in the text")
            << "plans sea" << QStringList{QString::fromUtf8("Été plans")};
        QTest::newRow("a part of a word") << "rip" << QStringList{QString::fromUtf8("Été plans")};
        QTest::newRow("words of the second line") << "noon" << QStringList{"Shopping"};
        QTest::newRow("the RTF's own words are no text") << "fonttbl" << QStringList{};
        QTest::newRow("the RTF's formatting does not split words") << "and bread" << QStringList{"Shopping"};
    }
    void find()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, found);
        const std::unique_ptr<NoteList> list = makeList();
        QStringList titles;
        for (const Note *match : NoteSearch::find(*list, query))
            titles.append(match->title());
        QCOMPARE(titles, found);
    }

    // The plain text read once is read again after a change, whoever changed the note.
    void find_followsChangesOfTheText()
    {
        const std::unique_ptr<NoteList> list = makeList();
        QCOMPARE(NoteSearch::find(*list, QStringLiteral("milk")).size(), 1);
        list->at(0)->setRecord(note(QStringLiteral("Shopping"), QStringLiteral("{\\rtf1 Buy oat drink}")));
        QCOMPARE(NoteSearch::find(*list, QStringLiteral("milk")).size(), 0);
        QCOMPARE(NoteSearch::find(*list, QStringLiteral("oat")).size(), 1);
        // A window's edit reaches the note through its live text and a change signal.
        QString live = QStringLiteral("typed words");
        list->at(3)->setLiveState([&live](NoteRecord &record) { record.text = live; });
        list->at(3)->markChanged();
        QCOMPARE(NoteSearch::find(*list, QStringLiteral("typed")).value(0), list->at(3));
        live = QStringLiteral("other words");
        list->at(3)->markChanged();
        QCOMPARE(NoteSearch::find(*list, QStringLiteral("typed")).size(), 0);
        list->at(3)->setLiveState({});
    }

    void firstMatch_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("length");
        QTest::newRow("the earliest of the words") << "sea trip"
                                                   << "Trip to the sea" << 0 << 4;
        QTest::newRow("the longer of two at one place") << "tri trip"
                                                        << "a trip" << 2 << 4;
        QTest::newRow("a later line") << "noon" << QString::fromUtf8("milk\nCafé at noon") << 13 << 4;
        QTest::newRow("only in the title") << "plans"
                                           << "Trip to the sea" << -1 << 0;
    }
    void firstMatch()
    {
        QFETCH(QString, query);
        QFETCH(QString, text);
        QFETCH(int, position);
        QFETCH(int, length);
        const NoteSearch::Match match = NoteSearch::firstMatch(NoteSearch::words(query), text);
        QCOMPARE(int(match.position), position);
        QCOMPARE(int(match.length), length);
    }
};

QTEST_GUILESS_MAIN(TestNoteSearch)
#include "tst_note_search.moc"
