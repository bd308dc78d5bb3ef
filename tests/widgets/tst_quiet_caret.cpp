#include "widgets/quiet_caret.h"

#include <QStyleHints>
#include <QTest>
#include <QTextEdit>

// The caret stops blinking after the idle spell and blinks again at the next key or mouse press.
class TestQuietCaret : public QObject {
    Q_OBJECT

private slots:
    void idleSpell_stopsTheBlinkUntilTheNextPress()
    {
        const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
        QVERIFY(flashTime > 0);
        QTextEdit edit;
        edit.show();
        {
            QuietCaret caret(100);
            QVERIFY(caret.isBlinking());
            QTRY_VERIFY(!caret.isBlinking());
            QCOMPARE(QGuiApplication::styleHints()->cursorFlashTime(), 0);

            QTest::keyClick(&edit, Qt::Key_A);
            QVERIFY(caret.isBlinking());
            QCOMPARE(QGuiApplication::styleHints()->cursorFlashTime(), flashTime);
            QTRY_VERIFY(!caret.isBlinking());
            QTest::mouseClick(edit.viewport(), Qt::LeftButton);
            QVERIFY(caret.isBlinking());
            QTRY_VERIFY(!caret.isBlinking());
        }
        // Gone, it leaves the desktop's own blink behind.
        QCOMPARE(QGuiApplication::styleHints()->cursorFlashTime(), flashTime);
    }
};

QTEST_MAIN(TestQuietCaret)
#include "tst_quiet_caret.moc"
