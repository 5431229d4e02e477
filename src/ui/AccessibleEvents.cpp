#include "ui/AccessibleEvents.h"

#include <QAccessible>
#include <QAccessibleEvent>

namespace kestrum {

namespace {

std::function<void(QAccessibleEvent &)> &Handler()
{
    static std::function<void(QAccessibleEvent &)> handler;
    return handler;
}

} // namespace

bool AccessibilityListening()
{
    return Handler() || QAccessible::isActive();
}

void PostAccessibilityEvent(QAccessibleEvent &event)
{
    if (Handler()) {
        // As the platform would: an event whose object has no interface is dropped.
        if (event.accessibleInterface())
            Handler()(event);
        return;
    }
    QAccessible::updateAccessibility(&event);
}

void SetAccessibilityEventHandler(std::function<void(QAccessibleEvent &)> handler)
{
    Handler() = std::move(handler);
}

} // namespace kestrum
