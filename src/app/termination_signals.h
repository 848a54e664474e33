#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the UI thread, so that the system
// closing the program runs the same shutdown as closing the window.

#include <QObject>

class QSocketNotifier;

namespace glimmerby {

class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

  signals:
    void received(int signalNumber);

  private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace glimmerby
