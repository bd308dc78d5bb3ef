#include "platform/program_module.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// `cmake --install` into a temporary prefix puts every file where the desktop looks for it.
class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(QUILLET_CMAKE), {QStringLiteral("--install"), QStringLiteral(QUILLET_BUILD_DIR),
                                                      QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
    }

    void files_landInPlace_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("program") << "bin/quillet";
        QTest::newRow("program's icon") << "share/quillet/icon.svg";
        QTest::newRow("launcher") << "share/applications/quillet.desktop";
        QTest::newRow("AppStream") << "share/metainfo/io.github.quillet.metainfo.xml";
        QTest::newRow("MIME package") << "share/mime/packages/quillet.xml";
        QTest::newRow("manual page") << "share/man/man1/quillet.1.gz";
        QTest::newRow("copyright") << "share/doc/quillet/copyright";
        QTest::newRow("scalable icon") << "share/icons/hicolor/scalable/apps/quillet.svg";
        for (const char *language : {"English", "Russian", "Bulgarian", "Greek"})
            QTest::newRow(language) << QStringLiteral("share/quillet/language/%1.ini").arg(QLatin1String(language));
    }
    void files_landInPlace()
    {
        QFETCH(QString, path);
        QVERIFY2(QFileInfo(m_prefix.filePath(path)).isFile(), qPrintable(path));
    }

    // Each module lies in the folder where the installed program looks for it, and not beside the program.
    void modules_lieWhereTheProgramLooks()
    {
        const QStringList folders = ProgramModule::foldersFor(m_prefix.filePath(QStringLiteral("bin")));
        for (const QString &module : QStringLiteral(QUILLET_MODULES).split(QLatin1Char(','))) {
            const QString name = QFileInfo(module).fileName();
            QVERIFY2(QFileInfo(QDir(folders.last()).filePath(name)).isFile(), qPrintable(folders.last() + name));
            QVERIFY(!QFileInfo::exists(m_prefix.filePath(QStringLiteral("bin/")) + name));
        }
    }

    void program_isExecutable() { QVERIFY(QFileInfo(m_prefix.filePath(QStringLiteral("bin/quillet"))).isExecutable()); }

    void themeIcons_haveTheirFolderSize_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QTest::addRow("%d", size) << size;
    }
    void themeIcons_haveTheirFolderSize()
    {
        QFETCH(int, size);
        const QImage icon(m_prefix.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/quillet.png").arg(size)));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
    }

    // The installed program keeps its data in the user's folder, even with a bin folder it could write to,
    // and finds its resources under the prefix.
    void installedProgram_runsWithDataInTheUsersFolder()
    {
        QTemporaryDir user;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), user.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), user.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), user.filePath(QStringLiteral("config")));
        if (!environment.contains(QStringLiteral("DISPLAY")))
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(m_prefix.filePath(QStringLiteral("bin/quillet")), {});
        QVERIFY(program.waitForStarted());
        const QString handler = user.filePath(QStringLiteral("data/applications/quillet-vellumy.desktop"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(handler), 15000);
        program.terminate();
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitCode(), 0);

        for (const char *name : {"data/quillet/stickies.ini", "data/quillet/quillet.ini"})
            QVERIFY2(QFileInfo::exists(user.filePath(QString::fromLatin1(name))), name);
        QVERIFY(!QFileInfo::exists(m_prefix.filePath(QStringLiteral("bin/stickies.ini"))));
        QFile entry(handler);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains(QStringLiteral("Icon=") + m_prefix.filePath(QStringLiteral("share/quillet/icon.svg"))),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Exec=") + m_prefix.filePath(QStringLiteral("bin/quillet")) + " %f"),
                 qPrintable(text));
        // Both entries of the start are passed over by the desktop once the program is gone.
        QFile autoStart(user.filePath(QStringLiteral("config/autostart/quillet.desktop")));
        QVERIFY(autoStart.open(QIODevice::ReadOnly));
        const QString tryExec = QStringLiteral("\nTryExec=") + m_prefix.filePath(QStringLiteral("bin/quillet")) + '\n';
        for (const QString &written : {text, QString::fromUtf8(autoStart.readAll())})
            QVERIFY2(written.contains(tryExec), qPrintable(written));
    }

    // The installed AppStream data, with the launcher and icons it names, is complete: no hint even at the
    // pedantic level.
    void appStream_validatesPedantically()
    {
        const Run validate =
            run(QStringLiteral("appstreamcli"), {QStringLiteral("validate-tree"), QStringLiteral("--pedantic"),
                                                 QStringLiteral("--no-net"), m_prefix.path()});
        const QRegularExpression hint(QStringLiteral("^[EWIP]: "), QRegularExpression::MultilineOption);
        QVERIFY2(validate.exitCode == 0 && !validate.output.contains(hint), qPrintable(validate.output));
    }

    // The Debian package of this build passes Debian's own check with every tag shown, informational and
    // pedantic ones included. cpack strips nothing of its own, so this also checks that the install strips.
    void debianPackage_passesLintian()
    {
        QTemporaryDir out;
        const QString cpack = QFileInfo(QStringLiteral(QUILLET_CMAKE)).absolutePath() + QStringLiteral("/cpack");
        const Run pack =
            run(cpack, {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                        QStringLiteral(QUILLET_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out.path()});
        QVERIFY2(pack.exitCode == 0, qPrintable(pack.output));
        const QStringList packages = QDir(out.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
        QCOMPARE(packages.size(), 1);

        const Run lintian =
            run(QStringLiteral("lintian"),
                {QStringLiteral("--pedantic"), QStringLiteral("--display-info"), QStringLiteral("--fail-on"),
                 QStringLiteral("error,warning,info,pedantic"), out.filePath(packages.first())},
                QProcess::SeparateChannels);
        QVERIFY2(lintian.exitCode == 0 && lintian.output.trimmed().isEmpty(), qPrintable(lintian.output));
    }

private:
    struct Run {
        int exitCode = -1; // -1: the tool did not run (missing: run scripts/setup --test) or did not end
        QString output;
    };
    // A tool run to its end; its standard output, and its error output too unless the channels stay apart.
    static Run run(const QString &program, const QStringList &arguments,
                   QProcess::ProcessChannelMode channels = QProcess::MergedChannels)
    {
        QProcess tool;
        tool.setProcessChannelMode(channels);
        tool.start(program, arguments);
        Run result;
        if (tool.waitForFinished(240000) && tool.exitStatus() == QProcess::NormalExit)
            result.exitCode = tool.exitCode();
        result.output = QString::fromUtf8(tool.readAllStandardOutput());
        if (result.exitCode < 0)
            result.output += program + QStringLiteral(" did not run: ") + tool.errorString();
        return result;
    }

    QTemporaryDir m_prefix;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_e2e_install.moc"
