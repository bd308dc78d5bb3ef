// Start-up with many stored notes: from an unread store to every note window created and shown.
// Run it on the test desktop (DISPLAY set) for the real window system, or with QT_QPA_PLATFORM=offscreen.
#include "app/form1.h"
#include "note/form_sticky.h"
#include "store/note_store.h"
#include "widgets/error_dialog.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "bench_support.h"

#include <benchmark/benchmark.h>

namespace {

void writeStore(const QString &path, int count)
{
    QList<NoteRecord> notes;
    for (int i = 0; i < count; ++i) {
        NoteRecord note;
        note.title = QStringLiteral("Note %1").arg(i + 1);
        note.left = 20 + (i * 37) % 900;
        note.top = 40 + (i * 53) % 600;
        note.text = QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Sans;}}"
                                   "\\viewkind4\\uc1\\pard\\li100\\ri100\\f0\\fs20 Buy milk, call %1, "
                                   "\\b water the plants\\b0\\par}")
                        .arg(i);
        notes.append(note);
    }
    NoteStore::save(path, notes);
}

void startUpWithNotes(benchmark::State &state)
{
    QTemporaryDir dir;
    const ProgramFolders folders = foldersIn(dir.path());
    writeStore(folders.storePath, int(state.range(0)));
    for (auto _ : state) {
        TForm1 form(folders);
        form.FormCreate(QString());
        QCoreApplication::processEvents();
        if (form.notes().size() != state.range(0) || !form.notes().back()->isVisible())
            state.SkipWithError("not every note was shown");
        state.PauseTiming();
        form.PMDeleteAllClick();
        // The delete saved the emptied store and kept the notes in the trash: every round starts afresh.
        writeStore(folders.storePath, int(state.range(0)));
        QFile::remove(NoteTrash::pathBeside(folders.storePath));
        state.ResumeTiming();
    }
}
BENCHMARK(startUpWithNotes)->Arg(1)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(
        argc, argv, [] { ErrorDialog::setHandler([](const QString &text) { qWarning("%s", qPrintable(text)); }); });
}
