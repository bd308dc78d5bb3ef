#pragma once

#include "desktop_probe.h"

#include <QStringList>
#include <QTest>

// Right click on the program's icon in the notification area, then keys in the menu once it is open; returns
// once the menu (and any submenu the keys opened) has closed.
inline void trayMenu(const QStringList &keyNames)
{
    const QRect icon = DesktopProbe::waitForTrayIcon();
    QVERIFY2(!icon.isEmpty(), "the icon is not in the notification area");
    const DesktopProbe::Menu menu = DesktopProbe::openMenu(icon.center(), 3);
    QVERIFY2(!menu.window.isEmpty(), "the right click opened no menu");
    DesktopProbe::keys(keyNames);
    QVERIFY2(menu.waitUntilClosed(), "the menu stayed open");
}
