#include "widgets/cspin_button.h"
#include "widgets/cspin_edit.h"
#include "widgets/timer_speed_button.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QMenu>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

#include <limits>
#include <memory>

namespace {

constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr int kIntMax = std::numeric_limits<int>::max();

QStringList menuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text() + (action->isEnabled() ? "" : " (off)");
    return texts;
}

} // namespace

class TestCSpinEdit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TCSpinEdit::setBeepHandler([this] { ++m_beeps; });
        // A style with a two-pixel sunken border, so the button geometry is known to the pixel.
        m_twoPixelFrameStyle.reset(QStyleFactory::create(QStringLiteral("Windows")));
        QVERIFY(m_twoPixelFrameStyle);
    }
    void cleanupTestCase() { TCSpinEdit::setBeepHandler({}); }

    void init()
    {
        m_beeps = 0;
        m_host = std::make_unique<QWidget>();
        m_edit = new TCSpinEdit(m_host.get());
        m_edit->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        m_edit->setGeometry(10, 10, 80, 30);
        m_other = new QLineEdit(m_host.get());
        m_other->setGeometry(10, 50, 80, 30);
        m_host->resize(200, 100);
        m_host->show();
        QApplication::setActiveWindow(m_host.get());
        QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
        m_other->setFocus(Qt::OtherFocusReason);
    }
    void cleanup() { m_host.reset(); }

    void value_readsTextWithoutBounds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("textAfter");
        // The range is -5..100 throughout.
        QTest::newRow("above the bounds") << "250" << 250 << "250";
        QTest::newRow("plus sign, leading zeros") << "+007" << 7 << "+007";
        QTest::newRow("smallest") << "-2147483648" << kIntMin << "-2147483648";
        QTest::newRow("just past the largest") << "2147483648" << -5 << "-5";
        QTest::newRow("trailing letter") << "5x" << -5 << "-5";
        QTest::newRow("empty") << "" << -5 << "-5";
        QTest::newRow("leading blank") << " 5" << -5 << "-5";
        QTest::newRow("hexadecimal") << "0x10" << -5 << "-5";
        QTest::newRow("non-latin digit") << QString(QChar(0x0663)) << -5 << "-5";
    }
    void value_readsTextWithoutBounds()
    {
        QFETCH(QString, text);
        m_edit->setMinValue(-5);
        m_edit->setMaxValue(100);
        m_edit->setText(text);
        QTEST(m_edit->value(), "value");
        QTEST(m_edit->text(), "textAfter");
    }

    void checkValue_lowerBoundFirst_data()
    {
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("bounded");

        QTest::newRow("equal bounds are no bounds") << 5 << 5 << 1000 << 1000;
        QTest::newRow("below") << 1 << 100 << 0 << 1;
        QTest::newRow("above") << 1 << 100 << 250 << 100;
        QTest::newRow("inside") << 1 << 100 << 50 << 50;
        QTest::newRow("inverted, between: the lower test wins") << 10 << 5 << 7 << 10;
        QTest::newRow("inverted, above both") << 10 << 5 << 20 << 5;
    }
    void checkValue_lowerBoundFirst()
    {
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(int, input);
        QFETCH(int, bounded);
        m_edit->setMinValue(minValue);
        m_edit->setMaxValue(maxValue);
        QCOMPARE(m_edit->CheckValue(input), bounded);
        m_edit->setValue(input);
        QCOMPARE(m_edit->text(), QString::number(bounded));
    }

    // Each row is stepped three ways: the call, the arrow key and a click on the button.
    void step_wrapsThenBounds_data()
    {
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("increment");
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("expected");

        QTest::newRow("up at the maximum") << 1 << 100 << 1 << "100" << true << "100";
        QTest::newRow("down at the minimum") << 1 << 100 << 1 << "1" << false << "1";
        QTest::newRow("big step clamps") << 1 << 100 << 10 << "95" << true << "100";
        QTest::newRow("negative increment") << 1 << 100 << -5 << "50" << true << "45";
        QTest::newRow("not a number steps from the minimum") << 1 << 100 << 1 << "5x" << true << "2";
        QTest::newRow("no bounds wraps up") << 0 << 0 << 1 << "2147483647" << true << "-2147483648";
        QTest::newRow("no bounds wraps down") << 0 << 0 << 1 << "-2147483648" << false << "2147483647";
        // Saturating would leave 2147483647; the wrapped sum lies below the minimum.
        QTest::newRow("wrap, then the bound") << 0 << kIntMax << 1 << "2147483647" << true << "0";
    }
    void step_wrapsThenBounds()
    {
        QFETCH(QString, start);
        QFETCH(bool, up);
        QFETCH(QString, expected);
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(int, increment);
        m_edit->setMinValue(minValue);
        m_edit->setMaxValue(maxValue);
        m_edit->setIncrement(increment);
        const QList<std::function<void()>> channels{
            [&] { up ? m_edit->UpClick(nullptr) : m_edit->DownClick(nullptr); },
            [&] { QTest::keyClick(m_edit, up ? Qt::Key_Up : Qt::Key_Down); },
            [&] {
                TCSpinButton *pair = m_edit->button();
                QTest::mouseClick(up ? pair->upButton() : pair->downButton(), Qt::LeftButton);
            },
        };
        for (qsizetype channel = 0; channel < channels.size(); ++channel) {
            m_edit->setText(start);
            channels[channel]();
            QVERIFY2(m_edit->text() == expected, qPrintable(QString("way %1: %2").arg(channel).arg(m_edit->text())));
        }
        QCOMPARE(m_beeps, 0);
    }

    void step_readOnly_beepsAndKeepsText()
    {
        m_edit->setReadOnly(true);
        m_edit->setText("5");
        m_edit->UpClick(nullptr);
        m_edit->DownClick(nullptr);
        QTest::keyClick(m_edit, Qt::Key_Up);
        QTest::mouseClick(m_edit->button()->downButton(), Qt::LeftButton);
        QCOMPARE(m_edit->text(), QStringLiteral("5"));
        QCOMPARE(m_beeps, 4);
    }

    // Every character of a row has the row's verdict.
    void isValidChar_data()
    {
        QTest::addColumn<QString>("characters");
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("number characters") << "0123456789+-." << true << "en_US" << true;
        QTest::newRow("German separator") << "," << true << "de_DE" << true;
        QTest::newRow("German point") << "." << true << "de_DE" << false;
        QTest::newRow("English comma") << "," << true << "en_US" << false;
        QTest::newRow("letters, blank, enter") << "aZ \r" << true << "en_US" << false;
        QTest::newRow("other control characters") << "\x01\b\t\x1b\x1f" << true << "en_US" << true;
        QTest::newRow("127 and above") << QString::fromUtf8("\x7f\u0085\u00e9") << true << "en_US" << false;
        QTest::newRow("editor off: number characters") << "7-+." << false << "en_US" << false;
        QTest::newRow("editor off: backspace, enter") << "\b\r" << false << "en_US" << false;
        QTest::newRow("editor off: other controls") << "\x01\t\x1b" << false << "en_US" << true;
    }
    void isValidChar()
    {
        QFETCH(QString, characters);
        QFETCH(bool, editorEnabled);
        QFETCH(QString, locale);
        QFETCH(bool, accepted);
        m_edit->setEditorEnabled(editorEnabled);
        m_edit->setLocale(QLocale(locale));
        for (const QChar c : characters)
            QVERIFY2(m_edit->IsValidChar(c) == accepted, qPrintable(QString::number(c.unicode())));
    }

    void typing_refusedCharactersBeep_data()
    {
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("beeps");

        QTest::newRow("abc between digits") << true << ""
                                            << "1abc2"
                                            << "12" << 3;
        QTest::newRow("sign and separator") << true << ""
                                            << "-3.5"
                                            << "-3.5" << 0;
        QTest::newRow("enter") << true << "12"
                               << "\r"
                               << "12" << 1;
        QTest::newRow("backspace") << true << "12"
                                   << "\b"
                                   << "1" << 0;
        QTest::newRow("editor off: digit, backspace") << false << "12"
                                                      << "3\b"
                                                      << "12" << 2;
    }
    void typing_refusedCharactersBeep()
    {
        QFETCH(bool, editorEnabled);
        QFETCH(QString, start);
        QFETCH(QString, typed);
        m_edit->setEditorEnabled(editorEnabled);
        m_edit->setText(start);
        m_edit->setFocus(Qt::OtherFocusReason);
        m_edit->deselect();
        QSignalSpy returnPressed(m_edit, &QLineEdit::returnPressed);
        QTest::keyClicks(m_edit, typed);
        QTEST(m_edit->text(), "expected");
        QTEST(m_beeps, "beeps");
        QCOMPARE(returnPressed.count(), 0);
    }

    void pasteAndCut_onlyWhenEditable_data()
    {
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("allowed");

        QTest::newRow("editable") << true << false << true;
        QTest::newRow("editor disabled") << false << false << false;
        QTest::newRow("read-only") << true << true << false;
    }
    void pasteAndCut_onlyWhenEditable()
    {
        QFETCH(bool, editorEnabled);
        QFETCH(bool, readOnly);
        QFETCH(bool, allowed);
        m_edit->setEditorEnabled(editorEnabled);
        m_edit->setReadOnly(readOnly);
        m_edit->setFocus(Qt::OtherFocusReason);
        QClipboard *clipboard = QGuiApplication::clipboard();
        const auto prepare = [&](const QString &clip, const QString &text) {
            clipboard->setText(clip);
            m_edit->setText(text);
            m_edit->selectAll();
        };

        prepare("42", "7");
        QTest::keyClick(m_edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_edit->text(), allowed ? "42" : "7");
        prepare("42", "7");
        m_edit->paste();
        QCOMPARE(m_edit->text(), allowed ? "42" : "7");
        prepare("none", "123");
        QTest::keyClick(m_edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(m_edit->text(), allowed ? "" : "123");
        QCOMPARE(clipboard->text(), allowed ? "123" : "none");

        // Qt's menu of a read-only box has no Cut and no Paste; a box that is not editable offers the same.
        prepare("42", "123");
        QLineEdit plain("123");
        plain.setReadOnly(!allowed);
        plain.selectAll();
        const std::unique_ptr<QMenu> expected(plain.createStandardContextMenu());
        const std::unique_ptr<QMenu> menu(m_edit->createStandardContextMenu());
        QCOMPARE(menuTexts(menu.get()), menuTexts(expected.get()));
        QCOMPARE(m_edit->isReadOnly(), readOnly);
        QCOMPARE(m_beeps, 0);
    }

    void focusIn_selectsAllUnlessLeftClickIntoBox_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("autoSelect");
        QTest::addColumn<bool>("selected");

        QTest::newRow("tab") << "tab" << true << true;
        QTest::newRow("tab, auto-select off") << "tab" << false << false;
        QTest::newRow("left click") << "left" << true << false;
        QTest::newRow("right click") << "right" << true << true;
        QTest::newRow("right click, auto-select off") << "right" << false << false;
        QTest::newRow("press on the up button") << "button" << true << true;
    }
    void focusIn_selectsAllUnlessLeftClickIntoBox()
    {
        QFETCH(QString, how);
        QFETCH(bool, autoSelect);
        m_edit->setAutoSelect(autoSelect);
        m_edit->setText("42");
        QVERIFY(m_other->hasFocus());

        if (how == "tab")
            m_edit->setFocus(Qt::TabFocusReason);
        else if (how == "button")
            QTest::mousePress(m_edit->button()->upButton(), Qt::LeftButton);
        else
            QTest::mousePress(m_edit, how == "left" ? Qt::LeftButton : Qt::RightButton, {}, QPoint(5, 5));
        QCoreApplication::processEvents();

        QVERIFY(m_edit->hasFocus());
        QTEST(m_edit->selectedText() == "42", "selected");
    }

    void focusOut_writesBoundedValueBack_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");

        QTest::newRow("above") << "250"
                               << "100";
        QTest::newRow("below") << "0"
                               << "1";
        QTest::newRow("not a number") << "5x"
                                      << "1";
        QTest::newRow("inside stays as typed") << "+050"
                                               << "+050";
    }
    void focusOut_writesBoundedValueBack()
    {
        QFETCH(QString, typed);
        m_edit->setMinValue(1);
        m_edit->setMaxValue(100);
        m_edit->setFocus(Qt::TabFocusReason);
        m_edit->setText(typed);
        m_other->setFocus(Qt::TabFocusReason);
        QTEST(m_edit->text(), "shown");
    }

    void autoRepeat_heldLittleOverOneSecond_endsAtNine()
    {
        m_edit->setMinValue(1);
        m_edit->setMaxValue(100);
        TTimerSpeedButton *up = m_edit->button()->upButton();
        QVERIFY(!up->repeatTimer());

        // A release far later than planned (a stalled machine) says nothing of the control; such a run is repeated.
        qint64 held = 0;
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_edit->setValue(1);
            QElapsedTimer clock;
            clock.start();
            QTest::mousePress(up, Qt::LeftButton);
            while (clock.elapsed() < 1050)
                QTest::qWait(5);
            QTest::mouseRelease(up, Qt::LeftButton);
            held = clock.elapsed();
            if (held < 1095)
                break;
        }
        QVERIFY2(held < 1095, qPrintable(QString("the release came after %1 ms").arg(held)));
        QCOMPARE(m_edit->text(), QStringLiteral("9"));
        QVERIFY(up->repeatTimer() && !up->repeatTimer()->isActive());
    }

    void minimumHeight_followsFontsAndIsEnforced_data()
    {
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("smaller than the system font") << 6;
        QTest::newRow("larger than the system font") << 40;
    }
    void minimumHeight_followsFontsAndIsEnforced()
    {
        QFETCH(int, pixelSize);
        QFont font = m_edit->font();
        font.setPixelSize(pixelSize);
        m_edit->setFont(font);
        const int f = QFontMetrics(font).height();
        const int s = QFontMetrics(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).height();
        QVERIFY(pixelSize < 10 ? f < s : f > s);
        const int expected = f + std::min(f, s) / 4 + 6;
        QCOMPARE(m_edit->minimumEditHeight(), expected);

        m_edit->resize(57, 3);
        QCOMPARE(m_edit->height(), expected);
        m_edit->resize(57, expected + 10);
        QCOMPARE(m_edit->height(), expected + 10);
    }

    void geometry_buttonsAtRightEdge_data()
    {
        QTest::addColumn<bool>("frame");
        QTest::addColumn<QRect>("pair");
        QTest::addColumn<QRect>("upButton");
        QTest::addColumn<QRect>("downButton");

        QTest::newRow("sunken border") << true << QRect(39, 2, 15, 25) << QRect(0, 0, 15, 12) << QRect(0, 11, 15, 14);
        QTest::newRow("flat") << false << QRect(42, 0, 15, 30) << QRect(0, 0, 15, 15) << QRect(0, 14, 15, 16);
    }
    void geometry_buttonsAtRightEdge()
    {
        QFETCH(bool, frame);
        TCSpinEdit edit(m_host.get());
        QCOMPARE(edit.text(), QStringLiteral("0"));
        QCOMPARE(edit.button()->focusControl(), &edit);
        edit.setStyle(m_twoPixelFrameStyle.get());
        QFont font = edit.font();
        font.setPixelSize(10);
        edit.setFont(font);
        edit.setFrame(frame);
        edit.show();
        edit.resize(57, 30);

        QTEST(edit.button()->geometry(), "pair");
        QTEST(edit.button()->upButton()->geometry(), "upButton");
        QTEST(edit.button()->downButton()->geometry(), "downButton");
        QCOMPARE(edit.textMargins(), QMargins(0, 0, 17, 0));
        edit.button()->resize(10, 20);
        QCOMPARE(edit.button()->width(), TCSpinButton::minimumButtonWidth);
        edit.setStyle(nullptr);
    }

    void defaultGlyphs_triangles_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QStringList>("rows");

        const QStringList up{".........", "....#....", "...###...", "..#####..", ".#######.", "........."};
        QTest::newRow("up") << int(Qt::UpArrow) << up;
        QTest::newRow("down") << int(Qt::DownArrow) << QStringList(up.crbegin(), up.crend());
    }
    void defaultGlyphs_triangles()
    {
        QFETCH(int, direction);
        const QImage image = TCSpinButton::defaultGlyph(Qt::ArrowType(direction)).toImage();
        QCOMPARE(image.size(), QSize(9, 6));
        QStringList drawn;
        for (int y = 0; y < image.height(); ++y) {
            QString row;
            for (int x = 0; x < image.width(); ++x)
                row += image.pixelColor(x, y) == QColor(Qt::black) ? u'#' : u'.';
            drawn << row;
        }
        QTEST(drawn, "rows");
    }

private:
    std::unique_ptr<QStyle> m_twoPixelFrameStyle;
    std::unique_ptr<QWidget> m_host;
    TCSpinEdit *m_edit = nullptr;
    QLineEdit *m_other = nullptr;
    int m_beeps = 0;
};

QTEST_MAIN(TestCSpinEdit)
#include "tst_cspin_edit.moc"
