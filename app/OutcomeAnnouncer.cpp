#include "app/OutcomeAnnouncer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QRegularExpression>

#include "app/AccessibleEvents.h"

namespace varnetik {

namespace {

// The notification names itself by its line, for readers that speak the name; Orca speaks the role and
// the label inside.
class AnnouncerAccessible : public QAccessibleWidget {
 public:
  explicit AnnouncerAccessible(OutcomeAnnouncer* announcer)
      : QAccessibleWidget(announcer, QAccessible::Notification) {}
  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name) return static_cast<OutcomeAnnouncer*>(widget())->Line();
    return QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* AnnouncerFactory(const QString&, QObject* object) {
  if (auto* announcer = qobject_cast<OutcomeAnnouncer*>(object)) return new AnnouncerAccessible(announcer);
  return nullptr;
}

}  // namespace

OutcomeAnnouncer::OutcomeAnnouncer(QWidget* statusBar) : QWidget(statusBar) {
  static const bool installed = [] {
    QAccessible::installFactory(&AnnouncerFactory);
    return true;
  }();
  (void)installed;
  setObjectName(QStringLiteral("OutcomeAnnouncer"));
  text_ = new QLabel(this);
  text_->setTextFormat(Qt::PlainText);
  // Outside the bar's layout and without a size: nothing is drawn, no field moves.
  setGeometry(0, 0, 0, 0);
  setFocusPolicy(Qt::NoFocus);
}

void OutcomeAnnouncer::Announce(const QString& line) {
  text_->setText(line);
  if (!AccessibilityListening()) return;
  QAccessibleEvent shown(this, QAccessible::ObjectShow);
  SendAccessibleEvent(shown);
}

QString OutcomeAnnouncer::Line() const { return text_->text(); }

bool IsFrameDumpLine(const QString& line) {
  static const QRegularExpression dump(QStringLiteral(R"(^(TX|RX)(-TCP)? \(\d+ B\): )"));
  return dump.match(line).hasMatch();
}

}  // namespace varnetik
