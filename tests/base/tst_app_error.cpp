#include "base/app_error.h"

#include <QTest>

class TestAppError : public QObject {
    Q_OBJECT

private slots:
    void withFullStop_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected");
        QTest::newRow("letter") << "Unable to write to /tmp/x.ini"
                                << "Unable to write to /tmp/x.ini.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("exclamation") << "Stop!"
                                     << "Stop!";
        QTest::newRow("digit sorts after full stop") << "Error 5"
                                                     << "Error 5.";
        QTest::newRow("closing quote sorts before full stop") << "'x' is bad'"
                                                              << "'x' is bad'";
        QTest::newRow("empty") << ""
                               << "";
    }
    void withFullStop()
    {
        QFETCH(QString, message);
        QFETCH(QString, expected);
        QCOMPARE(AppError::withFullStop(message), expected);
    }
};

QTEST_GUILESS_MAIN(TestAppError)
#include "tst_app_error.moc"
