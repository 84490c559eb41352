// What the task logic asks of the user: modal message boxes with the system's buttons and
// icons, the input box and the file-open dialog. Texts are the program's own, with carriage
// returns as line breaks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class Buttons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel };
enum class Icon { kNone, kInformation, kExclamation, kQuestion, kCritical };
enum class Answer { kOk, kCancel, kYes, kNo, kRetry };

struct Message {
  std::string text;
  Buttons buttons = Buttons::kOk;
  Icon icon = Icon::kNone;
  // Empty: the box shows the program name, as a box without a title of its own does.
  std::string title;
};

struct FileOpenRequest {
  std::string title;
  // In the laboratory's form: pairs of description and patterns separated by "|", as
  // "Database Files (*.mdb)|*.mdb".
  std::string filter;
  std::string initial_folder;
};

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows a modal message box and returns the button pressed. Closing the box counts as its
  // Cancel or No, or as OK when it has only OK.
  virtual Answer Show(const Message& message) = 0;
  // The input box: the text entered, or the empty text when the user cancels.
  virtual std::string InputBox(std::string_view prompt, std::string_view title,
                               std::string_view initial) = 0;
  // The file-open dialog, read-only check box hidden: the chosen path, or nothing on Cancel.
  virtual std::optional<std::string> OpenFile(const FileOpenRequest& request) = 0;
};

// Shorthand for the common boxes.
inline Answer Inform(Prompter& prompter, std::string text, std::string title = "") {
  return prompter.Show({std::move(text), Buttons::kOk, Icon::kInformation, std::move(title)});
}

}  // namespace platform
