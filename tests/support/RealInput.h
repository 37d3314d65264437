// Input as a person gives it: mouse and key events that enter through the widgets' windows, so that Qt
// itself turns a right-click into a context-menu event, routes keys to an open popup menu and to the
// focus widget of a modal dialog. Modal dialogs run their own loop; ModalAnswers answers them from
// inside it.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace varnetik::testing {

// A right-click at `at` (widget coordinates), through the top-level window.
void RightClick(QWidget* widget, QPoint at);
// A left click at `at` (widget coordinates), through the top-level window.
void LeftClick(QWidget* widget, QPoint at);
// The popup menu that is open, null when none.
QMenu* OpenPopupMenu();
// The action of `menu` that carries `item` in its data(), null when none.
QAction* MenuAction(const QMenu& menu, int item);

// How an item of an open popup menu is chosen.
enum class Choice { Mouse, Keyboard };
const char* ChoiceName(Choice choice);
// Chooses the action: a left click on it, or Down from the top to it and Enter.
void ChooseMenuItem(QMenu& menu, QAction& action, Choice choice);

// Answers the modal dialogs that open while it lives, one answer each, in order. An answer gets the
// dialog and closes it as a person would. Every dialog it saw is recorded as "title|text" (text only
// for message boxes).
class ModalAnswers {
 public:
  using Answer = std::function<void(QWidget& dialog)>;
  explicit ModalAnswers(std::vector<Answer> answers);
  ~ModalAnswers();
  ModalAnswers(const ModalAnswers&) = delete;
  ModalAnswers& operator=(const ModalAnswers&) = delete;

  const QStringList& Seen() const { return seen_; }

 private:
  void Poll();

  std::vector<Answer> answers_;
  size_t next_ = 0;
  QPointer<QWidget> answered_;
  QStringList seen_;
  QTimer timer_;
};

// Enter on the dialog's focus widget: closes a message box with its default button.
void PressEnter(QWidget& dialog);
// In a file dialog: selects the whole file name, types `path` and presses Enter.
ModalAnswers::Answer TypePathAndEnter(const QString& path);
// Escape: cancels the dialog.
void PressEscape(QWidget& dialog);

}  // namespace varnetik::testing
