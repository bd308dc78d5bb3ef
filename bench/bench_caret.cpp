// The quiet caret: how often the real program wakes with one note that has the keyboard, while the user types
// and 12 s after the last key. Run it on the test desktop (scripts/desktop.sh): it drives the note with xdotool.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "bench_support.h"

#include <benchmark/benchmark.h>

namespace {

QString xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// range(0): seconds after the last key press at which the 10 s measure begins.
void focusedNoteWakeUps(benchmark::State &state)
{
    QTemporaryDir dir;
    QFile store(dir.filePath(QStringLiteral("stickies.ini")));
    store.open(QIODevice::WriteOnly);
    store.write("[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=bench caret\r\nLeft=200\r\nTop=200\r\nText=words\r\n");
    store.close();
    copyProgram(dir.path());
    for (auto _ : state) {
        QProcess program;
        program.start(dir.filePath(QStringLiteral("quillet")), {});
        program.waitForStarted();
        QThread::sleep(3);
        const QString window =
            xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^bench caret$")})
                .section('\n', 0, 0);
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"), QStringLiteral("abc")});
        QThread::sleep(unsigned(state.range(0)));
        state.counters["wakeups_per_s"] = wakeUpsPerSecondThenEnd(program);
    }
}
BENCHMARK(focusedNoteWakeUps)->Arg(0)->Arg(12)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
