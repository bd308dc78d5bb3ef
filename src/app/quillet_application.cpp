#include "app/quillet_application.h"

#include "widgets/error_dialog.h"

QuilletApplication::QuilletApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("quillet"));
    // Notes are the only windows; closing the last one must not end the program.
    setQuitOnLastWindowClosed(false);
}

bool QuilletApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ErrorDialog::showCurrentException();
        return false;
    }
}
