#include "../test_files.h"
#include "alarm/cmx_id3.h"
#include "base/app_error.h"
#include "mp3_files.h"
#include "platform/gui/mp3_length.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A tag laid out by hand, byte by byte, so the tests do not take the layout from the code they test.
QByteArray tagBytes(const QByteArray &title, const QByteArray &artist, const QByteArray &album, const QByteArray &year,
                    const QByteArray &comment, quint8 track, quint8 genre)
{
    QByteArray tag("TAG");
    for (const auto &[text, width] : {std::pair{title, 30}, {artist, 30}, {album, 30}, {year, 4}, {comment, 28}})
        tag += text.leftJustified(width, '\0', true);
    tag += '\0';
    tag += char(track);
    tag += char(genre);
    return tag;
}

const QByteArray audio(300, char(0xFF));

} // namespace

class TestCmxID3 : public QObject {
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("texts"); // title, artist, album, year, comment
        QTest::addColumn<int>("track");
        QTest::addColumn<int>("genre");

        const QStringList none{"", "", "", "", ""};
        QTest::newRow("no tag") << audio << none << 0 << 0;
        QTest::newRow("empty file") << QByteArray() << none << 0 << 0;
        QTest::newRow("shorter than a tag") << QByteArray("TAG") + QByteArray(100, 'x') << none << 0 << 0;
        QTest::newRow("TAG at the start only") << QByteArray("TAG") + audio << none << 0 << 0;
        QTest::newRow("tag after audio") << audio + tagBytes("Title", "Artist", "Album", "1999", "Comment", 7, 17)
                                         << QStringList{"Title", "Artist", "Album", "1999", "Comment"} << 7 << 17;
        QTest::newRow("tag alone") << tagBytes("T", "", "", "", "", 255, 255) << QStringList{"T", "", "", "", ""} << 255
                                   << 255;
        QTest::newRow("fields filled to their widths")
            << audio + tagBytes(QByteArray(30, 't'), QByteArray(30, 'a'), QByteArray(30, 'b'), "2024",
                                QByteArray(28, 'c'), 1, 2)
            << QStringList{QString(30, 't'), QString(30, 'a'), QString(30, 'b'), "2024", QString(28, 'c')} << 1 << 2;
        QTest::newRow("8-bit texts") << tagBytes("Caf\xE9", "\x80uro", "", "", "", 0, 0)
                                     << QStringList{QStringLiteral("Café"), QStringLiteral("€uro"), "", "", ""} << 0
                                     << 0;
    }
    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, texts);
        QFETCH(int, track);
        QFETCH(int, genre);
        QTemporaryDir dir;
        const QString path = dir.filePath("song.mp3");
        writeFile(path, file);
        const TcmxID3 tag = TcmxID3::read(path);
        QCOMPARE((QStringList{tag.getTitle(), tag.getArtist(), tag.getAlbum(), tag.getYear(), tag.getComment()}),
                 texts);
        QCOMPARE(int(tag.getTrack()), track);
        QCOMPARE(int(tag.getGenreNdx()), genre);
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("kept"); // the bytes in front of the new tag

        const QByteArray oldTag = tagBytes("Old", "Old", "Old", "1970", "Old", 9, 9);
        QTest::newRow("no tag: appended") << audio << audio;
        QTest::newRow("empty file: appended") << QByteArray() << QByteArray();
        QTest::newRow("short file: appended") << QByteArray("TAGshort") << QByteArray("TAGshort");
        QTest::newRow("tag: overwritten in place") << audio + oldTag << audio;
        QTest::newRow("tag alone: overwritten") << oldTag << QByteArray();
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath("song.mp3");
        writeFile(path, before);
        TcmxID3::fromFields("New title", "New artist", "New album", "New comment", 2025, 3, 147).write(path);
        QCOMPARE(readFile(path),
                 kept + tagBytes("New title", "New artist", "New album", "2025", "New comment", 3, 147));
    }

    void fromFields_cutsTextsToTheirFields()
    {
        const TcmxID3 tag =
            TcmxID3::fromFields(QString(40, 't'), QString(31, 'a'), QString(30, 'b'), QString(29, 'c'), 123456, 0, 0);
        QCOMPARE(tag.bytes(), tagBytes(QByteArray(30, 't'), QByteArray(30, 'a'), QByteArray(30, 'b'), "1234",
                                       QByteArray(28, 'c'), 0, 0));
        // Characters outside the 8-bit code page are replaced, not dropped, so the texts keep their lengths.
        QCOMPARE(TcmxID3::fromFields(QStringLiteral("Grüße Ω"), "", "", "", -5, 0, 0).bytes(),
                 tagBytes("Gr\xFC\xDF\x65 ?", "", "", "-5", "", 0, 0));
    }

    void write_unopenable_throwsCannotOpen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("missing/song.mp3");
        try {
            TcmxID3().write(path);
            QFAIL("no error");
        } catch (const AppError &error) {
            QCOMPARE(error.message(), "Cannot open file " + path);
        }
    }

    void genreText_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << 0 << "Blues";
        QTest::newRow("40") << 40 << "AlternRock";
        QTest::newRow("last of the first list") << 79 << "Hard Rock";
        QTest::newRow("first of the extension") << 80 << "Folk";
        QTest::newRow("141 without trailing space") << 141 << "Christian Rock";
        QTest::newRow("last") << 147 << "Synthpop";
        QTest::newRow("past the last") << 148 << "148";
        QTest::newRow("negative") << -1 << "-1";
    }
    void genreText()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QCOMPARE(TcmxID3::getGenreText(index), text);
        QCOMPARE(TcmxID3::MaxGenreID(), 147);
    }

    void length_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QStringList>("lameOptions");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::addColumn<bool>("withTag");

        // lame's information frame lets the decoder drop the encoder's delay and padding; without it they are
        // part of what plays (up to three 72 ms frames at 8 kHz).
        QTest::newRow("CBR, encoder information") << 205.9 << QStringList{"-b", "24"} << 205899 << 205901 << false;
        QTest::newRow("VBR, encoder information") << 205.9 << QStringList{"-V", "9"} << 205899 << 205901 << false;
        QTest::newRow("CBR, no encoder information")
            << 205.5 << QStringList{"-b", "24", "-t"} << 205500 << 205716 << false;
        QTest::newRow("VBR, ID3 tag") << 2.0 << QStringList{"-V", "9"} << 1999 << 2001 << true;
        QTest::newRow("short") << 0.5 << QStringList{"-b", "24"} << 499 << 501 << false;
    }
    void length()
    {
        QFETCH(double, seconds);
        QFETCH(QStringList, lameOptions);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QFETCH(bool, withTag);
        QTemporaryDir dir;
        const QString path = dir.filePath("tone.mp3");
        makeMp3(path, seconds, lameOptions);
        if (withTag)
            TcmxID3::fromFields("Title", "", "", "", 2000, 1, 1).write(path);
        const Mp3Length length = Mp3Length::measure(path);
        QVERIFY2(length.ok(), qPrintable(length.errorText));
        QVERIFY2(length.milliseconds >= minMs && length.milliseconds <= maxMs,
                 qPrintable(QString::number(length.milliseconds)));
    }

    void shippedAlarmSound_isAShortMp3()
    {
        const QString path = QStringLiteral(QUILLET_TEST_DATA "/../../resources/alarm/alarm.mp3");
        const Mp3Length length = Mp3Length::measure(path);
        QVERIFY2(length.ok(), qPrintable(length.errorText));
        QVERIFY(length.milliseconds >= 1000 && length.milliseconds <= 3000);
        QVERIFY(QFileInfo(path).size() < 50 * 1024);
        QCOMPARE(TcmxID3::read(path).getTitle(), "Alarm");
    }

    void length_notMp3_failsWithDecoderError_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("[Stickies]\r\nTotal=0\r\n").repeated(100);
        QTest::newRow("only a tag") << tagBytes("Title", "", "", "", "", 0, 0);
        QTest::newRow("50 MB of zeros") << QByteArray(50 * 1024 * 1024, '\0');
    }
    void length_notMp3_failsWithDecoderError()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath("not.mp3");
        writeFile(path, content);
        QElapsedTimer clock;
        clock.start();
        const Mp3Length length = Mp3Length::measure(path);
        QVERIFY(!length.ok());
        QVERIFY(!length.errorText.isEmpty());
        QCOMPARE(length.milliseconds, 0);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    void length_notAFile_fails()
    {
        QTemporaryDir dir;
        QVERIFY(!Mp3Length::measure(dir.path()).ok());
        QVERIFY(!Mp3Length::measure(dir.filePath("missing.mp3")).ok());
    }

    void length_truncatedAndLargeFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("tone.mp3");
        makeMp3(path, 10.0, {"-b", "24"});
        const QByteArray whole = readFile(path);

        // Cut in the middle of a frame: the frames before the cut still count.
        writeFile(path, whole.left(whole.size() / 2 + 17));
        const Mp3Length half = Mp3Length::measure(path);
        QVERIFY(half.ok());
        QVERIFY2(half.milliseconds > 4500 && half.milliseconds < 5500, qPrintable(QString::number(half.milliseconds)));

        // About 50 MB of audio (the tone over and over): every frame is read, in well under a second here.
        const qsizetype copies = 50 * 1024 * 1024 / whole.size();
        writeFile(path, whole.repeated(copies));
        QElapsedTimer clock;
        clock.start();
        const Mp3Length large = Mp3Length::measure(path);
        qInfo("50 MB measured in %lld ms", clock.elapsed());
        QVERIFY(large.ok());
        // Each copy's own delay and information frame play too: a little over ten seconds a copy.
        QVERIFY2(large.milliseconds >= copies * 10000 && large.milliseconds < copies * 10300,
                 qPrintable(QString::number(large.milliseconds)));
    }
};

QTEST_GUILESS_MAIN(TestCmxID3)
#include "tst_cmx_id3.moc"
