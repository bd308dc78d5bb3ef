#include "../test_files.h"
#include "base/app_error.h"
#include "store/settings.h"

#include <QFile>
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
        settings.language = QStringLiteral("Deutsch");
        settings.read(path);
        QCOMPARE(settings.language, QStringLiteral("English"));
        QCOMPARE(settings.autoStart, true);
        QCOMPARE(settings.opacity, 255);
        QCOMPARE(settings.color, quint32(0x00C0FFFF));

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
        QCOMPARE(again.language, settings.language);
        QCOMPARE(again.autoStart, settings.autoStart);
        QCOMPARE(again.opacity, settings.opacity);
        QCOMPARE(again.color, settings.color);
    }

    void write_keepsOtherSectionsAndKeys()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillet.ini"));
        writeFile(path, "[Window]\r\nX=1\r\n[options]\r\nMy Key=keep me\r\nopacity=10\r\n[Last]\r\nY=2\r\n");
        Settings settings;
        settings.read(path);
        QCOMPARE(settings.opacity, 10);
        settings.color = 0x00FFFFFF;
        settings.autoStart = false;
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
        QCOMPARE(settings.language, QStringLiteral("Deutsch"));
        QCOMPARE(settings.autoStart, false);
        QCOMPARE(settings.opacity, 99);
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
