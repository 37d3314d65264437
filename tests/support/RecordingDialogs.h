// The main window's dialogs replaced by a recorder: messages, opened pages and save dialogs are kept
// for the test to read, and the save dialog answers with a path the test sets beforehand.
#pragma once

#include <QString>
#include <QUrl>
#include <utility>
#include <vector>

#include "app/UserDialogs.h"

namespace varnetik::testing {

class RecordingDialogs : public UserDialogs {
 public:
  std::vector<std::pair<QString, QString>> messages;  // title, text
  std::vector<QUrl> openedPages;
  QString nextSavePath;
  int saveDialogs = 0;

  void ShowMessage(QWidget*, const QString& title, const QString& text) override {
    messages.emplace_back(title, text);
  }
  QString AskCsvSavePath(QWidget*) override {
    ++saveDialogs;
    return nextSavePath;
  }
  void OpenWebPage(const QUrl& address) override { openedPages.push_back(address); }
};

}  // namespace varnetik::testing
