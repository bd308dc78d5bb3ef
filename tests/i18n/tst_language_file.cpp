#include "../test_files.h"
#include "i18n/language_file.h"
#include "i18n/text_catalog.h"
#include "platform/code_page.h"

#include <QDir>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// The shipped language files live in the source tree's resources folder, two levels above the test data.
const QString shippedFolder = QStringLiteral(QUILLET_TEST_DATA "/../../resources/language");
const QString fallback = QStringLiteral("<current>");

QByteArray interfaceFile(const QByteArray &lines)
{
    return "[Interface]\r\n" + lines + "\r\n";
}

QByteArray inCodePage(int codePage, const QString &text)
{
    QByteArray bytes;
    if (!CodePage::encode(codePage, text, &bytes))
        qFatal("test text not encodable in code page %d", codePage);
    return bytes;
}

} // namespace

class TestLanguageFile : public QObject {
    Q_OBJECT

private slots:
    void catalog_keysUniqueAndGroupedInOrder()
    {
        QCOMPARE(TextCatalog::entries().size(), std::size_t(88));
        QCOMPARE(TextCatalog::entries(TextCatalog::Group::MainForm).size(), std::size_t(42));
        QCOMPARE(TextCatalog::entries(TextCatalog::Group::NoteWindow).size(), std::size_t(40));
        QCOMPARE(TextCatalog::entries(TextCatalog::Group::Message).size(), std::size_t(6));
        for (TextCatalog::Group group :
             {TextCatalog::Group::MainForm, TextCatalog::Group::NoteWindow, TextCatalog::Group::Message}) {
            for (const TextCatalog::Entry &entry : TextCatalog::entries(group))
                QVERIFY2(entry.group == group, qPrintable(entry.key.toString()));
        }

        // Language files match keys regardless of case, so keys must differ in more than case.
        QSet<QString> seen;
        for (const TextCatalog::Entry &entry : TextCatalog::entries()) {
            QVERIFY2(!seen.contains(entry.key.toString().toCaseFolded()), qPrintable(entry.key.toString()));
            seen.insert(entry.key.toString().toCaseFolded());
            QCOMPARE(TextCatalog::find(entry.key), &entry);
        }
        QCOMPARE(TextCatalog::find(u"formsticky->pmundo->caption")->builtInText, u"Undo");
        QCOMPARE(TextCatalog::find(u"FormSticky->PMUndo"), nullptr);
    }

    void shippedFile_holdsEveryKeyInCatalogOrder_data()
    {
        QTest::addColumn<QString>("language");
        for (const char *language : {"English", "Russian", "Bulgarian", "Greek"})
            QTest::newRow(language) << QString::fromLatin1(language);
    }

    void shippedFile_holdsEveryKeyInCatalogOrder()
    {
        QFETCH(QString, language);
        const QByteArray bytes = readFile(shippedFolder + QLatin1Char('/') + language + QLatin1String(".ini"));
        QVERIFY2(!bytes.isEmpty(), qPrintable(shippedFolder));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8(bytes);
        QVERIFY2(!utf8.hasError(), "not UTF-8");

        const Profile profile = Profile::fromBytes(bytes);
        QCOMPARE(profile.sections(), QStringList{QStringLiteral("Interface")});
        QStringList catalogKeys;
        for (const TextCatalog::Entry &entry : TextCatalog::entries())
            catalogKeys.append(entry.key.toString());
        QCOMPARE(profile.keys(u"Interface"), catalogKeys);

        const LanguageFile file(shippedFolder, language);
        QVERIFY(file.isLoaded());
        for (const TextCatalog::Entry &entry : TextCatalog::entries()) {
            const QString text = file.text(entry.key, fallback);
            QVERIFY2(!text.isEmpty(), qPrintable(entry.key.toString()));
            if (language == QLatin1String("English"))
                QCOMPARE(text, entry.builtInText.toString());
            // A message's arguments stay in every language.
            for (const QString &argument : {QStringLiteral("%1"), QStringLiteral("%2")})
                QCOMPARE(text.contains(argument), entry.builtInText.contains(argument));
        }
        // Translations keep the shortcuts and the filter's patterns; only the descriptions change.
        QVERIFY(file.text(u"FormSticky->PMFontSizeMore->Caption", fallback).endsWith(QLatin1String("  Ctrl +")));
        QVERIFY(file.text(u"FormSticky->PMFontSizeLess->Caption", fallback).endsWith(QLatin1String("   Ctrl -")));
        const QStringList filter = file.text(u"FormAlarm->OpenDialog1->Filter", fallback).split(QLatin1Char('|'));
        QCOMPARE(filter.size(), 6);
        QCOMPARE(filter.at(1), QLatin1String("*.wav;*.mp3"));
        QCOMPARE(filter.at(3), QLatin1String("*.wav"));
        QCOMPARE(filter.at(5), QLatin1String("*.mp3"));
        QVERIFY(filter.at(0).endsWith(QLatin1String("(*.wav;*.mp3)")));
    }

    void text_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QString exit = QStringLiteral("PMExit->Caption");
        QTest::newRow("plain") << "English" << interfaceFile("PMExit->Caption=Quit") << exit << "Quit";
        QTest::newRow("names ignore case")
            << "English" << QByteArray("[interface]\r\npmexit->caption=Quit\r\n") << exit << "Quit";
        QTest::newRow("blanks and quotes dropped")
            << "English" << interfaceFile("PMExit->Caption =  ' Quit '  ") << exit << " Quit ";
        QTest::newRow("empty value is empty text")
            << "English" << interfaceFile("FormAlarm->ComboBoxPeriod->Items->Strings[2]=")
            << "FormAlarm->ComboBoxPeriod->Items->Strings[2]"
            << "";
        QTest::newRow("3000 characters cut to 2047")
            << "English" << interfaceFile("PMExit->Caption=" + QByteArray(3000, 'x')) << exit << QString(2047, 'x');
        QTest::newRow("cut keeps no half surrogate pair")
            << "English" << interfaceFile("PMExit->Caption=" + QByteArray(2046, 'x') + "\xF0\x9F\x98\x80") << exit
            << QString(2046, 'x');
        QTest::newRow("missing key") << "English" << interfaceFile("PMAbout->Caption=About") << exit << fallback;
        QTest::newRow("missing section") << "English" << QByteArray("[Options]\r\nPMExit->Caption=Quit\r\n") << exit
                                         << fallback;

        // Encodings: UTF-8 wherever it is valid, otherwise the language's 8-bit code page.
        QTest::newRow("Russian in Windows-1251")
            << "Russian" << interfaceFile("PMExit->Caption=" + inCodePage(1251, QStringLiteral("Выход"))) << exit
            << "Выход";
        QTest::newRow("Bulgarian in Windows-1251")
            << "Bulgarian" << interfaceFile("PMExit->Caption=" + inCodePage(1251, QStringLiteral("Изход"))) << exit
            << "Изход";
        QTest::newRow("Greek in Windows-1253")
            << "Greek" << interfaceFile("PMExit->Caption=" + inCodePage(1253, QStringLiteral("Έξοδος"))) << exit
            << "Έξοδος";
        QTest::newRow("other languages in Windows-1252")
            << "french" << interfaceFile("PMExit->Caption=" + inCodePage(1252, QStringLiteral("Fermer ça €"))) << exit
            << "Fermer ça €";
        QTest::newRow("UTF-8 Russian is not read as 1251")
            << "Russian" << interfaceFile(QStringLiteral("PMExit->Caption=Выход").toUtf8()) << exit << "Выход";
        QTest::newRow("UTF-8 with byte order mark")
            << "Greek"
            << "\xEF\xBB\xBF" + interfaceFile(QStringLiteral("PMExit->Caption=Έξοδος").toUtf8()) << exit << "Έξοδος";
        QTest::newRow("invalid UTF-8 falls to 8-bit")
            << "Russian" << interfaceFile("PMAbout->Caption=\xC0\xC1\r\nPMExit->Caption=\xE2\xFB\xF5\xEE\xE4") << exit
            << "выход";
    }

    void text()
    {
        QFETCH(QString, language);
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, expected);

        QTemporaryDir dir;
        writeFile(dir.filePath(language + QLatin1String(".ini")), file);
        QCOMPARE(LanguageFile(dir.path(), language).text(key, fallback), expected);
    }

    void missingFile_givesFallback()
    {
        QTemporaryDir dir;
        const LanguageFile file(dir.path(), QStringLiteral("Greek"));
        QVERIFY(!file.isLoaded());
        QCOMPARE(file.text(u"PMExit->Caption", fallback), fallback);
        QCOMPARE(LanguageFile(dir.filePath(QStringLiteral("none")), QStringLiteral("Greek")).isLoaded(), false);
    }

    void name_isTheFileNameAsWritten()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("french.ini")), interfaceFile("PMExit->Caption=lower"));
        writeFile(dir.filePath(QStringLiteral("French.ini")), interfaceFile("PMExit->Caption=upper"));
        QCOMPARE(LanguageFile(dir.path(), QStringLiteral("french")).text(u"PMExit->Caption", fallback),
                 QLatin1String("lower"));
    }

    void unsafeName_readsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "";
        QTest::newRow("parent") << "..";
        QTest::newRow("parent slash") << "../outside";
        QTest::newRow("parent backslash") << "..\\outside";
        QTest::newRow("subfolder slash") << "sub/inner";
        QTest::newRow("subfolder backslash") << "sub\\inner";
        QTest::newRow("absolute") << "/outside";
        QTest::newRow("dots inside") << "a..b";
    }

    void unsafeName_readsNothing()
    {
        QFETCH(QString, name);
        // Every file such a name could reach exists and holds the key.
        QTemporaryDir root;
        const QByteArray content = interfaceFile("PMExit->Caption=reached");
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("language/sub")));
        const QString folder = root.filePath(QStringLiteral("language"));
        for (const char *path : {"outside.ini", "language/sub/inner.ini", "language/.ini", "language/...ini",
                                 "language/a..b.ini", "language/sub\\inner.ini", "language/..\\outside.ini"})
            writeFile(root.filePath(QString::fromLatin1(path)), content);

        QVERIFY(!LanguageFile::isSafeName(name));
        QVERIFY(LanguageFile::filePath(folder, name).isEmpty());
        const LanguageFile file(folder, name);
        QVERIFY(!file.isLoaded());
        QCOMPARE(file.text(u"PMExit->Caption", fallback), fallback);
    }

    void unreadableFile_givesFallback_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("50 MB file") << "big";
        QTest::newRow("directory") << "directory";
#ifdef Q_OS_UNIX
        QTest::newRow("named pipe") << "pipe";
#endif
    }

    void unreadableFile_givesFallback()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("English.ini"));
        if (kind == QLatin1String("big")) {
            // A readable key at the start, then a sparse tail: only the size makes it unreadable.
            writeFile(path, interfaceFile("PMExit->Caption=Quit"));
            QVERIFY(QFile::resize(path, 50 * 1024 * 1024));
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("English.ini")));
        } else {
#ifdef Q_OS_UNIX
            // Opening a pipe without a writer would block for ever.
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
        }
        const LanguageFile file(dir.path(), QStringLiteral("English"));
        QVERIFY(!file.isLoaded());
        QCOMPARE(file.text(u"PMExit->Caption", fallback), fallback);
    }

    void fileAtSizeLimit_isRead()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("English.ini"));
        writeFile(path, interfaceFile("PMExit->Caption=Quit"));
        QVERIFY(QFile::resize(path, LanguageFile::maxFileSize));
        QCOMPARE(LanguageFile(dir.path(), QStringLiteral("English")).text(u"PMExit->Caption", fallback),
                 QLatin1String("Quit"));
    }
};

QTEST_GUILESS_MAIN(TestLanguageFile)
#include "tst_language_file.moc"
