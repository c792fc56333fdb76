#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl-C (SIGINT) and SIGTERM into a Qt signal on the thread that creates it, through
// a self-pipe, so the program can end in order from its event loop.
class TInterrupt : public QObject {
    Q_OBJECT
public:
    explicit TInterrupt(QObject *parent = nullptr);
    ~TInterrupt() override;

signals:
    void Interrupted(int signal);

private:
    QSocketNotifier *Notifier = nullptr;
};
