#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"

#include <QCoreApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <benchmark/benchmark.h>

#include <map>

namespace {

QTextCharFormat runFormat(const char *family, qreal points)
{
    QTextCharFormat format;
    format.setFontFamilies(QStringList{QString::fromLatin1(family)});
    format.setFontPointSize(points);
    return format;
}

// One screenful of a typical note: a formatted paragraph with Cyrillic words and a tab, a bullet list
// and a numbered list, about 1.4 KB of RTF.
void appendUnit(QTextCursor &cursor, int index)
{
    const QTextCharFormat base = runFormat("Arial", 10);
    QTextCharFormat bold = base;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat red = base;
    red.setForeground(QColor(200, 0, 0));
    QTextCharFormat big = runFormat("Times New Roman", 14);
    big.setFontItalic(true);
    QTextCharFormat marked = base;
    marked.setBackground(QColor(255, 255, 0));
    marked.setFontUnderline(true);

    QTextBlockFormat paragraph;
    paragraph.setLeftMargin(5);
    paragraph.setRightMargin(5);
    if (index > 0)
        cursor.insertBlock(paragraph, base);
    else
        cursor.setBlockFormat(paragraph);
    cursor.insertText(QStringLiteral("Meeting %1: call the supplier about the ").arg(index), base);
    cursor.insertText(QStringLiteral("late delivery"), bold);
    cursor.insertText(QStringLiteral(" before Friday, and ask for the "), base);
    cursor.insertText(QStringLiteral("new price list"), red);
    cursor.insertText(QStringLiteral(".\tСрочно: позвонить поставщику. "), base);
    cursor.insertText(QStringLiteral("Remember the receipts!"), big);
    cursor.insertText(QStringLiteral(" Budget "), base);
    cursor.insertText(QStringLiteral("approved"), marked);
    cursor.insertText(QStringLiteral(" by the board last week, minus travel costs."), base);

    const struct {
        QTextListFormat::Style style;
        const char *items[3];
    } lists[] = {
        {QTextListFormat::ListDisc, {"milk, bread and butter", "stamps for the letters", "new printer cartridge"}},
        {QTextListFormat::ListDecimal, {"reply to the insurance", "book the train tickets", "water the plants"}},
    };
    for (const auto &list : lists) {
        cursor.insertBlock(paragraph, base);
        QTextListFormat format;
        format.setStyle(list.style);
        format.setIndent(1);
        QTextList *textList = cursor.createList(format);
        for (int i = 0; i < 3; ++i) {
            if (i > 0) {
                cursor.insertBlock(paragraph, base);
                textList->add(cursor.block());
            }
            cursor.insertText(QString::fromLatin1(list.items[i]), i == 1 ? bold : base);
        }
    }
}

// The RTF of a note of about the given size, built once per size.
const QByteArray &rtfOfSize(qint64 bytes)
{
    static std::map<qint64, QByteArray> cache;
    auto it = cache.find(bytes);
    if (it != cache.end())
        return it->second;
    QTextDocument unit;
    QTextCursor unitCursor(&unit);
    appendUnit(unitCursor, 0);
    const qint64 oneUnit = RtfWriter::write(unit).size();
    appendUnit(unitCursor, 1);
    const qint64 unitSize = RtfWriter::write(unit).size() - oneUnit;
    QTextDocument document;
    QTextCursor cursor(&document);
    const qint64 units = qMax<qint64>(1, bytes / unitSize);
    for (int i = 0; i < units; ++i)
        appendUnit(cursor, i);
    return cache.emplace(bytes, RtfWriter::write(document)).first->second;
}

void readRtf(benchmark::State &state)
{
    const QByteArray &rtf = rtfOfSize(state.range(0));
    QTextDocument document;
    for (auto _ : state)
        RtfReader::read(rtf, &document);
    state.SetBytesProcessed(state.iterations() * rtf.size());
    state.counters["rtf_bytes"] = double(rtf.size());
}

void readNoteText(benchmark::State &state)
{
    QByteArray oneLine = rtfOfSize(state.range(0));
    oneLine.replace('\r', QByteArray()).replace('\n', QByteArray());
    const QString text = QString::fromLatin1(oneLine);
    QTextDocument document;
    for (auto _ : state)
        RtfReader::readNoteText(text, &document);
    state.SetBytesProcessed(state.iterations() * oneLine.size());
}

void writeRtf(benchmark::State &state)
{
    QTextDocument document;
    RtfReader::read(rtfOfSize(state.range(0)), &document);
    qint64 written = 0;
    for (auto _ : state)
        written = RtfWriter::write(document).size();
    state.SetBytesProcessed(state.iterations() * written);
}

constexpr qint64 kilobyte = 1024;
constexpr qint64 megabyte = 1024 * kilobyte;

} // namespace

BENCHMARK(readRtf)
    ->Arg(10 * kilobyte)
    ->Arg(100 * kilobyte)
    ->Arg(megabyte)
    ->Arg(10 * megabyte)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(writeRtf)
    ->Arg(10 * kilobyte)
    ->Arg(100 * kilobyte)
    ->Arg(megabyte)
    ->Arg(10 * megabyte)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(readNoteText)->Arg(megabyte)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
