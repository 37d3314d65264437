// Speaks an outcome line to a screen reader without moving the focus. The log only grows and the status
// fields are not focused, so a reader says nothing about either. Qt 6.4 has no announcement event; what a
// reader does speak unasked is a notification object that shows itself: the AT-SPI event
// "object:state-changed:showing" from an object of role "notification". The announcer is such an object,
// a hidden child of the status bar holding the line as its name and as the text of a label inside it.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace varnetik {

class OutcomeAnnouncer : public QWidget {
  Q_OBJECT

 public:
  explicit OutcomeAnnouncer(QWidget* statusBar);

  // Takes the line and tells assistive technology that the notification shows it.
  void Announce(const QString& line);
  QString Line() const;

 private:
  QLabel* text_;
};

// A log line that is a frame dump ("TX (8 B): ...") rather than an outcome; dumps are not announced.
bool IsFrameDumpLine(const QString& line);

}  // namespace varnetik
