#include "../read_only_folder.h"
#include "../test_files.h"
#include "base/app_error.h"
#include "store/profile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

const QString missing = QStringLiteral("<default>");

} // namespace

class TestProfile : public QObject {
    Q_OBJECT

private slots:
    void readString_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QByteArray("[S]\r\nK=v\r\n") << "S"
                               << "K"
                               << "v";
        QTest::newRow("names ignore case") << QByteArray("[Stickies]\r\nTotal=3\r\n") << "STICKIES"
                                           << "total"
                                           << "3";
        QTest::newRow("blanks around value dropped") << QByteArray("[S]\r\nK= \t v w \t\r\n") << "S"
                                                     << "K"
                                                     << "v w";
        QTest::newRow("blanks around key dropped") << QByteArray("[S]\r\n  K \t= v\r\n") << "S"
                                                   << "K"
                                                   << "v";
        QTest::newRow("double quotes removed") << QByteArray("[S]\r\nK=\"a b\"\r\n") << "S"
                                               << "K"
                                               << "a b";
        QTest::newRow("single quotes removed") << QByteArray("[S]\r\nK='a'\r\n") << "S"
                                               << "K"
                                               << "a";
        QTest::newRow("only one pair removed") << QByteArray("[S]\r\nK=\"\"a\"\"\r\n") << "S"
                                               << "K"
                                               << "\"a\"";
        QTest::newRow("blanks inside quotes kept") << QByteArray("[S]\r\nK=\" a \"\r\n") << "S"
                                                   << "K"
                                                   << " a ";
        QTest::newRow("quotes after trimming") << QByteArray("[S]\r\nK=  'a'  \r\n") << "S"
                                               << "K"
                                               << "a";
        QTest::newRow("mismatched quotes kept") << QByteArray("[S]\r\nK=\"a'\r\n") << "S"
                                                << "K"
                                                << "\"a'";
        QTest::newRow("empty quotes are an empty value") << QByteArray("[S]\r\nK=\"\"\r\n") << "S"
                                                         << "K"
                                                         << "";
        QTest::newRow("lone quote kept") << QByteArray("[S]\r\nK=\"\r\n") << "S"
                                         << "K"
                                         << "\"";
        QTest::newRow("inner equals kept") << QByteArray("[S]\r\nK=a=b\r\n") << "S"
                                           << "K"
                                           << "a=b";
        QTest::newRow("present but empty") << QByteArray("[S]\r\nK=\r\n") << "S"
                                           << "K"
                                           << "";
        QTest::newRow("missing key") << QByteArray("[S]\r\nJ=v\r\n") << "S"
                                     << "K" << missing;
        QTest::newRow("missing section") << QByteArray("[T]\r\nK=v\r\n") << "S"
                                         << "K" << missing;
        QTest::newRow("key of another section") << QByteArray("[S]\r\n[T]\r\nK=v\r\n") << "S"
                                                << "K" << missing;
        QTest::newRow("key before any section") << QByteArray("K=v\r\n[S]\r\n") << "S"
                                                << "K" << missing;
        QTest::newRow("line without equals") << QByteArray("[S]\r\nK\r\n") << "S"
                                             << "K" << missing;
        QTest::newRow("blank key ignored") << QByteArray("[S]\r\n = v\r\n") << "S"
                                           << "" << missing;
        QTest::newRow("first duplicate key wins") << QByteArray("[S]\r\nK=1\r\nk=2\r\n") << "S"
                                                  << "K"
                                                  << "1";
        QTest::newRow("first duplicate section wins") << QByteArray("[S]\r\nK=1\r\n[s]\r\nK=2\r\n") << "S"
                                                      << "K"
                                                      << "1";
        QTest::newRow("blanks inside brackets") << QByteArray("  [ S ]  \r\nK=v\r\n") << "S"
                                                << "K"
                                                << "v";
        QTest::newRow("LF line ends") << QByteArray("[S]\nA=1\nK=v\n") << "S"
                                      << "K"
                                      << "v";
        QTest::newRow("CR line ends") << QByteArray("[S]\rA=1\rK=v\r") << "S"
                                      << "K"
                                      << "v";
        QTest::newRow("mixed line ends") << QByteArray("[T]\rA=1\n[S]\r\n\r\rK=v") << "S"
                                         << "K"
                                         << "v";
        QTest::newRow("no line end at all") << QByteArray("[S]\r\nK=v") << "S"
                                            << "K"
                                            << "v";
        QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF[S]\r\nK=v\r\n") << "S"
                                               << "K"
                                               << "v";
        QTest::newRow("byte order mark before invalid UTF-8") << QByteArray("\xEF\xBB\xBF[S]\r\nK=\xE9\r\n") << "S"
                                                              << "K" << QString::fromUtf8("\xC3\xA9");
        QTest::newRow("UTF-8") << QByteArray("[S]\r\nK=caf\xC3\xA9 \xE2\x82\xAC\r\n") << "S"
                               << "K" << QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC");
        QTest::newRow("invalid UTF-8 is Windows-1252")
            << QByteArray("[S]\r\nK=caf\xE9 \x80 \x93x\x94\r\n") << "S"
            << "K" << QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
        QTest::newRow("overlong UTF-8 is Windows-1252") << QByteArray("[S]\r\nK=\xC0\xAF\r\n") << "S"
                                                        << "K" << QString::fromUtf8("\xC3\x80\xC2\xAF");
        QTest::newRow("NUL bytes kept") << QByteArrayLiteral("[S]\r\nK=a\0b\r\n") << "S"
                                        << "K" << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
        QTest::newRow("header cut short keeps earlier key") << QByteArray("[S]\r\nK=1\r\n[T\r\nK=2\r\n") << "S"
                                                            << "K"
                                                            << "1";
    }
    void readString()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const Profile profile = Profile::fromBytes(file);
        QCOMPARE(profile.readString(section, key, missing), expected);
        QCOMPARE(profile.hasKey(section, key), expected != missing);
    }

    void parseInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");

        QTest::newRow("zero") << "0" << true << 0;
        QTest::newRow("decimal") << "42" << true << 42;
        QTest::newRow("leading zeros") << "007" << true << 7;
        QTest::newRow("negative") << "-5" << true << -5;
        QTest::newRow("leading blanks") << "  7" << true << 7;
        QTest::newRow("0x") << "0x80" << true << 128;
        QTest::newRow("0X") << "0X80" << true << 128;
        QTest::newRow("dollar") << "$FF" << true << 255;
        QTest::newRow("lower-case hex digits") << "$ff" << true << 255;
        QTest::newRow("hex is a bit pattern") << "0xFFFFFFFF" << true << -1;
        QTest::newRow("system colour") << "0x80000005" << true << int(0x80000005u);
        QTest::newRow("negated hex") << "-$10" << true << -16;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
        QTest::newRow("overflow") << "2147483648" << false << 0;
        QTest::newRow("negative overflow") << "-2147483649" << false << 0;
        QTest::newRow("huge") << "99999999999999999999999" << false << 0;
        QTest::newRow("nine hex digits") << "0x123456789" << false << 0;
        QTest::newRow("trailing letters") << "12abc" << false << 0;
        QTest::newRow("trailing blank") << "12 " << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("only minus") << "-" << false << 0;
        QTest::newRow("prefix without digits") << "0x" << false << 0;
        QTest::newRow("dollar without digits") << "$" << false << 0;
        QTest::newRow("bad hex digit") << "0x1G" << false << 0;
        QTest::newRow("plus sign") << "+5" << false << 0;
        QTest::newRow("fraction") << "1.5" << false << 0;
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xD9\xA3") << false << 0;
    }
    void parseInteger()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        bool parsed = !ok;
        QCOMPARE(Profile::parseInteger(text, &parsed), value);
        QCOMPARE(parsed, ok);
    }

    void readIntegerAndBool_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("integer");
        QTest::addColumn<bool>("boolean");

        // Defaults are 77 and true.
        QTest::newRow("decimal") << QByteArray("K=12") << 12 << true;
        QTest::newRow("zero is false") << QByteArray("K=0") << 0 << false;
        QTest::newRow("any other number is true") << QByteArray("K=-1") << -1 << true;
        QTest::newRow("hex zero") << QByteArray("K=0x0") << 0 << false;
        QTest::newRow("blanks and quotes removed first") << QByteArray("K= \"0x10\" ") << 16 << true;
        QTest::newRow("not a number") << QByteArray("K=yes") << 77 << true;
        QTest::newRow("empty") << QByteArray("K=") << 77 << true;
        QTest::newRow("missing") << QByteArray("J=0") << 77 << true;
    }
    void readIntegerAndBool()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, integer);
        QFETCH(bool, boolean);
        const Profile profile = Profile::fromBytes("[S]\r\n" + line + "\r\n");
        QCOMPARE(profile.readInteger(u"S", u"K", 77), integer);
        QCOMPARE(profile.readBool(u"S", u"K", true), boolean);
    }

    void sectionsAndKeys_inFileOrderOncePerName()
    {
        const Profile profile = Profile::fromBytes("[B]\r\nY=1\r\nx=2\r\nY=3\r\n[a]\r\n[b]\r\nZ=4\r\n");
        QCOMPARE(profile.sections(), QStringList({"B", "a"}));
        QCOMPARE(profile.keys(u"b"), QStringList({"Y", "x"}));
        QVERIFY(profile.hasSection(u"A"));
        QVERIFY(!profile.hasSection(u"C"));
        QVERIFY(profile.keys(u"C").isEmpty());
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");

        const QByteArray file("[A]\r\nX=1\r\n[B]\r\nY=2\r\n");
        QTest::newRow("new section at the end") << file << "C"
                                                << "Z" << file + "[C]\r\nZ=v\r\n";
        QTest::newRow("new key at the end of its section") << file << "A"
                                                           << "W" << QByteArray("[A]\r\nX=1\r\nW=v\r\n[B]\r\nY=2\r\n");
        QTest::newRow("existing key replaced in place, spelling kept")
            << file << "a"
            << "x" << QByteArray("[A]\r\nX=v\r\n[B]\r\nY=2\r\n");
        QTest::newRow("first of duplicate keys replaced") << QByteArray("[A]\r\nX=1\r\nX=2\r\n") << "A"
                                                          << "X" << QByteArray("[A]\r\nX=v\r\nX=2\r\n");
        QTest::newRow("new key before blank lines") << QByteArray("[A]\r\nX=1\r\n\r\n\r\n[B]\r\n") << "A"
                                                    << "W" << QByteArray("[A]\r\nX=1\r\nW=v\r\n\r\n\r\n[B]\r\n");
        QTest::newRow("other lines kept, line ends become CR LF")
            << QByteArray("; note\n\n[ A ]\n  X = 1 \nno equals\n[B]\rY=2") << "B"
            << "Y" << QByteArray("; note\r\n\r\n[ A ]\r\n  X = 1 \r\nno equals\r\n[B]\r\nY=v\r\n");
        QTest::newRow("empty file") << QByteArray() << "A"
                                    << "X" << QByteArray("[A]\r\nX=v\r\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        Profile profile = Profile::fromBytes(before);
        profile.writeString(section, key, QStringLiteral("v"));
        QCOMPARE(profile.toBytes(), after);
        QCOMPARE(Profile::fromBytes(profile.toBytes()).readString(section, key), QStringLiteral("v"));
    }

    void writeString_protectsValuesTheReaderWouldChange_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");

        QTest::newRow("plain") << "hello" << QByteArray("K=hello");
        QTest::newRow("empty") << "" << QByteArray("K=");
        QTest::newRow("inner quotes") << "a \"b\" c" << QByteArray("K=a \"b\" c");
        QTest::newRow("outer blanks") << " hello " << QByteArray("K=\" hello \"");
        QTest::newRow("tab") << "\t" << QByteArray("K=\"\t\"");
        QTest::newRow("double-quoted") << "\"quoted\"" << QByteArray("K=\"\"quoted\"\"");
        QTest::newRow("single-quoted") << "'x'" << QByteArray("K=\"'x'\"");
        QTest::newRow("two quotes") << "\"\"" << QByteArray("K=\"\"\"\"");
        QTest::newRow("lone quote") << "\"" << QByteArray("K=\"");
        QTest::newRow("non-ASCII") << QString::fromUtf8("caf\xC3\xA9") << QByteArray("K=caf\xC3\xA9");
    }
    void writeString_protectsValuesTheReaderWouldChange()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        Profile profile;
        profile.writeString(u"S", u"K", value);
        QCOMPARE(profile.toBytes(), "[S]\r\n" + line + "\r\n");
        QCOMPARE(Profile::fromBytes(profile.toBytes()).readString(u"S", u"K"), value);
    }

    void writeString_lineBreaks_cannotInjectLines()
    {
        Profile profile;
        profile.writeString(u"S", u"K", QStringLiteral("a\r\n[Stickies]\r\nTotal=9\nb\rc"));
        const Profile reread = Profile::fromBytes(profile.toBytes());
        QCOMPARE(reread.readString(u"S", u"K"), QStringLiteral("a[Stickies]Total=9bc"));
        QCOMPARE(reread.sections(), QStringList({"S"}));
    }

    void load_largeValue_readAndWrittenWhole()
    {
        const QString big(1024 * 1024, QLatin1Char('x'));
        const Profile profile = Profile::fromBytes("[S]\r\nK=" + big.toLatin1() + "\r\nJ=after\r\n");
        QCOMPARE(profile.readString(u"S", u"K").size(), big.size());
        QCOMPARE(profile.readString(u"S", u"J"), QStringLiteral("after"));

        Profile written;
        written.writeString(u"S", u"K", big + QStringLiteral("end"));
        QCOMPARE(Profile::fromBytes(written.toBytes()).readString(u"S", u"K"), big + QStringLiteral("end"));
    }

    void load_binaryJunk_keepsReadableSection()
    {
        QByteArray junk(64 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(20240229);
        for (char &byte : junk)
            byte = static_cast<char>(generator.bounded(256));
        // Junk lines may well start sections of their own; the readable section comes first so that
        // nothing the junk contains can shadow it.
        const Profile profile = Profile::fromBytes("[Good]\r\nK=v\r\n" + junk + "\r\n[Good2]\r\nK=w\r\n");
        QCOMPARE(profile.readString(u"Good", u"K"), QStringLiteral("v"));
        QCOMPARE(profile.readString(u"Good2", u"K"), QStringLiteral("w"));
        // Whatever it holds, it can be written and read again.
        const Profile again = Profile::fromBytes(profile.toBytes());
        QCOMPARE(again.readString(u"Good", u"K"), QStringLiteral("v"));
        QCOMPARE(again.sections(), profile.sections());
    }

    void load_missingOrEmptyFile_givesDefaults()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("none.ini"));
        QCOMPARE(Profile::load(path).readString(u"S", u"K", missing), missing);
        QCOMPARE(Profile::load(path).path(), path);
        writeFile(path, QByteArray());
        QVERIFY(Profile::load(path).sections().isEmpty());
    }

    void load_presentButUnreadable_throws_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("device") << "device";
        QTest::newRow("dangling link") << "link";
        QTest::newRow("no permission") << "permission";
    }
    void load_presentButUnreadable_throws()
    {
        // Taken for empty, any of these would let the next save replace the notes they may hold.
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("stickies.ini"));
        std::unique_ptr<ReadOnlyFolder> unreadable;
        if (kind == u"folder") {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("stickies.ini")));
        } else if (kind == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); // opening it would block
        } else if (kind == u"device") {
            path = QStringLiteral("/dev/zero"); // reading it would never end
        } else if (kind == u"link") {
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone/stickies.ini")), path));
        } else {
            writeFile(path, "[Stickies]\r\nTotal=1\r\n");
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            unreadable = std::make_unique<ReadOnlyFolder>(dir.path());
            if (!unreadable->isEffective())
                QSKIP("cannot take the read permission away here");
        }
        QString message;
        try {
            Profile::load(path);
        } catch (const AppError &error) {
            message = error.message();
        }
        QCOMPARE(message, QStringLiteral("Cannot open file ") + path);
    }

    void save_writesUtf8AndReadsBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        writeFile(path, "[Old]\r\nK=1\r\n");
        Profile profile = Profile::load(path);
        profile.writeString(u"S", u"K", QString::fromUtf8("\xE2\x82\xAC 5"));
        profile.save();
        QCOMPARE(readFile(path), QByteArray("[Old]\r\nK=1\r\n[S]\r\nK=\xE2\x82\xAC 5\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"a.ini"})); // no temporary left
    }

    void save_unwritableTarget_throwsWithFullPath_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<bool>("targetIsFolder");
        QTest::newRow("folder in place of the file") << "store.ini" << true;
        QTest::newRow("parent is a regular file") << "file/store.ini" << false;
    }
    void save_unwritableTarget_throwsWithFullPath()
    {
        QFETCH(QString, relativePath);
        QFETCH(bool, targetIsFolder);
        QTemporaryDir dir;
        if (targetIsFolder)
            QVERIFY(QDir(dir.path()).mkdir(relativePath));
        else
            writeFile(dir.filePath(QStringLiteral("file")), "x");

        // A relative path, so that the message has to make it full.
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        Profile profile(relativePath);
        profile.writeInteger(u"S", u"K", 1);
        QString message;
        try {
            profile.save();
        } catch (const AppError &error) {
            message = error.message();
        }
        QDir::setCurrent(previous);
        QCOMPARE(message, QStringLiteral("Unable to write to ") + QDir(dir.path()).absoluteFilePath(relativePath));
        QCOMPARE(QFileInfo(dir.filePath(relativePath)).isDir(), targetIsFolder);
    }

    void save_fullDisk_throwsAndKeepsOldFile()
    {
        // A real file system that runs full: 64 KB of tmpfs.
        QTemporaryDir dir;
        const QByteArray mountPoint = QFile::encodeName(dir.path());
        if (::mount("quillet-test", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("mounting a small tmpfs needs root");
        const auto unmount = qScopeGuard([&] { ::umount(mountPoint.constData()); });
        const QString path = dir.filePath(QStringLiteral("stickies.ini"));
        const QByteArray old("[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nText=kept\r\n");
        writeFile(path, old);
        QFile filler(dir.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        QVERIFY(filler.write(QByteArray(128 * 1024, 'x')) < 128 * 1024); // stops where the disk is full
        filler.close();

        for (const qsizetype size : {qsizetype(100), qsizetype(100 * 1024)}) {
            Profile profile(path);
            profile.writeString(u"S", u"K", QString(size, QLatin1Char('y')));
            QString message;
            try {
                profile.save();
            } catch (const AppError &error) {
                message = error.message();
            }
            QCOMPARE(message, QStringLiteral("Unable to write to ") + path);
            QCOMPARE(readFile(path), old);
        }
    }

    void save_readOnlyFolder_throwsAndKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("store.ini"));
        const QByteArray old("[S]\r\nK=old\r\n");
        writeFile(path, old);
        Profile profile = Profile::load(path);
        profile.writeString(u"S", u"K", QStringLiteral("new"));

        QString message;
        {
            ReadOnlyFolder readOnly(dir.path());
            if (!readOnly.isEffective())
                QSKIP("cannot make a folder unwritable here");
            try {
                profile.save();
            } catch (const AppError &error) {
                message = error.message();
            }
        }
        QCOMPARE(message, QStringLiteral("Unable to write to ") + path);
        QCOMPARE(readFile(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"store.ini"}));
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
