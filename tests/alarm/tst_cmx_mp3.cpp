#include "../pulse_audio.h"
#include "../test_files.h"
#include "alarm/cmx_mp3.h"
#include "alarm/e_mci_device_error.h"
#include "base/app_error.h"
#include "mp3_files.h"
#include "platform/gui/audio_player.h"
#include "platform/gui/media.h"
#include "platform/program_module.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

// The player over the desktop's PulseAudio server (on the test desktop, its null sink). The sink's latency
// of up to two seconds makes every playback end later than the file's length.
class TestCmxMP3 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        REQUIRE_AUDIO_SERVER();
        makeMp3(m_dir.filePath("one.mp3"), 1.0);
        makeMp3(m_dir.filePath("three.mp3"), 3.0);
        makeMp3(m_dir.filePath("five.mp3"), 5.0);
    }

    void play_toTheEnd_callsOnPlayEndOnce()
    {
        TcmxMP3 player(m_dir.filePath("one.mp3"));
        QCOMPARE(player.getState(), mpUnknown);
        int ends = 0;
        player.OnPlayEnd = [&](TcmxMP3 *sender) {
            QCOMPARE(sender, &player);
            QCOMPARE(sender->getState(), mpUnknown);
            QCOMPARE(QThread::currentThread(), qApp->thread());
            ++ends;
        };
        QElapsedTimer clock;
        clock.start();
        player.Play();
        QCOMPARE(player.getState(), mpPlaying);
        QVERIFY2(waitForOwnSinkInputs(1), "no sink input on the audio server while playing");
        QVERIFY(QTest::qWaitFor([&] { return ends > 0; }, 8000));
        qInfo("a one-second file ended %lld ms after Play", clock.elapsed());
        QVERIFY(clock.elapsed() >= 900);
        QVERIFY2(waitForOwnSinkInputs(0), "the sink input stays after the end");
        player.Stop();
        QTest::qWait(300);
        QCOMPARE(ends, 1);
        QCOMPARE(player.getState(), mpUnknown);

        // A player that stopped plays again from the start.
        player.Play();
        QVERIFY(QTest::qWaitFor([&] { return ends > 1; }, 8000));
        QCOMPARE(ends, 2);
    }

    void stop_beforeTheEnd_callsNoEnd()
    {
        TcmxMP3 player(m_dir.filePath("one.mp3"));
        int ends = 0;
        player.OnPlayEnd = [&](TcmxMP3 *) { ++ends; };
        player.Play();
        QVERIFY(waitForOwnSinkInputs(1));
        player.Stop();
        QCOMPARE(player.getState(), mpUnknown);
        QVERIFY2(waitForOwnSinkInputs(0), "the sink input stays after Stop");
        // Past the moment the file would have ended.
        QTest::qWait(3000);
        QCOMPARE(ends, 0);
    }

    void play_whilePlaying_restartsFromTheStart()
    {
        // Five seconds, so that a slow start on a busy machine still reports second 2 well before the end.
        TcmxMP3 player(m_dir.filePath("five.mp3"));
        QList<int> reports;
        QList<qint64> times;
        QElapsedTimer clock;
        clock.start();
        int ends = 0;
        player.OnProgress = [&](TcmxMP3 *sender, int seconds) {
            QCOMPARE(sender, &player);
            reports += seconds;
            times += clock.elapsed();
        };
        player.OnPlayEnd = [&](TcmxMP3 *) { ++ends; };
        player.Play();
        // The first report comes at once, then one a second.
        QVERIFY(QTest::qWaitFor([&] { return !reports.isEmpty(); }, 200));
        QCOMPARE(reports.first(), 0);
        QVERIFY(QTest::qWaitFor([&] { return reports.last() >= 2; }, 8000));
        const qsizetype before = reports.size();

        player.Play();
        QCOMPARE(player.getState(), mpPlaying);
        QVERIFY(QTest::qWaitFor([&] { return reports.size() > before; }, 200));
        QCOMPARE(reports.at(before), 0);
        QVERIFY(QTest::qWaitFor([&] { return ends > 0; }, 12000));
        QVERIFY2(waitForOwnSinkInputs(0), "a sink input of the first playback stays");
        const QString seen = QDebug::toString(reports) + QDebug::toString(times);
        for (qsizetype i = 1; i < reports.size(); ++i) {
            if (i == before)
                continue;
            QVERIFY2(reports.at(i) >= reports.at(i - 1) && reports.at(i) <= 5, qPrintable(seen));
            QVERIFY2(qAbs(times.at(i) - times.at(i - 1) - 1000) < 400, qPrintable(seen));
        }
        const qsizetype atEnd = reports.size();
        QTest::qWait(1500);
        QCOMPARE(ends, 1);
        QCOMPARE(reports.size(), atEnd);
    }

    void pauseAndResume_actOnlyWhenPlayingAndPaused()
    {
        TcmxMP3 player(m_dir.filePath("one.mp3"));
        int ends = 0;
        player.OnPlayEnd = [&](TcmxMP3 *) { ++ends; };
        player.Pause();
        QCOMPARE(player.getState(), mpUnknown);
        player.Resume();
        QCOMPARE(player.getState(), mpUnknown);

        player.Play();
        player.Resume();
        QCOMPARE(player.getState(), mpPlaying);
        player.Pause();
        QCOMPARE(player.getState(), mpPaused);
        player.Pause();
        QCOMPARE(player.getState(), mpPaused);
        // A paused one-second file does not end, however long it waits.
        QTest::qWait(3000);
        QCOMPARE(ends, 0);
        player.Resume();
        QCOMPARE(player.getState(), mpPlaying);
        QVERIFY(QTest::qWaitFor([&] { return ends > 0; }, 8000));
        QCOMPARE(player.getState(), mpUnknown);
    }

    void play_returnsAtOnceWhileTheFileLoads()
    {
        // Anything the event loop would run inside Play (user input included) shows that it waited.
        // The timer goes with its context at the end, so that it never writes to this frame from a later test.
        bool eventLoopRan = false;
        QObject context;
        QTimer::singleShot(0, &context, [&eventLoopRan] { eventLoopRan = true; });
        TcmxMP3 player(m_dir.filePath("one.mp3"));
        player.Play();
        QVERIFY2(!eventLoopRan, "Play waited for the file in an event loop of its own");
        QCOMPARE(player.getState(), mpPlaying);
        QVERIFY2(waitForOwnSinkInputs(1), "no sink input on the audio server while playing");
        player.Stop();
        QVERIFY(waitForOwnSinkInputs(0));
    }

    void play_fileSpoiledAfterConstruction_failsWithADeviceError_data()
    {
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<bool>("remove");
        QTest::newRow("removed: thrown by Play") << QByteArray() << true;
        QTest::newRow("replaced by text: reported later") << QByteArray("not a sound\n").repeated(500) << false;
    }
    void play_fileSpoiledAfterConstruction_failsWithADeviceError()
    {
        QFETCH(QByteArray, replacement);
        QFETCH(bool, remove);
        const QString path = m_dir.filePath("gone.mp3");
        QVERIFY(QFile::copy(m_dir.filePath("one.mp3"), path));
        TcmxMP3 player(path);
        if (remove)
            QVERIFY(QFile::remove(path));
        else
            writeFile(path, replacement);
        QStringList reported;
        player.OnPlayError = [&](TcmxMP3 *sender, const QString &message) {
            QCOMPARE(sender, &player);
            QCOMPARE(sender->getState(), mpUnknown);
            reported.append(message);
        };
        QString thrown;
        try {
            player.Play();
        } catch (const eMciDeviceError &error) {
            thrown = error.message();
        }
        QCOMPARE(thrown.isEmpty(), !remove);
        QVERIFY(reported.isEmpty()); // never from inside Play
        if (!remove)
            QVERIFY(QTest::qWaitFor([&] { return !reported.isEmpty(); }, 10000));
        const QString message = remove ? thrown : reported.constFirst();
        QVERIFY2(QRegularExpression("^\\d+ - \\S").match(message).hasMatch(), qPrintable(message));
        QCOMPARE(player.getState(), mpUnknown);
        QVERIFY(waitForOwnSinkInputs(0));
        QCOMPARE(reported.size(), remove ? 0 : 1);
        QFile::remove(path);
    }

    void media_closedPlayersAreReleased()
    {
        Media media;
        QVERIFY(!media.open(m_dir.filePath("missing.mp3")));
        QCOMPARE(media.errorCode(), int(AudioPlayer::ResourceError));
        QVERIFY(!media.errorText().isEmpty());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(media.open(m_dir.filePath("one.mp3")));
            QCOMPARE(media.mode(), Media::Mode::NotReady); // loading
            media.play();
        }
        media.close();
        QCOMPARE(media.mode(), Media::Mode::Closed);
        QCOMPARE(media.positionMs(), 0);
        QVERIFY(QTest::qWaitFor([&] { return media.children().isEmpty(); }, 1000));
        QVERIFY(waitForOwnSinkInputs(0));
    }

    // With no audio server and no sound card to open, the sound is not played into nothing as if it had
    // sounded: the failure comes as the device's error, and a later play on the server sounds again.
    void play_withNoOutputToOpen_reportsADeviceError()
    {
        TcmxMP3 player(m_dir.filePath("one.mp3"));
        QStringList reported;
        int ends = 0;
        player.OnPlayError = [&](TcmxMP3 *, const QString &message) { reported.append(message); };
        player.OnPlayEnd = [&](TcmxMP3 *) { ++ends; };
        {
            const QByteArray server = qgetenv("PULSE_SERVER");
            const QByteArray alsaConfig = qgetenv("ALSA_CONFIG_PATH");
            const auto restore = qScopeGuard([&] {
                server.isNull() ? qunsetenv("PULSE_SERVER") : qputenv("PULSE_SERVER", server);
                alsaConfig.isNull() ? qunsetenv("ALSA_CONFIG_PATH") : qputenv("ALSA_CONFIG_PATH", alsaConfig);
            });
            writeFile(m_dir.filePath("no-cards.conf"), QByteArray());
            qputenv("PULSE_SERVER", QFile::encodeName(m_dir.filePath("no-server")));
            qputenv("ALSA_CONFIG_PATH", QFile::encodeName(m_dir.filePath("no-cards.conf")));
            player.Play();
            QVERIFY(QTest::qWaitFor([&] { return !reported.isEmpty() || ends > 0; }, 8000));
        }
        QCOMPARE(ends, 0);
        QVERIFY2(QRegularExpression("^1 - \\S").match(reported.constFirst()).hasMatch(),
                 qPrintable(reported.constFirst()));
        QCOMPARE(player.getState(), mpUnknown);
        player.Play();
        QVERIFY(waitForOwnSinkInputs(1));
        player.Stop();
    }

    // Without its module the device does not open: the error is the device's, and the player plays once the
    // module is found again.
    void play_withoutTheAudioModule_throwsADeviceError()
    {
        TcmxMP3 player(m_dir.filePath("one.mp3"));
        QTemporaryDir empty;
        ProgramModule::setFolders({empty.path()});
        QString thrown;
        try {
            player.Play();
        } catch (const eMciDeviceError &error) {
            thrown = error.message();
        }
        ProgramModule::setFolders({});
        QVERIFY2(QRegularExpression("^1 - .*quillet-audio").match(thrown).hasMatch(), qPrintable(thrown));
        QCOMPARE(player.getState(), mpUnknown);
        player.Play();
        QVERIFY(waitForOwnSinkInputs(1));
        player.Stop();
        QVERIFY(waitForOwnSinkInputs(0));
    }

    void construct_badFile_throws_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message"); // a pattern; <path> stands for the file's path
        QTest::newRow("missing") << "missing.mp3"
                                 << "^Cannot open file <path>$";
        QTest::newRow("folder") << "folder.mp3"
                                << "^Cannot open file <path>$";
        QTest::newRow("empty") << "empty.mp3"
                               << "^\\d+ - \\S";
        QTest::newRow("text") << "text.mp3"
                              << "^\\d+ - \\S";
    }
    void construct_badFile_throws()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder.mp3"));
        writeFile(dir.filePath("empty.mp3"), QByteArray());
        writeFile(dir.filePath("text.mp3"), QByteArray("[Stickies]\r\nTotal=0\r\n").repeated(200));
        const QString path = dir.filePath(name);
        const QRegularExpression pattern(QString(message).replace("<path>", QRegularExpression::escape(path)));
        try {
            TcmxMP3 player(path);
            QFAIL("no error");
        } catch (const AppError &error) {
            QVERIFY2(pattern.match(error.message()).hasMatch(), qPrintable(error.message()));
            QCOMPARE(dynamic_cast<const eMciDeviceError *>(&error) != nullptr, !message.contains("Cannot open"));
        }
    }

    void fileAndTag_operations()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Morning.chime.mp3");
        QVERIFY(QFile::copy(m_dir.filePath("three.mp3"), path));
        TcmxID3::fromFields("Title", "Artist", "Album", "Comment", 2001, 4, 80).write(path);
        TcmxMP3 player(path);
        QCOMPARE(player.getLengthInSeconds(), 3);
        QCOMPARE(player.getFileName(), "Morning.chime");
        QCOMPARE(player.getFilePath(), dir.path() + "/");
        QCOMPARE((QStringList{player.getTitle(), player.getArtist(), player.getAlbum(), player.getYear(),
                              player.getComment(), QString::number(player.getTrack()),
                              player.getGenreText(player.getGenreNdx())}),
                 (QStringList{"Title", "Artist", "Album", "2001", "Comment", "4", "Folk"}));

        // The new tag goes into the file; the player keeps the one it read.
        const qint64 size = QFileInfo(path).size();
        player.ChgID3("New", "", "", "", 2002, 5, 0);
        QCOMPARE(QFileInfo(path).size(), size);
        QCOMPARE(TcmxID3::read(path).getTitle(), "New");
        QCOMPARE(player.getTitle(), "Title");

        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QVERIFY(player.ChgFilePath(dir.filePath("sub"), "Evening"));
        QCOMPARE(player.getFilePath(), dir.filePath("sub") + "/");
        QCOMPARE(player.getFileName(), "Evening");
        QVERIFY(!QFile::exists(path));
        QVERIFY(QFile::exists(dir.filePath("sub/Evening.mp3")));

        // An existing file of the new name is never replaced.
        writeFile(dir.filePath("taken.mp3"), "keep");
        QVERIFY(!player.ChgFilePath(dir.path() + "/", "taken"));
        QCOMPARE(readFile(dir.filePath("taken.mp3")), QByteArray("keep"));
        QCOMPARE(player.getFileName(), "Evening");
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestCmxMP3)
#include "tst_cmx_mp3.moc"
