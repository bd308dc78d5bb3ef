#include "../../pulse_audio.h"
#include "../../test_files.h"
#include "platform/gui/sound.h"
#include "platform/program_module.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// One-shot WAV playback over the desktop's PulseAudio server (on the test desktop, its null sink).
class TestSound : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        REQUIRE_AUDIO_SERVER();
        QProcess sox;
        sox.start("sox", {"-n", "-r", "8000", "-c", "1", m_dir.filePath("ding.wav"), "synth", "2", "sine", "880"});
        QVERIFY2(sox.waitForFinished(10000) && sox.exitCode() == 0, "sox could not make the sound");
        QVERIFY(QDir(m_dir.path()).mkdir("folder.wav"));
        writeFile(m_dir.filePath("empty.wav"), QByteArray());
        writeFile(m_dir.filePath("text.wav"), QByteArray("RIFF? no, only text\n").repeated(100));
        Sound::setBeep([this] { ++m_beeps; });
    }
    void init() { m_beeps = 0; }

    void play_wav_playsOnceInTheBackgroundAndIsReleased()
    {
        // The first play loads the audio module, which takes its time on a busy machine; what counts is that
        // play returns while the sound still plays, its stream on the server after the call.
        Sound::play(m_dir.filePath("ding.wav"));
        QCOMPARE(Sound::activeCount(), 1);
        QVERIFY2(waitForOwnSinkInputs(1), "no sink input on the audio server");
        QVERIFY(QTest::qWaitFor([] { return Sound::activeCount() == 0; }, 8000));
        QVERIFY2(waitForOwnSinkInputs(0), "the sink input stays after the end");
        QCOMPARE(m_beeps, 0);
    }

    void play_unplayable_beepsAndReleases_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing.wav";
        QTest::newRow("folder") << "folder.wav";
        QTest::newRow("empty") << "empty.wav";
        QTest::newRow("text") << "text.wav";
    }
    void play_unplayable_beepsAndReleases()
    {
        QFETCH(QString, name);
        for (int i = 0; i < 3; ++i)
            Sound::play(m_dir.filePath(name));
        QVERIFY(QTest::qWaitFor([this] { return m_beeps == 3; }, 5000));
        // A player beeps only before it is released: once none is left, no beep can follow.
        QVERIFY(QTest::qWaitFor([] { return Sound::activeCount() == 0; }, 5000));
        QCOMPARE(m_beeps, 3);
    }

    void play_withoutTheAudioModule_beeps()
    {
        QTemporaryDir empty;
        ProgramModule::setFolders({empty.path()});
        Sound::play(m_dir.filePath("ding.wav"));
        ProgramModule::setFolders({});
        QCOMPARE(m_beeps, 1);
        QCOMPARE(Sound::activeCount(), 0);
    }

private:
    QTemporaryDir m_dir;
    int m_beeps = 0;
};

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
