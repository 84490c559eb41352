// The prompter on Qt's standard message box, input dialog and file dialog.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "platform/prompter.h"

class QWidget;

namespace platform {

class QtPrompter : public Prompter {
 public:
  // `program_name` titles the boxes that have no title of their own.
  explicit QtPrompter(std::string program_name) : program_name_(std::move(program_name)) {}

  // The window the boxes and dialogs belong to, centred over it; without one, or when it has
  // none, the active window. A modal window that is open (About) always comes first.
  void SetOwner(std::function<QWidget*()> owner) { owner_ = std::move(owner); }

  Answer Show(const Message& message) override;
  std::string InputBox(std::string_view prompt, std::string_view title,
                       std::string_view initial) override;
  std::optional<std::string> OpenFile(const FileOpenRequest& request) override;

 private:
  QString TitleOf(std::string_view title) const;
  QWidget* Owner() const;
  std::string program_name_;
  std::function<QWidget*()> owner_;
};

// The message box Show runs, not yet shown: a text taller than about half the screen scrolls
// in the box, and the box is wide enough for its whole title beside the window manager's
// buttons.
std::unique_ptr<QMessageBox> NewMessageBox(const Message& message, const QString& title,
                                           QWidget* owner);

// Whether a message text of `text_height` pixels scrolls on a screen of `screen_height`.
bool MessageTextScrolls(int text_height, int screen_height);

// "Database Files (*.mdb)|*.mdb" as Qt writes it: "Database Files (*.mdb)". Several pairs
// become several filters, one a line.
QString QtFileFilter(std::string_view filter);

}  // namespace platform
