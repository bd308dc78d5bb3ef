#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// MP3 files made on the spot: a quiet tone of the given length from sox, encoded by lame with the given options.
// At 8 kHz mono and a low bit rate a three-minute file takes a few tenths of a second.

inline bool runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

inline void makeMp3(const QString &path, double seconds, const QStringList &lameOptions = {"-b", "8"}, int rate = 8000)
{
    const QString wav = path + QStringLiteral(".wav");
    QVERIFY2(runTool(QStringLiteral("sox"), {"-n", "-r", QString::number(rate), "-c", "1", wav, "synth",
                                             QString::number(seconds, 'f', 3), "sine", "440", "vol", "0.2"}),
             "sox could not make the tone (scripts/setup installs it)");
    QVERIFY2(runTool(QStringLiteral("lame"), QStringList{"--silent"} + lameOptions + QStringList{wav, path}),
             "lame could not encode the tone (scripts/setup installs it)");
    QFile::remove(wav);
}
