#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

// Turns a widget's Qt events into handler calls, so the form itself
// overrides nothing. Each callback runs inside the exception boundary.
class TFormEvents : public QObject {
    Q_OBJECT
public:
    TFormEvents(QObject *watched, QEvent::Type type, std::function<void(QEvent *)> handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QEvent::Type Type;
    std::function<void(QEvent *)> Handler;
};
