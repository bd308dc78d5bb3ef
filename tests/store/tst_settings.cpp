#include "../test_files.h"
#include "base/app_error.h"
#include "store/settings.h"

#include <QFile>
#include <QMetaEnum>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void missingFile_readsDefaults_writesThemInOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillet.ini"));
        Settings settings;
        settings.setLanguage(QStringLiteral("Deutsch"));
        settings.read(path);
        QCOMPARE(settings.language(), QStringLiteral("English"));
        QCOMPARE(settings.autoStart(), true);
        QCOMPARE(settings.opacity(), 255);
        QCOMPARE(settings.color(), quint32(0x00C0FFFF));

        settings.write(path);
        QCOMPARE(readFile(path),
                 QByteArray("[Options]\r\nLanguage=English\r\nAuto Start=1\r\nOpacity=255\r\nColor=0x00C0FFFF\r\n"));
    }

    void readThenWrite_normalisesValues_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("written");

        QTest::newRow("opacity in hexadecimal") << QByteArray("Opacity=0x80") << QByteArray("Opacity=128");
        QTest::newRow("opacity not range-checked") << QByteArray("Opacity=300") << QByteArray("Opacity=300");
        QTest::newRow("opacity not a number") << QByteArray("Opacity=full") << QByteArray("Opacity=255");
        QTest::newRow("colour name") << QByteArray("Color=clYellow") << QByteArray("Color=clYellow");
        QTest::newRow("colour name in lower case") << QByteArray("Color=clyellow") << QByteArray("Color=clYellow");
        QTest::newRow("colour 0x") << QByteArray("Color=0x0000FFFF") << QByteArray("Color=clYellow");
        QTest::newRow("colour dollar") << QByteArray("Color=$0000FFFF") << QByteArray("Color=clYellow");
        QTest::newRow("colour decimal") << QByteArray("Color=65535") << QByteArray("Color=clYellow");
        QTest::newRow("auto start off") << QByteArray("Auto Start=0") << QByteArray("Auto Start=0");
        QTest::newRow("auto start any number") << QByteArray("Auto Start=7") << QByteArray("Auto Start=1");
        QTest::newRow("language quoted") << QByteArray("Language=\"Deutsch\"") << QByteArray("Language=Deutsch");
        QTest::newRow("alarms checked") << QByteArray("Alarms Checked=2026-01-02T03:04:05Z")
                                        << QByteArray("Alarms Checked=2026-01-02T03:04:05Z");
        // A moment that is not UTC, or none at all, is unknown: nothing is written over it.
        QTest::newRow("alarms checked without a zone")
            << QByteArray("Alarms Checked=2026-01-02T03:04:05") << QByteArray("Alarms Checked=2026-01-02T03:04:05");
        QTest::newRow("alarms checked not a moment")
            << QByteArray("Alarms Checked=soon") << QByteArray("Alarms Checked=soon");
        QTest::newRow("store folder") << QByteArray("Store Folder= ~/Sync/notes ")
                                      << QByteArray("Store Folder=~/Sync/notes");
        // Emptied by hand: it stays, empty, and keeps the notes in the data folder.
        QTest::newRow("store folder empty") << QByteArray("Store Folder=") << QByteArray("Store Folder=");
    }
    void readThenWrite_normalisesValues()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, written);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillet.ini"));
        writeFile(path, "[Options]\r\n" + stored + "\r\n");
        Settings settings;
        settings.read(path);
        settings.write(path);
        // The key read stays the first line; the other three are appended in their order.
        QVERIFY2(readFile(path).startsWith("[Options]\r\n" + written + "\r\n"), readFile(path).constData());
        Settings again;
        again.read(path);
        QCOMPARE(again.language(), settings.language());
        QCOMPARE(again.autoStart(), settings.autoStart());
        QCOMPARE(again.opacity(), settings.opacity());
        QCOMPARE(again.color(), settings.color());
        QCOMPARE(again.alarmsChecked(), settings.alarmsChecked());
        QCOMPARE(again.storeFolder(), settings.storeFolder());
    }

    void write_keepsOtherSectionsAndKeys()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillet.ini"));
        writeFile(path, "[Window]\r\nX=1\r\n[options]\r\nMy Key=keep me\r\nopacity=10\r\n[Last]\r\nY=2\r\n");
        Settings settings;
        settings.read(path);
        QCOMPARE(settings.opacity(), 10);
        settings.setColor(0x00FFFFFF);
        settings.setAutoStart(false);
        settings.write(path);
        QCOMPARE(readFile(path), QByteArray("[Window]\r\nX=1\r\n[options]\r\nMy Key=keep me\r\nopacity=10\r\n"
                                            "Language=English\r\nAuto Start=0\r\nColor=clWhite\r\n[Last]\r\nY=2\r\n"));
    }

    void read_badColor_throwsAfterEarlierFields_data()
    {
        QTest::addColumn<QByteArray>("color");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown name") << QByteArray("Color=pale") << "'pale' is not a valid integer value";
        QTest::newRow("present but empty") << QByteArray("Color=") << "'' is not a valid integer value";
    }
    void read_badColor_throwsAfterEarlierFields()
    {
        QFETCH(QByteArray, color);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillet.ini"));
        writeFile(path, "[Options]\r\nLanguage=Deutsch\r\nAuto Start=0\r\nOpacity=99\r\n" + color + "\r\n");
        Settings settings;
        QString thrown;
        try {
            settings.read(path);
        } catch (const AppError &error) {
            thrown = error.message();
        }
        QCOMPARE(thrown, message);
        QCOMPARE(settings.language(), QStringLiteral("Deutsch"));
        QCOMPARE(settings.autoStart(), false);
        QCOMPARE(settings.opacity(), 99);
    }

    void setter_newValue_emitsChangedOnceWithItsKey_readEmitsNothing_data()
    {
        QTest::addColumn<Settings::Key>("key");
        const QMetaEnum keys = QMetaEnum::fromType<Settings::Key>();
        for (int i = 0; i < keys.keyCount(); ++i)
            QTest::newRow(keys.key(i)) << Settings::Key(keys.value(i));
    }
    void setter_newValue_emitsChangedOnceWithItsKey_readEmitsNothing()
    {
        QFETCH(Settings::Key, key);
        // Every key to a value other than its default.
        const auto setOther = [key](Settings &settings) {
            switch (key) {
            case Settings::Key::Language:
                settings.setLanguage(QStringLiteral("Greek"));
                break;
            case Settings::Key::AutoStart:
                settings.setAutoStart(false);
                break;
            case Settings::Key::Opacity:
                settings.setOpacity(128);
                break;
            case Settings::Key::Color:
                settings.setColor(0x00FFFFFF);
                break;
            case Settings::Key::AlarmsChecked:
                settings.setAlarmsChecked(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
                break;
            case Settings::Key::StoreFolder:
                settings.setStoreFolder(QStringLiteral("/srv/shared notes"));
                break;
            }
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillet.ini"));
        Settings settings;
        QSignalSpy changed(&settings, &Settings::changed);
        setOther(settings);
        setOther(settings); // the value it already has
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<Settings::Key>(), key);

        // Read back, the value is the one set: setting it once more changes nothing.
        settings.write(path);
        Settings again;
        QSignalSpy changedAgain(&again, &Settings::changed);
        again.read(path);
        setOther(again);
        QCOMPARE(changedAgain.count(), 0);
    }

    void write_unwritable_throwsWithFullPath()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("file")), "x");
        const QString path = dir.filePath(QStringLiteral("file/quillet.ini"));
        try {
            Settings().write(path);
            QFAIL("no error");
        } catch (const AppError &error) {
            QCOMPARE(error.message(), QStringLiteral("Unable to write to ") + path);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
