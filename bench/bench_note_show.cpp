// Showing one note with a hard text: from its stored record to the window laid out and painted. Run it on the
// test desktop (DISPLAY set) for the real window system, or with QT_QPA_PLATFORM=offscreen.
#include "note/form_sticky.h"
#include "rtf/rtf_writer.h"

#include <QApplication>
#include <QTextDocument>
#include <QTextEdit>

#include <benchmark/benchmark.h>

namespace {

QString plainWords(qsizetype length)
{
    QString text;
    while (text.size() < length)
        text += QStringLiteral("Buy milk, call the plumber, water the plants. ");
    return text;
}

QString storedText(int kind)
{
    switch (kind) {
    case 0: // a megabyte of plain words: the most a note shows
        return plainWords(TFormSticky::maxShownTextLength);
    case 1: { // the same as RTF
        QTextDocument document;
        document.setPlainText(plainWords(TFormSticky::maxShownTextLength / 2));
        return RtfWriter::writeNoteText(document);
    }
    case 2: // one word of 100,000 letters
        return QString(100000, QLatin1Char('w'));
    default: // 50 MB of plain text, shown as its first part
        return plainWords(50 * 1024 * 1024);
    }
}

void showNote(benchmark::State &state)
{
    NoteRecord record;
    record.left = 100;
    record.top = 100;
    record.text = storedText(int(state.range(0)));
    for (auto _ : state) {
        TFormSticky note;
        note.applyRecord(record);
        note.show();
        note.RichEdit1()->viewport()->repaint();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(note.RichEdit1()->document()->size());
    }
}
BENCHMARK(showNote)
    ->ArgName("1MBplain_1MBrtf_100KBword_50MB")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
