#include <QFileInfo>
#include <QImage>
#include <QProcess>
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
        QTest::newRow("scalable icon") << "share/icons/hicolor/scalable/apps/quillet.svg";
        for (const char *language : {"English", "Russian", "Bulgarian", "Greek"})
            QTest::newRow(language) << QStringLiteral("share/quillet/language/%1.ini").arg(QLatin1String(language));
    }
    void files_landInPlace()
    {
        QFETCH(QString, path);
        QVERIFY2(QFileInfo(m_prefix.filePath(path)).isFile(), qPrintable(path));
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

private:
    QTemporaryDir m_prefix;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_e2e_install.moc"
