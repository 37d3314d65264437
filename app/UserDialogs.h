// The one seam through which the shell blocks on the operator or hands work to the desktop: message
// boxes, the CSV save dialog and opening a web page. Tests substitute a recording implementation so that
// no test ever waits on a modal window or starts a browser.
#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace varnetik {

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // Modal box with the title, the text and one "OK" button, no icon; returns when it is closed.
  virtual void ShowMessage(QWidget* owner, const QString& title, const QString& text) = 0;
  // The save dialog of the CSV export; an empty text when the operator cancelled.
  virtual QString AskCsvSavePath(QWidget* owner) = 0;
  // Hands the address to the desktop's browser; the outcome is not reported.
  virtual void OpenWebPage(const QUrl& address) = 0;
};

// The real dialogs of the desktop.
class DesktopDialogs : public UserDialogs {
 public:
  void ShowMessage(QWidget* owner, const QString& title, const QString& text) override;
  QString AskCsvSavePath(QWidget* owner) override;
  void OpenWebPage(const QUrl& address) override;
};

}  // namespace varnetik
