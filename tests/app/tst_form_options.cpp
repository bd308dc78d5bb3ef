#include "app/form1.h"
#include "app/form_options.h"
#include "note/form_sticky.h"
#include "store/note_trash.h"
#include "store/profile.h"
#include "widgets/error_dialog.h"

#include "../main_form_fixture.h"
#include "../test_files.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <functional>
#include <memory>

// The options dialog on a main form with stored notes in a temporary program folder.
class TestFormOptions : public QObject, private MainFormFixture {
    Q_OBJECT

private:
    // Two listed notes (opacities 200 and 90) and a third that is closed, so no longer listed.
    TForm1 *start(const QByteArray &options = {})
    {
        writeFile(
            path(QStringLiteral("stickies.ini")),
            "[Stickies]\r\nTotal=3\r\n[Stickie1]\r\nTitle=one\r\nOpacity=200\r\n"
            "[Stickie2]\r\nTitle=two\r\nOpacity=90\r\nColor=clAqua\r\n[Stickie3]\r\nTitle=closed\r\nOpacity=255\r\n");
        if (!options.isEmpty())
            writeFile(path(QStringLiteral("quillet.ini")), "[Options]\r\n" + options + "\r\n");
        createForm()->setAutosaveDelays(3600000, 3600000); // only the tests' own actions write the store
        m_form->FormCreate({});
        m_form->notes().at(2)->close();
        return m_form.get();
    }
    // The closed note as the trash keeps it: the options change only the listed notes.
    NoteRecord closedNote() const
    {
        NoteTrash trash(NoteTrash::pathBeside(path(QStringLiteral("stickies.ini"))));
        trash.load(NoteDefaults(), QDateTime::currentDateTimeUtc());
        return trash.lastBatch().value(0);
    }

    // Picks "Options" in the tray menu and runs whileOpen inside the modal dialog, which is then closed with
    // its close box unless whileOpen ended it. True when the dialog was the modal window.
    bool openOptions(const std::function<void(TFormOptions *)> &whileOpen = {})
    {
        TFormOptions *dialog = m_form->FormOptions();
        bool wasModal = false;
        QTimer::singleShot(0, dialog, [&] {
            wasModal = QApplication::activeModalWidget() == dialog;
            if (whileOpen)
                whileOpen(dialog);
            if (dialog->isVisible())
                dialog->close();
        });
        m_form->menuItem(QStringLiteral("PMOptions"))->trigger();
        return wasModal;
    }

    QList<int> noteOpacities() const
    {
        QList<int> opacities;
        for (const TFormSticky *note : m_form->notes())
            opacities << note->opacity();
        return opacities;
    }

private slots:
    void init() { setUpForm(); }
    void cleanup() { tearDownForm(); }

    void percentToAlpha_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("alpha");
        const int alphas[] = {0, 25, 50, 76, 101, 127, 152, 178, 203, 229, 254};
        for (int tenth = 0; tenth <= 10; ++tenth)
            QTest::addRow("%d %%", tenth * 10) << tenth * 10 << alphas[tenth];
    }
    void percentToAlpha()
    {
        QFETCH(int, percent);
        QFETCH(int, alpha);
        QCOMPARE(TFormOptions::percentToAlpha(percent), alpha);
    }

    void alphaToPercent_data()
    {
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("percent");
        QTest::newRow("255") << 255 << 100;
        QTest::newRow("254") << 254 << 99;
        QTest::newRow("127") << 127 << 49;
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("above the range") << 300 << 100;
        QTest::newRow("largest integer") << std::numeric_limits<int>::max() << 100;
    }
    void alphaToPercent()
    {
        QFETCH(int, alpha);
        QFETCH(int, percent);
        QCOMPARE(TFormOptions::alphaToPercent(alpha), percent);
    }

    void opening_twice_changesNoNote_data()
    {
        QTest::addColumn<QByteArray>("opacity");
        QTest::addColumn<int>("shown");
        QTest::newRow("255") << QByteArray("255") << 100;
        QTest::newRow("127, which shows as 49 %") << QByteArray("127") << 49;
        QTest::newRow("out of range") << QByteArray("300") << 100;
        QTest::newRow("negative") << QByteArray("-20") << 0;
    }
    void opening_twice_changesNoNote()
    {
        QFETCH(QByteArray, opacity);
        QFETCH(int, shown);
        TForm1 *form = start("Opacity=" + opacity);
        const int defaultOpacity = form->settings().opacity();
        for (int i = 0; i < 2; ++i) {
            int position = -1;
            QVERIFY(openOptions([&](TFormOptions *dialog) {
                position = dialog->TrackBar1()->value();
                m_form->menuItem(QStringLiteral("PMOptions"))->trigger(); // once more while open: no second loop
            }));
            QCOMPARE(position, shown);
            QCOMPARE(noteOpacities(), QList<int>({200, 90}));
            QCOMPARE(form->settings().opacity(), defaultOpacity);
        }
    }

    void slider_userMove_appliesToListedNotesAndNewOnes_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("alpha");
        QTest::newRow("50 %") << 50 << 127;
        QTest::newRow("100 %") << 100 << 254;
        QTest::newRow("20 %") << 20 << 50;
        QTest::newRow("0 %") << 0 << 0;
    }
    void slider_userMove_appliesToListedNotesAndNewOnes()
    {
        QFETCH(int, percent);
        QFETCH(int, alpha);
        TForm1 *form = start("Opacity=10"); // the slider opens at 3 %
        QVERIFY(openOptions([&](TFormOptions *dialog) { dialog->TrackBar1()->setValue(percent); }));
        QCOMPARE(form->settings().opacity(), alpha);
        QCOMPARE(noteOpacities(), QList<int>({alpha, alpha}));
        for (const TFormSticky *note : form->notes())
            QCOMPARE(qRound(note->windowOpacity() * 255), alpha);
        QCOMPARE(closedNote().title, QStringLiteral("closed"));
        QCOMPARE(closedNote().opacity, 255);
        form->PMNewStickyNoteClick();
        QCOMPARE(form->notes().last()->opacity(), alpha);

        // Reopening shows the truncated percent and leaves every note as it was chosen.
        int position = -1;
        QVERIFY(openOptions([&](TFormOptions *dialog) { position = dialog->TrackBar1()->value(); }));
        QCOMPARE(position, TFormOptions::alphaToPercent(alpha));
        QCOMPARE(noteOpacities(), QList<int>({alpha, alpha, alpha}));
        QCOMPARE(form->settings().opacity(), alpha);
    }

    void color_appliesToEveryListedNote_dialogReopensOnTheLastChoice()
    {
        TForm1 *form = start();
        QList<QColor> offered;
        QList<QColor> answers{QColor(0x12, 0x34, 0x56), QColor()}; // a choice, then a cancel
        form->FormOptions()->setColorPicker([&](const QColor &initial, QWidget *) {
            offered << initial;
            return answers.takeFirst();
        });
        QVERIFY(openOptions([](TFormOptions *dialog) {
            dialog->ButtonColor()->click();
            dialog->ButtonColor()->click();
        }));
        QCOMPARE(offered, QList<QColor>({QColor(Qt::black), QColor(0x12, 0x34, 0x56)}));
        QCOMPARE(form->settings().color(), 0x00563412u);
        for (const TFormSticky *note : form->notes()) {
            QCOMPARE(note->noteColor(), 0x00563412u);
            QCOMPARE(note->RichEdit1()->palette().color(QPalette::Base), QColor(0x12, 0x34, 0x56));
        }
        QCOMPARE(closedNote().color, Defaults::noteColor);
        form->PMNewStickyNoteClick();
        QCOMPARE(form->notes().last()->noteColor(), 0x00563412u);
    }

    void closeButton_writesTheStore_closeBoxWritesNothing()
    {
        start();
        const QString store = path(QStringLiteral("stickies.ini"));
        QVERIFY(QFile::remove(store));
        QVERIFY(openOptions()); // closed with the close box
        QVERIFY(!QFile::exists(store));

        QList<bool> stillOpen;
        const auto pressClose = [&](TFormOptions *dialog) {
            dialog->ButtonClose()->click();
            stillOpen << dialog->isVisible();
        };
        QVERIFY(openOptions(pressClose));
        QCOMPARE(Profile::load(store).readInteger(u"Stickies", u"Total", -1), 2); // unchanged, written all the same

        // A store that cannot be written is shown, and the dialog stays open.
        QVERIFY(QFile::remove(store) && QDir().mkdir(store));
        QVERIFY(openOptions(pressClose));
        QCOMPARE(stillOpen, QList<bool>({false, true}));
        QCOMPARE(m_errors, QStringList{QStringLiteral("Unable to write to %1.").arg(store)});
    }

    void autoStartBox_appliesAtOnce_failureIsShownAndUndone()
    {
        TForm1 *form = start();
        QVERIFY(QFile::exists(m_desktop.autoStartEntry())); // on by default
        QList<bool> shown;
        QVERIFY(openOptions([&](TFormOptions *dialog) {
            shown << dialog->CheckBoxAutoStart()->isChecked();
            dialog->CheckBoxAutoStart()->click();
        }));
        QVERIFY(!form->settings().autoStart());
        QVERIFY(!QFile::exists(m_desktop.autoStartEntry()));

        // The autostart folder replaced by a file: switching on cannot be written.
        const QString folder = m_desktop.config() + QStringLiteral("/autostart");
        QVERIFY(QDir(folder).removeRecursively());
        writeFile(folder, "in the way");
        QVERIFY(openOptions([&](TFormOptions *dialog) {
            shown << dialog->CheckBoxAutoStart()->isChecked();
            dialog->CheckBoxAutoStart()->click();
            shown << dialog->CheckBoxAutoStart()->isChecked();
        }));
        QCOMPARE(shown, QList<bool>({true, false, false}));
        QCOMPARE(m_errors, QStringList{QStringLiteral("Failed to set data for 'Quillet 1.02'")});
        QVERIFY(!form->settings().autoStart());
    }
};

QTEST_MAIN(TestFormOptions)
#include "tst_form_options.moc"
