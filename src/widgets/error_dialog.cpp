#include "widgets/error_dialog.h"

#include "base/app_error.h"
#include "widgets/st_tray_icon.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace {
ErrorDialog::Handler &handler()
{
    static ErrorDialog::Handler h;
    return h;
}
} // namespace

namespace ErrorDialog {

void show(const QString &message)
{
    const QString text = AppError::withFullStop(message);
    if (handler()) {
        handler()(text);
        return;
    }
    // Kept on stderr too, so a failure that happens with nobody at the screen still leaves a trace.
    std::fprintf(stderr, "quillet: %s\n", qPrintable(text));
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(title), text, QMessageBox::Ok);
    // A box shown while the notes load comes before the program's icon is set, and carries it itself.
    box.setWindowIcon(TStTrayIcon::programIcon());
    box.exec();
}

void showCurrentException()
{
    show(AppError::currentMessage());
}

bool guard(const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (...) {
        showCurrentException();
        return false;
    }
}

void setHandler(Handler h)
{
    handler() = std::move(h);
}

} // namespace ErrorDialog
