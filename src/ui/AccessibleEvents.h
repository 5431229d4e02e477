#pragma once
// The one way our own components tell screen readers what changed. Qt hands
// an accessibility event on only while the platform's bridge is active (a
// screen reader runs); widget tests on the offscreen platform have no
// bridge, so they install a handler here to see the same events.
#include <functional>

class QAccessibleEvent;

namespace kestrum {

//! Whether anyone listens: a screen reader through the platform, or a test's handler.
bool AccessibilityListening();

//! Hands the event to the listener; nothing happens while none listens.
void PostAccessibilityEvent(QAccessibleEvent &event);

//! Events go to this handler instead of the platform; an empty handler gives them back to it.
void SetAccessibilityEventHandler(std::function<void(QAccessibleEvent &)> handler);

} // namespace kestrum
