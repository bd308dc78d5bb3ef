#include "app/quillet_application.h"
#include "base/app_error.h"
#include "widgets/error_dialog.h"

#include <QEvent>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

// Throws from inside Qt's event delivery, the way a failing command does.
class Thrower : public QObject {
public:
    std::function<void()> action;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            action();
        return QObject::event(event);
    }
};

} // namespace

class TestErrorDialog : public QObject {
    Q_OBJECT

private:
    QStringList m_shown;

private slots:
    void init()
    {
        m_shown.clear();
        ErrorDialog::setHandler([this](const QString &text) { m_shown.append(text); });
    }
    void cleanup() { ErrorDialog::setHandler({}); }

    void guard_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        QTest::newRow("program failure") << 0 << "Unable to write to /data/stickies.ini.";
        QTest::newRow("standard exception") << 1 << "bad allocation somewhere.";
        QTest::newRow("message ending in a full stop") << 2 << "Failed to Load Stream.";
        QTest::newRow("anything else") << 3 << "Unknown error.";
    }
    void guard()
    {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        const bool ranThrough = ErrorDialog::guard([kind] {
            switch (kind) {
            case 0:
                throw AppError(QStringLiteral("Unable to write to /data/stickies.ini"));
            case 1:
                throw std::runtime_error("bad allocation somewhere");
            case 2:
                throw AppError(QStringLiteral("Failed to Load Stream."));
            default:
                throw 42;
            }
        });
        QVERIFY(!ranThrough);
        QCOMPARE(m_shown, QStringList{shown});
    }

    void guard_commandWithoutFailure_showsNothing()
    {
        int runs = 0;
        QVERIFY(ErrorDialog::guard([&] { ++runs; }));
        QCOMPARE(runs, 1);
        QVERIFY(m_shown.isEmpty());
    }

    void eventLoop_failingCommand_isShownAndTheProgramGoesOn()
    {
        Thrower thrower;
        thrower.action = [] { throw AppError(QStringLiteral("'x' is not a valid integer value")); };
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &event);
        QCOMPARE(m_shown, QStringList{QStringLiteral("'x' is not a valid integer value.")});

        // A failure inside a timer's command does not stop the loop either.
        bool later = false;
        QTimer::singleShot(0, [] { throw AppError(QStringLiteral("Failed to Save Stream")); });
        QTimer::singleShot(10, [&] { later = true; });
        QTRY_VERIFY(later);
        QCOMPARE(m_shown.last(), QStringLiteral("Failed to Save Stream."));
    }
};

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    TestErrorDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_error_dialog.moc"
