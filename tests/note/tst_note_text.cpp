#include "note/form_sticky.h"
#include "note/note_font_dialog.h"
#include "note/text_format.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextList>
#include <QTimer>

namespace {

using namespace TextFormat;

struct Run {
    QString text;
    int points = 10;
    int bits = 0;
};

// A shown note holding one paragraph of runs.
void fill(TFormSticky &note, const QList<Run> &runs)
{
    QTextCursor cursor(note.RichEdit1()->document());
    for (const Run &run : runs) {
        QTextCharFormat format;
        format.setFontPointSize(run.points);
        setStyleBits(format, run.bits);
        cursor.insertText(run.text, format);
    }
}

void select(TFormSticky &note, int from, int to)
{
    QTextCursor cursor(note.RichEdit1()->document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    note.RichEdit1()->setTextCursor(cursor);
}

QTextCharFormat formatAt(const TFormSticky &note, int position)
{
    QTextCursor cursor(note.RichEdit1()->document());
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

void run(TFormSticky &note, const QStringList &items)
{
    for (const QString &item : items)
        note.menuItem(item)->trigger();
}

// Every paragraph's alignment, indents and list item, and every run of one look, in the terms the note
// shows them: what a save and a load must give back.
QStringList looks(const QTextDocument &document)
{
    QStringList result;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        const QTextList *list = block.textList();
        result.append(QStringLiteral("paragraph align %1 indents %2/%3 list %4 %5")
                          .arg(int(format.alignment() & Qt::AlignHorizontal_Mask))
                          .arg(format.leftMargin())
                          .arg(format.rightMargin())
                          .arg(list ? int(list->format().style()) : 0)
                          .arg(list ? list->itemText(block) : QString()));
        QString last;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat charFormat = it.fragment().charFormat();
            const QFont font = charFormat.font().resolve(document.defaultFont());
            const QString look =
                QStringLiteral("  %1 %2pt bits %3 color %4 back %5")
                    .arg(font.family())
                    .arg(font.pointSizeF())
                    .arg(styleBits(charFormat))
                    .arg(charFormat.hasProperty(QTextFormat::ForegroundBrush) ? charFormat.foreground().color().name()
                                                                              : QStringLiteral("none"))
                    .arg(charFormat.hasProperty(QTextFormat::BackgroundBrush) ? charFormat.background().color().name()
                                                                              : QStringLiteral("none"));
            if (look != last)
                result.append(look + QStringLiteral(": "));
            result.last() += it.fragment().text();
            last = look;
        }
    }
    return result;
}

} // namespace

// Editing and formatting a note's text from its menu and keys.
class TestNoteText : public QObject {
    Q_OBJECT

private slots:
    void sizes_data()
    {
        QTest::addColumn<int>("points"); // of the first selected run
        QTest::addColumn<int>("next");   // of the second
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("expected"); // of both
        QTest::newRow("more") << 10 << 10 << QStringList{"PMFontSizeMore"} << 12;
        QTest::newRow("more than 72, no cap") << 72 << 72 << QStringList{"PMFontSizeMore"} << 74;
        QTest::newRow("less 8 gives 6") << 8 << 8 << QStringList{"PMFontSizeLess"} << 6;
        QTest::newRow("less 9 gives 7, then stays") << 9 << 9 << QStringList{"PMFontSizeLess", "PMFontSizeLess"} << 7;
        QTest::newRow("less 6 stays") << 6 << 6 << QStringList{"PMFontSizeLess"} << 6;
        QTest::newRow("mixed: the first size counts") << 9 << 20 << QStringList{"PMFontSizeLess"} << 7;
        QTest::newRow("fixed 36") << 10 << 12 << QStringList{"PMFontSize36"} << 36;
        QTest::newRow("fixed 8 then less") << 72 << 72 << QStringList{"PMFontSize8", "PMFontSizeLess"} << 6;
    }
    void sizes()
    {
        QFETCH(int, points);
        QFETCH(int, next);
        QFETCH(QStringList, items);
        QFETCH(int, expected);
        TFormSticky note;
        fill(note, {{"one", points}, {"two", next}, {" tail", 9}});
        select(note, 0, 6);
        run(note, items);
        QCOMPARE(formatAt(note, 0).fontPointSize(), qreal(expected));
        QCOMPARE(formatAt(note, 5).fontPointSize(), qreal(expected));
        QCOMPARE(formatAt(note, 6).fontPointSize(), 9.0); // outside the selection
        QCOMPARE(note.baseFont().pointSize(), 8);
    }

    void sizes_wholePoints_data()
    {
        QTest::addColumn<qreal>("points");
        QTest::addColumn<int>("expected");
        QTest::newRow("half dropped") << 10.5 << 10;
        QTest::newRow("twips, then points") << 11.96 << 11; // 239 twips
        QTest::newRow("whole") << 72.0 << 72;
    }
    void sizes_wholePoints()
    {
        QFETCH(qreal, points);
        QFETCH(int, expected);
        QTextCharFormat format;
        format.setFontPointSize(points);
        QCOMPARE(wholePoints(format, QFont()), expected);
    }

    void sizes_nothingSelected_changeTheBaseFont_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("expected");
        QTest::newRow("first more: 10, as typed text already was") << QStringList{"PMFontSizeMore"} << 10;
        QTest::newRow("second more") << QStringList{"PMFontSizeMore", "PMFontSizeMore"} << 12;
        QTest::newRow("less: 6, below the creation size") << QStringList{"PMFontSizeLess"} << 6;
        QTest::newRow("less stops below 8") << QStringList{"PMFontSizeLess", "PMFontSizeLess"} << 6;
        QTest::newRow("fixed") << QStringList{"PMFontSize48"} << 48;
    }
    void sizes_nothingSelected_changeTheBaseFont()
    {
        QFETCH(QStringList, items);
        QFETCH(int, expected);
        TFormSticky note;
        note.menuItem(QStringLiteral("PMBold"))->trigger();
        run(note, items);
        QCOMPARE(note.baseFont().pointSize(), expected);
        QTest::keyClicks(note.RichEdit1(), QStringLiteral("typed"));
        // The base font is the typing format as a whole: the bold asked for before is gone.
        QCOMPARE(formatAt(note, 0).fontPointSize(), qreal(expected));
        QCOMPARE(styleBits(formatAt(note, 0)), 0);
    }

    void styles_data()
    {
        QTest::addColumn<QList<int>>("before"); // style bits of the characters "a", "b", "c"
        QTest::addColumn<QStringList>("items"); // each on the selection "ab"
        QTest::addColumn<QList<int>>("after");
        QTest::newRow("bold sets") << QList<int>{0, 0, 0} << QStringList{"PMBold"} << QList<int>{Bold, Bold, 0};
        QTest::newRow("second bold clears")
            << QList<int>{0, 0, 0} << QStringList{"PMBold", "PMBold"} << QList<int>{0, 0, 0};
        QTest::newRow("mixed: the first character's styles go to all")
            << QList<int>{Italic, Underline | StrikeOut, Bold} << QStringList{"PMBold"}
            << QList<int>{Bold | Italic, Bold | Italic, Bold};
        QTest::newRow("flags do not follow the text")
            << QList<int>{Bold, Bold, 0} << QStringList{"PMBold"} << QList<int>{Bold, Bold, 0};
        QTest::newRow("each style its own flag")
            << QList<int>{0, 0, 0} << QStringList{"PMItalic", "PMUnderline", "PMStrikeOut", "PMItalic"}
            << QList<int>{Underline | StrikeOut, Underline | StrikeOut, 0};
    }
    void styles()
    {
        QFETCH(QList<int>, before);
        QFETCH(QStringList, items);
        QFETCH(QList<int>, after);
        TFormSticky note;
        fill(note, {{"a", 10, before[0]}, {"b", 10, before[1]}, {"c", 10, before[2]}});
        select(note, 0, 2);
        run(note, items);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(styleBits(formatAt(note, i)), after[i]);
    }

    void style_secondUseOnOtherPlainText_clears()
    {
        TFormSticky note;
        note.show();
        QVERIFY(QTest::qWaitForWindowActive(&note));
        note.RichEdit1()->setFocus();
        fill(note, {{"one two"}});
        select(note, 0, 3);
        QTest::keyClick(note.RichEdit1(), Qt::Key_B, Qt::ControlModifier);
        select(note, 4, 7);
        note.menuItem(QStringLiteral("PMBold"))->trigger();
        QCOMPARE(styleBits(formatAt(note, 0)), int(Bold));
        QCOMPARE(styleBits(formatAt(note, 4)), 0);
    }

    void lists_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("kind");
        QTest::newRow("bullets") << "PMBullets" << int(QTextListFormat::ListDisc) << QString() << 1;
        QTest::newRow("numbers") << "PMNumbers" << int(QTextListFormat::ListDecimal) << "2." << 2;
        QTest::newRow("small letters") << "PMSmallLetters" << int(QTextListFormat::ListLowerAlpha) << "b." << 3;
        QTest::newRow("large letters") << "PMLargeLetters" << int(QTextListFormat::ListUpperAlpha) << "B." << 4;
        QTest::newRow("small roman") << "PMSmallRomanNumbers" << int(QTextListFormat::ListLowerRoman) << "ii." << 5;
        QTest::newRow("large roman") << "PMLargeRomanNumbers" << int(QTextListFormat::ListUpperRoman) << "II." << 6;
    }
    void lists()
    {
        QFETCH(QString, item);
        QFETCH(int, style);
        QFETCH(QString, label);
        QFETCH(int, kind);
        TFormSticky note;
        note.RichEdit1()->setPlainText(QStringLiteral("one\ntwo\nthree"));
        select(note, 1, 6); // touches the first two paragraphs
        note.menuItem(item)->trigger();
        const QTextDocument *document = note.RichEdit1()->document();
        const QTextList *list = document->begin().textList();
        QVERIFY(list);
        QCOMPARE(int(list->format().style()), style);
        QCOMPARE(list->count(), 2);
        if (!label.isEmpty()) // a bullet has no text
            QCOMPARE(list->itemText(document->begin().next()), label);
        QVERIFY(!document->lastBlock().textList());
        const TFormSticky::ListFormatRecord &record = note.listFormatRecord();
        QCOMPARE(record.cbSize, 188u);
        QCOMPARE(record.dwMask, 0xE020u);
        QCOMPARE(record.wNumbering, quint16(kind));
        QCOMPARE(record.wNumberingStart, quint16(1));
        QCOMPARE(record.wNumberingStyle, quint16(600));
        QCOMPARE(record.wNumberingTab, quint16(250));

        // Through the store and back, and then "None" takes the paragraphs out of the list.
        TFormSticky loaded;
        loaded.applyRecord(note.toRecord());
        QCOMPARE(looks(*loaded.RichEdit1()->document()), looks(*document));
        select(loaded, 0, 5);
        loaded.menuItem(QStringLiteral("PMNone"))->trigger();
        QVERIFY(!loaded.RichEdit1()->document()->begin().textList());
        QVERIFY(!loaded.RichEdit1()->document()->begin().next().textList());
        QCOMPARE(loaded.RichEdit1()->document()->begin().blockFormat().indent(), 0);
    }

    void lists_brokenRun_countsAsTheStoreReadsIt()
    {
        TFormSticky note;
        note.RichEdit1()->setPlainText(QStringLiteral("a\nb\nc\nd"));
        note.RichEdit1()->selectAll();
        note.menuItem(QStringLiteral("PMNumbers"))->trigger();
        select(note, 2, 2); // "b" becomes a bullet: "c" and "d" start again at 1
        note.menuItem(QStringLiteral("PMBullets"))->trigger();
        const QTextDocument *document = note.RichEdit1()->document();
        const QTextBlock c = document->findBlockByNumber(2);
        QCOMPARE(c.textList()->itemText(c), QStringLiteral("1."));
        QCOMPARE(c.textList()->itemText(c.next()), QStringLiteral("2."));
        TFormSticky loaded;
        loaded.applyRecord(note.toRecord());
        QCOMPARE(looks(*loaded.RichEdit1()->document()), looks(*document));
    }

    void caseCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("from"); // -1: nothing selected
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cyrillic, whole text") << QString::fromUtf8("Привет мир\nвторая строка") << "PMUppercase" << -1
                                              << -1 << QString::fromUtf8("ПРИВЕТ МИР\nВТОРАЯ СТРОКА");
        QTest::newRow("greek, whole text")
            << QString::fromUtf8("ΚΑΛΗΜΕΡΑ ΚΟΣΜΕ") << "PMLowercase" << -1 << -1 << QString::fromUtf8("καλημερα κοσμε");
        QTest::newRow("selection only") << QString::fromUtf8("ёжик ёлка") << "PMUppercase" << 0 << 4
                                        << QString::fromUtf8("ЁЖИК ёлка");
        QTest::newRow("a letter that grows")
            << QString::fromUtf8("straße weg") << "PMUppercase" << -1 << -1 << QString::fromUtf8("STRASSE WEG");
    }
    void caseCommands()
    {
        QFETCH(QString, text);
        QFETCH(QString, item);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, expected);
        TFormSticky note;
        note.RichEdit1()->setPlainText(text);
        // The last word is bold and keeps being bold, however long the text before it grew.
        const int lastWord = int(text.lastIndexOf(QLatin1Char(' '))) + 1;
        select(note, lastWord, int(text.size()));
        note.menuItem(QStringLiteral("PMBold"))->trigger();
        if (from >= 0)
            select(note, from, to);
        else
            select(note, 0, 0);
        note.menuItem(item)->trigger();
        QCOMPARE(note.RichEdit1()->toPlainText(), expected);
        const int shift = int(expected.size() - text.size());
        QCOMPARE(styleBits(formatAt(note, lastWord + shift)), int(Bold));
        QCOMPARE(styleBits(formatAt(note, lastWord + shift - 2)), 0);
        if (from < 0)
            QCOMPARE(note.RichEdit1()->textCursor().position(), int(expected.size()));
        // One undo step gives the text back.
        note.RichEdit1()->undo();
        QCOMPARE(note.RichEdit1()->toPlainText(), text);
    }

    void lockedNote_refusesEveryChange()
    {
        TFormSticky note;
        note.show();
        QVERIFY(QTest::qWaitForWindowActive(&note));
        note.RichEdit1()->setFocus();
        QTest::keyClicks(note.RichEdit1(), QStringLiteral("keep"));
        note.RichEdit1()->selectAll();
        QTest::keyClick(note.RichEdit1(), Qt::Key_B, Qt::ControlModifier);
        select(note, 4, 4);
        QTest::keyClicks(note.RichEdit1(), QStringLiteral(" me"));
        note.menuItem(QStringLiteral("PMLockText"))->trigger();
        const QString stored = note.toRecord().text;
        const QStringList before = looks(*note.RichEdit1()->document());
        QApplication::clipboard()->setText(QStringLiteral("pasted"));

        QTest::keyClicks(note.RichEdit1(), QStringLiteral("typed"));
        QTest::keyClick(note.RichEdit1(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(note.RichEdit1(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(note.RichEdit1(), Qt::Key_Y, Qt::ControlModifier);
        QTest::keyClick(note.RichEdit1(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(note.RichEdit1(), Qt::Key_Plus, Qt::KeypadModifier);
        note.RichEdit1()->selectAll();
        QTest::keyClick(note.RichEdit1(), Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(note.RichEdit1(), Qt::Key_Delete);
        for (const MenuRow<TFormSticky> &row : TFormSticky::menuRows()) {
            const QString name = QString::fromLatin1(row.name);
            if ((row.onClick || row.onValue) && name != QLatin1String("PMLockText") &&
                name != QLatin1String("PMAlarm") && name != QLatin1String("PMSaveAs") &&
                name != QLatin1String("PMPrint") && name != QLatin1String("PMFontSelect") &&
                name != QLatin1String("PMChangeTitle") && name != QLatin1String("PMChangeColor")) {
                note.menuItem(name)->trigger();
                select(note, 0, 0);
                note.menuItem(name)->trigger();
                note.RichEdit1()->selectAll();
            }
        }
        QCOMPARE(note.RichEdit1()->toPlainText(), QStringLiteral("keep me"));
        QCOMPARE(looks(*note.RichEdit1()->document()), before);
        QCOMPARE(note.toRecord().text, stored);
        QCOMPARE(note.baseFont().pointSize(), 8);
    }

    void loadedNote_undoChangesNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("rtf") << "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 stored\\par}";
        QTest::newRow("plain words") << "stored";
    }
    void loadedNote_undoChangesNothing()
    {
        QFETCH(QString, text);
        NoteRecord record;
        record.text = text;
        TFormSticky note;
        note.applyRecord(record);
        const QStringList before = looks(*note.RichEdit1()->document());
        note.show();
        QVERIFY(QTest::qWaitForWindowActive(&note));
        note.RichEdit1()->setFocus();
        QTest::keyClick(note.RichEdit1(), Qt::Key_Z, Qt::ControlModifier);
        note.menuItem(QStringLiteral("PMUndo"))->trigger();
        QCOMPARE(note.RichEdit1()->toPlainText(), QStringLiteral("stored"));
        QCOMPARE(looks(*note.RichEdit1()->document()), before);
        QCOMPARE(note.toRecord().text, text);
    }

    void keypad_changesSizeAndStillTypes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("points"); // of the base font, which the typed character takes
        QTest::addColumn<QString>("typed");
        QTest::newRow("keypad plus") << int(Qt::Key_Plus) << int(Qt::KeypadModifier) << 10 << "x+";
        QTest::newRow("keypad minus") << int(Qt::Key_Minus) << int(Qt::KeypadModifier) << 6 << "x-";
        QTest::newRow("ctrl keypad plus: no character")
            << int(Qt::Key_Plus) << int(Qt::KeypadModifier | Qt::ControlModifier) << 10 << "x";
        QTest::newRow("main keyboard plus") << int(Qt::Key_Plus) << int(Qt::NoModifier) << 8 << "x+";
        QTest::newRow("main keyboard minus") << int(Qt::Key_Minus) << int(Qt::NoModifier) << 8 << "x-";
    }
    void keypad_changesSizeAndStillTypes()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, points);
        QFETCH(QString, typed);
        TFormSticky note;
        note.show();
        QVERIFY(QTest::qWaitForWindowActive(&note));
        note.RichEdit1()->setFocus();
        QTest::keyClicks(note.RichEdit1(), QStringLiteral("x"));
        QTest::keyClick(note.RichEdit1(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(note.baseFont().pointSize(), points);
        QCOMPARE(note.RichEdit1()->toPlainText(), typed);
        if (typed.size() > 1 && points != 8)
            QCOMPARE(formatAt(note, 1).fontPointSize(), qreal(points));
    }

    void keypad_onASelection_sizesIt()
    {
        TFormSticky note;
        note.show();
        QVERIFY(QTest::qWaitForWindowActive(&note));
        note.RichEdit1()->setFocus();
        QTest::keyClicks(note.RichEdit1(), QStringLiteral("word"));
        note.RichEdit1()->selectAll();
        QTest::keyClick(note.RichEdit1(), Qt::Key_Plus, Qt::KeypadModifier | Qt::ControlModifier);
        QCOMPARE(note.RichEdit1()->toPlainText(), QStringLiteral("word"));
        QCOMPARE(formatAt(note, 3).fontPointSize(), 12.0);
    }

    void formattedNote_survivesTheStore()
    {
        NoteRecord plain; // shown with the indents of typed text
        plain.text = QString::fromUtf8("Title line\nbold italic under strike\nbig small\nпервый\nsecond\nright side");
        TFormSticky note;
        note.applyRecord(plain);
        const auto at = [&](const QString &text) {
            return int(note.RichEdit1()->document()->toPlainText().indexOf(text));
        };
        const auto format = [&](const QString &text, const QStringList &items) {
            select(note, at(text), at(text) + int(text.size()));
            run(note, items);
        };
        format(QStringLiteral("Title line"), {"PMAlignCenter", "PMFontSize24"});
        format(QStringLiteral("bold"), {"PMBold"});
        format(QStringLiteral("italic"), {"PMItalic"});
        format(QStringLiteral("under"), {"PMUnderline"});
        format(QStringLiteral("strike"), {"PMStrikeOut"});
        format(QStringLiteral("big"), {"PMFontSizeMore", "PMFontSizeMore"});
        format(QStringLiteral("small"), {"PMFontSize8", "PMFontSizeLess"});
        format(QString::fromUtf8("первый\nsecond"), {"PMSmallRomanNumbers", "PMUppercase"});
        format(QStringLiteral("right side"), {"PMAlignRight", "PMLargeLetters"});
        select(note, at(QStringLiteral("side")), at(QStringLiteral("side")) + 4);
        note.applyFont({QFont(QStringLiteral("DejaVu Serif"), 14), QColor(0x80, 0, 0)});

        TFormSticky loaded;
        loaded.applyRecord(note.toRecord());
        QCOMPARE(loaded.RichEdit1()->toPlainText(), note.RichEdit1()->toPlainText());
        QCOMPARE(looks(*loaded.RichEdit1()->document()), looks(*note.RichEdit1()->document()));
        // And a second time, unchanged.
        QCOMPARE(TFormSticky().toRecord().text, QString());
        TFormSticky again;
        again.applyRecord(loaded.toRecord());
        QCOMPARE(looks(*again.RichEdit1()->document()), looks(*note.RichEdit1()->document()));
    }

    void plainStoredText_showsAsTypedText()
    {
        NoteRecord record;
        record.text = QStringLiteral("plain words\nsecond line");
        TFormSticky note;
        note.applyRecord(record);
        for (QTextBlock block = note.RichEdit1()->document()->begin(); block.isValid(); block = block.next()) {
            QCOMPARE(block.blockFormat().leftMargin(), 5.0);
            QCOMPARE(block.blockFormat().rightMargin(), 5.0);
            QCOMPARE(wholePoints(block.begin().fragment().charFormat(), note.baseFont()), 10);
        }
        QCOMPARE(note.toRecord().text, record.text); // nothing edited: given back as it was
        note.RichEdit1()->moveCursor(QTextCursor::End);
        note.RichEdit1()->insertPlainText(QStringLiteral("!"));
        QCOMPARE(formatAt(note, int(record.text.size())).fontPointSize(), 10.0);
        note.RichEdit1()->undo();
        note.RichEdit1()->undo();
        QCOMPARE(note.RichEdit1()->toPlainText(), QStringLiteral("plain words\nsecond line"));
    }

    void newNote_typedTextIs10Point_whereverTheCaretIsPut()
    {
        TFormSticky note;
        note.show();
        QTest::mouseClick(note.RichEdit1()->viewport(), Qt::LeftButton, {}, QPoint(50, 50));
        note.RichEdit1()->setTextCursor(QTextCursor(note.RichEdit1()->document())); // a caret put anew
        QTest::keyClicks(note.RichEdit1(), QStringLiteral("hi"));
        QCOMPARE(formatAt(note, 0).fontPointSize(), 10.0);
        QCOMPARE(note.RichEdit1()->document()->begin().blockFormat().leftMargin(), 5.0);
        // The creation format is no edit of the user's to undo.
        note.RichEdit1()->undo();
        QVERIFY(!note.RichEdit1()->document()->isUndoAvailable());
        QCOMPARE(note.RichEdit1()->document()->begin().blockFormat().leftMargin(), 5.0);
    }

    void paste_keepsTextFormatsNotPageLayout()
    {
        TFormSticky note;
        note.show();
        auto *data = new QMimeData;
        data->setHtml(QStringLiteral(
            "<html><body style='background:#202020; margin:40px'><div style='width:600px; margin-left:80px'>"
            "<p style='margin:30px; text-align:center'><b>Bold</b> <i>it</i> <span style='color:#ff0000'>red</span>"
            " <span style='background-color:#ffff00'>marked</span></p>"
            "<ul><li>one</li><li>two</li></ul><table width='500' border='1'><tr><td>cell</td></tr></table>"
            "<img src='x.png'></div></body></html>"));
        data->setText(QStringLiteral("plain"));
        QApplication::clipboard()->setMimeData(data);
        note.menuItem(QStringLiteral("PMPaste"))->trigger();
        const QTextDocument *document = note.RichEdit1()->document();
        QCOMPARE(document->toPlainText(), QStringLiteral("Bold it red marked\none\ntwo\ncell"));
        QVERIFY(document->rootFrame()->childFrames().isEmpty()); // no table, no frame
        QVERIFY(!document->toPlainText().contains(QChar::ObjectReplacementCharacter));
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            QCOMPARE(block.blockFormat().leftMargin(), 5.0);
            QCOMPARE(block.blockFormat().topMargin(), 0.0);
        }
        QCOMPARE(document->begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(styleBits(formatAt(note, 0)), int(Bold));
        QCOMPARE(styleBits(formatAt(note, 5)), int(Italic));
        QCOMPARE(formatAt(note, 8).foreground().color(), QColor(Qt::red));
        QCOMPARE(formatAt(note, 12).background().color(), QColor(Qt::yellow));
        QVERIFY(!formatAt(note, 0).hasProperty(QTextFormat::BackgroundBrush));
        const QTextBlock one = document->findBlockByNumber(1);
        QVERIFY(one.textList());
        QCOMPARE(one.textList()->count(), 2);
        QVERIFY(!document->findBlockByNumber(3).textList());

        TFormSticky loaded;
        loaded.applyRecord(note.toRecord());
        QCOMPARE(looks(*loaded.RichEdit1()->document()), looks(*document));
    }

    void paste_sizes_areShownAndSteppedInPoints_data()
    {
        QTest::addColumn<QString>("size"); // the pasted text's CSS font size
        QTest::addColumn<int>("points");
        QTest::newRow("pixels, at 96 dpi") << "16px" << 12;
        QTest::newRow("points") << "16pt" << 16;
    }
    void paste_sizes_areShownAndSteppedInPoints()
    {
        QFETCH(QString, size);
        QFETCH(int, points);
        TFormSticky note;
        auto *data = new QMimeData;
        data->setHtml(QStringLiteral("<span style='font-size:%1'>sized</span>").arg(size));
        QApplication::clipboard()->setMimeData(data);
        note.menuItem(QStringLiteral("PMPaste"))->trigger();
        QCOMPARE(wholePoints(formatAt(note, 0), note.baseFont()), points);
        TFormSticky loaded;
        loaded.applyRecord(note.toRecord());
        QCOMPARE(wholePoints(formatAt(loaded, 0), loaded.baseFont()), points);
        select(note, 0, 5);
        run(note, {"PMFontSizeMore"});
        QCOMPARE(formatAt(note, 0).fontPointSize(), points + 2.0);
    }

    void paste_backgroundUnderEverything_isThePages()
    {
        TFormSticky note;
        auto *data = new QMimeData;
        data->setHtml(QStringLiteral("<span style='background-color:#ffffff'>white page</span>"));
        QApplication::clipboard()->setMimeData(data);
        note.menuItem(QStringLiteral("PMPaste"))->trigger();
        QCOMPARE(note.RichEdit1()->toPlainText(), QStringLiteral("white page"));
        QVERIFY(!formatAt(note, 0).hasProperty(QTextFormat::BackgroundBrush));
    }

    void fontDialog_appliesAndReopensOnTheLastChoice()
    {
        TFormSticky note;
        note.show();
        fill(note, {{"word"}});
        select(note, 0, 4);
        QFont opened;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<NoteFontDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            opened = dialog->currentFont();
            dialog->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 14));
            dialog->colorBox()->setCurrentIndex(dialog->colorBox()->findText(QStringLiteral("Red")));
            dialog->accept();
        });
        note.menuItem(QStringLiteral("PMFontSelect"))->trigger();
        QCOMPARE(opened.pointSize(), 8);
        QCOMPARE(formatAt(note, 0).fontPointSize(), 14.0);
        QCOMPARE(formatAt(note, 3).foreground().color(), QColor(Qt::red));
        QCOMPARE(note.baseFont().pointSize(), 8);

        select(note, 4, 4); // nothing selected: the choice is the base font
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<NoteFontDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            opened = dialog->currentFont();
            QCOMPARE(dialog->colorBox()->currentText(), QStringLiteral("Red"));
            dialog->accept();
        });
        note.menuItem(QStringLiteral("PMFontSelect"))->trigger();
        QCOMPARE(opened.pointSize(), 14);
        QCOMPARE(note.baseFont().pointSize(), 14);
        QCOMPARE(note.RichEdit1()->currentCharFormat().foreground().color(), QColor(Qt::red));
    }
};

QTEST_MAIN(TestNoteText)
#include "tst_note_text.moc"
