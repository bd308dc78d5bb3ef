#include "desktop_probe.h"
#include "portable_program.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

// Ctrl+P in a note of the real program prints it on the test desktop's PDF queue, and the PDF the queue
// writes is read back with poppler's tools; without a printer the user is told so and nothing is lost.
class TestE2ePrint : public QObject {
    Q_OBJECT

private:
    PortableProgram m_program;

    static QString pdfFolder()
    {
        // The queue writes into the home of the job's owner, whatever HOME says.
        return QFile::decodeName(::getpwuid(::getuid())->pw_dir) + QStringLiteral("/PDF");
    }
    static QString run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(20000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    // Ctrl+P in the note titled title; the PDF the job gave, once it is whole.
    QString printNote(const QString &title)
    {
        const QString window = DesktopProbe::waitForWindow(title);
        if (window.isEmpty())
            return {};
        const QStringList before = QDir(pdfFolder()).entryList({title + QStringLiteral("*.pdf")});
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        DesktopProbe::keys({QStringLiteral("ctrl+p")});
        QString pdf;
        (void)QTest::qWaitFor(
            [&] {
                const QStringList now = QDir(pdfFolder()).entryList({title + QStringLiteral("*.pdf")});
                for (const QString &name : now) {
                    if (!before.contains(name) &&
                        run(QStringLiteral("pdfinfo"), {pdfFolder() + QLatin1Char('/') + name}).contains("Pages:"))
                        pdf = pdfFolder() + QLatin1Char('/') + name;
                }
                return !pdf.isEmpty();
            },
            30000);
        return pdf;
    }

private slots:
    void init()
    {
        if (!DesktopProbe::haveTools())
            QSKIP("needs the test desktop of scripts/test (DISPLAY, xdotool, xwininfo)");
        QVERIFY2(!qEnvironmentVariableIsEmpty("CUPS_SERVER") &&
                     !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty(),
                 "needs the test desktop's printer (scripts/desktop.sh) and poppler-utils");
    }
    void cleanup()
    {
        m_program.reset();
        if (DesktopProbe::haveTools())
            QVERIFY(DesktopProbe::waitUntilProgramWindowsGone());
    }

    void ctrlP_printsEveryPageOfTheNote()
    {
        QByteArray lines;
        for (int i = 1; i <= 150; ++i)
            lines += "line" + QByteArray::number(i) + "\\par ";
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"),
                                    "[Stickies]\r\nTotal=2\r\n"
                                    "[Stickie1]\r\nTitle=e2eprintempty\r\nLeft=100\r\nTop=100\r\nText=\r\n"
                                    "[Stickie2]\r\nTitle=e2eprintlong\r\nLeft=500\r\nTop=100\r\nText={\\rtf1 " +
                                        lines + "}\r\n"));
        QVERIFY(m_program.start());

        const QString empty = printNote(QStringLiteral("e2eprintempty"));
        QVERIFY2(!empty.isEmpty(), "no PDF for the empty note");
        QVERIFY(run(QStringLiteral("pdfinfo"), {empty}).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));

        const QString longNote = printNote(QStringLiteral("e2eprintlong"));
        QVERIFY2(!longNote.isEmpty(), "no PDF for the long note");
        const QRegularExpressionMatch pages =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run(QStringLiteral("pdfinfo"), {longNote}));
        QVERIFY(pages.hasMatch() && pages.captured(1).toInt() >= 2);
        // Every line, in order, across the pages.
        const QString text = run(QStringLiteral("pdftotext"), {longNote, QStringLiteral("-")});
        qsizetype at = 0;
        for (int i = 1; i <= 150; ++i) {
            at = text.indexOf(QRegularExpression(QStringLiteral("\\bline%1\\b").arg(i)), at);
            QVERIFY2(at >= 0, qPrintable(QStringLiteral("line%1 missing or out of order").arg(i)));
        }
        QFile::remove(empty);
        QFile::remove(longNote);
        QVERIFY(m_program.terminate());
    }

    void ctrlP_withoutPrinter_saysSoAndKeepsTheNote()
    {
        const QByteArray server = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", m_program.filePath(QStringLiteral("no-such-cups.sock")).toUtf8());
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"),
                                    "[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=e2eprintnone\r\nLeft=100\r\n"
                                    "Top=100\r\nText=kept words\r\n"));
        const bool started = m_program.start();
        qputenv("CUPS_SERVER", server);
        QVERIFY(started);
        const QString window = DesktopProbe::waitForWindow(QStringLiteral("e2eprintnone"));
        QVERIFY(!window.isEmpty());
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        DesktopProbe::keys({QStringLiteral("ctrl+p")});
        const QString dialog = DesktopProbe::waitForWindow(QStringLiteral("Quillet 1.02"));
        QVERIFY2(!dialog.isEmpty(), "printing without a printer was not reported");
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog});
        DesktopProbe::keys({QStringLiteral("Return")});
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("Quillet 1.02")).isEmpty(), 30000);
        QVERIFY(!DesktopProbe::windowsTitled(QStringLiteral("e2eprintnone")).isEmpty());
        QVERIFY(m_program.terminate());
        QFile store(m_program.filePath(QStringLiteral("stickies.ini")));
        QVERIFY(store.open(QIODevice::ReadOnly));
        QVERIFY(store.readAll().contains("kept words"));
    }
};

QTEST_GUILESS_MAIN(TestE2ePrint)
#include "tst_e2e_print.moc"
