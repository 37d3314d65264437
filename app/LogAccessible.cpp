#include "app/LogAccessible.h"

#include <QPointer>
#include <QWindow>
#include <climits>

#include "app/AccessibleEvents.h"
#include "app/LogView.h"

namespace varnetik {

namespace {

// Enough for every line a client shows or walks through at once; older ones are built again when asked.
constexpr size_t kKeptLines = 1024;

// One line of the log. It holds no text of its own: it reads the line from the view when asked.
class LogLineAccessible : public QAccessibleInterface {
 public:
  LogLineAccessible(LogView* view, int64_t index) : view_(view), index_(index) {}

  int64_t Index() const { return index_; }
  const LogView* View() const { return view_; }

  bool isValid() const override { return view_ != nullptr && index_ < view_->LineCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return view_ != nullptr ? view_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text kind) const override {
    return kind == QAccessible::Name && view_ != nullptr ? view_->Line(index_) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QAccessible::Role role() const override { return QAccessible::ListItem; }

  QRect rect() const override {
    if (view_ == nullptr) return QRect();
    const QRect line = view_->LineRect(index_);
    if (line.isEmpty()) return QRect();
    return QRect(view_->viewport()->mapToGlobal(line.topLeft()), line.size());
  }

  QAccessible::State state() const override {
    QAccessible::State state;
    if (!isValid()) {
      state.invalid = true;
      return state;
    }
    state.selectable = true;
    state.focusable = true;
    state.readOnly = true;
    state.selected = index_ == view_->SelectedLine();
    state.focused = state.selected && view_->hasFocus();
    state.invisible = view_->LineRect(index_).isEmpty();
    return state;
  }

 private:
  QPointer<LogView> view_;
  int64_t index_;
};

QAccessibleInterface* LogViewFactory(const QString&, QObject* object) {
  if (auto* view = qobject_cast<LogView*>(object)) return new LogViewAccessible(view);
  return nullptr;
}

}  // namespace

void InstallLogAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&LogViewFactory);
    return true;
  }();
  (void)installed;
}

LogViewAccessible::LogViewAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::List) {
  clearing_ = QObject::connect(view, &LogView::aboutToClear, [this] { DropLines(); });
}

LogViewAccessible::~LogViewAccessible() {
  QObject::disconnect(clearing_);
  for (const auto& [line, id] : lines_) QAccessible::deleteAccessibleInterface(id);
}

LogView* LogViewAccessible::View() const { return static_cast<LogView*>(widget()); }

int LogViewAccessible::childCount() const {
  return static_cast<int>(std::min<int64_t>(View()->LineCount(), INT_MAX));
}

QAccessibleInterface* LogViewAccessible::child(int index) const {
  if (index < 0 || index >= View()->LineCount()) return nullptr;
  const auto known = lines_.find(index);
  if (known != lines_.end()) return QAccessible::accessibleInterface(known->second);
  if (lines_.size() >= kKeptLines) {
    QAccessible::deleteAccessibleInterface(lines_.at(askedOrder_.front()));
    lines_.erase(askedOrder_.front());
    askedOrder_.pop_front();
  }
  auto* line = new LogLineAccessible(View(), index);
  lines_.emplace(index, QAccessible::registerAccessibleInterface(line));
  askedOrder_.push_back(index);
  return line;
}

int LogViewAccessible::indexOfChild(const QAccessibleInterface* child) const {
  const auto* line = dynamic_cast<const LogLineAccessible*>(child);
  if (line == nullptr || line->View() != View() || !line->isValid()) return -1;
  return static_cast<int>(line->Index());
}

QAccessibleInterface* LogViewAccessible::childAt(int x, int y) const {
  const int64_t line = View()->LineAt(View()->viewport()->mapFromGlobal(QPoint(x, y)));
  return line < 0 || line > INT_MAX ? nullptr : child(static_cast<int>(line));
}

QAccessibleInterface* LogViewAccessible::focusChild() const {
  const int64_t selected = View()->SelectedLine();
  if (!View()->hasFocus() || selected < 0 || selected > INT_MAX) return nullptr;
  return child(static_cast<int>(selected));
}

void LogViewAccessible::DropLines() {
  if (AccessibilityListening()) {
    for (const auto& [line, id] : lines_) {
      QAccessibleEvent gone(QAccessible::accessibleInterface(id), QAccessible::ObjectDestroyed);
      SendAccessibleEvent(gone);
    }
  }
  for (const auto& [line, id] : lines_) QAccessible::deleteAccessibleInterface(id);
  lines_.clear();
  askedOrder_.clear();
}

}  // namespace varnetik
