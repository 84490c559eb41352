#include "quorbase/terminal_prompter.h"

#include <iostream>

namespace quorbase_tool {

std::string TerminalLines(std::string text) {
  for (char& c : text) {
    if (c == '\r') c = '\n';
  }
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

platform::Answer OverwritePrompter::Show(const platform::Message& message) {
  const bool report = message.icon == platform::Icon::kInformation;
  (report ? std::cout : std::cerr) << TerminalLines(message.text) << "\n";
  switch (message.buttons) {
    case platform::Buttons::kYesNo:
      std::cerr << (overwrite_ ? "Yes (--overwrite)" : "No (give --overwrite to replace it)")
                << "\n";
      return overwrite_ ? platform::Answer::kYes : platform::Answer::kNo;
    case platform::Buttons::kRetryCancel:
      std::cerr << "Cancel\n";
      return platform::Answer::kCancel;
    default:
      return platform::Answer::kOk;
  }
}

}  // namespace quorbase_tool
