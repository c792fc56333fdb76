#include "app/FormEvents.h"

#include "app/ErrorDisplay.h"

TFormEvents::TFormEvents(QObject *watched, QEvent::Type type, std::function<void(QEvent *)> handler)
    : QObject(watched), Type(type), Handler(std::move(handler)) {
    watched->installEventFilter(this);
}

bool TFormEvents::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parent() && event->type() == Type)
        Guarded([&] { Handler(event); });
    return false;
}
