// Alarms: how often the real program wakes while its notes wait for alarms a day away, how late a due alarm's
// first shake comes, and, for stores of many notes, whether every alarm missed while the program did not run
// rings at the start and how late the last note's first shake comes, and the same for alarms all due at one
// moment while it runs. Run it on the test desktop (scripts/desktop.sh), as the program needs a display.
#include "app/form1.h"
#include "base/clock.h"
#include "note/form_sticky.h"
#include "platform/locale_texts.h"
#include "store/note_store.h"
#include "widgets/error_dialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <vector>

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
    copyProgram(dir.path());
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

NoteRecord quietNote(int i)
{
    NoteRecord note;
    note.title = QStringLiteral("note %1").arg(i + 1);
    note.left = (i * 37) % 1000;
    note.top = 40 + (i * 23) % 780;
    note.width = 160;
    note.height = 120;
    return note;
}

void saveQuietStore(const QString &path, int count)
{
    QList<NoteRecord> notes;
    for (int i = 0; i < count; ++i)
        notes.append(quietNote(i));
    NoteStore::save(path, notes);
}

// When each note began to ring and when its window first moved, in ms on the steady clock (-1: not yet),
// watched until every note moved or timeoutMs passed.
struct Rings {
    std::vector<qint64> rang;
    std::vector<qint64> moved;
};

Rings watchRings(const TForm1 &form, qint64 timeoutMs)
{
    const QList<TFormSticky *> &notes = form.notes();
    Rings rings{std::vector<qint64>(notes.size(), -1), std::vector<qint64>(notes.size(), -1)};
    std::vector<int> restX(notes.size());
    for (qsizetype i = 0; i < notes.size(); ++i)
        restX[i] = notes[i]->x();
    qsizetype waiting = notes.size();
    const qint64 until = Clock::current().steadyMs() + timeoutMs;
    while (waiting > 0 && Clock::current().steadyMs() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 now = Clock::current().steadyMs();
        for (qsizetype i = 0; i < notes.size(); ++i) {
            if (rings.rang[i] < 0 && notes[i]->isRinging()) {
                rings.rang[i] = now;
                restX[i] = notes[i]->toRecord().left;
            }
            if (rings.rang[i] >= 0 && rings.moved[i] < 0 && notes[i]->x() != restX[i]) {
                rings.moved[i] = now;
                --waiting;
            }
        }
    }
    return rings;
}

void reportRings(benchmark::State &state, const Rings &rings, qint64 dueMs)
{
    const auto rangCount = std::count_if(rings.rang.cbegin(), rings.rang.cend(), [](qint64 at) { return at >= 0; });
    state.counters["notes"] = double(rings.rang.size());
    state.counters["rang"] = double(rangCount);
    // -1 for a note that never rang or never moved while it was watched, rather than a time before the due moment.
    const auto since = [dueMs](qint64 at) { return at < 0 ? -1.0 : double(at - dueMs); };
    const bool allMoved = std::none_of(rings.moved.cbegin(), rings.moved.cend(), [](qint64 at) { return at < 0; });
    state.counters["last_note_rang_ms"] = since(rings.rang.back());
    state.counters["last_note_first_shake_ms"] = since(rings.moved.back());
    state.counters["slowest_first_shake_ms"] =
        allMoved ? since(*std::max_element(rings.moved.cbegin(), rings.moved.cend())) : -1.0;
}

// Every note of the store has an alarm at a time two minutes past, and the settings say alarms were last
// checked an hour ago: each must ring at the start. Times from the start of the load.
void missedAlarmsAtStart(benchmark::State &state)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        const ProgramFolders folders = foldersIn(dir.path());
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime due = now.addSecs(-120);
        QFile settings(folders.settingsPath);
        if (!settings.open(QIODevice::WriteOnly))
            state.SkipWithError("no settings file");
        settings.write("[Options]\r\nAlarms Checked=" + now.toUTC().addSecs(-3600).toString(Qt::ISODate).toUtf8() +
                       "\r\n");
        settings.close();
        QList<NoteRecord> notes;
        for (int i = 0; i < state.range(0); ++i) {
            NoteRecord note = quietNote(i);
            note.alarm.enabled = true;
            note.alarm.countdown = false;
            note.alarm.date = LocaleTexts::shortDate(due.date());
            note.alarm.time = LocaleTexts::hourMinute(due.time());
            notes.append(note);
        }
        NoteStore::save(folders.storePath, notes);

        const qint64 startMs = Clock::current().steadyMs();
        TForm1 form(folders);
        form.FormCreate(QString());
        state.counters["load_ms"] = double(Clock::current().steadyMs() - startMs);
        reportRings(state, watchRings(form, 120000), startMs);
        state.SetIterationTime(double(Clock::current().steadyMs() - startMs) / 1000.0);
    }
}
BENCHMARK(missedAlarmsAtStart)
    ->Arg(200)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The baseline of both: a store of quiet notes, and how long after the start the window manager has put the
// last of them on the screen.
void lastNoteShownAtStart(benchmark::State &state)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        const ProgramFolders folders = foldersIn(dir.path());
        saveQuietStore(folders.storePath, int(state.range(0)));
        const qint64 startMs = Clock::current().steadyMs();
        TForm1 form(folders);
        form.FormCreate(QString());
        state.counters["load_ms"] = double(Clock::current().steadyMs() - startMs);
        const QWindow *last = form.notes().constLast()->windowHandle();
        const qint64 until = startMs + 120000;
        while (!last->isExposed() && Clock::current().steadyMs() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.counters["last_note_shown_ms"] = last->isExposed() ? double(Clock::current().steadyMs() - startMs) : -1;
        state.SetIterationTime(double(Clock::current().steadyMs() - startMs) / 1000.0);
    }
}
BENCHMARK(lastNoteShownAtStart)
    ->Arg(200)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The store loaded and on the screen, every note's countdown ends at one moment a second after it was set:
// times from that moment.
void alarmsDueTogether(benchmark::State &state)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        const ProgramFolders folders = foldersIn(dir.path());
        saveQuietStore(folders.storePath, int(state.range(0)));
        TForm1 form(folders);
        form.FormCreate(QString());
        // Every note on the screen first: what is measured is the alarms, not the window manager's start.
        const qint64 until = Clock::current().steadyMs() + 180000;
        const auto allShown = [&form] {
            const QList<TFormSticky *> notes = form.notes();
            return std::all_of(notes.cbegin(), notes.cend(),
                               [](const TFormSticky *note) { return note->windowHandle()->isExposed(); });
        };
        while (!allShown() && Clock::current().steadyMs() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const AlarmClocks armed = AlarmClocks::current();
        for (TFormSticky *note : form.notes()) {
            note->alarm().fields.enabled = true;
            note->alarm().fields.countdown = true;
            note->alarm().startCountdown(1, armed);
        }
        form.alarms().reschedule();
        reportRings(state, watchRings(form, 120000), armed.steadyMs + 1000);
        state.SetIterationTime(double(Clock::current().steadyMs() - armed.steadyMs) / 1000.0);
    }
}
BENCHMARK(alarmsDueTogether)
    ->Arg(200)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(
        argc, argv, [] { ErrorDialog::setHandler([](const QString &text) { qWarning("%s", qPrintable(text)); }); });
}
