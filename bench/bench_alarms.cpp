// Alarms: how often the real program wakes while its notes wait for alarms a day away, and how late a due
// alarm's first shake comes. Run it on the test desktop (scripts/desktop.sh), as the program needs a display.
#include "app/form1.h"
#include "note/form_sticky.h"
#include "platform/clock.h"
#include "store/note_store.h"
#include "ui/error_dialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "bench_support.h"

#include <benchmark/benchmark.h>

namespace {

void idleWakeUps(benchmark::State &state)
{
    QTemporaryDir dir;
    QList<NoteRecord> notes;
    for (int i = 0; i < state.range(0); ++i) {
        NoteRecord note;
        note.title = QStringLiteral("waiting %1").arg(i);
        note.left = (i * 7) % 1000;
        note.top = (i * 11) % 800;
        note.alarm.enabled = true;
        note.alarm.countdown = true;
        note.due = QDateTime::currentDateTimeUtc().addDays(1);
        notes.append(note);
    }
    NoteStore::save(dir.filePath(QStringLiteral("stickies.ini")), notes);
    QFile::copy(QStringLiteral(QUILLET_BINARY), dir.filePath(QStringLiteral("quillet")));
    for (auto _ : state) {
        QProcess program;
        program.start(dir.filePath(QStringLiteral("quillet")), {});
        program.waitForStarted();
        // Every note shown, the start-up's work done, the caret's blink over (it stops after 10 s idle), and
        // the window manager done with the windows: it changes their properties for a while after they were
        // mapped (half a minute for 500 notes under openbox), and each change is an event for the program.
        QThread::sleep(15 + state.range(0) / 10);
        state.counters["wakeups_per_s"] = wakeUpsPerSecondThenEnd(program);
    }
}
BENCHMARK(idleWakeUps)->Arg(100)->Arg(500)->Iterations(1)->Unit(benchmark::kSecond);

void firstShakeDelay(benchmark::State &state)
{
    QTemporaryDir dir;
    ProgramFolders folders;
    folders.dataFolder = dir.path() + QLatin1Char('/');
    folders.resourceFolder = folders.dataFolder;
    folders.settingsPath = folders.dataFolder + QStringLiteral("quillet.ini");
    folders.storePath = folders.dataFolder + QStringLiteral("stickies.ini");
    TForm1 form(folders);
    form.FormCreate(QString());
    form.PMNewStickyNoteClick();
    TFormSticky *note = form.notes().first();
    double worstMs = 0;
    for (auto _ : state) {
        note->RichEdit1MouseDown();
        note->alarm().fields.enabled = true;
        note->alarm().fields.countdown = true;
        const AlarmClocks armed = AlarmClocks::current();
        note->alarm().startCountdown(1, armed);
        form.alarms().reschedule();
        const qint64 dueAt = armed.steadyMs + 1000;
        while (!note->isRinging())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double late = double(Clock::current().steadyMs() - dueAt);
        worstMs = std::max(worstMs, late);
        state.SetIterationTime(std::max(late, 0.0) / 1000.0);
    }
    state.counters["worst_ms"] = worstMs;
}
BENCHMARK(firstShakeDelay)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(
        argc, argv, [] { ErrorDialog::setHandler([](const QString &text) { qWarning("%s", qPrintable(text)); }); });
}
