#include "../read_only_folder.h"
#include "../test_files.h"
#include "base/app_error.h"
#include "platform/shell_integration.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace ShellIntegration;

namespace {

// Runs a desktop tool to its end; its exit code, or -1 when it did not run. Output goes to *output.
int runTool(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = tool.readAll();
    return tool.exitCode();
}

QString requireTool(const char *name)
{
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (path.isEmpty())
        qWarning("%s is missing: run scripts/setup", name);
    return path;
}

} // namespace

class TestShellIntegration : public QObject {
    Q_OBJECT

private slots:
    // Every test gets XDG folders and a home of its own, so the real ones are never touched.
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_config = m_root->filePath(QStringLiteral("config"));
        m_data = m_root->filePath(QStringLiteral("data"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data));
        qputenv("HOME", QFile::encodeName(m_root->filePath(QStringLiteral("home"))));
    }
    void initTestCase() { m_saved = {qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_DATA_HOME"), qgetenv("HOME")}; }
    void cleanupTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_saved.at(0));
        qputenv("XDG_DATA_HOME", m_saved.at(1));
        qputenv("HOME", m_saved.at(2));
    }

    // TryExec carries the path as a plain string (only the key file's escapes), Exec as a quoted argument.
    void autoStart_on_writesEntryWithQuotedExec_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("tryExec");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain path") << "/opt/quillet/bin/quillet"
                                    << "/opt/quillet/bin/quillet"
                                    << "/opt/quillet/bin/quillet";
        QTest::newRow("blanks") << "/home/ann/My Programs/quillet"
                                << "/home/ann/My Programs/quillet"
                                << "\"/home/ann/My Programs/quillet\"";
        QTest::newRow("quote, dollar, backtick") << "/tmp/a\"b$c`d/quillet"
                                                 << "/tmp/a\"b$c`d/quillet"
                                                 << "\"/tmp/a\\\\\"b\\\\$c\\\\`d/quillet\"";
        QTest::newRow("backslash takes four") << "/tmp/back\\slash/quillet"
                                              << "/tmp/back\\\\slash/quillet"
                                              << "\"/tmp/back\\\\\\\\slash/quillet\"";
        QTest::newRow("percent doubled, unquoted") << "/tmp/100%/quillet"
                                                   << "/tmp/100%/quillet"
                                                   << "/tmp/100%%/quillet";
        QTest::newRow("single quote, parentheses") << "/tmp/it's (new)/quillet"
                                                   << "/tmp/it's (new)/quillet"
                                                   << "\"/tmp/it's (new)/quillet\"";
        QTest::newRow("tab") << "/tmp/a\tb/quillet"
                             << "/tmp/a\\tb/quillet"
                             << "\"/tmp/a\\tb/quillet\"";
    }
    void autoStart_on_writesEntryWithQuotedExec()
    {
        QFETCH(QString, executable);
        QFETCH(QString, tryExec);
        QFETCH(QString, exec);
        ApplyAutoStart(true, executable);
        QCOMPARE(QString::fromUtf8(readFile(autoStartPath())), QStringLiteral("[Desktop Entry]\n"
                                                                              "Type=Application\n"
                                                                              "Name=Quillet 1.02\n"
                                                                              "TryExec=%1\n"
                                                                              "Exec=%2\n"
                                                                              "Terminal=false\n")
                                                                   .arg(tryExec, exec));
    }

    void autoStart_off_removesEntry()
    {
        ApplyAutoStart(true, QStringLiteral("/opt/quillet/bin/quillet"));
        QVERIFY(QFileInfo::exists(autoStartPath()));
        ApplyAutoStart(false, QStringLiteral("/opt/quillet/bin/quillet"));
        QVERIFY(!QFileInfo::exists(autoStartPath()));
        ApplyAutoStart(false, QStringLiteral("/opt/quillet/bin/quillet")); // nothing to remove: no error
    }

    // GLib's own launcher reads the entry back: the program it starts must be the very path, however odd.
    void autoStart_entry_launchesThatPath()
    {
        const QString gio = requireTool("gio");
        QVERIFY(!gio.isEmpty());
        const QString folder = m_root->filePath(QStringLiteral("My $Apps \"new\" (x) it's\\here"));
        QVERIFY(QDir().mkpath(folder));
        const QString program = folder + QStringLiteral("/run me");
        const QString marker = m_root->filePath(QStringLiteral("marker"));
        writeFile(program, "#!/bin/sh\nprintf '%s' \"$0\" > '" + QFile::encodeName(marker) + "'\n");
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        ApplyAutoStart(true, program);
        QCOMPARE(runTool(gio, {QStringLiteral("launch"), autoStartPath()}), 0);
        QTRY_VERIFY(QFileInfo::exists(marker));
        QTRY_COMPARE(QString::fromUtf8(readFile(marker)), program);
    }

    void registerFileType_writesTypeHandlerAndDefault()
    {
        RegisterFileType(QStringLiteral("/opt/My Apps/bin/quillet"),
                         QStringLiteral("/opt/My Apps/share/quillet/icon.svg"));

        const QByteArray package = readFile(m_data + QStringLiteral("/mime/packages/quillet.xml"));
        QVERIFY(package.contains("<mime-type type=\"application/x-vellumy\">"));
        QVERIFY(package.contains("<glob pattern=\"*.stc\"/>"));
        QVERIFY(package.contains("<comment>Vellumy</comment>"));
        QVERIFY(package.contains("<icon name=\"quillet\"/>"));

        const QList<QByteArray> handler = readFile(handlerPath()).split('\n');
        QVERIFY(handler.contains("Exec=\"/opt/My Apps/bin/quillet\" %f"));
        QVERIFY(handler.contains("TryExec=/opt/My Apps/bin/quillet"));
        QVERIFY(handler.contains("Icon=/opt/My Apps/share/quillet/icon.svg"));
        QVERIFY(handler.contains("MimeType=application/x-vellumy;"));

        QCOMPARE(readFile(m_config + QStringLiteral("/mimeapps.list")),
                 QByteArray("[Default Applications]\napplication/x-vellumy=quillet-vellumy.desktop;\n"));

        // The desktop's caches were brought up to date.
        QVERIFY(readFile(m_data + QStringLiteral("/mime/globs2")).contains("application/x-vellumy:*.stc"));
        QVERIFY(readFile(m_data + QStringLiteral("/applications/mimeinfo.cache"))
                    .contains("application/x-vellumy=quillet-vellumy.desktop;"));
    }

    // GIO, as a file manager uses it, recognises a .stc file and names the program as its default handler.
    void registerFileType_desktopFindsTypeAndHandler()
    {
        const QString gio = requireTool("gio");
        QVERIFY(!gio.isEmpty());
        // GIO passes over a handler whose program does not exist.
        const QString program = m_root->filePath(QStringLiteral("my programs/quillet"));
        QVERIFY(QDir().mkpath(QFileInfo(program).absolutePath()));
        writeFile(program, "#!/bin/sh\n");
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        RegisterFileType(program, QStringLiteral("/opt/quillet/icon.svg"));
        const QString note = m_root->filePath(QStringLiteral("shopping list.stc"));
        writeFile(note, "[Stickie]\r\nTitle=Shopping\r\n");

        QByteArray output;
        QCOMPARE(runTool(gio,
                         {QStringLiteral("info"), QStringLiteral("-a"), QStringLiteral("standard::content-type"), note},
                         &output),
                 0);
        QVERIFY2(output.contains("standard::content-type: application/x-vellumy"), output.constData());
        QCOMPARE(runTool(gio, {QStringLiteral("mime"), QStringLiteral("application/x-vellumy")}, &output), 0);
        const QList<QByteArray> lines = output.split('\n');
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [](const QByteArray &line) {
                                 return line.startsWith("Default application for") &&
                                        line.endsWith(": quillet-vellumy.desktop");
                             }),
                 output.constData());
    }

    void registerFileType_setsDefaultKeepingOtherEntries_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray ours = "application/x-vellumy=quillet-vellumy.desktop;";
        QTest::newRow("other group only") << QByteArray("[Added Associations]\ntext/plain=editor.desktop;\n")
                                          << "[Added Associations]\ntext/plain=editor.desktop;\n\n"
                                             "[Default Applications]\n" +
                                                 ours + "\n";
        QTest::newRow("group with other types")
            << QByteArray("[Default Applications]\ntext/html=browser.desktop;\n\n[Added Associations]\nx/y=z;\n")
            << "[Default Applications]\ntext/html=browser.desktop;\n" + ours + "\n\n[Added Associations]\nx/y=z;\n";
        QTest::newRow("type held by another program")
            << QByteArray("[Default Applications]\napplication/x-vellumy=other.desktop;\ntext/html=browser.desktop;\n")
            << "[Default Applications]\n" + ours + "\ntext/html=browser.desktop;\n";
        QTest::newRow("comment, no final newline")
            << QByteArray("# mine\n[Default Applications]\ntext/html=browser.desktop;")
            << "# mine\n[Default Applications]\ntext/html=browser.desktop;\n" + ours + "\n";
        QTest::newRow("CR LF lines stay") << QByteArray("[Default Applications]\r\ntext/html=browser.desktop;\r\n")
                                          << "[Default Applications]\r\ntext/html=browser.desktop;\r\n" + ours + "\n";
    }
    void registerFileType_setsDefaultKeepingOtherEntries()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QVERIFY(QDir().mkpath(m_config));
        writeFile(m_config + QStringLiteral("/mimeapps.list"), before);
        RegisterFileType(QStringLiteral("/opt/quillet/bin/quillet"), QStringLiteral("/opt/quillet/icon.svg"));
        QCOMPARE(readFile(m_config + QStringLiteral("/mimeapps.list")), after);
    }

    // A start with nothing changed writes no file and runs no cache tool (which would rewrite its caches).
    void secondStart_samePaths_writesNothing()
    {
        const QString executable = QStringLiteral("/opt/quillet/bin/quillet");
        const QString icon = QStringLiteral("/opt/quillet/share/quillet/icon.svg");
        RegisterFileType(executable, icon);
        ApplyAutoStart(true, executable);
        const QDateTime old = QDateTime::fromSecsSinceEpoch(1000000000);
        const QStringList files = allFiles();
        QVERIFY(files.size() >= 6);
        for (const QString &file : files) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
        }

        RegisterFileType(executable, icon);
        ApplyAutoStart(true, executable);
        QCOMPARE(allFiles(), files);
        for (const QString &file : files)
            QVERIFY2(QFileInfo(file).lastModified() == old, qPrintable(file));
    }

    void movedProgram_rewritesEveryPath()
    {
        RegisterFileType(QStringLiteral("/old/place/quillet"), QStringLiteral("/old/place/icon.svg"));
        ApplyAutoStart(true, QStringLiteral("/old/place/quillet"));
        RegisterFileType(QStringLiteral("/new place/quillet"), QStringLiteral("/new place/icon.svg"));
        ApplyAutoStart(true, QStringLiteral("/new place/quillet"));

        const QList<QByteArray> handler = readFile(handlerPath()).split('\n');
        QVERIFY(handler.contains("Exec=\"/new place/quillet\" %f"));
        QVERIFY(handler.contains("Icon=/new place/icon.svg"));
        QVERIFY(readFile(autoStartPath()).split('\n').contains("Exec=\"/new place/quillet\""));
        for (const QString &file : allFiles())
            QVERIFY2(!readFile(file).contains("/old/place"), qPrintable(file));
    }

    void unwritableFolder_failsWithValueName_data()
    {
        QTest::addColumn<bool>("autoStart");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("writtenBefore");
        QTest::addColumn<QString>("message");
        QTest::newRow("autostart, new") << true << "config/autostart" << false
                                        << "Failed to set data for 'Quillet 1.02'";
        QTest::newRow("autostart, moved program")
            << true << "config/autostart" << true << "Failed to set data for 'Quillet 1.02'";
        QTest::newRow("file type, data folder") << false << "data" << false << "Failed to set data for ''";
        QTest::newRow("file type, moved program")
            << false << "data/applications" << true << "Failed to set data for ''";
        QTest::newRow("file type, mimeapps.list") << false << "config" << false << "Failed to set data for ''";
    }
    void unwritableFolder_failsWithValueName()
    {
        QFETCH(bool, autoStart);
        QFETCH(QString, folder);
        QFETCH(bool, writtenBefore);
        QFETCH(QString, message);
        const QString path = m_root->filePath(folder);
        QVERIFY(QDir().mkpath(path));
        const auto apply = [autoStart](const QString &executable) {
            if (autoStart)
                ApplyAutoStart(true, executable);
            else
                RegisterFileType(executable, QStringLiteral("/opt/quillet/icon.svg"));
        };
        if (writtenBefore)
            apply(QStringLiteral("/old/quillet"));

        ReadOnlyFolder readOnly(path);
        if (!readOnly.isEffective())
            QSKIP("this file system lets the folder be written");
        QString error;
        try {
            apply(QStringLiteral("/new/quillet"));
        } catch (const AppError &e) {
            error = e.message();
        }
        QCOMPARE(error, message);
        if (autoStart)
            ApplyAutoStart(false, QStringLiteral("/new/quillet")); // a removal that fails is no error
    }

    // The files written at run time and the installed ones pass the desktop's own validators.
    void desktopFiles_passValidators()
    {
        const QString desktopValidate = requireTool("desktop-file-validate");
        const QString appstream = requireTool("appstreamcli");
        const QString updateMime = requireTool("update-mime-database");
        QVERIFY(!desktopValidate.isEmpty() && !appstream.isEmpty() && !updateMime.isEmpty());

        const QString executable = QStringLiteral("/opt/My $Apps (x)/back\\slash/quillet");
        RegisterFileType(executable, QStringLiteral("/opt/My $Apps (x)/icon.svg"));
        ApplyAutoStart(true, executable);
        const QString resources = QStringLiteral(QUILLET_SOURCE_DIR "/resources/");
        QByteArray output;
        for (const QString &entry : {autoStartPath(), handlerPath(), resources + QStringLiteral("quillet.desktop")}) {
            QCOMPARE(runTool(desktopValidate, {entry}, &output), 0);
            QVERIFY2(output.trimmed().isEmpty(), output.constData()); // no warnings either
        }
        QVERIFY2(runTool(appstream,
                         {QStringLiteral("validate"), QStringLiteral("--no-net"),
                          resources + QStringLiteral("io.github.quillet.metainfo.xml")},
                         &output) == 0,
                 output.constData());

        // The installed MIME package, compiled by the real tool, yields the .stc glob. The tool says nothing
        // when the package is sound (its exit code is 0 even for a package it cannot read).
        const QString system = m_root->filePath(QStringLiteral("system"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(system));
        const QString mime = system + QStringLiteral("/mime");
        QVERIFY(QDir().mkpath(mime + QStringLiteral("/packages")));
        QVERIFY(QFile::copy(resources + QStringLiteral("quillet-mime.xml"), mime + QStringLiteral("/packages/q.xml")));
        QCOMPARE(runTool(updateMime, {mime}, &output), 0);
        QVERIFY2(output.trimmed().isEmpty(), output.constData());
        QVERIFY(readFile(mime + QStringLiteral("/globs2")).contains("application/x-vellumy:*.stc"));
    }

private:
    QString autoStartPath() const { return m_config + QStringLiteral("/autostart/quillet.desktop"); }
    QString handlerPath() const { return m_data + QStringLiteral("/applications/quillet-vellumy.desktop"); }

    QStringList allFiles() const
    {
        QStringList files;
        for (const QString &folder : {m_config, m_data}) {
            QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        }
        files.sort();
        return files;
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_config;
    QString m_data;
    QList<QByteArray> m_saved;
};

QTEST_GUILESS_MAIN(TestShellIntegration)
#include "tst_shell_integration.moc"
