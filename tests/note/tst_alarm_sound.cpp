#include "../pulse_audio.h"
#include "alarm/alarm_sound.h"
#include "alarm/cmx_mp3.h"
#include "note/form_sticky.h"
#include "platform/gui/sound.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <unistd.h>

// A ringing note: where it shakes, what a press in its text stops, and the sounds it starts, played for real
// on the desktop's audio server.
class TestAlarmSound : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    const QString m_chime = QStringLiteral(QUILLET_SOURCE_DIR "/resources/alarm/alarm.mp3");

    static void ring(TFormSticky &note, const QString &sound)
    {
        note.alarm().fields.playSound = !sound.isEmpty();
        note.alarm().fields.soundFile = sound;
        note.ringAlarm();
    }
    static void pressInText(TFormSticky &note) { QTest::mouseClick(note.RichEdit1()->viewport(), Qt::RightButton); }

private slots:
    void ringing_shakesAroundWhereItBeganIsKeptThereAndStopsOnAPress()
    {
        TFormSticky note;
        note.move(200, 150);
        note.show();
        QVERIFY(QTest::qWaitForWindowExposed(&note));
        QSignalSpy changed(&note, &TFormSticky::changed);
        ring(note, QString());
        QList<int> offsets{note.x() - 200};
        for (int tick = 1; tick < 12; ++tick) {
            note.Timer1Timer();
            offsets.append(note.x() - 200);
        }
        QCOMPARE(offsets, QList<int>({1, 2, 1, 0, -1, 0, 1, 2, 1, 0, -1, 0}));
        QCOMPARE(note.y(), 150);
        // The shake is no edit: nothing to save, and the note is kept where it began to ring.
        QCOMPARE(changed.count(), 0);
        QCOMPARE(note.toRecord().left, 200);
        pressInText(note);
        QVERIFY(!note.isRinging());
        QCOMPARE(note.pos(), QPoint(200, 150));
        note.Timer1Timer();
        QCOMPARE(note.pos(), QPoint(200, 150));
    }

    void ringing_movedByTheUser_shakesAndStaysWhereItWasPut()
    {
        TFormSticky note;
        note.move(200, 150);
        note.show();
        QVERIFY(QTest::qWaitForWindowExposed(&note));
        ring(note, QString());
        note.Timer1Timer();
        QSignalSpy changed(&note, &TFormSticky::changed);
        note.move(420, 330); // dragged by its title bar while it shakes
        QCOMPARE(changed.count(), 1);
        QList<int> offsets;
        for (int tick = 0; tick < 6; ++tick) {
            note.Timer1Timer();
            offsets.append(note.x() - 420);
            QCOMPARE(note.y(), 330);
        }
        QCOMPARE(offsets.size(), 6);
        QVERIFY2(*std::min_element(offsets.cbegin(), offsets.cend()) >= -1 &&
                     *std::max_element(offsets.cbegin(), offsets.cend()) <= 2,
                 qPrintable(QDebug::toString(offsets)));
        QCOMPARE(QPoint(note.toRecord().left, note.toRecord().top), QPoint(420, 330));
        pressInText(note);
        QCOMPARE(note.pos(), QPoint(420, 330));
        QCOMPARE(QPoint(note.toRecord().left, note.toRecord().top), QPoint(420, 330));
    }

    void pressInTwoMp3Notes_stopsTheLaterPlayerOnly_andAWavPlaysOn()
    {
        REQUIRE_AUDIO_SERVER();
        TFormSticky first;
        TFormSticky second;
        ring(first, m_chime);
        ring(second, m_chime);
        QCOMPARE(AlarmSound::playerCount(), 2);
        TcmxMP3 *later = AlarmSound::alarmPlayer();
        QVERIFY(later);
        QVERIFY2(waitForOwnSinkInputs(2, 5000), "the two chimes do not reach the audio server");
        pressInText(first); // either note stops the alarm player, the later one
        QVERIFY(!first.isRinging() && second.isRinging());
        QTRY_COMPARE(AlarmSound::playerCount(), 1);
        QVERIFY(!AlarmSound::alarmPlayer());
        // The earlier one plays on to its end and is released then.
        QTRY_COMPARE_WITH_TIMEOUT(AlarmSound::playerCount(), 0, 15000);
        pressInText(second);

        QProcess sox;
        sox.start(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("8000"),
                                          m_dir.filePath(QStringLiteral("bell.WAV")), QStringLiteral("synth"),
                                          QStringLiteral("1"), QStringLiteral("sine"), QStringLiteral("660")});
        QVERIFY(sox.waitForFinished(10000) && sox.exitCode() == 0);
        TFormSticky wav;
        ring(wav, m_dir.filePath(QStringLiteral("bell.WAV"))); // the kind is the extension in lower case
        QCOMPARE(Sound::activeCount(), 1);
        pressInText(wav);
        QVERIFY(!wav.isRinging());
        QCOMPARE(Sound::activeCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(Sound::activeCount(), 0, 10000);
    }

    void shippedChime_playsToItsEndWithoutAWordOnStderr()
    {
        REQUIRE_AUDIO_SERVER();
        // The decoder's complaints go straight to the standard error stream, past every Qt message handler.
        QTemporaryFile printed;
        QVERIFY(printed.open());
        std::fflush(stderr);
        const int savedStderr = dup(STDERR_FILENO);
        dup2(printed.handle(), STDERR_FILENO);
        bool ended = false;
        {
            TcmxMP3 chime(m_chime);
            chime.OnPlayEnd = [&ended](TcmxMP3 *) { ended = true; };
            chime.Play();
            ended = QTest::qWaitFor([&ended] { return ended; }, 15000);
        }
        std::fflush(stderr);
        dup2(savedStderr, STDERR_FILENO);
        close(savedStderr);
        QVERIFY(ended);
        printed.seek(0);
        const QByteArray text = printed.readAll();
        QVERIFY2(text.isEmpty(), text.constData());
    }

    void unplayableMp3_isReportedAndTheNoteRingsAllTheSame()
    {
        QFile text(m_dir.filePath(QStringLiteral("not.mp3")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("no audio here");
        text.close();
        TFormSticky note;
        QSignalSpy failed(&note, &TFormSticky::soundFailed);
        ring(note, text.fileName());
        QVERIFY(note.isRinging());
        QCOMPARE(failed.count(), 0); // later, never inside the ring
        QTRY_COMPARE(failed.count(), 1);
        const QString message = failed.constFirst().constFirst().toString();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+ - \\S")).match(message).hasMatch(), qPrintable(message));
        QCOMPARE(AlarmSound::playerCount(), 0);
    }
};

QTEST_MAIN(TestAlarmSound)
#include "tst_alarm_sound.moc"
