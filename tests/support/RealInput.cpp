#include "tests/support/RealInput.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QWindow>

namespace varnetik::testing {

namespace {

constexpr int kPollMs = 10;

void Click(QWidget* widget, QPoint at, Qt::MouseButton button) {
  QWidget* top = widget->window();
  QTest::mouseClick(top->windowHandle(), button, Qt::NoModifier, widget->mapTo(top, at));
}

QString Describe(const QWidget& dialog) {
  const auto* box = qobject_cast<const QMessageBox*>(&dialog);
  return box != nullptr ? dialog.windowTitle() + QLatin1Char('|') + box->text() : dialog.windowTitle();
}

}  // namespace

void RightClick(QWidget* widget, QPoint at) { Click(widget, at, Qt::RightButton); }

void LeftClick(QWidget* widget, QPoint at) { Click(widget, at, Qt::LeftButton); }

QMenu* OpenPopupMenu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

QAction* MenuAction(const QMenu& menu, int item) {
  for (QAction* action : menu.actions()) {
    if (!action->isSeparator() && action->data().toInt() == item) return action;
  }
  return nullptr;
}

const char* ChoiceName(Choice choice) { return choice == Choice::Mouse ? "mouse" : "keyboard"; }

void ChooseMenuItem(QMenu& menu, QAction& action, Choice choice) {
  if (choice == Choice::Mouse) {
    LeftClick(&menu, menu.actionGeometry(&action).center());
    return;
  }
  // Down moves the highlight item by item, skipping separators, as the operator watches it.
  for (qsizetype presses = 0; menu.activeAction() != &action && presses < menu.actions().size(); ++presses) {
    QTest::keyClick(menu.windowHandle(), Qt::Key_Down);
  }
  QTest::keyClick(menu.windowHandle(), Qt::Key_Return);
}

ModalAnswers::ModalAnswers(std::vector<Answer> answers) : answers_(std::move(answers)) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start(kPollMs);
}

ModalAnswers::~ModalAnswers() { timer_.stop(); }

void ModalAnswers::Poll() {
  QWidget* dialog = QApplication::activeModalWidget();
  if (dialog == nullptr || dialog == answered_ || !dialog->isVisible() || next_ >= answers_.size()) return;
  answered_ = dialog;
  seen_ << Describe(*dialog);
  answers_[next_++](*dialog);
}

void PressEnter(QWidget& dialog) { QTest::keyClick(dialog.windowHandle(), Qt::Key_Return); }

void PressEscape(QWidget& dialog) { QTest::keyClick(dialog.windowHandle(), Qt::Key_Escape); }

ModalAnswers::Answer TypePathAndEnter(const QString& path) {
  return [path](QWidget& dialog) {
    QWindow* window = dialog.windowHandle();
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    for (QChar character : path) QTest::keyClick(window, character.toLatin1());
    QTest::keyClick(window, Qt::Key_Return);
  };
}

}  // namespace varnetik::testing
