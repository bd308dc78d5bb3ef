#include "app/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

class TestAboutBox : public QObject {
    Q_OBJECT

private:
    static void moveOver(QWidget *widget)
    {
        const QPointF inside(2, 2);
        QMouseEvent move(QEvent::MouseMove, inside, widget->mapToGlobal(inside), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

private slots:
    // Whatever a language file puts into the label is opened only when it is a web or mail address.
    void site_opensOnlyWebAndMailAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("opened"); // empty: nothing is handed to the desktop
        // A null text keeps the built-in one: the licence's page, an address that exists.
        QTest::newRow("built-in page") << QString() << int(Qt::LeftButton)
                                       << "https://www.gnu.org/licenses/gpl-3.0.html";
        QTest::newRow("right button") << "https://quillet.example.org/" << int(Qt::RightButton)
                                      << "https://quillet.example.org/";
        QTest::newRow("upper-case scheme")
            << "HTTPS://quillet.example.org/" << int(Qt::LeftButton) << "https://quillet.example.org/";
        QTest::newRow("mail address") << "mailto:developers@quillet.example.org" << int(Qt::LeftButton)
                                      << "mailto:developers@quillet.example.org";
        QTest::newRow("local file") << "file:///etc/passwd" << int(Qt::LeftButton) << "";
        QTest::newRow("program path") << "/usr/bin/xterm" << int(Qt::LeftButton) << "";
        QTest::newRow("program name") << "xterm" << int(Qt::LeftButton) << "";
        QTest::newRow("script") << "javascript:alert(1)" << int(Qt::LeftButton) << "";
        QTest::newRow("web address without host") << "https:///etc/passwd" << int(Qt::LeftButton) << "";
        QTest::newRow("empty") << "" << int(Qt::LeftButton) << "";
    }
    void site_opensOnlyWebAndMailAddresses()
    {
        QFETCH(QString, text);
        QFETCH(int, button);
        QFETCH(QString, opened);
        TAboutBox box;
        QList<QUrl> handed;
        box.setUrlOpener([&](const QUrl &url) { handed << url; });
        if (!text.isNull())
            box.LabelSite()->setText(text);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::mousePress(box.LabelSite(), Qt::MouseButton(button), {}, QPoint(2, 2));
        QTest::mouseRelease(box.LabelSite(), Qt::MouseButton(button), {}, QPoint(2, 2));
        QCOMPARE(handed, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
    }

    void site_redUnderThePointer_blueAgainOverThePanel()
    {
        TAboutBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const auto siteColor = [&box] { return box.LabelSite()->palette().color(QPalette::WindowText); };
        QCOMPARE(siteColor(), QColor(Qt::blue));
        moveOver(box.LabelSite());
        QCOMPARE(siteColor(), QColor(Qt::red));
        QCOMPARE(box.LabelSite()->cursor().shape(), Qt::PointingHandCursor);
        moveOver(box.LabelAuthor()); // another label keeps it red
        QCOMPARE(siteColor(), QColor(Qt::red));
        moveOver(box.Panel1());
        QCOMPARE(siteColor(), QColor(Qt::blue));
        QCOMPARE(box.LabelSite()->cursor().shape(), Qt::PointingHandCursor);
    }
};

QTEST_MAIN(TestAboutBox)
#include "tst_about_box.moc"
