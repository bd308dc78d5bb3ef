#include "base/app_error.h"
#include "store/color_text.h"

#include <QTest>

class TestColorText : public QObject {
    Q_OBJECT

private slots:
    void names_bothWays_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint32>("value");

        const struct {
            const char *name;
            quint32 value;
        } basic[] = {
            {"clBlack", 0x00000000},  {"clMaroon", 0x00000080},  {"clGreen", 0x00008000}, {"clOlive", 0x00008080},
            {"clNavy", 0x00800000},   {"clPurple", 0x00800080},  {"clTeal", 0x00808000},  {"clGray", 0x00808080},
            {"clSilver", 0x00C0C0C0}, {"clRed", 0x000000FF},     {"clLime", 0x0000FF00},  {"clYellow", 0x0000FFFF},
            {"clBlue", 0x00FF0000},   {"clFuchsia", 0x00FF00FF}, {"clAqua", 0x00FFFF00},  {"clWhite", 0x00FFFFFF},
        };
        for (const auto &entry : basic)
            QTest::newRow(entry.name) << QString::fromLatin1(entry.name) << entry.value;

        const char *system[] = {
            "clScrollBar",    "clBackground",     "clActiveCaption", "clInactiveCaption", "clMenu",
            "clWindow",       "clWindowFrame",    "clMenuText",      "clWindowText",      "clCaptionText",
            "clActiveBorder", "clInactiveBorder", "clAppWorkSpace",  "clHighlight",       "clHighlightText",
            "clBtnFace",      "clBtnShadow",      "clGrayText",      "clBtnText",         "clInactiveCaptionText",
            "clBtnHighlight", "cl3DDkShadow",     "cl3DLight",       "clInfoText",        "clInfoBk",
        };
        quint32 index = 0;
        for (const char *name : system)
            QTest::newRow(name) << QString::fromLatin1(name) << (0x80000000u + index++);
        QTest::newRow("clNone") << "clNone" << quint32(0x1FFFFFFF);
    }
    void names_bothWays()
    {
        QFETCH(QString, name);
        QFETCH(quint32, value);
        QCOMPARE(ColorText::fromColor(value), name);
        QCOMPARE(ColorText::toColor(name), value);
        QCOMPARE(ColorText::toColor(name.toUpper()), value);
        QCOMPARE(ColorText::toColor(name.toLower()), value);
    }

    void fromColor_unnamed_isHexText_data()
    {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("pale yellow") << quint32(0x00C0FFFF) << "0x00C0FFFF";
        QTest::newRow("small") << quint32(0x00000001) << "0x00000001";
        QTest::newRow("upper-case digits") << quint32(0x00ABCDEF) << "0x00ABCDEF";
        QTest::newRow("past the system colours") << quint32(0x80000019) << "0x80000019";
        QTest::newRow("all bits") << quint32(0xFFFFFFFF) << "0xFFFFFFFF";
    }
    void fromColor_unnamed_isHexText()
    {
        QFETCH(quint32, value);
        QFETCH(QString, text);
        QCOMPARE(ColorText::fromColor(value), text);
        QCOMPARE(ColorText::toColor(text), value);
    }

    void toColor_integerForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("value");
        QTest::newRow("decimal white") << "16777215" << quint32(0x00FFFFFF);
        QTest::newRow("decimal default colour") << "12648447" << quint32(0x00C0FFFF);
        QTest::newRow("0x") << "0x0000FFFF" << quint32(0x0000FFFF);
        QTest::newRow("0X lower-case digits") << "0X00c0ffff" << quint32(0x00C0FFFF);
        QTest::newRow("dollar") << "$0000FFFF" << quint32(0x0000FFFF);
        QTest::newRow("negative decimal is the bit pattern") << "-2147483643" << quint32(0x80000005);
        QTest::newRow("blanks around") << "  clRed " << quint32(0x000000FF);
        QTest::newRow("mixed case name") << "CLwHiTe" << quint32(0x00FFFFFF);
    }
    void toColor_integerForms()
    {
        QFETCH(QString, text);
        QFETCH(quint32, value);
        QCOMPARE(ColorText::toColor(text), value);
    }

    void toColor_badText_throwsIntegerMessage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("unknown name") << "clPink";
        QTest::newRow("name with suffix") << "clRedx";
        QTest::newRow("trailing letters") << "12abc";
        QTest::newRow("overflow") << "4294967296";
        QTest::newRow("too many hex digits") << "0x100000000";
        QTest::newRow("html form") << "#FF0000";
    }
    void toColor_badText_throwsIntegerMessage()
    {
        QFETCH(QString, text);
        try {
            ColorText::toColor(text);
            QFAIL("no error");
        } catch (const AppError &error) {
            QCOMPARE(error.message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestColorText)
#include "tst_color_text.moc"
