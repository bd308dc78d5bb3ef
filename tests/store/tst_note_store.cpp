#include "../full_note.h"
#include "../note_titles.h"
#include "../read_only_folder.h"
#include "../test_files.h"
#include "base/app_error.h"
#include "store/note_store.h"
#include "store/profile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

NoteDefaults testDefaults()
{
    NoteDefaults defaults;
    defaults.width = 250;
    defaults.height = 190;
    defaults.opacity = 200;
    defaults.color = 0x00123456;
    defaults.soundFile = QStringLiteral("/opt/quillet/alarm/alarm.mp3");
    return defaults;
}

NoteRecord defaultNote(const NoteDefaults &defaults)
{
    NoteRecord note;
    note.width = defaults.width;
    note.height = defaults.height;
    note.opacity = defaults.opacity;
    note.color = defaults.color;
    note.alarm.soundFile = defaults.soundFile;
    return note;
}

QByteArray randomBytes(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

} // namespace

class TestNoteStore : public QObject {
    Q_OBJECT

private slots:
    void record_everyField_roundTrips()
    {
        Profile profile;
        fullNote().write(profile, QStringLiteral("Stickie7"));
        const Profile reread = Profile::fromBytes(profile.toBytes());
        QString error;
        QVERIFY(NoteRecord::read(reread, QStringLiteral("Stickie7"), testDefaults(), &error) == fullNote());
        QVERIFY(error.isEmpty());
    }

    void toBytes_writesTotalFirstAndKeysInOrder()
    {
        const QByteArray expected = "[Stickies]\r\nTotal=2\r\n"
                                    "[Stickie1]\r\nTitle=\" 'Shopping' list \"\r\nLeft=-12\r\nTop=34\r\n"
                                    "Width=321\r\nHeight=123\r\nOpacity=128\r\nColor=0x00C0FFFF\r\n"
                                    "Stay On Top=1\r\nLock Text=1\r\nAlarm=1\r\nCountdown=0\r\nCountStart=15\r\n"
                                    "Period=3\r\nDate=24/12/2025\r\nTime=18:30:00\r\nPlay Sound=1\r\n"
                                    "Sound File=/home/me/My Sounds/bell.wav\r\n"
                                    "Text={\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 milk\\par eggs "
                                    "\\'e9\\par}\r\n"
                                    "[Stickie2]\r\nTitle=\r\nLeft=0\r\nTop=0\r\nWidth=240\r\nHeight=180\r\n"
                                    "Opacity=255\r\nColor=clWhite\r\nStay On Top=0\r\nLock Text=0\r\nAlarm=0\r\n"
                                    "Countdown=1\r\nCountStart=1\r\nPeriod=0\r\nDate=\r\nTime=\r\nPlay Sound=0\r\n"
                                    "Sound File=\r\nText=\r\n";
        NoteRecord white;
        white.color = 0x00FFFFFF;
        QCOMPARE(NoteStore::toBytes({fullNote(), white}), expected);
        QCOMPARE(NoteStore::toBytes({}), QByteArray("[Stickies]\r\nTotal=0\r\n"));
    }

    void load_totalAndSections_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("titles");

        const QByteArray one = "[Stickie1]\r\nTitle=one\r\n";
        const QByteArray two = "[Stickie2]\r\nTitle=two\r\n";
        const QByteArray three = "[Stickie3]\r\nTitle=three\r\n";
        QTest::newRow("gap gives a default note, section above Total follows")
            << "[Stickies]\r\nTotal=2\r\n" + one + three << QStringList({"one", "", "three"});
        QTest::newRow("missing first section") << "[Stickies]\r\nTotal=2\r\n" + two << QStringList({"", "two"});
        QTest::newRow("sections above a stale Total follow in number order")
            << "[Stickies]\r\nTotal=2\r\n" + one + "[Stickie5]\r\nTitle=five\r\n" + three + two
            << QStringList({"one", "two", "three", "five"});
        QTest::newRow("negative Total counts every section")
            << "[Stickies]\r\nTotal=-5\r\n" + one + three << QStringList({"one", "", "three"});
        QTest::newRow("huge Total stops at the last section")
            << "[Stickies]\r\nTotal=2000000000\r\n" + one + two + three << QStringList({"one", "two", "three"});
        QTest::newRow("Total past the last section") << "[Stickies]\r\nTotal=4\r\n" + two << QStringList({"", "two"});
        QStringList farTitles(1002, QString());
        farTitles.first() = QStringLiteral("one");
        farTitles.last() = QStringLiteral("far");
        QTest::newRow("far section gets at most 1000 default notes before it")
            << "[Stickies]\r\nTotal=2000000000\r\n" + one + "[Stickie2000000000]\r\nTitle=far\r\n"
            << farTitles;
        QTest::newRow("no Total counts every section") << "[Stickies]\r\n" + one + two << QStringList({"one", "two"});
        QTest::newRow("Total not a number counts every section")
            << "[Stickies]\r\nTotal=many\r\n" + one << QStringList({"one"});
        QTest::newRow("Total zero keeps the sections") << "[Stickies]\r\nTotal=0\r\n" + one << QStringList({"one"});
        QTest::newRow("Total in hexadecimal")
            << "[Stickies]\r\nTotal=$2\r\n" + one + two << QStringList({"one", "two"});
        QTest::newRow("names in other case")
            << QByteArray("[STICKIES]\r\ntotal=1\r\n[stickie1]\r\ntitle=one\r\n") << QStringList({"one"});
        QTest::newRow("leading zero is another section")
            << QByteArray("[Stickies]\r\nTotal=1\r\n[Stickie01]\r\nTitle=one\r\n") << QStringList();
    }
    void load_totalAndSections()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, titles);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stickies.ini"));
        writeFile(path, file);
        const NoteStore::LoadResult result = NoteStore::load(path, testDefaults());
        QCOMPARE(::titles(result.notes), titles);
        QVERIFY(result.errors.isEmpty());
        for (const NoteRecord &note : result.notes) {
            if (note.title.isEmpty())
                QVERIFY(note == defaultNote(testDefaults()));
        }
    }

    void load_missingStore_givesNoNotes()
    {
        QTemporaryDir dir;
        const NoteStore::LoadResult result = NoteStore::load(dir.filePath(QStringLiteral("stickies.ini")), {});
        QVERIFY(result.notes.isEmpty());
        QVERIFY(result.errors.isEmpty());
    }

    void load_badColor_keepsOtherNotes_data()
    {
        QTest::addColumn<QByteArray>("color");
        QTest::newRow("unknown name") << QByteArray("Color=purple\r\n");
        QTest::newRow("present but empty") << QByteArray("Color=\r\n");
    }
    void load_badColor_keepsOtherNotes()
    {
        QFETCH(QByteArray, color);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stickies.ini"));
        writeFile(path, "[Stickies]\r\nTotal=3\r\n"
                        "[Stickie1]\r\nTitle=one\r\nColor=clRed\r\n"
                        "[Stickie2]\r\nTitle=two\r\n" +
                            color + "Opacity=9\r\n[Stickie3]\r\nTitle=three\r\nColor=clLime\r\n");
        const NoteStore::LoadResult result = NoteStore::load(path, testDefaults());

        const QString text = Profile::cleanValue(QString::fromLatin1(color.mid(6).trimmed()));
        QCOMPARE(result.errors, QStringList({QStringLiteral("'%1' is not a valid integer value").arg(text)}));
        QCOMPARE(titles(result.notes), QStringList({"one", "two", "three"}));
        QCOMPARE(result.notes[0].color, quint32(0x000000FF));
        QCOMPARE(result.notes[1].color, testDefaults().color);
        QCOMPARE(result.notes[1].opacity, 9); // keys after the bad colour are still read
        QCOMPARE(result.notes[2].color, quint32(0x0000FF00));
    }

    void read_colorAndOpacity_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<quint32>("color");
        QTest::addColumn<int>("opacity");

        const int fallbackOpacity = testDefaults().opacity;
        QTest::newRow("name") << QByteArray("Color=clWhite") << quint32(0x00FFFFFF) << fallbackOpacity;
        QTest::newRow("name in lower case") << QByteArray("Color=clwhite") << quint32(0x00FFFFFF) << fallbackOpacity;
        QTest::newRow("decimal") << QByteArray("Color=16777215") << quint32(0x00FFFFFF) << fallbackOpacity;
        QTest::newRow("hex, opacity missing")
            << QByteArray("Color=0x00C0FFFF") << quint32(0x00C0FFFF) << fallbackOpacity;
        QTest::newRow("quoted") << QByteArray("Color= \"clRed\" ") << quint32(0x000000FF) << fallbackOpacity;
        QTest::newRow("missing colour") << QByteArray("Opacity=0x80") << testDefaults().color << 128;
        QTest::newRow("opacity not range-checked") << QByteArray("Opacity=999") << testDefaults().color << 999;
        QTest::newRow("opacity not a number") << QByteArray("Opacity=half") << testDefaults().color << fallbackOpacity;
    }
    void read_colorAndOpacity()
    {
        QFETCH(QByteArray, lines);
        QFETCH(quint32, color);
        QFETCH(int, opacity);
        QString error;
        const NoteRecord note = NoteRecord::read(Profile::fromBytes("[Stickie1]\r\n" + lines + "\r\n"),
                                                 QStringLiteral("Stickie1"), testDefaults(), &error);
        QCOMPARE(note.color, color);
        QCOMPARE(note.opacity, opacity);
        QVERIFY(error.isEmpty());
    }

    void read_missingKeysGiveDefaults_presentEmptyTextsStayEmpty()
    {
        const NoteDefaults defaults = testDefaults();
        const Profile profile = Profile::fromBytes("[Bare]\r\n[Odd]\r\nSound File=\r\nWidth=wide\r\n"
                                                   "Countdown=\r\nCountStart=x\r\nTitle=\r\n");
        QVERIFY(NoteRecord::read(profile, QStringLiteral("Bare"), defaults) == defaultNote(defaults));
        QVERIFY(NoteRecord::read(profile, QStringLiteral("Missing"), defaults) == defaultNote(defaults));

        const NoteRecord odd = NoteRecord::read(profile, QStringLiteral("Odd"), defaults);
        QCOMPARE(odd.alarm.soundFile, QString());
        QCOMPARE(odd.width, defaults.width);
        QCOMPARE(odd.alarm.countdown, true);
        QCOMPARE(odd.alarm.countStart, 1);
    }

    void save_rewritesStoreWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stickies.ini"));
        writeFile(path, "[Other]\r\nKey=1\r\n[Stickies]\r\nTotal=3\r\n[Stickie1]\r\nTitle=a\r\n"
                        "[Stickie2]\r\nTitle=b\r\n[Stickie3]\r\nTitle=c\r\n");
        NoteRecord note;
        note.title = QStringLiteral("only");
        NoteStore::save(path, {note});
        QCOMPARE(readFile(path), NoteStore::toBytes({note}));
        QCOMPARE(titles(NoteStore::load(path, {}).notes), QStringList({"only"}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"stickies.ini"}));
    }

    void save_readOnlyFolder_throwsAndKeepsStoreIntact()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stickies.ini"));
        NoteStore::save(path, {fullNote(), fullNote()});
        const QByteArray old = readFile(path);

        QString message;
        {
            ReadOnlyFolder readOnly(dir.path());
            if (!readOnly.isEffective())
                QSKIP("cannot make a folder unwritable here");
            try {
                NoteStore::save(path, {});
            } catch (const AppError &error) {
                message = error.message();
            }
        }
        QCOMPARE(message, QStringLiteral("Unable to write to ") + QFileInfo(path).absoluteFilePath());
        QCOMPARE(readFile(path), old);
    }

    void stickieFile_roundTripsInItsOwnSection()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("note.stc"));
        writeFile(path, "[Stickie]\r\nTitle=old\r\nExtra=1\r\n[Stickies]\r\nTotal=1\r\n");
        NoteStore::saveStickieFile(path, fullNote());
        const QByteArray bytes = readFile(path);
        QVERIFY(bytes.startsWith("[Stickie]\r\nTitle="));
        QVERIFY(!bytes.contains("Extra"));
        QVERIFY(!bytes.contains("Total"));
        QCOMPARE(Profile::fromBytes(bytes).sections(), QStringList({"Stickie"}));

        QString error;
        QVERIFY(NoteStore::loadStickieFile(path, testDefaults(), &error) == fullNote());
        QVERIFY(error.isEmpty());
    }

    void stickieFile_copyOfStore_opensWithEveryDefault()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("copy.stc"));
        NoteStore::save(path, {fullNote()});
        QVERIFY(NoteStore::loadStickieFile(path, testDefaults()) == defaultNote(testDefaults()));
        QVERIFY(NoteStore::loadStickieFile(dir.filePath(QStringLiteral("missing.stc")), testDefaults()) ==
                defaultNote(testDefaults()));
    }

    void load_badInput_showsReadableNotesAndSaveKeepsThem_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("titles");

        const QByteArray head = "[Stickies]\r\nTotal=2\r\n";
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("binary") << randomBytes(32 * 1024, 7) << QStringList();
        QTest::newRow("binary around the store")
            << randomBytes(4096, 11) + "\r\n" + head + "[Stickie1]\r\nTitle=a\r\n[Stickie2]\r\nTitle=b\r\n" +
                   randomBytes(4096, 13)
            << QStringList({"a", "b"});
        QTest::newRow("truncated mid-line")
            << head + "[Stickie1]\r\nTitle=a\r\n[Stickie2]\r\nTitle=b\r\nText={\\rt" << QStringList({"a", "b"});
        QTest::newRow("truncated in a header")
            << head + "[Stickie1]\r\nTitle=a\r\n[Stickie2]\r\nTitle=b\r\n[Stick" << QStringList({"a", "b"});
        QTest::newRow("negative Total") << QByteArray("[Stickies]\r\nTotal=-5\r\n[Stickie1]\r\nTitle=a\r\n")
                                        << QStringList({"a"});
        QTest::newRow("huge Total")
            << QByteArray("[Stickies]\r\nTotal=2000000000\r\n[Stickie1]\r\nTitle=a\r\n[Stickie2]\r\nTitle=b\r\n")
            << QStringList({"a", "b"});
        QTest::newRow("CR line ends") << QByteArray("[Stickies]\rTotal=2\r[Stickie1]\rTitle=a\r[Stickie2]\rTitle=b\r")
                                      << QStringList({"a", "b"});
        QTest::newRow("LF line ends") << QByteArray("[Stickies]\nTotal=2\n[Stickie1]\nTitle=a\n[Stickie2]\nTitle=b\n")
                                      << QStringList({"a", "b"});
        QTest::newRow("keys without equals")
            << head + "Total\r\n[Stickie1]\r\nTitle\r\nTitle=a\r\nLeft\r\n[Stickie2]\r\nTitle=b\r\n"
            << QStringList({"a", "b"});
        QTest::newRow("invalid UTF-8") << head + "[Stickie1]\r\nTitle=caf\xE9\r\n[Stickie2]\r\nTitle=\x80\r\n"
                                       << QStringList(
                                              {QString::fromUtf8("caf\xC3\xA9"), QString::fromUtf8("\xE2\x82\xAC")});
        QTest::newRow("1 MB text") << head + "[Stickie1]\r\nTitle=a\r\nText={\\rtf1 " + QByteArray(1 << 20, 'x') +
                                          "}\r\n[Stickie2]\r\nTitle=b\r\n"
                                   << QStringList({"a", "b"});
        QTest::newRow("NUL bytes") << head + QByteArrayLiteral("[Stickie1]\r\nTitle=a\0\r\n[Stickie2]\r\nTitle=b\r\n")
                                   << QStringList({QStringLiteral("a") + QChar(0), "b"});
        QTest::newRow("bad colour") << head + "[Stickie1]\r\nTitle=a\r\nColor=?\r\n[Stickie2]\r\nTitle=b\r\n"
                                    << QStringList({"a", "b"});
    }
    void load_badInput_showsReadableNotesAndSaveKeepsThem()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, titles);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stickies.ini"));
        writeFile(path, file);

        const NoteStore::LoadResult first = NoteStore::load(path, testDefaults());
        QCOMPARE(::titles(first.notes), titles);
        NoteStore::save(path, first.notes);
        const NoteStore::LoadResult second = NoteStore::load(path, testDefaults());
        QCOMPARE(second.notes.size(), first.notes.size());
        for (qsizetype i = 0; i < first.notes.size(); ++i)
            QVERIFY2(second.notes.at(i) == first.notes.at(i), qPrintable(QString::number(i + 1)));
        QVERIFY(second.errors.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNoteStore)
#include "tst_note_store.moc"
