// "Find..." among 500 notes of about 2 KB of rich text each: the time from a query to its notes, with the
// plain texts read before (every search after the first), after every note changed (the first search of a
// run) with and without the notes' windows, and the find window's whole listing of the result. Each must answer within
// 50 ms, a keystroke's pause.
#include "app/find_window.h"
#include "model/note_list.h"
#include "model/note_search.h"
#include "note/form_sticky.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

constexpr int noteCount = 500;
constexpr int textSize = 2048;

const char *const queries[] = {"plumber", "CAFÉ friday", "note 499", "nowhere at all", "e"};

QString oneLineRtf(int number)
{
    QString text =
        QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"
                       "{\\colortbl ;\\red255\\green0\\blue0;}\\viewkind4\\uc1\\pard\\f0\\fs20 Note %1\\par ")
            .arg(number);
    const QString paragraph = QStringLiteral("Call the plumber about the \\b kitchen sink\\b0  before Friday, "
                                             "then \\cf1 pay the bill\\cf0  and \\i book\\i0  the caf\\'e9.\\par ");
    while (text.size() + paragraph.size() + 1 < textSize)
        text += paragraph;
    return text + QLatin1Char('}');
}

struct Notes {
    QTemporaryDir dir;
    NoteList list{dir.filePath(QStringLiteral("stickies.ini")), dir.path() + QLatin1Char('/')};
    Notes()
    {
        for (int i = 0; i < noteCount; ++i) {
            NoteRecord record;
            record.title = QStringLiteral("01/02/2025 10:%1").arg(i % 60, 2, 10, QLatin1Char('0'));
            record.text = oneLineRtf(i + 1);
            list.add(record);
        }
    }
};

// Made in main, within the application's lifetime.
Notes *shared = nullptr;

Notes &notes()
{
    return *shared;
}

void findWarm(benchmark::State &state)
{
    const QString query = QString::fromUtf8(queries[state.range(0)]);
    state.SetLabel(query.toStdString());
    NoteSearch::find(notes().list, query); // the plain texts are read now
    for (auto _ : state) {
        QList<Note *> found = NoteSearch::find(notes().list, query);
        benchmark::DoNotOptimize(found);
    }
}

void findAfterEveryNoteChanged(benchmark::State &state)
{
    const QString query = QString::fromUtf8(queries[state.range(0)]);
    state.SetLabel(query.toStdString());
    for (auto _ : state) {
        state.PauseTiming();
        for (Note *note : notes().list.notes())
            note->markChanged();
        state.ResumeTiming();
        QList<Note *> found = NoteSearch::find(notes().list, query);
        benchmark::DoNotOptimize(found);
    }
}

// As in the program, where every listed note has its window: the plain text comes from the window's document.
void findAfterEveryNoteChangedWithWindows(benchmark::State &state)
{
    const QString query = QString::fromUtf8(queries[state.range(0)]);
    state.SetLabel(query.toStdString());
    std::vector<std::unique_ptr<TFormSticky>> windows;
    for (Note *note : notes().list.notes())
        windows.push_back(std::make_unique<TFormSticky>(note, notes().dir.path() + QLatin1Char('/')));
    for (auto _ : state) {
        state.PauseTiming();
        for (Note *note : notes().list.notes())
            note->markChanged();
        state.ResumeTiming();
        QList<Note *> found = NoteSearch::find(notes().list, query);
        benchmark::DoNotOptimize(found);
    }
}

void findWindowListing(benchmark::State &state)
{
    const QString query = QString::fromUtf8(queries[state.range(0)]);
    state.SetLabel(query.toStdString());
    FindWindow window(notes().list);
    window.EditFind()->setText(query);
    for (auto _ : state) {
        window.refresh();
        benchmark::DoNotOptimize(window.listedNotes().size());
    }
}

} // namespace

BENCHMARK(findWarm)->DenseRange(0, std::size(queries) - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(findAfterEveryNoteChanged)->DenseRange(0, std::size(queries) - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(findAfterEveryNoteChangedWithWindows)->DenseRange(0, std::size(queries) - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(findWindowListing)->DenseRange(0, std::size(queries) - 1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Notes made;
    shared = &made;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
