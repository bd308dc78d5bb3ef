#include "base/app_error.h"
#include "rtf/rtf_reader.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace {

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(QUILLET_TEST_DATA "/rtf/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

QByteArray withoutLineBreaks(QByteArray rtf)
{
    return rtf.replace('\r', QByteArray()).replace('\n', QByteArray());
}

// The document's paragraphs joined by "|", line separators shown as "^", so that a lost or an extra
// paragraph shows in a comparison.
QString paragraphs(const QTextDocument &document)
{
    QStringList texts;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        texts.append(block.text().replace(QChar::LineSeparator, QLatin1Char('^')));
    return texts.join(QLatin1Char('|'));
}

QTextCharFormat formatAt(const QTextDocument &document, const QString &word)
{
    const QTextCursor found = document.find(word);
    if (found.isNull())
        return QTextCharFormat();
    QTextCursor cursor(found.block());
    cursor.setPosition(found.selectionStart() + 1);
    return cursor.charFormat();
}

QTextBlock blockWith(const QTextDocument &document, const QString &word)
{
    return document.find(word).block();
}

QString family(const QTextCharFormat &format)
{
    return format.fontFamilies().toStringList().value(0);
}

void addVariants(const char *name, const QString &file)
{
    QTest::newRow((QByteArray(name) + " as written").constData()) << file << false;
    QTest::newRow((QByteArray(name) + " one line").constData()) << file << true;
}

} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT

private:
    void readFixture(QTextDocument *document)
    {
        QFETCH(QString, file);
        QFETCH(bool, oneLine);
        const QByteArray rtf = fixture(file);
        RtfReader::read(oneLine ? withoutLineBreaks(rtf) : rtf, document);
    }

private slots:
    void read_fixture_keepsText_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        QTest::addColumn<QString>("expected");
        const struct {
            const char *name;
            const char *file;
            QString text;
        } rows[] = {
            {"trailing NUL", "01_riched20_win11_minimal_crlf_nul.rtf", QStringLiteral("ahmad12893")},
            {"bullets then numbers", "02_riched20_bullets_then_numbering.rtf", QStringLiteral("A|B|C|D")},
            {"cyrillic ansicpg1251", "04_riched20_cyrillic_cp1251_wordpad.rtf", QStringLiteral("Вега,_Лопе_де")},
            {"colours and sizes", "05_riched20_colors_sizes_cp1251.rtf",
             QStringLiteral("I am a Rich Text control!!!!!!")},
            {"highlight", "06_riched20_highlight_center.rtf", QStringLiteral("RedBlueGreen")},
            {"field", "07_riched20_hyperlink_field.rtf", QStringLiteral("http://www.xxxx.co.uk||")},
            {"stray brace after document", "08_riched20_highlight_paragraphs.rtf",
             QStringLiteral("Background|2nd line|")},
            {"greek fcharset161", "greek_fcharset161.rtf", QStringLiteral("Αλφα βήτα")},
            {"japanese fcharset128", "12_msftedit_japanese_cp932_underline.rtf",
             QStringLiteral("バージョンアップ注文書（銀行振込）")},
            {"picture", "13_riched20_cp1251_wmf_picture.rtf", QStringLiteral("||||")},
            {"picture with binary data", "picture_binary.rtf", QStringLiteral("before middle after")},
            {"glued words", "glued_lines.rtf", QStringLiteral("first|second|2nd line^tabbed\tend|der Mann|linear")},
            {"word lists and field", "word_lists_field.rtf", QStringLiteral("apple|pear|first|second|link and bold")},
            {"libreoffice", "libreoffice_shape.rtf",
             QStringLiteral("buy milk and bread|10:30 dentist|italic centred cafeunderlined")},
        };
        for (const auto &row : rows) {
            QTest::newRow((QByteArray(row.name) + " as written").constData())
                << QString::fromLatin1(row.file) << false << row.text;
            QTest::newRow((QByteArray(row.name) + " one line").constData())
                << QString::fromLatin1(row.file) << true << row.text;
        }
    }
    void read_fixture_keepsText()
    {
        QFETCH(QString, expected);
        QTextDocument document;
        readFixture(&document);
        QCOMPARE(paragraphs(document), expected);
    }

    void read_czechWordPad_decodesCharsetAndUnicodeEscape_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        addVariants("czech", QStringLiteral("09_msftedit_wordpad_czech_u_escape.rtf"));
    }
    void read_czechWordPad_decodesCharsetAndUnicodeEscape()
    {
        QTextDocument document;
        readFixture(&document);
        QCOMPARE(document.blockCount(), 3);
        QCOMPARE(document.begin().text(), QStringLiteral("Článek týdne"));
        QVERIFY(document.toPlainText().contains(QStringLiteral("2. stol. př.\u2009n.\u2009l. a zaniklo")));
        QVERIFY(!document.toPlainText().contains(QLatin1Char('?')));
    }

    void read_gbkUnderCharset134_decodesChineseBullets_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        addVariants("cp936", QStringLiteral("11_msftedit_bullets_cjk_cp936.rtf"));
    }
    void read_gbkUnderCharset134_decodesChineseBullets()
    {
        QTextDocument document;
        readFixture(&document);
        QCOMPARE(document.begin().text(), QStringLiteral("FlashFXP v3.1.5 build 1054 Beta"));
        QVERIFY(formatAt(document, QStringLiteral("FlashFXP")).fontUnderline());
        const QTextBlock heading = blockWith(document, QStringLiteral("新功能"));
        QVERIFY(heading.isValid());
        QCOMPARE(family(formatAt(document, QStringLiteral("新功能"))), QStringLiteral("宋体"));
        const QTextBlock item = blockWith(document, QStringLiteral("加入 URL 加亮到状态窗"));
        QVERIFY(item.isValid());
        QVERIFY(item.textList());
        QCOMPARE(item.textList()->format().style(), QTextListFormat::ListDisc);
        QCOMPARE(item.blockFormat().textIndent(), -18.0);
        QCOMPARE(item.blockFormat().leftMargin(), 18.0);
        QVERIFY(document.toPlainText().contains(QStringLiteral("加入“TCP/IP 下载数据包大小”设置")));
    }

    void read_richEditLists_giveListStyles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        addVariants("kinds", QStringLiteral("numbering_kinds.rtf"));
    }
    void read_richEditLists_giveListStyles()
    {
        QTextDocument document;
        readFixture(&document);
        QCOMPARE(paragraphs(document), QStringLiteral("one|two|three|four|five|six|plain"));
        const struct {
            const char *word;
            QTextListFormat::Style style;
        } items[] = {
            {"one", QTextListFormat::ListLowerAlpha},   {"two", QTextListFormat::ListLowerAlpha},
            {"three", QTextListFormat::ListUpperAlpha}, {"four", QTextListFormat::ListLowerRoman},
            {"five", QTextListFormat::ListUpperRoman},  {"six", QTextListFormat::ListDecimal},
        };
        for (const auto &item : items) {
            const QTextBlock block = blockWith(document, QString::fromLatin1(item.word));
            QVERIFY2(block.textList(), item.word);
            QCOMPARE(block.textList()->format().style(), item.style);
            QCOMPARE(block.blockFormat().leftMargin(), 36.0);
        }
        QCOMPARE(blockWith(document, QStringLiteral("one")).textList(),
                 blockWith(document, QStringLiteral("two")).textList());
        QCOMPARE(blockWith(document, QStringLiteral("two"))
                     .textList()
                     ->itemNumber(blockWith(document, QStringLiteral("two"))),
                 1);
        QVERIFY(!blockWith(document, QStringLiteral("plain")).textList());
    }

    void read_bulletsThenNumbers_makesTwoLists_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        addVariants("02", QStringLiteral("02_riched20_bullets_then_numbering.rtf"));
    }
    void read_bulletsThenNumbers_makesTwoLists()
    {
        QTextDocument document;
        readFixture(&document);
        QTextList *bullets = blockWith(document, QStringLiteral("A")).textList();
        QVERIFY(bullets);
        QCOMPARE(bullets->format().style(), QTextListFormat::ListDisc);
        QCOMPARE(bullets->count(), 3);
        QTextList *numbers = blockWith(document, QStringLiteral("D")).textList();
        QVERIFY(numbers);
        QVERIFY(numbers != bullets);
        QCOMPARE(numbers->format().style(), QTextListFormat::ListDecimal);
        const QTextCharFormat a = formatAt(document, QStringLiteral("A"));
        QCOMPARE(family(a), QStringLiteral("Segoe UI"));
        QCOMPARE(a.fontPointSize(), 11.5);
        QCOMPARE(a.foreground().color(), QColor(255, 255, 255));
    }

    void read_otherWritersLists_giveListStyles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        addVariants("word", QStringLiteral("word_lists_field.rtf"));
    }
    void read_otherWritersLists_giveListStyles()
    {
        QTextDocument document;
        readFixture(&document);
        QTextList *fruit = blockWith(document, QStringLiteral("apple")).textList();
        QVERIFY(fruit);
        QCOMPARE(fruit->count(), 2);
        QCOMPARE(fruit->format().style(), QTextListFormat::ListDisc);
        QTextList *letters = blockWith(document, QStringLiteral("second")).textList();
        QVERIFY(letters);
        QCOMPARE(letters->format().style(), QTextListFormat::ListLowerAlpha);
        QVERIFY(!blockWith(document, QStringLiteral("link")).textList());
        const QTextCharFormat link = formatAt(document, QStringLiteral("link"));
        QVERIFY(link.fontUnderline());
        QCOMPARE(link.foreground().color(), QColor(5, 99, 193));
        QCOMPARE(family(link), QStringLiteral("Times New Roman"));
        QVERIFY(formatAt(document, QStringLiteral("bold")).fontWeight() == QFont::Bold);
        QVERIFY(formatAt(document, QStringLiteral(" and")).fontWeight() == QFont::Normal);
    }

    void read_colorsSizesStyles_giveCharFormats_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        addVariants("05", QStringLiteral("05_riched20_colors_sizes_cp1251.rtf"));
    }
    void read_colorsSizesStyles_giveCharFormats()
    {
        QTextDocument document;
        readFixture(&document);
        const QTextCharFormat am = formatAt(document, QStringLiteral("am"));
        QVERIFY(am.fontItalic());
        QCOMPARE(am.fontPointSize(), 11.0);
        QCOMPARE(family(am), QStringLiteral("Calibri"));
        const QTextCharFormat rich = formatAt(document, QStringLiteral("Rich"));
        QCOMPARE(rich.fontWeight(), int(QFont::Bold));
        QCOMPARE(rich.foreground().color(), QColor(255, 0, 0));
        QVERIFY(!rich.fontItalic());
        const QTextCharFormat control = formatAt(document, QStringLiteral("control"));
        QCOMPARE(control.fontWeight(), int(QFont::Normal));
        QVERIFY(!control.hasProperty(QTextFormat::ForegroundBrush));
        QCOMPARE(control.fontPointSize(), 12.0);
        QTextCursor last(document.lastBlock());
        last.movePosition(QTextCursor::EndOfBlock);
        QCOMPARE(last.charFormat().fontPointSize(), 24.0);
        QCOMPARE(last.charFormat().foreground().color(), QColor(75, 172, 198));
        QCOMPARE(document.begin().blockFormat().bottomMargin(), 10.0);
    }

    void read_highlightAndCentre_giveBackgroundAndAlignment_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        addVariants("06", QStringLiteral("06_riched20_highlight_center.rtf"));
    }
    void read_highlightAndCentre_giveBackgroundAndAlignment()
    {
        QTextDocument document;
        readFixture(&document);
        QCOMPARE(document.begin().blockFormat().alignment(), Qt::AlignHCenter);
        QCOMPARE(formatAt(document, QStringLiteral("Red")).background().color(), QColor(255, 0, 0));
        QCOMPARE(formatAt(document, QStringLiteral("Blue")).background().color(), QColor(0, 0, 255));
        QCOMPARE(formatAt(document, QStringLiteral("Green")).background().color(), QColor(0, 255, 0));
    }

    void read_japaneseUnderAnsi1252_usesFontCharset_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("oneLine");
        addVariants("12", QStringLiteral("12_msftedit_japanese_cp932_underline.rtf"));
    }
    void read_japaneseUnderAnsi1252_usesFontCharset()
    {
        QTextDocument document;
        readFixture(&document);
        const QTextCharFormat format = formatAt(document, QStringLiteral("バージョン"));
        QVERIFY(format.fontUnderline());
        QCOMPARE(format.fontWeight(), int(QFont::Bold));
        QCOMPARE(format.fontPointSize(), 20.0);
        QCOMPARE(family(format), QStringLiteral("MS Gothic"));
    }

    void read_codePage_decodesEscapedBytes_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        const struct {
            int codePage;
            const char *bytes;
            QString text;
        } pages[] = {
            {1250, "\\'e8", QStringLiteral("č")},
            {1251, "\\'c2\\'e5\\'e3\\'e0", QStringLiteral("Вега")},
            {1252, "\\'80\\'e9", QStringLiteral("€é")},
            {1253, "\\'e1", QStringLiteral("α")},
            {1254, "\\'f0", QStringLiteral("ğ")},
            {1255, "\\'e0", QStringLiteral("א")},
            {1256, "\\'c7", QStringLiteral("ا")},
            {1257, "\\'e0", QStringLiteral("ą")},
            {874, "\\'a1", QStringLiteral("ก")},
            {932, "\\'82\\'a0", QStringLiteral("あ")},
            {936, "\\'c4\\'e3\\'ba\\'c3", QStringLiteral("你好")},
            {949, "\\'c7\\'d1", QStringLiteral("한")},
            {950, "\\'a4\\'a4", QStringLiteral("中")},
        };
        for (const auto &page : pages) {
            QTest::newRow(qPrintable(QStringLiteral("ansicpg%1").arg(page.codePage)))
                << QByteArray("{\\rtf1\\ansi\\ansicpg" + QByteArray::number(page.codePage) +
                              "\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\\pard\\f0 x" + page.bytes + "y\\par}")
                << QStringLiteral("x") + page.text + QStringLiteral("y");
        }
        const struct {
            int charset;
            const char *bytes;
            QString text;
        } charsets[] = {
            {238, "\\'e8", QStringLiteral("č")},       {204, "\\'c2\\'e5", QStringLiteral("Ве")},
            {161, "\\'e1", QStringLiteral("α")},       {128, "\\'82\\'a0", QStringLiteral("あ")},
            {134, "\\'c4\\'e3", QStringLiteral("你")}, {129, "\\'c7\\'d1", QStringLiteral("한")},
            {136, "\\'a4\\'a4", QStringLiteral("中")}, {222, "\\'a1", QStringLiteral("ก")},
            {0, "\\'e8", QStringLiteral("è")},
        };
        for (const auto &charset : charsets) {
            QTest::newRow(qPrintable(QStringLiteral("fcharset%1").arg(charset.charset)))
                << QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\fnil\\fcharset" +
                              QByteArray::number(charset.charset) + " Other;}}\\pard\\f0 x\\f1 " + charset.bytes +
                              "\\f0 y\\par}")
                << QStringLiteral("x") + charset.text + QStringLiteral("y");
        }
        QTest::newRow("DBCS trail byte written as a letter")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fnil\\fcharset128 MS Gothic;}}\\f0\\'83W\\par}")
            << QStringLiteral("ジ");
        QTest::newRow("unknown code page reads as 1252")
            << QByteArray("{\\rtf1\\ansi\\ansicpg77777{\\fonttbl{\\f0\\fnil Arial;}}\\f0 \\'e9\\par}")
            << QStringLiteral("é");
    }
    void read_codePage_decodesEscapedBytes()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QTextDocument document;
        RtfReader::read(rtf, &document);
        QCOMPARE(paragraphs(document), expected);
    }

    void read_controlWords_giveText_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("glued par") << QByteArray("first\\parsecond") << QStringLiteral("first|second");
        QTest::newRow("digits after par") << QByteArray("one\\par2nd") << QStringLiteral("one|2nd");
        QTest::newRow("digits and space after par") << QByteArray("one\\par2 x") << QStringLiteral("one|2 x");
        QTest::newRow("par before d") << QByteArray("a\\pardone") << QStringLiteral("a|done");
        QTest::newRow("glued line") << QByteArray("a\\linebreak") << QStringLiteral("a^break");
        QTest::newRow("glued tab") << QByteArray("a\\tabx") << QStringLiteral("a\tx");
        QTest::newRow("glued quote") << QByteArray("\\ldblquotehi\\rdblquote") << QStringLiteral("“hi”");
        QTest::newRow("known word not split") << QByteArray("a\\pararsid123 b") << QStringLiteral("ab");
        QTest::newRow("unknown word ignored") << QByteArray("a\\foobar12 b") << QStringLiteral("ab");
        QTest::newRow("upper case ends a word") << QByteArray("a\\parSecond") << QStringLiteral("a|Second");
        QTest::newRow("escaped braces") << QByteArray("\\{x\\}\\\\") << QStringLiteral("{x}\\");
        QTest::newRow("special characters")
            << QByteArray("a\\~b\\_c\\emdash d\\bullet") << QStringLiteral("a\u00A0b\u2011c\u2014d\u2022");
        QTest::newRow("unicode with fallback") << QByteArray("\\u1042?\\u1077?") << QStringLiteral("Ве");
        QTest::newRow("uc2 skips two bytes") << QByteArray("\\uc2\\u20320\\'c4\\'e3x") << QStringLiteral("你x");
        QTest::newRow("uc0 skips nothing") << QByteArray("\\uc0\\u1042 x") << QStringLiteral("Вx");
        QTest::newRow("uc scoped to group") << QByteArray("{\\uc0 a}\\u1042?b") << QStringLiteral("aВb");
        QTest::newRow("negative unicode, surrogates")
            << QByteArray("\\u-10179?\\u-8704?") << QStringLiteral("\U0001F600");
        QTest::newRow("bin data skipped") << QByteArray("a\\bin3 {}\\b") << QStringLiteral("ab");
        QTest::newRow("unknown starred destination") << QByteArray("a{\\*\\xyz b{c}}d") << QStringLiteral("ad");
        QTest::newRow("unknown plain destination keeps text") << QByteArray("a{\\xyz b}c") << QStringLiteral("abc");
        QTest::newRow("fldinst without star")
            << QByteArray("{\\field{\\fldinst PAGE}{\\fldrslt 7}}") << QStringLiteral("7");
        QTest::newRow("pntext without pn") << QByteArray("\\pard{\\pntext 1.\\tab}x\\par") << QStringLiteral("x");
        QTest::newRow("backslash newline is a paragraph") << QByteArray("a\\\nb") << QStringLiteral("a|b");
        QTest::newRow("literal tab") << QByteArray("a\tb") << QStringLiteral("a\tb");
        QTest::newRow("page and row end paragraphs")
            << QByteArray("a\\page b\\cell c\\row d") << QStringLiteral("a|b\tc|d");
        QTest::newRow("trailing par adds no paragraph") << QByteArray("a\\par") << QStringLiteral("a");
        QTest::newRow("two trailing pars") << QByteArray("a\\par\\par") << QStringLiteral("a|");
        QTest::newRow("another writer's glued word") << QByteArray("{\\lochtext}") << QStringLiteral("text");
        QTest::newRow("glued word with capitals") << QByteArray("\\clNoWrapHello") << QStringLiteral("Hello");
        QTest::newRow("digits after a glued flag")
            << QByteArray("{\\loch10:30 dentist}") << QStringLiteral("10:30 dentist");
        QTest::newRow("flag written with a number") << QByteArray("\\sectunlocked1 a") << QStringLiteral("a");
        QTest::newRow("words with capitals")
            << QByteArray("\\trftsWidth3\\trwWidth500\\sectspecifygenN a") << QStringLiteral("a");
        QTest::newRow("value word no glue prefix") << QByteArray("a\\fsize b") << QStringLiteral("ab");
        QTest::newRow("words of the macOS writer")
            << QByteArray("\\vieww11520\\pard\\pardeftab720\\pardirnatural\\partightenfactor0 a")
            << QStringLiteral("a");
        QTest::newRow("no repair with line breaks") << QByteArray("a\\lochtext\r\nb") << QStringLiteral("ab");
        QTest::newRow("empty") << QByteArray("") << QString();
    }
    void read_controlWords_giveText()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QTextDocument document;
        RtfReader::read("{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fnil Arial;}}" + body + "}", &document);
        QCOMPARE(paragraphs(document), expected);
    }

    void read_paragraphFormats_giveBlockFormat()
    {
        QTextDocument document;
        RtfReader::read(
            "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\qr\\li100\\ri200\\fi-360\\sb40\\sa60\\tx720\\tx1440 "
            "a\\par\\pard\\qj b\\par\\pard c\\par}",
            &document);
        const QTextBlockFormat a = document.begin().blockFormat();
        QCOMPARE(a.alignment(), Qt::AlignRight);
        QCOMPARE(a.leftMargin(), 5.0);
        QCOMPARE(a.rightMargin(), 10.0);
        QCOMPARE(a.textIndent(), -18.0);
        QCOMPARE(a.topMargin(), 2.0);
        QCOMPARE(a.bottomMargin(), 3.0);
        QCOMPARE(a.tabPositions().size(), 2);
        QCOMPARE(a.tabPositions().at(1).position, 72.0);
        QCOMPARE(document.begin().next().blockFormat().alignment(), Qt::AlignJustify);
        const QTextBlockFormat c = document.lastBlock().blockFormat();
        QCOMPARE(c.alignment(), Qt::AlignLeft);
        QCOMPARE(c.leftMargin(), 0.0);
    }

    void read_plainAndGroups_resetCharFormats()
    {
        QTextDocument document;
        RtfReader::read(
            "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}{\\colortbl;\\red0\\green0\\blue255;}"
            "\\f0\\fs30\\b\\i\\ul\\strike\\cf1 A{\\b0 B}C\\plain D\\ul E\\ul0 F\\ul G\\ulnone H}",
            &document);
        const QTextCharFormat a = formatAt(document, QStringLiteral("A"));
        QCOMPARE(family(a), QStringLiteral("Arial"));
        QCOMPARE(a.fontPointSize(), 15.0);
        QVERIFY(a.fontWeight() == QFont::Bold && a.fontItalic() && a.fontUnderline() && a.fontStrikeOut());
        QCOMPARE(a.foreground().color(), QColor(0, 0, 255));
        QCOMPARE(formatAt(document, QStringLiteral("B")).fontWeight(), int(QFont::Normal));
        QCOMPARE(formatAt(document, QStringLiteral("C")).fontWeight(), int(QFont::Bold));
        const QTextCharFormat d = formatAt(document, QStringLiteral("D"));
        QCOMPARE(family(d), QStringLiteral("Courier New"));
        QCOMPARE(d.fontPointSize(), 12.0);
        QVERIFY(!d.fontItalic() && !d.fontUnderline() && !d.fontStrikeOut());
        QVERIFY(!d.hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(formatAt(document, QStringLiteral("E")).fontUnderline());
        QVERIFY(!formatAt(document, QStringLiteral("F")).fontUnderline());
        QVERIFY(formatAt(document, QStringLiteral("G")).fontUnderline());
        QVERIFY(!formatAt(document, QStringLiteral("H")).fontUnderline());
    }

    void read_notRtf_failsToLoadStream()
    {
        QTextDocument document;
        document.setPlainText(QStringLiteral("kept"));
        try {
            RtfReader::read("plain words", &document);
            QFAIL("no error");
        } catch (const AppError &error) {
            QCOMPARE(error.message(), QStringLiteral("Failed to Load Stream"));
        }
    }

    void looksLikeRtf_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("expected");
        QTest::newRow("rtf") << QByteArray("{\\rtf1 x}") << true;
        QTest::newRow("blanks before") << QByteArray(" \r\n\t{\\rtf1 x}") << true;
        QTest::newRow("plain") << QByteArray("hello {\\rtf1}") << false;
        QTest::newRow("other group") << QByteArray("{\\pict}") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void looksLikeRtf()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, expected);
        QCOMPARE(RtfReader::looksLikeRtf(data), expected);
    }

    void readNoteText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain text") << QStringLiteral("buy milk") << QStringLiteral("buy milk");
        QTest::newRow("plain text with brace") << QStringLiteral("a {b} \\c") << QStringLiteral("a {b} \\c");
        QTest::newRow("one-line rtf") << QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 one\\partwo\\par}")
                                      << QStringLiteral("one|two");
        QTest::newRow("characters beyond ASCII as they are")
            << QStringLiteral("{\\rtf1\\ansi\\ansicpg1252 Grüße Ωμέγα \\'e9\\par}") << QStringLiteral("Grüße Ωμέγα é");
        QTest::newRow("empty") << QString() << QString();
    }
    void readNoteText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QTextDocument document;
        document.setPlainText(QStringLiteral("old content"));
        RtfReader::readNoteText(text, &document);
        QCOMPARE(paragraphs(document), expected);
    }

    void read_replacesContentAndUndo()
    {
        QTextDocument document;
        document.setPlainText(QStringLiteral("old"));
        RtfReader::read("{\\rtf1 new}", &document);
        QCOMPARE(document.toPlainText(), QStringLiteral("new"));
        QVERIFY(!document.isUndoAvailable());
    }

    void read_badInput_keepsReadableText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing closing braces") << QByteArray("{\\rtf1 a{\\b b{\\i c") << QStringLiteral("abc");
        QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 a}}}}b") << QStringLiteral("a");
        QTest::newRow("stray close in group") << QByteArray("{\\rtf1 {a}}b}") << QStringLiteral("a");
        QByteArray huge("{\\rtf1 a\\fs");
        huge.append(QByteArray(10 * 1024 * 1024, '9'));
        huge.append(" b\\u");
        huge.append(QByteArray(1024 * 1024, '7'));
        huge.append(" c\\uc");
        huge.append(QByteArray(1024, '5'));
        huge.append(" d}");
        QTest::newRow("10 MB parameter") << huge << QStringLiteral("abd");
        QByteArray longWord("{\\rtf1 a\\");
        longWord.append(QByteArray(1024 * 1024, 'q'));
        longWord.append(" b}");
        QTest::newRow("1 MB control word") << longWord << QStringLiteral("ab");
        QTest::newRow("bin past the end") << QByteArray("{\\rtf1 a\\bin999999 xyz}") << QStringLiteral("a");
        QTest::newRow("bin negative") << QByteArray("{\\rtf1 a\\bin-5 b}") << QStringLiteral("ab");
        QByteArray deep("{\\rtf1 a");
        deep.append(QByteArray(100000, '{'));
        deep.append("\\b b");
        deep.append(QByteArray(100000, '}'));
        deep.append("c}");
        QTest::newRow("100000 nested groups") << deep << QStringLiteral("abc");
        QByteArray unclosed("{\\rtf1 a");
        unclosed.append(QByteArray(100000, '{'));
        unclosed.append("{\\*\\pn\\pnlvlblt b");
        QTest::newRow("100000 unclosed groups") << unclosed << QStringLiteral("ab");
        QByteArray deepSkip("{\\rtf1 a{\\pict ");
        deepSkip.append(QByteArray(100000, '{'));
        QTest::newRow("unclosed picture") << deepSkip << QStringLiteral("a");
        QTest::newRow("NUL bytes") << QByteArray("{\\rtf1 a\0b\\'00c}", 16) << QStringLiteral("abc");
        QTest::newRow("truncated hex") << QByteArray("{\\rtf1 a\\'4") << QStringLiteral("a4");
        QTest::newRow("hex with one digit") << QByteArray("{\\rtf1 a\\'4x}") << QStringLiteral("a4x");
        QTest::newRow("backslash at end") << QByteArray("{\\rtf1 a\\") << QStringLiteral("a");
        QTest::newRow("lone DBCS lead byte")
            << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0 a\\'83}") << QStringLiteral("a\uFFFD");
        QTest::newRow("font table without end") << QByteArray("{\\rtf1{\\fonttbl{\\f0 Ari") << QString();
        QTest::newRow("destination in document group") << QByteArray("{\\rtf1 a\\pict b}") << QStringLiteral("ab");
        QTest::newRow("star before text") << QByteArray("{\\rtf1 {\\* a}b}") << QStringLiteral(" ab");
        QTest::newRow("color index out of range")
            << QByteArray("{\\rtf1{\\colortbl;\\red1;}\\cf99\\highlight-3 a}") << QStringLiteral("a");
    }
    void read_badInput_keepsReadableText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QTextDocument document;
        RtfReader::read(rtf, &document);
        QCOMPARE(paragraphs(document).remove(QChar(0xFFFF)), QString(expected).remove(QChar(0xFFFF)));
    }

    // Every writer's RTF squeezed onto one line, as the note store keeps it, reads as the same text:
    // only the space that ended a word before a line break can go, since it then ends the word.
    void read_oneLine_keepsEveryWord_data()
    {
        QTest::addColumn<QString>("file");
        const char *const files[] = {
            "01_riched20_win11_minimal_crlf_nul.rtf",
            "02_riched20_bullets_then_numbering.rtf",
            "03_riched20_bullets_fcharset238.rtf",
            "04_riched20_cyrillic_cp1251_wordpad.rtf",
            "05_riched20_colors_sizes_cp1251.rtf",
            "06_riched20_highlight_center.rtf",
            "07_riched20_hyperlink_field.rtf",
            "08_riched20_highlight_paragraphs.rtf",
            "09_msftedit_wordpad_czech_u_escape.rtf",
            "10_msftedit_colortbl_bold_underline.rtf",
            "11_msftedit_bullets_cjk_cp936.rtf",
            "12_msftedit_japanese_cp932_underline.rtf",
            "13_riched20_cp1251_wmf_picture.rtf",
            "libreoffice_7_4_lists_formats.rtf",
            "libreoffice_shape.rtf",
        };
        for (const char *file : files)
            QTest::newRow(file) << QString::fromLatin1(file);
    }
    void read_oneLine_keepsEveryWord()
    {
        QFETCH(QString, file);
        const QByteArray rtf = fixture(file);
        QVERIFY(rtf.contains('\n'));
        QTextDocument written;
        RtfReader::read(rtf, &written);
        QTextDocument oneLine;
        RtfReader::readNoteText(QString::fromLatin1(withoutLineBreaks(rtf)), &oneLine);
        const QString expected = paragraphs(written).remove(QLatin1Char(' '));
        QVERIFY(expected.size() > 1);
        QCOMPARE(paragraphs(oneLine).remove(QLatin1Char(' ')), expected);
    }

    // Inputs that once broke the reader, as files (tests/data/rtf/regress/), each with the text it must
    // give: read as an .rtf file and as a stored note. A file without a row here fails, so that no
    // input is kept without saying what it must read as.
    void read_regressionCases_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        const struct {
            const char *file;
            QString text;
        } cases[] = {
            {"bin_braces_in_picture.rtf", QStringLiteral("ad")},
            {"bin_past_end.rtf", QStringLiteral("a")},
            {"deep_nesting.rtf", QStringLiteral("abc")},
            {"deep_nesting_unclosed.rtf", QStringLiteral("ab|c")},
            {"font_name_too_long.rtf", QStringLiteral("xВ")},
            {"font_table_unterminated.rtf", QStringLiteral("")},
            {"glued_words.rtf", QStringLiteral("first|second|2nd|donex|-5\t0^break“hi”z")},
            {"hex_truncated.rtf", QStringLiteral("a4")},
            {"huge_parameters.rtf", QStringLiteral("abcВghijd")},
            {"lead_byte_at_end.rtf", QStringLiteral("a\uFFFD|b\uFFFD")},
            {"lone_minus.rtf", QStringLiteral("a-b-c- d")},
            {"nul_bytes.rtf", QStringLiteral("abcrd|e")},
            {"separator_characters.rtf", QStringLiteral("a^b\uFFFDc\uFFFDd^e")},
            {"stray_braces.rtf", QStringLiteral("a")},
            {"unicode_skip_groups.rtf", QStringLiteral("ВxГyД|z")},
            {"unknown_destinations.rtf", QStringLiteral("aefghi jk")},
        };
        const QDir dir(QStringLiteral(QUILLET_TEST_DATA "/rtf/regress"));
        QStringList unlisted = dir.entryList(QDir::Files, QDir::Name);
        for (const auto &regression : cases) {
            const QString name = QString::fromLatin1(regression.file);
            QTest::newRow(regression.file) << dir.filePath(name) << regression.text;
            unlisted.removeOne(name);
        }
        for (const QString &name : unlisted)
            QTest::newRow(qPrintable(name)) << dir.filePath(name) << QString(); // null: no row
    }
    void read_regressionCases()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        if (expected.isNull())
            QFAIL("a regression input without the text it must give: add its row");
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray data = file.readAll();
        QTextDocument document;
        if (RtfReader::looksLikeRtf(data)) {
            RtfReader::read(data, &document);
            QCOMPARE(paragraphs(document), expected);
        }
        RtfReader::readNoteText(QString::fromLatin1(data), &document);
        QCOMPARE(paragraphs(document), expected);
    }
};

QTEST_GUILESS_MAIN(TestRtfReader)
#include "tst_rtf_reader.moc"
