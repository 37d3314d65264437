#include "app/AccessibleEvents.h"

#include <QAccessible>

namespace varnetik {

namespace {

AccessibleEventSink sink = nullptr;

}  // namespace

bool AccessibilityListening() { return sink != nullptr || QAccessible::isActive(); }

void SendAccessibleEvent(QAccessibleEvent& event) {
  if (sink != nullptr) {
    sink(event);
    return;
  }
  QAccessible::updateAccessibility(&event);
}

void SetAccessibleEventSink(AccessibleEventSink newSink) { sink = newSink; }

}  // namespace varnetik
