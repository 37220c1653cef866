#pragma once

#include <QObject>

class QSocketNotifier;

// Says when anything is mounted or unmounted: the kernel marks
// /proc/self/mountinfo for every change of the mount table, and the event
// loop waits for that mark without polling.
class MountWatcher : public QObject
{
    Q_OBJECT
public:
    explicit MountWatcher(QObject *parent = nullptr);
    ~MountWatcher() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void changed();

private:
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
