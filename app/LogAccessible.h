// What assistive technology sees of the log: a list whose items are the lines, named by their text, the
// newest line selected. The log paints its lines itself, so without this a screen reader sees an empty
// area. A line's interface is built only when a client asks for it, and only the lines asked most
// recently keep theirs, so a log of a million lines costs nothing until someone reads it.
#pragma once

#include <QAccessibleWidget>
#include <cstdint>
#include <deque>
#include <unordered_map>

namespace varnetik {

class LogView;

// Makes Qt build a LogViewAccessible for every LogView; once per process, later calls do nothing.
void InstallLogAccessibility();

class LogViewAccessible : public QAccessibleWidget {
 public:
  explicit LogViewAccessible(LogView* view);
  ~LogViewAccessible() override;

  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* focusChild() const override;

 private:
  LogView* View() const;
  // The lines are about to go: tells a listening client, then drops every line interface.
  void DropLines();

  mutable std::unordered_map<int64_t, QAccessible::Id> lines_;
  mutable std::deque<int64_t> askedOrder_;  // oldest first, to let go of the longest unasked
  QMetaObject::Connection clearing_;
};

}  // namespace varnetik
