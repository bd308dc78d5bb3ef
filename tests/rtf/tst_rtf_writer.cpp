#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

namespace {

QTextCharFormat charFormat(const QString &family, qreal points)
{
    QTextCharFormat format;
    format.setFontFamilies(QStringList{family});
    format.setFontPointSize(points);
    return format;
}

void insertList(QTextCursor &cursor, QTextListFormat::Style style, const QStringList &items)
{
    cursor.insertBlock(QTextBlockFormat(), charFormat(QStringLiteral("Arial"), 10));
    QTextListFormat format;
    format.setStyle(style);
    format.setIndent(1);
    QTextList *list = cursor.createList(format);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0) {
            cursor.insertBlock();
            list->add(cursor.block());
        }
        cursor.insertText(items.at(i), charFormat(QStringLiteral("Arial"), 10));
    }
}

// A note using every format the editor offers.
void buildEveryFormat(QTextDocument *document)
{
    QTextCursor cursor(document);
    QTextBlockFormat indented;
    indented.setLeftMargin(5);
    indented.setRightMargin(5);
    cursor.setBlockFormat(indented);
    const QTextCharFormat base = charFormat(QStringLiteral("Arial"), 10);
    cursor.insertText(QStringLiteral("plain "), base);
    QTextCharFormat format = base;
    format.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral("bold "), format);
    format = base;
    format.setFontItalic(true);
    cursor.insertText(QStringLiteral("italic "), format);
    format = base;
    format.setFontUnderline(true);
    cursor.insertText(QStringLiteral("underline "), format);
    format = base;
    format.setFontStrikeOut(true);
    cursor.insertText(QStringLiteral("strike "), format);
    format.setFontWeight(QFont::Bold);
    format.setFontItalic(true);
    format.setFontUnderline(true);
    cursor.insertText(QStringLiteral("all four "), format);
    format = base;
    format.setForeground(QColor(255, 0, 0));
    cursor.insertText(QStringLiteral("red "), format);
    format.setBackground(QColor(255, 255, 0));
    cursor.insertText(QStringLiteral("highlighted"), format);
    cursor.insertText(QStringLiteral("\ttabbed "), base);
    cursor.insertText(QStringLiteral("big"), charFormat(QStringLiteral("Times New Roman"), 18.5));
    cursor.insertText(QStringLiteral(" {braces} \\ back-slash -5"), base);

    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.insertBlock(centred, base);
    cursor.insertText(QStringLiteral("Привет, мир! "), charFormat(QStringLiteral("Calibri"), 12));
    cursor.insertText(QStringLiteral("Καλημέρα κόσμε "), charFormat(QStringLiteral("Calibri"), 14));
    cursor.insertText(QStringLiteral("Grüße € "), charFormat(QStringLiteral("Calibri"), 12));
    cursor.insertText(QStringLiteral("中文 \U0001F600"), charFormat(QStringLiteral("Calibri"), 12));

    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    right.setTextIndent(-18);
    right.setTopMargin(3);
    right.setBottomMargin(10);
    cursor.insertBlock(right, base);
    cursor.insertText(QStringLiteral("right") + QChar(QChar::LineSeparator) + QStringLiteral("second line"), base);

    insertList(cursor, QTextListFormat::ListDisc, {QStringLiteral("bullet one"), QStringLiteral("bullet two")});
    insertList(cursor, QTextListFormat::ListDecimal, {QStringLiteral("number one"), QStringLiteral("number two")});
    insertList(cursor, QTextListFormat::ListLowerAlpha, {QStringLiteral("small a"), QStringLiteral("small b")});
    insertList(cursor, QTextListFormat::ListUpperAlpha, {QStringLiteral("large A"), QStringLiteral("large B")});
    insertList(cursor, QTextListFormat::ListLowerRoman, {QStringLiteral("roman i"), QStringLiteral("roman ii")});
    insertList(cursor, QTextListFormat::ListUpperRoman, {QStringLiteral("ROMAN I"), QStringLiteral("ROMAN II")});

    cursor.insertBlock(indented, charFormat(QStringLiteral("Arial"), 16));
    cursor.insertBlock(indented, base);
    cursor.insertText(QStringLiteral("after an empty paragraph"), base);
}

QString listStyleName(const QTextBlock &block)
{
    const QTextList *list = block.textList();
    if (!list)
        return QStringLiteral("-");
    return QStringLiteral("%1#%2").arg(int(list->format().style())).arg(list->itemNumber(block));
}

// Everything a round trip must keep, one line per paragraph and per run of equally formatted
// characters, so that a comparison points at the paragraph or run that differs.
QStringList describe(const QTextDocument &document)
{
    const QString defaultFamily = document.defaultFont().family();
    auto charLine = [&](const QTextCharFormat &format) {
        const QStringList families = format.fontFamilies().toStringList();
        return QStringLiteral("%1 %2pt fg=%3 bg=%4 b=%5 i=%6 u=%7 s=%8")
            .arg(families.isEmpty() ? defaultFamily : families.front())
            .arg(format.fontPointSize())
            .arg(format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color().name()
                                                                  : QStringLiteral("-"))
            .arg(format.hasProperty(QTextFormat::BackgroundBrush) ? format.background().color().name()
                                                                  : QStringLiteral("-"))
            .arg(format.fontWeight() >= QFont::DemiBold)
            .arg(format.fontItalic())
            .arg(format.fontUnderline())
            .arg(format.fontStrikeOut());
    };
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        lines.append(QStringLiteral("paragraph align=%1 left=%2 right=%3 first=%4 before=%5 after=%6 list=%7")
                         .arg(int(format.alignment() & Qt::AlignHorizontal_Mask))
                         .arg(format.leftMargin())
                         .arg(format.rightMargin())
                         .arg(format.textIndent())
                         .arg(format.topMargin())
                         .arg(format.bottomMargin())
                         .arg(listStyleName(block)));
        if (block.length() == 1)
            lines.append(QStringLiteral("  empty, ") + charLine(block.charFormat()));
        QString run;
        QString runFormat;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QString line = charLine(it.fragment().charFormat());
            if (line != runFormat && !run.isEmpty()) {
                lines.append(QStringLiteral("  \"%1\" %2").arg(run, runFormat));
                run.clear();
            }
            runFormat = line;
            run += it.fragment().text();
        }
        if (!run.isEmpty())
            lines.append(QStringLiteral("  \"%1\" %2").arg(run, runFormat));
    }
    return lines;
}

QByteArray withoutLineBreaks(QByteArray rtf)
{
    return rtf.replace('\r', QByteArray()).replace('\n', QByteArray());
}

enum class Trip { AsWritten, LineBreaksRemoved, NoteText };

void roundTrip(const QTextDocument &source, QTextDocument *target, Trip trip)
{
    switch (trip) {
    case Trip::AsWritten:
        RtfReader::read(RtfWriter::write(source), target);
        break;
    case Trip::LineBreaksRemoved:
        RtfReader::read(withoutLineBreaks(RtfWriter::write(source)), target);
        break;
    case Trip::NoteText:
        RtfReader::readNoteText(RtfWriter::writeNoteText(source), target);
        break;
    }
}

void addTrips()
{
    QTest::addColumn<int>("trip");
    QTest::newRow("as written") << int(Trip::AsWritten);
    QTest::newRow("line breaks removed") << int(Trip::LineBreaksRemoved);
    QTest::newRow("note text") << int(Trip::NoteText);
}

} // namespace

class TestRtfWriter : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_everyFormat_keepsTextAndFormats_data() { addTrips(); }
    void roundTrip_everyFormat_keepsTextAndFormats()
    {
        QFETCH(int, trip);
        QTextDocument source;
        buildEveryFormat(&source);
        QTextDocument copy;
        roundTrip(source, &copy, Trip(trip));
        QCOMPARE(copy.toRawText(), source.toRawText());
        QCOMPARE(describe(copy), describe(source));
    }

    void roundTrip_twice_givesSameRtf()
    {
        QTextDocument source;
        buildEveryFormat(&source);
        const QByteArray first = RtfWriter::write(source);
        QTextDocument copy;
        RtfReader::read(first, &copy);
        QCOMPARE(RtfWriter::write(copy), first);
    }

    void roundTrip_editorDefaults_keepSizeAndIndents_data()
    {
        QTest::addColumn<int>("trip");
        QTest::addColumn<QString>("text");
        for (const Trip trip : {Trip::AsWritten, Trip::NoteText}) {
            const char *name = trip == Trip::AsWritten ? "as written" : "note text";
            QTest::newRow((QByteArray("empty note, ") + name).constData()) << int(trip) << QString();
            QTest::newRow((QByteArray("typed text, ") + name).constData()) << int(trip) << QStringLiteral("x");
        }
    }
    void roundTrip_editorDefaults_keepSizeAndIndents()
    {
        QFETCH(int, trip);
        QFETCH(QString, text);
        QTextDocument source;
        QTextCursor cursor(&source);
        QTextBlockFormat block;
        block.setLeftMargin(5);
        block.setRightMargin(5);
        cursor.setBlockFormat(block);
        QTextCharFormat chars;
        chars.setFontPointSize(10);
        cursor.setBlockCharFormat(chars);
        cursor.insertText(text, chars);
        QTextDocument copy;
        roundTrip(source, &copy, Trip(trip));
        QCOMPARE(copy.blockCount(), 1);
        QCOMPARE(copy.begin().blockFormat().leftMargin(), 5.0);
        QCOMPARE(copy.begin().blockFormat().rightMargin(), 5.0);
        QTextCursor end(&copy);
        end.movePosition(QTextCursor::End);
        QCOMPARE(end.charFormat().fontPointSize(), 10.0);
        QCOMPARE(copy.toPlainText(), text);
    }

    void write_document_hasRichEditShape_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("listStyle");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::newRow("header") << QStringLiteral("x") << 0
                                << QByteArrayList{"{\\rtf1\\ansi\\ansicpg1252\\deff0",
                                                  "{\\fonttbl{\\f0\\fnil\\fcharset0 "};
        QTest::newRow("latin in cp1252") << QStringLiteral("é€") << 0 << QByteArrayList{"\\'e9\\'80"};
        QTest::newRow("cyrillic under charset 204")
            << QStringLiteral("Вега") << 0 << QByteArrayList{"\\fcharset204 ", "\\'c2\\'e5\\'e3\\'e0"};
        QTest::newRow("greek under charset 161")
            << QStringLiteral("αβ") << 0 << QByteArrayList{"\\fcharset161 ", "\\'e1\\'e2"};
        QTest::newRow("chinese as unicode") << QStringLiteral("中") << 0 << QByteArrayList{"\\u20013?"};
        QTest::newRow("emoji as surrogates")
            << QStringLiteral("\U0001F600") << 0 << QByteArrayList{"\\u-10179?\\u-8704?"};
        QTest::newRow("escapes") << QStringLiteral("{a}\\") << 0 << QByteArrayList{"\\{a\\}\\\\"};
        QTest::newRow("tab and line") << QStringLiteral("a\tb") + QChar(QChar::LineSeparator) + QStringLiteral("c") << 0
                                      << QByteArrayList{"a\\tab b\\line c"};
        QTest::newRow("digits after a word") << QStringLiteral("\t2") << 0 << QByteArrayList{"\\tab 2"};
        QTest::newRow("bullets") << QStringLiteral("x") << int(QTextListFormat::ListDisc)
                                 << QByteArrayList{"\\pard{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{"
                                                   "\\pntxtb\\'b7}}",
                                                   "{\\f1\\fnil\\fcharset2 Symbol;}"};
        QTest::newRow("numbers") << QStringLiteral("x") << int(QTextListFormat::ListDecimal)
                                 << QByteArrayList{
                                        "{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1"
                                        "\\pndec{\\pntxta.}}"};
        QTest::newRow("small letters") << QStringLiteral("x") << int(QTextListFormat::ListLowerAlpha)
                                       << QByteArrayList{"{\\pntext\\f0 a.\\tab}", "\\pnlcltr{"};
        QTest::newRow("large letters") << QStringLiteral("x") << int(QTextListFormat::ListUpperAlpha)
                                       << QByteArrayList{"{\\pntext\\f0 A.\\tab}", "\\pnucltr{"};
        QTest::newRow("small roman") << QStringLiteral("x") << int(QTextListFormat::ListLowerRoman)
                                     << QByteArrayList{"{\\pntext\\f0 i.\\tab}", "\\pnlcrm{"};
        QTest::newRow("large roman") << QStringLiteral("x") << int(QTextListFormat::ListUpperRoman)
                                     << QByteArrayList{"{\\pntext\\f0 I.\\tab}", "\\pnucrm{"};
    }
    void write_document_hasRichEditShape()
    {
        QFETCH(QString, text);
        QFETCH(int, listStyle);
        QFETCH(QByteArrayList, expected);
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertText(text);
        if (listStyle != 0)
            cursor.createList(QTextListFormat::Style(listStyle));
        const QByteArray rtf = RtfWriter::write(document);
        for (const QByteArray &part : expected)
            QVERIFY2(rtf.contains(part), rtf.constData());
    }

    void write_listItems_numberTheirText()
    {
        QTextDocument document;
        QTextCursor cursor(&document);
        insertList(cursor, QTextListFormat::ListUpperRoman,
                   {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
        const QByteArray rtf = RtfWriter::write(document);
        QVERIFY(rtf.contains("{\\pntext\\f0 IV.\\tab}d\\par"));
        // The numbering group opens the list only; later items continue it as the control does.
        QCOMPARE(rtf.count("{\\*\\pn"), 1);
    }

    void writeNoteText_hasNoLineBreaks()
    {
        QTextDocument document;
        buildEveryFormat(&document);
        const QString text = RtfWriter::writeNoteText(document);
        QVERIFY(text.startsWith(QStringLiteral("{\\rtf1")));
        QVERIFY(!text.contains(QLatin1Char('\r')));
        QVERIFY(!text.contains(QLatin1Char('\n')));
        QVERIFY(!text.contains(QChar(0)));
        QVERIFY(RtfWriter::write(document).contains("\\par\r\n"));
    }

    void libreOffice_readsOurRtf_givesText()
    {
        const QString office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
        if (office.isEmpty())
            QSKIP("libreoffice is not installed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QTextDocument document;
        buildEveryFormat(&document);
        QFile rtf(dir.filePath(QStringLiteral("note.rtf")));
        QVERIFY(rtf.open(QIODevice::WriteOnly));
        rtf.write(RtfWriter::write(document));
        rtf.close();

        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(office,
                      {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                       QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                       QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("--outdir"), dir.path(),
                       rtf.fileName()});
        if (!process.waitForFinished(180000)) {
            process.kill();
            process.waitForFinished();
            QFAIL("libreoffice did not finish in time");
        }
        QFile txt(dir.filePath(QStringLiteral("note.txt")));
        QVERIFY2(txt.open(QIODevice::ReadOnly), process.readAllStandardError().constData());
        QString converted = QString::fromUtf8(txt.readAll());
        if (converted.startsWith(QChar(0xFEFF)))
            converted.remove(0, 1);
        QStringList lines = converted.split(QStringLiteral("\n"));
        for (QString &line : lines)
            line.remove(QLatin1Char('\r'));
        while (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();

        // One line per paragraph; numbered and bulleted paragraphs carry their label before the text.
        QStringList expected;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            expected.append(block.text().replace(QChar::LineSeparator, QLatin1Char('\n')));
        QCOMPARE(lines.join(QLatin1Char('\n')).count(QLatin1Char('\n')),
                 expected.join(QLatin1Char('\n')).count(QLatin1Char('\n')));
        const QStringList expectedLines = expected.join(QLatin1Char('\n')).split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < expectedLines.size(); ++i)
            QVERIFY2(lines.at(i).endsWith(expectedLines.at(i)),
                     qPrintable(QStringLiteral("line %1: \"%2\" should end with \"%3\"")
                                    .arg(i)
                                    .arg(lines.at(i), expectedLines.at(i))));
    }
};

QTEST_GUILESS_MAIN(TestRtfWriter)
#include "tst_rtf_writer.moc"
