#include "../test_files.h"
#include "base/app_error.h"
#include "store/store_backups.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate today(2026, 12, 9);
constexpr qint64 megabyte = 1024 * 1024;

// A file of that size; large ones are sparse, so a test of the 50 MB limit writes almost nothing.
void makeFile(const QString &path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("copy");
    QVERIFY(file.resize(size));
}

QStringList week(int firstDay, int lastDay)
{
    QStringList names;
    for (int day = firstDay; day <= lastDay; ++day)
        names.append(QStringLiteral("stickies-2026-12-%1.ini").arg(day, 2, 10, QLatin1Char('0')));
    return names;
}

} // namespace

class TestStoreBackups : public QObject {
    Q_OBJECT

private slots:
    void backUp_data()
    {
        QTest::addColumn<qint64>("storeSize");     // -1: no store yet
        QTest::addColumn<QStringList>("existing"); // in backups/: "name" (100 bytes) or "name=size"
        QTest::addColumn<QStringList>("expected"); // the names in backups/ afterwards
        QTest::addColumn<qint64>("todaySize");     // of today's copy afterwards, -1 for none

        const QString copyOfToday = QStringLiteral("stickies-2026-12-09.ini");
        QTest::newRow("no store yet") << qint64(-1) << QStringList() << QStringList() << qint64(-1);
        QTest::newRow("first save of the day")
            << qint64(1000) << QStringList() << QStringList{copyOfToday} << qint64(1000);
        QTest::newRow("today's copy kept as it was")
            << qint64(1000) << QStringList{copyOfToday + "=7"} << QStringList{copyOfToday} << qint64(7);
        QTest::newRow("seven newest kept") << qint64(1000) << week(1, 8) << (week(3, 8) << copyOfToday) << qint64(1000);
        QTest::newRow("other names never deleted")
            << qint64(1000)
            << (week(1, 7) << "stickies-2026-12-1.ini"
                           << "stickies-2026-12-01.ini.bak"
                           << "notes-2026-12-01.ini"
                           << "stickies-2026-12-01.ini.Ab3dE9")
            << (QStringList{"notes-2026-12-01.ini", "stickies-2026-12-01.ini.Ab3dE9", "stickies-2026-12-01.ini.bak",
                            "stickies-2026-12-1.ini"}
                << week(2, 7) << copyOfToday)
            << qint64(1000);
        QTest::newRow("over 50 MB the oldest go")
            << qint64(1000)
            << QStringList{"stickies-2026-12-07.ini=" + QString::number(30 * megabyte),
                           "stickies-2026-12-08.ini=" + QString::number(20 * megabyte)}
            << QStringList{"stickies-2026-12-08.ini", copyOfToday} << qint64(1000);
        QTest::newRow("a store over 50 MB is not copied")
            << qint64(50 * megabyte + 1) << QStringList{"stickies-2026-12-08.ini"}
            << QStringList{"stickies-2026-12-08.ini"} << qint64(-1);
    }
    void backUp()
    {
        QFETCH(qint64, storeSize);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, expected);
        QFETCH(qint64, todaySize);
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("stickies.ini"));
        if (storeSize >= 0)
            makeFile(store, storeSize);
        const QDir backups(StoreBackups::folderBeside(store));
        if (!existing.isEmpty())
            QVERIFY(backups.mkpath(QStringLiteral(".")));
        for (const QString &file : existing)
            makeFile(backups.filePath(file.section(QLatin1Char('='), 0, 0)),
                     file.contains(QLatin1Char('=')) ? file.section(QLatin1Char('='), 1).toLongLong() : 100);

        StoreBackups::backUp(store, today);
        expected.sort();
        QCOMPARE(backups.entryList(QDir::Files, QDir::Name), expected);
        const QString copy = StoreBackups::pathFor(store, today);
        QCOMPARE(QFileInfo(copy).size(), std::max<qint64>(todaySize, 0));
        if (todaySize == storeSize)
            QCOMPARE(readFile(copy), readFile(store));
    }

    void backUp_folderCannotBeMade_throws()
    {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("stickies.ini"));
        writeFile(store, "[Stickies]\r\nTotal=0\r\n");
        writeFile(dir.filePath(QStringLiteral("backups")), "a file where the folder would be");
        QVERIFY_THROWS_EXCEPTION(AppError, StoreBackups::backUp(store, today));
        QCOMPARE(readFile(store), QByteArray("[Stickies]\r\nTotal=0\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestStoreBackups)
#include "tst_store_backups.moc"
