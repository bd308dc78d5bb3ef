#include "../main_form_fixture.h"
#include "../test_files.h"
#include "alarm/form_alarm.h"
#include "app/about_box.h"
#include "app/form1.h"
#include "app/form_options.h"
#include "base/app_error.h"
#include "i18n/language_file.h"
#include "i18n/text_catalog.h"
#include "note/form_sticky.h"
#include "widgets/error_dialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString shippedFolder = QStringLiteral(QUILLET_SOURCE_DIR "/resources/language");
const QStringList trayLanguages{QStringLiteral("PMLangEnglish"), QStringLiteral("PMLangRussian"),
                                QStringLiteral("PMLangBulgarian"), QStringLiteral("PMLangGreek")};

QByteArray interfaceFile(const QByteArray &lines)
{
    return "[Interface]\r\n" + lines + "\r\n";
}

// The note text key's item caption, made or not.
QString noteCaption(TFormSticky *note, const TextCatalog::Entry &entry)
{
    return note->menuItem(QString::fromLatin1(TFormSticky::menuRows()[TFormSticky::menuRowOf(entry.key)].name))->text();
}

// Closes the modal dialog that the next call opens.
void closeNextDialog()
{
    QTimer::singleShot(0, [] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            dialog->close();
    });
}

} // namespace

// The apply operations on a running main form, with a language folder in a temporary program folder.
class TestApplyLanguage : public QObject, private MainFormFixture {
    Q_OBJECT

private:
    QString languageFile(const QString &name) const { return m_dir.filePath(QStringLiteral("language/") + name); }
    void copyShipped(const QString &language)
    {
        QVERIFY(QFile::copy(shippedFolder + QLatin1Char('/') + language + QLatin1String(".ini"),
                            languageFile(language + QLatin1String(".ini"))));
    }
    TForm1 *start(int storedNotes = 0)
    {
        QByteArray store = "[Stickies]\r\nTotal=" + QByteArray::number(storedNotes) + "\r\n";
        for (int i = 1; i <= storedNotes; ++i)
            store += "[Stickie" + QByteArray::number(i) + "]\r\nTitle=note " + QByteArray::number(i) + "\r\n";
        writeFile(m_dir.filePath(QStringLiteral("stickies.ini")), store);
        return MainFormFixture::start();
    }
    QStringList checkedLanguages() const
    {
        QStringList checked;
        for (const QString &item : trayLanguages) {
            if (m_form->menuItem(item)->isChecked())
                checked << item;
        }
        return checked;
    }
    // Every text the catalog names, main form and notes, against what the file (or the built-in text) says.
    void verifyAllTexts(const LanguageFile &file)
    {
        for (const TextCatalog::Entry &entry : TextCatalog::entries(TextCatalog::Group::MainForm))
            QCOMPARE(m_form->textTarget(entry.key).text(), file.text(entry.key, entry.builtInText.toString()));
        for (TFormSticky *note : m_form->notes()) {
            for (const TextCatalog::Entry &entry : TextCatalog::entries(TextCatalog::Group::NoteWindow))
                QCOMPARE(noteCaption(note, entry), file.text(entry.key, entry.builtInText.toString()));
        }
    }

private slots:
    void init()
    {
        setUpForm();
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("language"))));
        ErrorDialog::setHandler([](const QString &text) { QFAIL(qPrintable(text)); });
    }
    void cleanup() { tearDownForm(); }

    void catalog_everyKeyReachesItsControlShowingTheBuiltInText()
    {
        TForm1 *form = start(1);
        QCOMPARE(checkedLanguages(), QStringList{QStringLiteral("PMLangEnglish")});
        for (const TextCatalog::Entry &entry : TextCatalog::entries(TextCatalog::Group::MainForm)) {
            const TextTarget target = form->textTarget(entry.key);
            QVERIFY2(target.isValid(), qPrintable(entry.key.toString()));
            QCOMPARE(target.text(), entry.builtInText.toString());
        }
        for (const TextCatalog::Entry &entry : TextCatalog::entries(TextCatalog::Group::NoteWindow)) {
            QVERIFY2(TFormSticky::menuRowOf(entry.key) >= 0, qPrintable(entry.key.toString()));
            QCOMPARE(noteCaption(form->notes()[0], entry), entry.builtInText.toString());
        }
        QVERIFY(!form->textTarget(u"FormAlarm->ComboBoxPeriod->Items->Strings[5]").isValid());
        QVERIFY(!form->textTarget(u"FormAlarm->NoSuchControl->Caption").isValid());
        QVERIFY(!form->textTarget(u"PMNoSuchItem->Caption").isValid());
    }

    void switchToGreek_renamesEveryTextOpenNotesAndALaterNote_andEnglishRestores()
    {
        for (const char *language : {"Greek", "English"})
            copyShipped(QString::fromLatin1(language));
        TForm1 *form = start(2);
        form->notes()[0]->PopupMenu1(); // one note's menu was opened before, the other's never
        form->formAlarm()->ComboBoxPeriod->setCurrentIndex(3);

        form->menuItem(QStringLiteral("PMLangGreek"))->trigger();
        QCOMPARE(form->settings().language(), QStringLiteral("Greek"));
        QCOMPARE(checkedLanguages(), QStringList{QStringLiteral("PMLangGreek")});
        const LanguageFile greek(m_dir.filePath(QStringLiteral("language")), QStringLiteral("Greek"));
        QVERIFY(greek.isLoaded());
        verifyAllTexts(greek);
        QCOMPARE(form->FormOptions()->windowTitle(), QStringLiteral("Επιλογές"));
        QCOMPARE(form->formAlarm()->ComboBoxPeriod->count(), 5);
        QCOMPARE(form->formAlarm()->ComboBoxPeriod->currentIndex(), 3);

        form->PMNewStickyNoteClick();
        QCOMPARE(form->notes().size(), 3);
        verifyAllTexts(greek);

        form->menuItem(QStringLiteral("PMLangEnglish"))->trigger();
        QCOMPARE(checkedLanguages(), QStringList{QStringLiteral("PMLangEnglish")});
        verifyAllTexts(LanguageFile(QString(), QString())); // every text built in again
    }

    void fileLackingAKey_keepsThePreviousLanguagesText()
    {
        copyShipped(QStringLiteral("Russian"));
        writeFile(languageFile(QStringLiteral("Partial.ini")),
                  interfaceFile("PMAbout->Caption=About\r\nFormAlarm->ComboBoxPeriod->Items->Strings[2]=\r\n"
                                "FormSticky->PMAlarm->Caption=" +
                                QByteArray(3000, 'x')));
        TForm1 *form = start(1);
        form->PMLanguageClick(QStringLiteral("Russian"));
        form->PMLanguageClick(QStringLiteral("Partial"));
        QVERIFY(checkedLanguages().isEmpty());
        QCOMPARE(form->menuItem(QStringLiteral("PMExit"))->text(), QStringLiteral("Выход"));
        QCOMPARE(form->menuItem(QStringLiteral("PMAbout"))->text(), QStringLiteral("About"));
        QCOMPARE(form->formAlarm()->ComboBoxPeriod->count(), 5);
        QCOMPARE(form->formAlarm()->ComboBoxPeriod->itemText(2), QString());
        QCOMPARE(form->formAlarm()->ComboBoxPeriod->itemText(3), QStringLiteral("нед."));
        QCOMPARE(form->notes()[0]->menuItem(u"PMAlarm")->text(), QString(2047, QLatin1Char('x')));
        QCOMPARE(form->notes()[0]->menuItem(u"PMUndo")->text(), QStringLiteral("Отменить"));
    }

    // Texts that no control holds follow a switch too: a command's message and Qt's own dialogs, here a
    // standard button. Qt has no Greek texts; from Russian, Greek and English both bring Qt's English back.
    void switchLanguage_translatesMessagesAndQtsOwnTexts_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("Bulgarian") << "Bulgarian"
                                   << "Отказ";
        QTest::newRow("Greek") << "Greek"
                               << "Cancel";
        QTest::newRow("English") << "English"
                                 << "Cancel";
    }

    void switchLanguage_translatesMessagesAndQtsOwnTexts()
    {
        QFETCH(QString, language);
        QFETCH(QString, cancel);
        const auto cancelText = [] {
            QDialogButtonBox buttons(QDialogButtonBox::Cancel);
            return buttons.button(QDialogButtonBox::Cancel)->text();
        };
        QStringList shown;
        ErrorDialog::setHandler([&shown](const QString &text) { shown << text; });
        // A CUPS server that is not there: no printer at all.
        const QByteArray server = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", QFile::encodeName(m_dir.filePath(QStringLiteral("no-cups.sock"))));
        copyShipped(QStringLiteral("Russian"));
        if (language != QLatin1String("Russian"))
            copyShipped(language);
        TForm1 *form = start(1);
        form->PMLanguageClick(QStringLiteral("Russian"));
        QCOMPARE(cancelText(), QStringLiteral("Отмена"));

        form->PMLanguageClick(language);
        QCOMPARE(cancelText(), cancel);
        ErrorDialog::guard([form] { form->notes()[0]->PMPrintClick(); }); // as the application reports it
        qputenv("CUPS_SERVER", server);
        const LanguageFile file(m_dir.filePath(QStringLiteral("language")), language);
        QCOMPARE(shown, QStringList{AppError::withFullStop(file.text(u"Messages->NoPrinter", QString()))});
    }

    void languageName_checksOnlyTheExactWord_andNeverReadsOutsideTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("checked"); // the one item checked, or empty for none
        QTest::addColumn<QString>("exitText");
        QTest::newRow("Greek") << "Greek"
                               << "PMLangGreek"
                               << "Greek exit";
        QTest::newRow("french: its file, no item") << "french" << QString() << "French exit";
        QTest::newRow("english: no item") << "english" << QString() << "Exit";
        QTest::newRow("parent folder") << "../Greek" << QString() << "Exit";
        QTest::newRow("subfolder") << "sub/Greek" << QString() << "Exit";
        QTest::newRow("empty") << "" << QString() << "Exit";
    }

    void languageName_checksOnlyTheExactWord_andNeverReadsOutsideTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, checked);
        QFETCH(QString, exitText);
        // Each file that a name could reach holds a text of its own.
        QVERIFY(QDir().mkpath(languageFile(QStringLiteral("sub"))));
        writeFile(languageFile(QStringLiteral("Greek.ini")), interfaceFile("PMExit->Caption=Greek exit"));
        writeFile(languageFile(QStringLiteral("french.ini")), interfaceFile("PMExit->Caption=French exit"));
        for (const char *path : {"Greek.ini", "language/sub/Greek.ini", "language/.ini"})
            writeFile(m_dir.filePath(QString::fromLatin1(path)), interfaceFile("PMExit->Caption=reached"));
        writeFile(m_dir.filePath(QStringLiteral("quillet.ini")), "[Options]\r\nLanguage=" + name.toUtf8() + "\r\n");

        TForm1 *form = start();
        QCOMPARE(form->settings().language(), name);
        QCOMPARE(checkedLanguages(), checked.isEmpty() ? QStringList() : QStringList{checked});
        QCOMPARE(form->menuItem(QStringLiteral("PMExit"))->text(), exitText);
    }

    void openingADialog_readsTheFileAfresh_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("Options") << "FormOptions->Caption";
        QTest::newRow("About") << "AboutBox->LabelSite->Caption";
        QTest::newRow("Alarm") << "FormAlarm->Caption";
    }

    void openingADialog_readsTheFileAfresh()
    {
        QFETCH(QString, key);
        copyShipped(QStringLiteral("Greek"));
        TForm1 *form = start(1);
        form->menuItem(QStringLiteral("PMLangGreek"))->trigger();
        const QString changed = QStringLiteral("https://changed.example.org/");
        writeFile(languageFile(QStringLiteral("Greek.ini")),
                  interfaceFile((key + QLatin1Char('=') + changed).toUtf8()));
        QCOMPARE_NE(form->textTarget(key).text(), changed);

        closeNextDialog();
        if (key.startsWith(QLatin1String("FormOptions")))
            form->PMOptionsClick();
        else if (key.startsWith(QLatin1String("AboutBox")))
            form->PMAboutClick();
        else
            form->notes()[0]->PMAlarmClick();
        QCOMPARE(form->textTarget(key).text(), changed);
        // Texts the edited file no longer holds keep the Greek ones.
        QCOMPARE(form->menuItem(QStringLiteral("PMExit"))->text(), QStringLiteral("Έξοδος"));

        if (key.startsWith(QLatin1String("AboutBox"))) {
            QUrl opened;
            form->AboutBox()->setUrlOpener([&opened](const QUrl &url) { opened = url; });
            form->AboutBox()->LabelSiteMouseDown();
            QCOMPARE(opened, QUrl(changed));
        }
    }
};

QTEST_MAIN(TestApplyLanguage)
#include "tst_apply_language.moc"
