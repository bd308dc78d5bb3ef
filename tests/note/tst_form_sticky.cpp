#include "note/form_sticky.h"

#include "../full_note.h"
#include "../read_only_folder.h"
#include "../test_files.h"

#include "base/app_error.h"
#include "platform/program_module.h"
#include "rtf/rtf_reader.h"
#include "store/note_store.h"
#include "store/profile.h"
#include "widgets/error_dialog.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <optional>

namespace {

// A stored text longer than a note shows: plain words, or RTF of numbered lines. Both end in "last".
QString longStoredText(bool rtf)
{
    QString text = rtf ? QStringLiteral("{\\rtf1\\ansi ") : QString();
    for (int line = 1; text.size() <= TFormSticky::maxShownTextLength; ++line)
        text += rtf ? QStringLiteral("line %1\\par ").arg(line) : QStringLiteral("plain words %1 ").arg(line);
    return text + (rtf ? QStringLiteral("last}") : QStringLiteral("last"));
}

// Answers the save dialog that the note opens next, as a user would, once it is up.
void whenSaveDialogOpens(const std::function<void(QFileDialog &)> &answer)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        answer(*dialog);
    });
    poll->start(10);
}

// Saves and restores the variables that decide the home and documents folders.
class HomeFolder {
public:
    explicit HomeFolder(const QString &home)
        : m_saved{qgetenv("HOME"), qgetenv("XDG_CONFIG_HOME")}
    {
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    }
    ~HomeFolder()
    {
        for (const auto &[name, value] : {std::pair("HOME", m_saved[0]), std::pair("XDG_CONFIG_HOME", m_saved[1])}) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    HomeFolder(const HomeFolder &) = delete;
    HomeFolder &operator=(const HomeFolder &) = delete;

private:
    QByteArray m_saved[2];
};

} // namespace

// The note window on its own: its menu, its window attributes and its record.
class TestFormSticky : public QObject {
    Q_OBJECT

    QStringList m_errors;

private slots:
    void initTestCase()
    {
        // No printer at all, whatever the machine has: printing fails the same way everywhere.
        qputenv("CUPS_SERVER", "/nonexistent/quillet-test-cups.sock");
    }
    void init()
    {
        m_errors.clear();
        ErrorDialog::setHandler([this](const QString &text) { m_errors.append(text); });
    }
    void cleanup() { ErrorDialog::setHandler({}); }

    void menu_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QString>("parentMenu");
        QTest::newRow("undo") << "PMUndo"
                              << "Undo"
                              << "Ctrl+Z"
                              << "PopupMenu1";
        QTest::newRow("paste") << "PMPaste"
                               << "Paste"
                               << "Ctrl+V"
                               << "PopupMenu1";
        QTest::newRow("print") << "PMPrint"
                               << "Print"
                               << "Ctrl+P"
                               << "PopupMenu1";
        QTest::newRow("save as") << "PMSaveAs"
                                 << "Save as ..."
                                 << ""
                                 << "PopupMenu1";
        QTest::newRow("title") << "PMChangeTitle"
                               << "Change Title"
                               << ""
                               << "PMWindow";
        QTest::newRow("opacity 10") << "PMOpacity10"
                                    << "10"
                                    << ""
                                    << "PMChangeOpacity";
        QTest::newRow("on top") << "PMStayOnTop"
                                << "Stay On Top"
                                << "Ctrl+T"
                                << "PMWindow";
        QTest::newRow("more") << "PMFontSizeMore"
                              << "More  Ctrl +"
                              << ""
                              << "PMSize";
        QTest::newRow("less") << "PMFontSizeLess"
                              << "Less   Ctrl -"
                              << ""
                              << "PMSize";
        QTest::newRow("72") << "PMFontSize72"
                            << "72"
                            << ""
                            << "PMSize";
        QTest::newRow("strike") << "PMStrikeOut"
                                << "Strike Out"
                                << "Ctrl+S"
                                << "PMStyle";
        QTest::newRow("roman") << "PMLargeRomanNumbers"
                               << "Large Roman Numbers"
                               << ""
                               << "PMList";
        QTest::newRow("lock") << "PMLockText"
                              << "Lock"
                              << "Ctrl+L"
                              << "PMText";
        QTest::newRow("alarm") << "PMAlarm"
                               << "Alarm"
                               << "Ctrl+Shift+A"
                               << "PopupMenu1";
    }
    void menu()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(QString, parentMenu);
        TFormSticky note;
        QAction *item = note.menuItem(name);
        QVERIFY(item);
        QCOMPARE(item->text(), caption);
        QCOMPARE(item->shortcut(), QKeySequence(shortcut));
        const QList<QObject *> owners = item->associatedObjects();
        const bool inParent =
            std::any_of(owners.begin(), owners.end(), [&](QObject *o) { return o->objectName() == parentMenu; });
        QVERIFY2(inParent, qPrintable(name + QStringLiteral(" is not in ") + parentMenu));
    }

    void menu_topLevelOrder()
    {
        TFormSticky note;
        QStringList names;
        for (QAction *action : note.PopupMenu1()->actions())
            names.append(action->objectName());
        const QStringList expected{
            QStringLiteral("PMUndo"),   QStringLiteral("N1"), QStringLiteral("PMCut"),       QStringLiteral("PMCopy"),
            QStringLiteral("PMPaste"),  QStringLiteral("N2"), QStringLiteral("PMSelectAll"), QStringLiteral("PMPrint"),
            QStringLiteral("PMSaveAs"), QStringLiteral("N9"), QStringLiteral("PMWindow"),    QStringLiteral("N7"),
            QStringLiteral("PMText"),   QStringLiteral("N8"), QStringLiteral("PMAlarm")};
        QCOMPARE(names, expected);
        QCOMPARE(TFormSticky::menuRows().size(), std::size_t(69));
    }

    void opacityItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("alpha");
        const int alphas[] = {254, 229, 204, 178, 153, 127, 102, 76, 51, 25};
        for (int i = 0; i < 10; ++i) {
            const QString name = QStringLiteral("PMOpacity%1").arg(100 - 10 * i);
            QTest::newRow(qPrintable(name)) << name << alphas[i];
        }
    }
    void opacityItems()
    {
        QFETCH(QString, name);
        QFETCH(int, alpha);
        TFormSticky note;
        note.show();
        note.menuItem(name)->trigger();
        note.menuItem(name)->trigger(); // applying the same step again is harmless
        QCOMPARE(note.opacity(), alpha);
        QCOMPARE(qRound(note.windowOpacity() * 255), alpha);
    }

    void stayOnTop_togglesWithoutMovingOrLosingText()
    {
        TFormSticky note;
        note.move(123, 234);
        note.resize(300, 200);
        note.show();
        note.RichEdit1()->setPlainText(QStringLiteral("keep me"));
        for (bool expected : {true, false}) {
            note.menuItem(QStringLiteral("PMStayOnTop"))->trigger();
            QCOMPARE(note.stayOnTop(), expected);
            QCOMPARE(note.menuItem(QStringLiteral("PMStayOnTop"))->isChecked(), expected);
            QCOMPARE(note.windowFlags().testFlag(Qt::WindowStaysOnTopHint), expected);
            QVERIFY(note.isVisible());
            QCOMPARE(note.pos(), QPoint(123, 234));
            QCOMPARE(note.size(), QSize(300, 200));
            QCOMPARE(note.RichEdit1()->toPlainText(), QStringLiteral("keep me"));
        }
    }

    void lock_makesTextReadOnlyAndKeepsMenuEnabled()
    {
        TFormSticky note;
        note.show();
        note.menuItem(QStringLiteral("PMLockText"))->trigger();
        QVERIFY(note.lockText());
        QVERIFY(note.RichEdit1()->isReadOnly());
        note.RichEdit1()->setFocus();
        QTest::keyClicks(note.RichEdit1(), QStringLiteral("typed"));
        QCOMPARE(note.RichEdit1()->toPlainText(), QString());
        for (const MenuRow<TFormSticky> &row : TFormSticky::menuRows())
            QVERIFY(note.menuItem(QString::fromLatin1(row.name))->isEnabled());
        note.menuItem(QStringLiteral("PMLockText"))->trigger();
        QVERIFY(!note.RichEdit1()->isReadOnly());
    }

    // Every note shares one action per shortcut: the keys act on the active note and on no other.
    void shortcut_actsOnTheActiveNoteOnly_data()
    {
        QTest::addColumn<QKeyCombination>("keys");
        QTest::addColumn<bool (TFormSticky::*)() const>("state");
        QTest::newRow("stay on top") << (Qt::CTRL | Qt::Key_T) << &TFormSticky::stayOnTop;
        QTest::newRow("lock") << (Qt::CTRL | Qt::Key_L) << &TFormSticky::isTextLocked;
    }
    void shortcut_actsOnTheActiveNoteOnly()
    {
        QFETCH(QKeyCombination, keys);
        using State = bool (TFormSticky::*)() const;
        QFETCH(State, state);
        TFormSticky other;
        TFormSticky note;
        other.show();
        note.show();
        note.PopupMenu1(); // the menu's own items show the same shortcuts, and must not make them ambiguous
        for (bool expected : {true, false}) {
            QApplication::setActiveWindow(&note);
            QVERIFY(QTest::qWaitForWindowActive(&note));
            QTest::keyClick(note.RichEdit1(), keys.key(), keys.keyboardModifiers());
            QCOMPARE((note.*state)(), expected);
            QVERIFY(!(other.*state)());
        }
    }

    void close_emitsClosedAndHides()
    {
        TFormSticky note;
        note.show();
        QSignalSpy closed(&note, &TFormSticky::closed);
        note.close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!note.isVisible());
    }

    // The text fills the note at every size, and a note goes no smaller than its text edit can be.
    void resize_textFillsTheNote()
    {
        TFormSticky note;
        note.show();
        for (const QSize size : {QSize(300, 200), QSize(1, 1), QSize(90, 500)}) {
            note.resize(size);
            QCOMPARE(note.size(), size.expandedTo(note.RichEdit1()->minimumSizeHint()));
            QCOMPARE(note.RichEdit1()->geometry(), note.rect());
        }
    }

    void record_roundTripsEveryField()
    {
        const NoteRecord record = fullNote();
        TFormSticky note;
        note.applyRecord(record);
        QCOMPARE(note.toRecord(), record);
        QCOMPARE(note.windowTitle(), record.title);
        QCOMPARE(note.RichEdit1()->toPlainText(), QString::fromUtf8("milk\neggs \xC3\xA9"));

        // Once edited, the text is written anew from the editor.
        note.RichEdit1()->selectAll();
        note.RichEdit1()->insertPlainText(QStringLiteral("eggs"));
        QVERIFY(note.toRecord().text.startsWith(QStringLiteral("{\\rtf")));
        QVERIFY(note.toRecord().text.contains(QStringLiteral("eggs")));
        QVERIFY(!note.toRecord().text.contains(QLatin1Char('\n')));
    }

    void construction_defaults()
    {
        TFormSticky note(QStringLiteral("/opt/q/"));
        const NoteRecord record = note.toRecord();
        QCOMPARE(record.alarm.soundFile, QStringLiteral("/opt/q/alarm/alarm.mp3"));
        QCOMPARE(record.alarm.countStart, 1);
        QVERIFY(!record.alarm.countdown);
        QCOMPARE(note.size(), QSize(240, 180));
        QCOMPARE(note.RichEdit1()->currentCharFormat().fontPointSize(), 10.0);
        QCOMPARE(record.text, QString());
    }

    void toQColor_data()
    {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("pale yellow") << 0x00C0FFFFu << QColor(0xFF, 0xFF, 0xC0);
        QTest::newRow("red in the low byte") << 0x000000FFu << QColor(Qt::red);
        QTest::newRow("blue in the high byte") << 0x00FF0000u << QColor(Qt::blue);
    }
    void toQColor()
    {
        QFETCH(quint32, value);
        QFETCH(QColor, expected);
        QCOMPARE(TFormSticky::toQColor(value), expected);
    }

    void withFilterExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<QString>("expected");
        QTest::newRow("stc to txt") << "Stickie2.stc" << 2 << "Stickie2.txt";
        QTest::newRow("txt to rtf") << "/home/u/notes.txt" << 3 << "/home/u/notes.rtf";
        QTest::newRow("no extension gets one") << "groceries" << 1 << "groceries.stc";
        QTest::newRow("dot in a folder name only") << "/tmp/my.notes/todo" << 2 << "/tmp/my.notes/todo.txt";
        QTest::newRow("empty box") << "" << 3 << ".rtf";
        QTest::newRow("last dot counts") << "a.b.c" << 1 << "a.b.stc";
    }
    void withFilterExtension()
    {
        QFETCH(QString, name);
        QFETCH(int, filterIndex);
        QFETCH(QString, expected);
        QCOMPARE(TFormSticky::withFilterExtension(name, filterIndex), expected);
    }

    void saveToFile_formatFollowsTheExtension_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("format");
        QTest::newRow("stc") << "Stickie2.stc"
                             << "stc";
        QTest::newRow("txt") << "two lines.txt"
                             << "txt";
        QTest::newRow("rtf") << "export.rtf"
                             << "rtf";
        QTest::newRow("upper-case txt") << "NOTE.TXT"
                                        << "txt";
        QTest::newRow("no extension") << "note"
                                      << "";
        QTest::newRow("other extension") << "note.doc"
                                         << "";
    }
    void saveToFile_formatFollowsTheExtension()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        TFormSticky note;
        note.setWindowTitle(QStringLiteral("Exported"));
        note.setNoteNumber(2);
        note.RichEdit1()->setPlainText(QStringLiteral("first line\nsecond line"));
        QCOMPARE(note.saveToFile(path), !format.isEmpty());
        QFile file(path);
        if (format.isEmpty()) {
            QVERIFY(!file.exists());
            return;
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        if (format == QLatin1String("txt")) {
            QCOMPARE(content, QByteArray("first line\r\nsecond line\r\n"));
        } else if (format == QLatin1String("rtf")) {
            QTextDocument document;
            RtfReader::read(content, &document);
            QCOMPARE(document.toPlainText(), QStringLiteral("first line\nsecond line"));
        } else {
            const NoteRecord record = NoteStore::loadStickieFile(path, {});
            QCOMPARE(record, note.toRecord());
            QCOMPARE(Profile::load(path).sections(), QStringList{QStringLiteral("Stickie")});
        }
    }

    void saveToFile_stcOverAnotherFile_replacesItWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.stc"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("[Stickies]\r\nTotal=3\r\n[Stickie]\r\nTitle=old\r\nExtra=1\r\n");
        old.close();
        TFormSticky note;
        QVERIFY(note.saveToFile(path));
        const Profile written = Profile::load(path);
        QCOMPARE(written.sections(), QStringList{QStringLiteral("Stickie")});
        QCOMPARE(written.keys(u"Stickie").size(), 18);
    }

    void saveToFile_unwritablePlace_reportsTheFile()
    {
        QTemporaryDir dir;
        // A regular file where the folder should be: no user, root included, can create the export.
        QFile blocker(dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString path = dir.filePath(QStringLiteral("blocker/out.txt"));
        TFormSticky note;
        try {
            note.saveToFile(path);
            QFAIL("no error for an export that cannot be written");
        } catch (const AppError &error) {
            QCOMPARE(error.message(), QStringLiteral("Cannot create file %1").arg(path));
        }
    }

    void cutNote_exportsTheWholeStoredText_data()
    {
        QTest::addColumn<bool>("rtf");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("plain words as txt") << false << "long.txt";
        QTest::newRow("rtf as txt") << true << "long.txt";
        QTest::newRow("plain words as rtf") << false << "long.rtf";
        QTest::newRow("rtf as rtf") << true << "long.rtf";
    }
    void cutNote_exportsTheWholeStoredText()
    {
        QFETCH(bool, rtf);
        QFETCH(QString, fileName);
        NoteRecord record;
        record.text = longStoredText(rtf);
        TFormSticky note;
        note.applyRecord(record);
        QVERIFY(note.isTextCut());
        QTextDocument whole;
        RtfReader::readNoteText(record.text, &whole);

        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        QVERIFY(note.saveToFile(path));
        const QByteArray content = ::readFile(path);
        QString exported;
        QString expected = whole.toPlainText();
        if (fileName.endsWith(QLatin1String(".rtf"))) {
            QTextDocument document;
            RtfReader::read(content, &document);
            exported = document.toPlainText();
        } else {
            exported = QString::fromUtf8(content);
            expected = expected.replace(QLatin1Char('\n'), QLatin1String("\r\n")) + QLatin1String("\r\n");
        }
        QCOMPARE(exported.size(), expected.size());
        QVERIFY(exported == expected);
        // Printing takes the same whole text.
        const std::unique_ptr<QTextDocument> printed = note.wholeTextDocument();
        QVERIFY(printed && printed->toPlainText() == whole.toPlainText());
        // The window goes on showing only the first part.
        QVERIFY(note.RichEdit1()->toPlainText().size() < whole.toPlainText().size());
    }

    void cutNote_staysLockedAndStoresTheUsersOwnLock_data()
    {
        QTest::addColumn<bool>("userLock");
        QTest::newRow("never locked") << false;
        QTest::newRow("locked by the user") << true;
    }
    void cutNote_staysLockedAndStoresTheUsersOwnLock()
    {
        QFETCH(bool, userLock);
        NoteRecord record;
        record.lockText = userLock;
        record.text = longStoredText(false);
        TFormSticky note;
        note.applyRecord(record);
        QAction *lock = note.menuItem(QStringLiteral("PMLockText"));
        QVERIFY(note.RichEdit1()->isReadOnly() && lock->isChecked());
        QCOMPARE(note.toRecord().lockText, userLock);

        // Unlocking is refused, and the user is told why.
        lock->trigger();
        QCOMPARE(m_errors,
                 QStringList{QStringLiteral("The text of this note is too long to be edited; it stays locked.")});
        QVERIFY(note.RichEdit1()->isReadOnly() && lock->isChecked());
        QCOMPARE(note.toRecord().lockText, userLock);

        // The tray's "Lock Text" sets the user's own lock, which the note keeps for the store.
        note.setLockText(!userLock);
        QCOMPARE(note.toRecord().lockText, !userLock);
        QVERIFY(note.RichEdit1()->isReadOnly() && lock->isChecked());
    }

    void loadedNote_opensAtItsTop_data()
    {
        QTest::addColumn<QString>("text");
        QString lines = QStringLiteral("{\\rtf1\\ansi ");
        for (int line = 1; line <= 300; ++line)
            lines += QStringLiteral("line %1\\par ").arg(line);
        QTest::newRow("many lines") << lines + QLatin1Char('}');
        QTest::newRow("text too long to show whole") << longStoredText(true);
    }
    void loadedNote_opensAtItsTop()
    {
        QFETCH(QString, text);
        NoteRecord record;
        record.left = 100;
        record.top = 100;
        record.text = text;
        TFormSticky note;
        note.applyRecord(record);
        note.show();
        QVERIFY(QTest::qWaitForWindowExposed(&note));
        QCoreApplication::processEvents();
        QCOMPARE(note.RichEdit1()->textCursor().position(), 0);
        QCOMPARE(note.RichEdit1()->verticalScrollBar()->value(), 0);
    }

    void saveAs_proposesAFolderTheUserCanWrite_data()
    {
        QTest::addColumn<bool>("programFolderWritable");
        QTest::addColumn<bool>("haveDocuments");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("portable program") << true << true << "program";
        QTest::newRow("installed program") << false << true << "home/Documents";
        QTest::newRow("installed, no documents folder") << false << false << "home";
    }
    void saveAs_proposesAFolderTheUserCanWrite()
    {
        QFETCH(bool, programFolderWritable);
        QFETCH(bool, haveDocuments);
        QFETCH(QString, proposed);
        QTemporaryDir dir;
        // Open to every user: a read-only program folder is tried as "nobody" when the tests run as root.
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7755));
        const QString home = dir.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(haveDocuments ? home + QStringLiteral("/Documents") : home));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("program"))));
        const HomeFolder homeFolder(home);
        std::optional<ReadOnlyFolder> readOnly;
        if (!programFolderWritable) {
            readOnly.emplace(dir.filePath(QStringLiteral("program")));
            if (!readOnly->isEffective())
                QSKIP("no way to make a folder read-only here");
        }
        TFormSticky note(dir.filePath(QStringLiteral("program")) + QLatin1Char('/'));
        note.setNoteNumber(2);
        QString shownFolder;
        QString shownName;
        whenSaveDialogOpens([&](QFileDialog &dialog) {
            shownFolder = dialog.directory().absolutePath();
            shownName = QFileInfo(dialog.selectedFiles().value(0)).fileName();
            dialog.reject();
        });
        note.PMSaveAsClick();
        QCOMPARE(shownFolder, dir.filePath(proposed));
        QCOMPARE(shownName, QStringLiteral("Stickie2.stc"));
    }

    void menuCommand_failure_endsInTheErrorDialog_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("withoutModules");
        QTest::newRow("save as into a place that cannot hold a file") << "PMSaveAs"
                                                                      << "Cannot create file %1." << false;
        QTest::newRow("print without a printer") << "PMPrint"
                                                 << "There is no printer to print to." << false;
        QTest::newRow("print without the print module")
            << "PMPrint"
            << "Printing is not possible: quillet-print.so is in none of the folders %1." << true;
    }
    void menuCommand_failure_endsInTheErrorDialog()
    {
        QFETCH(QString, item);
        QFETCH(QString, message);
        QFETCH(bool, withoutModules);
        QTemporaryDir dir;
        const auto restoreModules = qScopeGuard([] { ProgramModule::setFolders({}); });
        if (withoutModules) {
            ProgramModule::setFolders({dir.path()});
            message = message.arg(dir.path());
        }
        ::writeFile(dir.filePath(QStringLiteral("blocker")), "a file where a folder should be");
        const QString path = dir.filePath(QStringLiteral("blocker/out.txt"));
        TFormSticky note(dir.path() + QLatin1Char('/'));
        note.RichEdit1()->setPlainText(QStringLiteral("kept"));
        if (item == u"PMSaveAs") {
            message = message.arg(path);
            whenSaveDialogOpens([&](QFileDialog &dialog) {
                dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
                static_cast<QDialog &>(dialog).accept(); // QFileDialog's own check of the name, as OK does
            });
        }
        // An exception out of the menu's own code would fail the test here.
        note.menuItem(item)->trigger();
        QCOMPARE(m_errors, QStringList{message});
        QCOMPARE(note.RichEdit1()->toPlainText(), QStringLiteral("kept"));
    }

    void trayMenu_addedAsLastSubmenuAndRemoved()
    {
        TFormSticky note;
        QMenu tray;
        const int before = int(note.PopupMenu1()->actions().size());
        note.setTrayMenu(&tray);
        QCOMPARE(note.PopupMenu1()->actions().last()->menu(), &tray);
        QCOMPARE(note.PopupMenu1()->actions().last()->text(), QStringLiteral("Quillet 1.02"));
        note.setTrayMenu(nullptr);
        QCOMPARE(int(note.PopupMenu1()->actions().size()), before);
    }
};

QTEST_MAIN(TestFormSticky)
#include "tst_form_sticky.moc"
