#include "app/find_window.h"
#include "app/form1.h"
#include "note/form_sticky.h"

#include "../main_form_fixture.h"
#include "../test_files.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>

// "Find..." in the tray menu: the one find window, and the note a choice in it brings.
class TestFindWindow : public QObject, private MainFormFixture {
    Q_OBJECT

private:
    FindWindow *openFind()
    {
        writeFile(path(QStringLiteral("stickies.ini")),
                  "[Stickies]\r\nTotal=3\r\n"
                  "[Stickie1]\r\nTitle=Groceries\r\nLeft=10\r\nTop=10\r\nText=milk, bread and Milk\r\n"
                  "[Stickie2]\r\nTitle=Hidden plans\r\nLeft=300\r\nTop=10\r\nText={\\rtf1 Sail to the \\b isle\\b0  "
                  "in June\\par bring milk}\r\n"
                  "[Stickie3]\r\nTitle=Call mum\r\nLeft=600\r\nTop=10\r\nText=\r\n");
        TForm1 *form = start();
        form->notes()[1]->showMinimized();
        form->menuItem(QStringLiteral("PMFind"))->trigger();
        return form->FormFind();
    }

private slots:
    void init() { setUpForm(); }
    void cleanup() { tearDownForm(); }

    void choice_bringsTheNoteWithTheFirstMatchSelected_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("row");          // -1: Enter in the field, else a double click on the row
        QTest::addColumn<int>("note");         // the note that comes, by its place in the list
        QTest::addColumn<QString>("selected"); // the text selected in it
        QTest::newRow("Enter: the first row, a hidden note")
            << "ISLE june" << QStringList{"Hidden plans\nSail to the isle in June"} << -1 << 1 << "isle";
        QTest::newRow("Enter after moving down")
            << "milk" << QStringList{"Groceries\nmilk, bread and Milk", "Hidden plans\nSail to the isle in June"} << -2
            << 1 << "milk";
        QTest::newRow("double click") << "MILK"
                                      << QStringList{"Groceries\nmilk, bread and Milk",
                                                     "Hidden plans\nSail to the isle in June"}
                                      << 0 << 0 << "milk";
        QTest::newRow("found by the title alone")
            << "PLANS" << QStringList{"Hidden plans\nSail to the isle in June"} << 0 << 1 << "";
    }
    void choice_bringsTheNoteWithTheFirstMatchSelected()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, listed);
        QFETCH(int, row);
        QFETCH(int, note);
        QFETCH(QString, selected);
        FindWindow *find = openFind();
        QVERIFY(find && find->isVisible());
        QTest::keyClicks(find->EditFind(), query);
        QStringList rows;
        for (int i = 0; i < find->ListNotes()->topLevelItemCount(); ++i)
            rows.append(find->ListNotes()->topLevelItem(i)->text(0));
        QCOMPARE(rows, listed);

        if (row == -2) {
            QTest::keyClick(find->EditFind(), Qt::Key_Down);
            row = -1;
        }
        if (row < 0) {
            QTest::keyClick(find->EditFind(), Qt::Key_Return);
        } else {
            QTreeWidget *list = find->ListNotes();
            const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
            // The view takes a double click only on the row the button went down on.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        }
        TFormSticky *window = m_form->notes()[note];
        QCOMPARE(FormSticky.data(), window);
        QVERIFY(window->isVisible() && !window->isMinimized());
        QCOMPARE(window->RichEdit1()->textCursor().selectedText(), selected);
    }

    void findAgain_sameWindow_andSaysWhenNothingIsFound()
    {
        FindWindow *find = openFind();
        QTest::keyClicks(find->EditFind(), QStringLiteral("nowhere"));
        QVERIFY(find->LabelNoNotes()->isVisible());
        QVERIFY(!find->ListNotes()->isVisible());
        QTest::keyClick(find->EditFind(), Qt::Key_Return); // nothing to choose
        m_form->menuItem(QStringLiteral("PMFind"))->trigger();
        QCOMPARE(m_form->FormFind(), find);
        QCOMPARE(find->EditFind()->selectedText(), QStringLiteral("nowhere")); // ready to be typed over
        // A note made while the window is open is listed once it matches.
        QTest::keyClicks(find->EditFind(), QStringLiteral("Call"));
        QCOMPARE(find->listedNotes().size(), 1);
        m_form->notes()[0]->RichEdit1()->setPlainText(QStringLiteral("Call the bank"));
        QTRY_COMPARE(find->listedNotes().size(), 2);
        QVERIFY(m_errors.isEmpty());
    }
};

QTEST_MAIN(TestFindWindow)
#include "tst_find_window.moc"
