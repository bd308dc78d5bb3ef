#pragma once

#include <QObject>

// Turns the process's termination requests (SIGTERM, SIGINT, SIGHUP) into a Qt signal delivered on the
// user-interface thread, so the notes can be written before the program ends.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
};
