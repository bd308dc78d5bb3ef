#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

// The desktop's PulseAudio server as seen from outside, through pactl: the playback tests check that sound
// really reaches it, and fail (rather than pass silently) when there is none.

inline bool havePactl()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty();
}

inline bool audioServerAnswers()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

inline QByteArray noAudioServerMessage()
{
    return "No PulseAudio server answers (XDG_RUNTIME_DIR=" + qgetenv("XDG_RUNTIME_DIR") +
           "): start the test desktop first (source scripts/desktop.sh; start_test_desktop)";
}

// The sink inputs (playback streams) of this process, told apart from other tests' by the process id.
inline int ownSinkInputs()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(5000))
        return -1;
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
    return int(pactl.readAllStandardOutput().count("application.process.id = \"" + pid + "\""));
}

inline bool waitForOwnSinkInputs(int count, int timeoutMs = 3000)
{
    return QTest::qWaitFor([count] { return ownSinkInputs() == count; }, timeoutMs);
}

#define REQUIRE_AUDIO_SERVER()                                                                                         \
    do {                                                                                                               \
        if (!havePactl())                                                                                              \
            QSKIP("pactl is not installed, so the audio server cannot be checked");                                    \
        QVERIFY2(audioServerAnswers(), noAudioServerMessage().constData());                                            \
    } while (false)
