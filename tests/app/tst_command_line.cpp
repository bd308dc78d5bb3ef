#include "app/command_line.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(CommandLine::Action)

// What each command line asks for, what it prints where, and with which exit status it ends.
class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // -1: the program runs
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errors"); // a part of the text on standard error
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QString>("file");
        using A = CommandLine::Action;
        const QString help = CommandLine::helpText();
        const QString none;
        QTest::newRow("nothing") << QStringList{} << -1 << none << none << A::None << none;
        QTest::newRow("file") << QStringList{"a.stc"} << -1 << none << none << A::None << "a.stc";
        QTest::newRow("first file only") << QStringList{"a.stc", "b.stc"} << -1 << none << none << A::None << "a.stc";
        QTest::newRow("file after --") << QStringList{"--", "--odd.stc"} << -1 << none << none << A::None
                                       << "--odd.stc";
        QTest::newRow("--new") << QStringList{"--new"} << -1 << none << none << A::New << none;
        QTest::newRow("--show") << QStringList{"--show"} << -1 << none << none << A::Show << none;
        QTest::newRow("--hide") << QStringList{"--hide"} << -1 << none << none << A::Hide << none;
        QTest::newRow("--toggle twice") << QStringList{"--toggle", "--toggle"} << -1 << none << none << A::Toggle
                                        << none;
        QTest::newRow("Qt's options pass") << QStringList{"-session", "1a2b", "--new", "-style=Fusion", "-reverse"}
                                           << -1 << none << none << A::New << none;
        QTest::newRow("--help") << QStringList{"--help"} << 0 << help << none << A::None << none;
        QTest::newRow("-h before a mistake") << QStringList{"-h", "--bogus"} << 0 << help << none << A::None << none;
        QTest::newRow("--version") << QStringList{"--version", "x.stc"} << 0 << "Quillet 1.02\n"
                                   << none << A::None << none;
        QTest::newRow("unknown long") << QStringList{"--bogus"} << 2 << none << "unknown option --bogus" << A::None
                                      << none;
        QTest::newRow("unknown short") << QStringList{"-x"} << 2 << none << "unknown option -x" << A::None << none;
        QTest::newRow("two actions") << QStringList{"--new", "--hide"} << 2 << none << "--new goes alone" << A::None
                                     << none;
        QTest::newRow("action and file") << QStringList{"a.stc", "--show"} << 2 << none << "--show goes alone"
                                         << A::None << none;
        QTest::newRow("Qt option without value")
            << QStringList{"-platform"} << 2 << none << "-platform needs a value" << A::None << none;
    }
    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, errors);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, file);

        const CommandLine commandLine = CommandLine::parse(arguments);
        QString printed;
        QString printedErrors;
        QTextStream outStream(&printed);
        QTextStream errorStream(&printedErrors);
        QCOMPARE(commandLine.answer(outStream, errorStream).value_or(-1), status);
        QCOMPARE(printed, out);
        if (errors.isEmpty()) {
            QCOMPARE(printedErrors, QString());
        } else {
            QVERIFY2(printedErrors.contains(errors), qPrintable(printedErrors));
            QVERIFY(printedErrors.endsWith(CommandLine::usageText())); // the short usage, not the whole help
        }
        if (status < 0) {
            QCOMPARE(commandLine.action(), action);
            QCOMPARE(commandLine.file(), file);
        }
    }

    // What the running instance receives tells an action from a note file's path, whichever it is.
    void handOver_isReadBackByTheRunningInstance_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("handedOver"); // empty: the action's own request, whatever its text
        QTest::addColumn<int>("action");         // -1: no action
        QTest::newRow("nothing: a new note") << QStringList{} << "" << -1;
        QTest::newRow("relative file made absolute")
            << QStringList{"sub/../n.stc"} << QDir::current().absoluteFilePath("n.stc") << -1;
        QTest::newRow("file named like a request")
            << QStringList{"?new"} << QDir::current().absoluteFilePath("?new") << -1;
        QTest::newRow("file named like an option")
            << QStringList{"--", "--hide"} << QDir::current().absoluteFilePath("--hide") << -1;
        for (const auto &[option, action] :
             {std::pair{"--new", CommandLine::Action::New}, std::pair{"--show", CommandLine::Action::Show},
              std::pair{"--hide", CommandLine::Action::Hide}, std::pair{"--toggle", CommandLine::Action::Toggle}})
            QTest::newRow(option) << QStringList{option} << QString() << int(action);
    }
    void handOver_isReadBackByTheRunningInstance()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, handedOver);
        QFETCH(int, action);
        const QString text = CommandLine::parse(arguments).handOver();
        if (action < 0)
            QCOMPARE(QDir::cleanPath(text), QDir::cleanPath(handedOver));
        const std::optional<CommandLine::Action> read = CommandLine::actionIn(text);
        QCOMPARE(read.has_value(), action >= 0);
        if (read)
            QCOMPARE(int(*read), action);
        // An absolute path never reads as a request, a request this version does not know neither.
        QVERIFY(!CommandLine::actionIn(QStringLiteral("/?new")));
        QVERIFY(!CommandLine::actionIn(QStringLiteral("?frobnicate")));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
