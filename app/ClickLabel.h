#pragma once

#include <QLabel>
#include <QMouseEvent>

// A label or caption panel that reports a left click, as the window's
// clickable labels and the "Send data" panel do.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            emit Click();
        QLabel::mouseReleaseEvent(event);
    }
};
