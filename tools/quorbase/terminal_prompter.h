// The message boxes of the export and the rebuild, on a terminal: reports on the output,
// everything else on the error stream. The one question, whether to replace an existing file,
// is answered by --overwrite; a table locked by another user is not waited for (Cancel skips
// the step, as the window's Cancel does), since nobody is there to press Retry.
#pragma once

#include <string>

#include "platform/prompter.h"

namespace quorbase_tool {

// The message text with its carriage returns as the terminal's line ends, without a last one.
std::string TerminalLines(std::string text);

class OverwritePrompter : public platform::Prompter {
 public:
  explicit OverwritePrompter(bool overwrite) : overwrite_(overwrite) {}

  platform::Answer Show(const platform::Message& message) override;
  std::string InputBox(std::string_view, std::string_view, std::string_view) override { return ""; }
  std::optional<std::string> OpenFile(const platform::FileOpenRequest&) override {
    return std::nullopt;
  }

 private:
  bool overwrite_;
};

}  // namespace quorbase_tool
