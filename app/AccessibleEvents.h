// The one road by which the shell's own widgets tell assistive technology about a change.
#pragma once

class QAccessibleEvent;

namespace varnetik {

// True while a client of the accessibility bridge (or a test's sink) listens. Callers ask first, so that
// no interface is built for an event nobody receives.
bool AccessibilityListening();

// Hands the event to Qt's accessibility bridge, or to the sink while one is set.
void SendAccessibleEvent(QAccessibleEvent& event);

// The offscreen platform has no accessibility bridge, so Qt drops every event there; a test sets a sink
// to receive them instead. nullptr restores the bridge.
using AccessibleEventSink = void (*)(QAccessibleEvent& event);
void SetAccessibleEventSink(AccessibleEventSink sink);

}  // namespace varnetik
