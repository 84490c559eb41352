// The prompter on Qt's standard message box, input dialog and file dialog.
#pragma once

#include <QString>
#include <string>

#include "platform/prompter.h"

class QWidget;

namespace platform {

class QtPrompter : public Prompter {
 public:
  // `program_name` titles the boxes that have no title of their own.
  explicit QtPrompter(std::string program_name) : program_name_(std::move(program_name)) {}

  Answer Show(const Message& message) override;
  std::string InputBox(std::string_view prompt, std::string_view title,
                       std::string_view initial) override;
  std::optional<std::string> OpenFile(const FileOpenRequest& request) override;

 private:
  QString TitleOf(std::string_view title) const;
  std::string program_name_;
};

// "Database Files (*.mdb)|*.mdb" as Qt writes it: "Database Files (*.mdb)". Several pairs
// become several filters, one a line.
QString QtFileFilter(std::string_view filter);

}  // namespace platform
