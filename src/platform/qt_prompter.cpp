#include "platform/qt_prompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

#include "platform/display_text.h"

namespace platform {
namespace {

QWidget* ActiveWindow() { return QApplication::activeWindow(); }

QMessageBox::StandardButtons ButtonsOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::kOk:
      return QMessageBox::Ok;
    case Buttons::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case Buttons::kYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::kRetryCancel:
      return QMessageBox::Retry | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(Icon icon) {
  switch (icon) {
    case Icon::kNone:
      return QMessageBox::NoIcon;
    case Icon::kInformation:
      return QMessageBox::Information;
    case Icon::kExclamation:
      return QMessageBox::Warning;
    case Icon::kQuestion:
      return QMessageBox::Question;
    case Icon::kCritical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// The button that closing the box stands for.
QMessageBox::StandardButton EscapeOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::kOk:
      return QMessageBox::Ok;
    case Buttons::kYesNo:
      return QMessageBox::No;
    default:
      return QMessageBox::Cancel;
  }
}

Answer AnswerOf(int button, Buttons buttons) {
  switch (button) {
    case QMessageBox::Ok:
      return Answer::kOk;
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    case QMessageBox::Retry:
      return Answer::kRetry;
    case QMessageBox::Cancel:
      return Answer::kCancel;
    default:
      return buttons == Buttons::kOk      ? Answer::kOk
             : buttons == Buttons::kYesNo ? Answer::kNo
                                          : Answer::kCancel;
  }
}

}  // namespace

QString QtPrompter::TitleOf(std::string_view title) const {
  return QString::fromStdString(std::string(title.empty() ? program_name_ : title));
}

Answer QtPrompter::Show(const Message& message) {
  QMessageBox box(IconOf(message.icon), TitleOf(message.title), DisplayText(message.text),
                  ButtonsOf(message.buttons), ActiveWindow());
  box.setTextFormat(Qt::PlainText);
  box.setEscapeButton(EscapeOf(message.buttons));
  return AnswerOf(box.exec(), message.buttons);
}

std::string QtPrompter::InputBox(std::string_view prompt, std::string_view title,
                                 std::string_view initial) {
  bool accepted = false;
  const QString answer =
      QInputDialog::getText(ActiveWindow(), TitleOf(title), DisplayText(prompt), QLineEdit::Normal,
                            QString::fromStdString(std::string(initial)), &accepted);
  return accepted ? answer.toStdString() : std::string();
}

std::optional<std::string> QtPrompter::OpenFile(const FileOpenRequest& request) {
  const QString path = QFileDialog::getOpenFileName(
      ActiveWindow(), QString::fromStdString(request.title),
      QString::fromStdString(request.initial_folder), QtFileFilter(request.filter));
  if (path.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(path).toStdString();
}

QString QtFileFilter(std::string_view filter) {
  const QStringList parts = QString::fromStdString(std::string(filter)).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // The description already names the patterns in the laboratory's filters; Qt reads the
    // patterns from the parentheses, so they are added when the description lacks them.
    const QString& description = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(';', ' ');
    filters << (description.contains('(') ? description : description + " (" + patterns + ")");
  }
  return filters.join(";;");
}

}  // namespace platform
