// Loading and saving a store of 1,000 notes with 2 KB of text each, the size a heavy user reaches.
// Window creation is not part of it: only the file is read or written.
#include "store/note_store.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int noteCount = 1000;
constexpr int textSize = 2048;

// The shape of a rich text as the editor stores it: one line, a font and colour table, then
// paragraphs with some formatting.
QString oneLineRtf(int number)
{
    QString text = QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 "
                                  "Arial;}{\\f1\\fswiss\\fcharset0 Tahoma;}}{\\colortbl ;\\red255\\green0\\blue0;}"
                                  "\\viewkind4\\uc1\\pard\\f0\\fs20 Note %1: ")
                       .arg(number);
    const QString paragraph = QStringLiteral("Call the plumber about the \\b kitchen sink\\b0  before Friday, "
                                             "then \\cf1 pay the bill\\cf0  and \\i book\\i0  the caf\\'e9.\\par ");
    while (text.size() + paragraph.size() + 1 < textSize)
        text += paragraph;
    text += QString(textSize - 1 - text.size(), QLatin1Char('x'));
    text += QLatin1Char('}');
    return text;
}

QList<NoteRecord> makeNotes()
{
    QList<NoteRecord> notes;
    for (int i = 0; i < noteCount; ++i) {
        NoteRecord note;
        note.title = QStringLiteral("01/02/2025 10:%1").arg(i % 60, 2, 10, QLatin1Char('0'));
        note.left = 40 + i % 800;
        note.top = 30 + i % 600;
        note.color = i % 2 ? 0x00C0FFFF : 0x00FFFFFF;
        note.alarm.enabled = i % 7 == 0;
        note.alarm.soundFile = QStringLiteral("/usr/share/quillet/alarm/alarm.mp3");
        note.text = oneLineRtf(i + 1);
        notes.append(note);
    }
    return notes;
}

void loadStore(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stickies.ini"));
    NoteStore::save(path, makeNotes());
    for (auto _ : state) {
        NoteStore::LoadResult result = NoteStore::load(path, NoteDefaults());
        if (result.notes.size() != noteCount)
            state.SkipWithError("wrong note count");
        benchmark::DoNotOptimize(result);
    }
}

void saveStore(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stickies.ini"));
    const QList<NoteRecord> notes = makeNotes();
    for (auto _ : state)
        NoteStore::save(path, notes);
}

// The same without the file system, to tell formatting from writing and syncing to disk.
void storeToBytes(benchmark::State &state)
{
    const QList<NoteRecord> notes = makeNotes();
    for (auto _ : state) {
        QByteArray bytes = NoteStore::toBytes(notes);
        benchmark::DoNotOptimize(bytes);
    }
}

} // namespace

BENCHMARK(loadStore)->Unit(benchmark::kMillisecond);
BENCHMARK(saveStore)->Unit(benchmark::kMillisecond);
BENCHMARK(storeToBytes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
