#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// Turns SIGTERM, SIGHUP and SIGINT (how a desktop session usually ends its
// programs) into a Qt signal on the event loop, so the program can run its
// normal close request instead of dying with unsaved state.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Installs the handlers; false when the process already has a watcher or the
    // handlers could not be set up. One watcher per process.
    bool install();

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_installed = false;
};
