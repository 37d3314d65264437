#include "app/UserDialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

#include "operator/CsvText.h"

namespace varnetik {

void DesktopDialogs::ShowMessage(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

QString DesktopDialogs::AskCsvSavePath(QWidget* owner) {
  // The path is taken exactly as chosen: no extension is appended and an existing file is replaced
  // without a question, as the operator asked for that name.
  return QFileDialog::getSaveFileName(owner, QString::fromUtf8(kCsvDialogTitle), QString::fromUtf8(kCsvProposedName),
                                      QString::fromUtf8(kCsvFilterText), nullptr, QFileDialog::DontConfirmOverwrite);
}

void DesktopDialogs::OpenWebPage(const QUrl& address) { QDesktopServices::openUrl(address); }

}  // namespace varnetik
