// Turns the signals that ask a program to end (SIGTERM at logout or from kill and timeout,
// SIGINT from the terminal, SIGHUP when the terminal goes away) into a Qt signal on the
// thread that created the object, so the program can end through its normal close and clean
// up after itself. The handlers only write the signal's number into a pipe (the one thing a
// handler may safely do); the event loop reads it from there.
#pragma once

#include <QObject>

class QSocketNotifier;

class ExitSignals : public QObject {
    Q_OBJECT
  public:
    // Installs the handlers. One instance at a time; needs a running event loop to deliver.
    explicit ExitSignals(QObject* parent = nullptr);
    // Restores the default actions: a signal from then on ends the program at once.
    ~ExitSignals() override;
    ExitSignals(const ExitSignals&) = delete;
    ExitSignals& operator=(const ExitSignals&) = delete;

  signals:
    // One of the signals arrived (its number); emitted once per arrival.
    void Received(int signalNumber);

  private:
    void OnReadable();

    QSocketNotifier* notifier_ = nullptr;
};
