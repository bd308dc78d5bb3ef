#include "../read_only_folder.h"
#include "base/program_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestProgramFolders : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_xdgDataHome = qgetenv("XDG_DATA_HOME");
        m_home = qgetenv("HOME");
    }
    void cleanup()
    {
        qputenv("XDG_DATA_HOME", m_xdgDataHome);
        qputenv("HOME", m_home);
    }

    void useStoreFolder_movesStoreAndLockOnly_data()
    {
        QTest::addColumn<QString>("setting");  // "<tmp>" stands for a temporary folder, "~" for HOME
        QTest::addColumn<QString>("expected"); // the store folder, relative to that temporary folder
        QTest::newRow("empty") << ""
                               << "bin/";
        QTest::newRow("relative to the data folder") << "shared/notes"
                                                     << "bin/shared/notes/";
        QTest::newRow("in the home folder") << "~/Sync"
                                            << "home/Sync/";
        QTest::newRow("absolute") << "<tmp>/elsewhere/"
                                  << "elsewhere/";
    }
    void useStoreFolder_movesStoreAndLockOnly()
    {
        QFETCH(QString, setting);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))) &&
                QDir().mkpath(dir.filePath(QStringLiteral("home"))));
        qputenv("HOME", dir.filePath(QStringLiteral("home")).toUtf8());
        ProgramFolders folders = ProgramFolders::forExecutable(dir.filePath(QStringLiteral("bin/quillet")));
        QVERIFY(folders.useStoreFolder(setting.replace(QStringLiteral("<tmp>"), dir.path())));

        const QString storeFolder = dir.path() + QLatin1Char('/') + expected;
        QCOMPARE(folders.storeFolder, storeFolder);
        QVERIFY(QFileInfo(storeFolder).isDir());
        QCOMPARE(folders.storePath, storeFolder + QStringLiteral("stickies.ini"));
        QCOMPARE(folders.settingsPath, dir.filePath(QStringLiteral("bin/quillet.ini")));
        // In a shared folder the lock names this machine: another machine's lock, copied in, is another file.
        const QString lockName = QFileInfo(folders.lockPath()).fileName();
        if (folders.hasOwnStoreFolder())
            QVERIFY2(lockName.startsWith(QStringLiteral("stickies.ini.")) &&
                         lockName.endsWith(QStringLiteral(".lock")) && lockName != QStringLiteral("stickies.ini.lock"),
                     qPrintable(lockName));
        else
            QCOMPARE(lockName, QStringLiteral("stickies.ini.lock"));
    }

    void writableFolder_isPortable_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("settingsName");
        QTest::newRow("plain name") << "quillet"
                                    << "quillet.ini";
        QTest::newRow("with extension") << "quillet.exe"
                                        << "quillet.ini";
        QTest::newRow("dotted name") << "my.notes.exe"
                                     << "my.notes.ini";
    }
    void writableFolder_isPortable()
    {
        QFETCH(QString, executable);
        QFETCH(QString, settingsName);
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/bin/");
        QVERIFY(QDir().mkpath(folder));

        const ProgramFolders folders = ProgramFolders::forExecutable(folder + executable);
        QCOMPARE(folders.dataFolder, folder);
        QCOMPARE(folders.resourceFolder, folder);
        QCOMPARE(folders.settingsPath, folder + settingsName);
        QCOMPARE(folders.storePath, folder + QStringLiteral("stickies.ini"));
        QVERIFY(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)); // probe removed
    }

    void unwritableFolder_usesDataHome_data()
    {
        QTest::addColumn<bool>("xdgSet");
        QTest::addColumn<bool>("installed");
        QTest::newRow("XDG_DATA_HOME") << true << false;
        QTest::newRow("default under HOME") << false << false;
        QTest::newRow("installed, bin writable") << true << true;
    }
    void unwritableFolder_usesDataHome()
    {
        QFETCH(bool, xdgSet);
        QFETCH(bool, installed);
        QTemporaryDir dir;
        const QString home = dir.path() + QStringLiteral("/home");
        QVERIFY(QDir().mkpath(home));
        qputenv("HOME", QFile::encodeName(home));
        QString expectedData = home + QStringLiteral("/.local/share/quillet/");
        if (xdgSet) {
            qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + QStringLiteral("/data")));
            expectedData = dir.path() + QStringLiteral("/data/quillet/");
        } else {
            qunsetenv("XDG_DATA_HOME");
        }
        // The "bin" folder is a regular file, so nothing can be written into it, whoever we are; or a real,
        // writable one beside the resources of an install.
        QFile bin(dir.path() + QStringLiteral("/usr/bin"));
        QVERIFY(QDir().mkpath(dir.path() + QStringLiteral("/usr")));
        if (installed) {
            QVERIFY(QDir().mkpath(bin.fileName()) && QDir().mkpath(dir.path() + QStringLiteral("/usr/share/quillet")));
        } else {
            QVERIFY(bin.open(QIODevice::WriteOnly));
            bin.close();
        }

        const ProgramFolders folders = ProgramFolders::forExecutable(bin.fileName() + QStringLiteral("/quillet"));
        QCOMPARE(folders.dataFolder, expectedData);
        QVERIFY(QFileInfo(expectedData).isDir());
        QCOMPARE(folders.resourceFolder, dir.path() + QStringLiteral("/usr/share/quillet/"));
        QCOMPARE(folders.settingsPath, expectedData + QStringLiteral("quillet.ini"));
        QCOMPARE(folders.storePath, expectedData + QStringLiteral("stickies.ini"));
    }

    void readOnlyFolder_isPortableOnlyWhenItHoldsAStore_data()
    {
        QTest::addColumn<bool>("holdsStore");
        QTest::newRow("empty") << false;
        QTest::newRow("holds stickies.ini") << true;
    }
    void readOnlyFolder_isPortableOnlyWhenItHoldsAStore()
    {
        QFETCH(bool, holdsStore);
        QTemporaryDir dir;
        QTemporaryDir dataHome;
        if (holdsStore) {
            QFile store(dir.filePath(QStringLiteral("stickies.ini")));
            QVERIFY(store.open(QIODevice::WriteOnly));
        }
        // The data home must be usable by whoever the guard below makes us.
        const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                              QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(dataHome.path(), everyone));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));

        ProgramFolders folders;
        {
            ReadOnlyFolder readOnly(dir.path());
            if (!readOnly.isEffective())
                QSKIP("cannot make a folder unwritable here");
            folders = ProgramFolders::forExecutable(dir.filePath(QStringLiteral("quillet")));
        }
        const QString portable = dir.path() + QLatin1Char('/');
        QCOMPARE(folders.dataFolder, holdsStore ? portable : dataHome.path() + QStringLiteral("/quillet/"));
        QVERIFY(QFileInfo(folders.dataFolder).isDir());
        QCOMPARE(folders.resourceFolder == portable, holdsStore);
    }

private:
    QByteArray m_xdgDataHome;
    QByteArray m_home;
};

QTEST_GUILESS_MAIN(TestProgramFolders)
#include "tst_program_folders.moc"
