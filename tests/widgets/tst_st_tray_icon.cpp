#include "widgets/e_tray_icon_error.h"
#include "widgets/st_tray_icon.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QPixmap>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <QtTest/qtestspontaneevent.h>

#include <memory>

namespace {

QIcon colourIcon(Qt::GlobalColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

// Delivers an event as the window system would, so that the control treats it as the user's doing.
bool deliverSpontaneous(QWidget *receiver, QEvent *event)
{
    QSpontaneKeyEvent::setSpontaneous(event);
    return qApp->notify(receiver, event);
}

QStringList menuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text();
    return texts;
}

} // namespace

class TestStTrayIcon : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QApplication::setWindowIcon(QIcon());
        m_owner = std::make_unique<QWidget>();
        m_tray = new TStTrayIcon(m_owner.get());
    }
    void cleanup() { m_owner.reset(); }

    void construct_noNotificationArea_registersIconWithDesignDefaults()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        QVERIFY(!m_tray->trayAvailable());
        QVERIFY(m_tray->active());
        QVERIFY(m_tray->iconAdded());
        QVERIFY(m_tray->systemTrayIcon().isVisible());
        QVERIFY(!m_tray->animate());
        QVERIFY(m_tray->closeToTray());
        QVERIFY(!m_tray->minimizeToTray());
        QVERIFY(!m_tray->hideOnRestore());
        QVERIFY(m_tray->showHint());
        QCOMPARE(m_tray->interval(), 250);
        QCOMPARE(m_tray->imageIndex(), 0);
        QVERIFY(m_tray->images().isEmpty());
        QVERIFY(m_tray->icon().isNull());
        // With no icon anywhere the drawn note stands in, since a tray icon must show something.
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), TStTrayIcon::builtInIcon().cacheKey());
        QVERIFY(!m_tray->systemTrayIcon().icon().pixmap(16, 16).isNull());
    }

    void construct_secondInstance_throws133AndLeavesFirstAlone()
    {
        QWidget otherOwner;
        try {
            TStTrayIcon second(&otherOwner);
            QFAIL("a second tray icon was created");
        } catch (const ETrayIconError &error) {
            QCOMPARE(error.code(), 133);
            QCOMPARE(error.message(), QStringLiteral("Cannot have more than one StTrayIcon per application"));
        }
        QVERIFY(m_tray->systemTrayIcon().isVisible());
        QVERIFY(otherOwner.children().isEmpty());

        // The failed attempt must not count as a live instance.
        m_owner.reset();
        TStTrayIcon replacement(&otherOwner);
        QVERIFY(replacement.iconAdded());
    }

    void setHint_toolTipShowsFirst63Characters_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("toolTip");
        const QString sixtyThree = QString(63, QLatin1Char('a'));
        QTest::newRow("caption") << "Quillet 1.02"
                                 << "Quillet 1.02";
        QTest::newRow("exactly 63") << sixtyThree << sixtyThree;
        QTest::newRow("64") << sixtyThree + QLatin1Char('b') << sixtyThree;
        QTest::newRow("70") << QString(70, QLatin1Char('x')) << QString(63, QLatin1Char('x'));
        const QString sixtyTwo(62, QLatin1Char('n'));
        const QString emoji = QString::fromUtf8("\xF0\x9F\x93\x9D"); // two UTF-16 units
        QTest::newRow("surrogate pair on the cut") << sixtyTwo + emoji + QLatin1Char('z') << sixtyTwo;
        QTest::newRow("cyrillic") << QString(64, QChar(0x0416)) << QString(63, QChar(0x0416));
    }
    void setHint_toolTipShowsFirst63Characters()
    {
        QFETCH(QString, hint);
        QFETCH(QString, toolTip);
        m_tray->setHint(hint);
        QCOMPARE(m_tray->hint(), hint);
        QCOMPARE(m_tray->systemTrayIcon().toolTip(), toolTip);
    }

    void setShowHint_off_sendsNoTip()
    {
        m_tray->setHint(QStringLiteral("first"));
        m_tray->setShowHint(false);
        // An update without a tip leaves the registered one alone ...
        QCOMPARE(m_tray->systemTrayIcon().toolTip(), QStringLiteral("first"));
        m_tray->setHint(QStringLiteral("second"));
        QCOMPARE(m_tray->systemTrayIcon().toolTip(), QStringLiteral("first"));
        // ... while a new registration without one has none.
        m_tray->setActive(false);
        m_tray->setActive(true);
        QCOMPARE(m_tray->systemTrayIcon().toolTip(), QString());
        m_tray->setShowHint(true);
        QCOMPARE(m_tray->systemTrayIcon().toolTip(), QStringLiteral("second"));
    }

    void setActive_showsAndRemovesIcon()
    {
        m_tray->setActive(false);
        QVERIFY(!m_tray->active());
        QVERIFY(!m_tray->iconAdded());
        QVERIFY(!m_tray->systemTrayIcon().isVisible());
        m_tray->setActive(true);
        QVERIFY(m_tray->iconAdded());
        QVERIFY(m_tray->systemTrayIcon().isVisible());
    }

    void setImageIndex_noImages_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("throws");
        QTest::newRow("registered") << true << true;
        QTest::newRow("not registered") << false << false;
    }
    void setImageIndex_noImages()
    {
        QFETCH(bool, active);
        QFETCH(bool, throws);
        m_tray->setActive(active);
        int code = 0;
        try {
            m_tray->setImageIndex(3);
        } catch (const ETrayIconError &error) {
            code = error.code();
        }
        QCOMPARE(code, throws ? 135 : 0);
        QCOMPARE(m_tray->imageIndex(), 3);
    }

    void iconChoice_followsIconThenImagesThenApplication()
    {
        const QIcon red = colourIcon(Qt::red);
        const QIcon green = colourIcon(Qt::green);
        const QIcon blue = colourIcon(Qt::blue);
        QApplication::setWindowIcon(blue);
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), QApplication::windowIcon().cacheKey());

        m_tray->setImages({red, green});
        m_tray->setImageIndex(1);
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), green.cacheKey());

        m_tray->setIcon(red);
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), red.cacheKey());
        // A static icon wins over the image list when the list is set again.
        m_tray->setImages({green});
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), red.cacheKey());

        m_tray->setIcon(QIcon());
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), QApplication::windowIcon().cacheKey());
    }

    void doTimer_cyclesFramesAndWraps()
    {
        const QList<QIcon> frames{colourIcon(Qt::red), colourIcon(Qt::green), colourIcon(Qt::blue)};
        m_tray->setImages(frames);
        m_tray->setAnimate(true);
        QList<qint64> shown;
        for (int tick = 0; tick < 5; ++tick) {
            m_tray->DoTimer();
            shown << m_tray->systemTrayIcon().icon().cacheKey();
        }
        const QList<qint64> expected{frames[0].cacheKey(), frames[1].cacheKey(), frames[2].cacheKey(),
                                     frames[0].cacheKey(), frames[1].cacheKey()};
        QCOMPARE(shown, expected);

        // Stopping shows the chosen image again.
        m_tray->setAnimate(false);
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), frames[0].cacheKey());
    }

    void doTimer_withoutRegisteredIcon_changesNothing()
    {
        const QList<QIcon> frames{colourIcon(Qt::red), colourIcon(Qt::green)};
        m_tray->setImages(frames);
        m_tray->DeleteFromTray();
        m_tray->DoTimer();
        m_tray->DoTimer();
        m_tray->AddToTray();
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), frames[0].cacheKey());
        m_tray->DoTimer();
        QCOMPARE(m_tray->systemTrayIcon().icon().cacheKey(), frames[0].cacheKey());
    }

    void setAnimate_intervalZero_becomes200()
    {
        m_tray->setInterval(0);
        QCOMPARE(m_tray->interval(), 0);
        m_tray->setAnimate(true);
        QCOMPARE(m_tray->interval(), 200);
    }

    void setAnimate_timerDrivesFrames()
    {
        const QList<QIcon> frames{colourIcon(Qt::red), colourIcon(Qt::green)};
        m_tray->setImages(frames);
        m_tray->setInterval(5);
        m_tray->setAnimate(true);
        QTRY_COMPARE(m_tray->systemTrayIcon().icon().cacheKey(), frames[1].cacheKey());
        QTRY_COMPARE(m_tray->systemTrayIcon().icon().cacheKey(), frames[0].cacheKey());
    }

    void setActive_offPausesAnimationAndOnResumesIt()
    {
        m_tray->setImages({colourIcon(Qt::red), colourIcon(Qt::green)});
        m_tray->setAnimate(true);
        m_tray->setActive(false);
        QVERIFY(!m_tray->animate());
        m_tray->setActive(true);
        QVERIFY(m_tray->animate());
    }

    void activation_raisesClickEvents_data()
    {
        QTest::addColumn<QList<int>>("reasons");
        QTest::addColumn<QList<int>>("gapsMs");
        QTest::addColumn<QStringList>("events");
        const int trigger = QSystemTrayIcon::Trigger;
        const int doubleClick = QSystemTrayIcon::DoubleClick;
        const int middle = QSystemTrayIcon::MiddleClick;
        const int slow = QGuiApplication::styleHints()->mouseDoubleClickInterval() + 1;
        QTest::newRow("single left click") << QList<int>{trigger} << QList<int>{0} << QStringList{"click L"};
        QTest::newRow("left double click")
            << QList<int>{trigger, doubleClick} << QList<int>{0, 100} << QStringList{"click L", "dbl L"};
        QTest::newRow("middle click") << QList<int>{middle} << QList<int>{0} << QStringList{"click M"};
        QTest::newRow("right press opens the menu only")
            << QList<int>{int(QSystemTrayIcon::Context)} << QList<int>{0} << QStringList{};
        QTest::newRow("unknown") << QList<int>{int(QSystemTrayIcon::Unknown)} << QList<int>{0} << QStringList{};
        QTest::newRow("two quick single activations")
            << QList<int>{trigger, trigger} << QList<int>{0, 100} << QStringList{"click L", "dbl L"};
        QTest::newRow("two slow single activations")
            << QList<int>{trigger, trigger} << QList<int>{0, slow} << QStringList{"click L", "click L"};
        QTest::newRow("third press after a double click")
            << QList<int>{trigger, doubleClick, trigger} << QList<int>{0, 100, 100}
            << QStringList{"click L", "dbl L", "click L"};
        QTest::newRow("left then middle")
            << QList<int>{trigger, middle} << QList<int>{0, 100} << QStringList{"click L", "click M"};
        QTest::newRow("two quick middle activations")
            << QList<int>{middle, middle} << QList<int>{0, 100} << QStringList{"click M", "dbl M"};
    }
    void activation_raisesClickEvents()
    {
        QFETCH(QList<int>, reasons);
        QFETCH(QList<int>, gapsMs);
        QFETCH(QStringList, events);
        qint64 now = 10000;
        m_tray->setClock([&now] { return now; });
        QStringList seen;
        const auto name = [](Qt::MouseButton button) { return QLatin1String(button == Qt::LeftButton ? "L" : "M"); };
        m_tray->OnClick = [&](Qt::MouseButton button, Qt::KeyboardModifiers) {
            seen << QStringLiteral("click %1").arg(name(button));
        };
        m_tray->OnDblClick = [&](Qt::MouseButton button, Qt::KeyboardModifiers, bool &restoreApp) {
            seen << QStringLiteral("dbl %1").arg(name(button));
            restoreApp = false;
        };
        for (int i = 0; i < reasons.size(); ++i) {
            now += gapsMs[i];
            m_tray->handleActivation(QSystemTrayIcon::ActivationReason(reasons[i]));
        }
        QCOMPARE(seen, events);
    }

    void doubleClick_restoreApp_decidesRestore_data()
    {
        QTest::addColumn<bool>("restoreApp");
        QTest::addColumn<bool>("hideOnRestore");
        QTest::newRow("handler keeps the main form hidden") << false << false;
        QTest::newRow("restore") << true << false;
        QTest::newRow("restore and leave the tray") << true << true;
    }
    void doubleClick_restoreApp_decidesRestore()
    {
        QFETCH(bool, restoreApp);
        QFETCH(bool, hideOnRestore);
        m_tray->setHideOnRestore(hideOnRestore);
        int restores = 0;
        m_tray->OnRestore = [&] { ++restores; };
        m_tray->OnDblClick = [&](Qt::MouseButton, Qt::KeyboardModifiers, bool &restore) {
            QVERIFY(restore);
            restore = restoreApp;
        };
        m_tray->handleActivation(QSystemTrayIcon::DoubleClick);
        QCOMPARE(restores, restoreApp ? 1 : 0);
        QCOMPARE(m_owner->isVisible(), restoreApp);
        QCOMPARE(m_tray->systemTrayIcon().isVisible(), !hideOnRestore);
        QVERIFY(m_tray->active());
    }

    void ownerMinimise_byWindowManager_data()
    {
        QTest::addColumn<bool>("minimizeToTray");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("toTray");
        QTest::newRow("to tray") << true << true << true;
        QTest::newRow("minimise to tray off") << false << true << false;
        QTest::newRow("inactive") << true << false << false;
    }
    void ownerMinimise_byWindowManager()
    {
        QFETCH(bool, minimizeToTray);
        QFETCH(bool, active);
        QFETCH(bool, toTray);
        m_tray->setMinimizeToTray(minimizeToTray);
        m_tray->setActive(active);
        int minimizes = 0;
        m_tray->OnMinimize = [&] { ++minimizes; };
        m_owner->show();
        m_owner->setWindowState(Qt::WindowMinimized);
        QCOMPARE(minimizes, 0); // the program's own state change is no command

        QWindowStateChangeEvent change(Qt::WindowNoState);
        deliverSpontaneous(m_owner.get(), &change);
        QCOMPARE(minimizes, 1);
        QCOMPARE(m_owner->isVisible(), !toTray);
        QCOMPARE(m_owner->isMinimized(), !toTray);
        QCOMPARE(m_tray->systemTrayIcon().isVisible(), active);
    }

    void ownerClose_byUser_data()
    {
        QTest::addColumn<bool>("closeToTray");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("toTray");
        QTest::newRow("to tray") << true << true << true;
        QTest::newRow("close to tray off") << false << true << false;
        QTest::newRow("inactive") << true << false << false;
    }
    void ownerClose_byUser()
    {
        QFETCH(bool, closeToTray);
        QFETCH(bool, active);
        QFETCH(bool, toTray);
        m_tray->setCloseToTray(closeToTray);
        m_tray->setActive(active);
        m_owner->show();
        QCloseEvent close;
        deliverSpontaneous(m_owner.get(), &close);
        QCOMPARE(close.isAccepted(), !toTray);
        if (toTray)
            QVERIFY(!m_owner->isVisible());
    }

    void ownerClose_byProgram_isNotTakenToTray()
    {
        m_owner->show();
        QVERIFY(m_owner->close());
        QVERIFY(!m_owner->isVisible());
    }

    void minimizeApplication_sendsMinimiseCommand_data()
    {
        QTest::addColumn<bool>("minimizeToTray");
        QTest::addColumn<bool>("ownerShown");
        QTest::newRow("shown owner to tray") << true << true;
        QTest::newRow("hidden owner to tray") << true << false;
        QTest::newRow("shown owner minimised") << false << true;
        QTest::newRow("hidden owner minimised, not shown") << false << false;
    }
    void minimizeApplication_sendsMinimiseCommand()
    {
        QFETCH(bool, minimizeToTray);
        QFETCH(bool, ownerShown);
        m_tray->setMinimizeToTray(minimizeToTray);
        if (ownerShown)
            m_owner->show();
        int minimizes = 0;
        m_tray->OnMinimize = [&] { ++minimizes; };
        m_tray->MinimizeApplication();
        QCOMPARE(minimizes, 0); // handled from the event loop, as the window manager's command would be
        QCoreApplication::sendPostedEvents(m_owner.get());
        QCOMPARE(minimizes, 1);
        QCOMPARE(m_owner->isVisible(), ownerShown && !minimizeToTray);
        QCOMPARE(m_owner->isMinimized(), !minimizeToTray);
    }

    void builtInMenu_offersCloseAndRestore()
    {
        QMenu *menu = m_tray->popupMenu();
        QVERIFY(menu);
        QCOMPARE(m_tray->systemTrayIcon().contextMenu(), menu);
        QCOMPARE(menuTexts(menu), (QStringList{"&Close", "&Restore"}));

        int restores = 0;
        m_tray->OnRestore = [&] { ++restores; };
        menu->actions().at(1)->trigger();
        QCOMPARE(restores, 1);
        QVERIFY(m_owner->isVisible());
    }

    void setPopupMenu_menuGoesAway_leavesNone()
    {
        auto menu = std::make_unique<QMenu>();
        menu->addAction(QStringLiteral("New Sticky Note"));
        m_tray->setPopupMenu(menu.get());
        QCOMPARE(m_tray->systemTrayIcon().contextMenu(), menu.get());
        menu.reset();
        QVERIFY(!m_tray->popupMenu());
        QVERIFY(!m_tray->systemTrayIcon().contextMenu());

        m_tray->setPopupMenu(nullptr);
        QStringList seen;
        m_tray->OnClick = [&](Qt::MouseButton, Qt::KeyboardModifiers) { seen << "click"; };
        m_tray->handleActivation(QSystemTrayIcon::Context);
        QVERIFY(seen.isEmpty());
    }

    void handlerFailure_isReportedNotThrown()
    {
        QSignalSpy errors(m_tray, &TStTrayIcon::errorRaised);
        m_tray->OnClick = [](Qt::MouseButton, Qt::KeyboardModifiers) {
            throw AppError(QStringLiteral("Unable to write to /x/stickies.ini"));
        };
        m_tray->handleActivation(QSystemTrayIcon::Trigger);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Unable to write to /x/stickies.ini"));
    }

private:
    std::unique_ptr<QWidget> m_owner;
    TStTrayIcon *m_tray = nullptr; // owned by m_owner
};

QTEST_MAIN(TestStTrayIcon)
#include "tst_st_tray_icon.moc"
