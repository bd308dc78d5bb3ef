#pragma once

#include <QApplication>

// The application object. It catches what a command throws before it can cross Qt's event loop and
// shows it with the error dialog, so a failing command ends and the program goes on.
class QuilletApplication : public QApplication {
    Q_OBJECT

public:
    QuilletApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
