#pragma once
// The signals that ask a program to end (a logout's SIGTERM and SIGHUP, Ctrl+C's
// SIGINT) taken as events of the window thread instead of ending the process on the
// spot, so a run in progress can stop its converter and clear its working files first.

#include <QObject>

#include <span>

class QSocketNotifier;

namespace platform {

class StopSignalNotifier : public QObject {
    Q_OBJECT
public:
    // From now on each of `taken` arrives as received(); one instance at a time.
    explicit StopSignalNotifier(std::span<const int> taken, QObject* parent = nullptr);
    ~StopSignalNotifier() override;

signals:
    void received(int stopSignal);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace platform
