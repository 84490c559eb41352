#include "platform/test_doubles.h"

namespace platform::testing {

Answer FakePrompter::Show(const Message& message) {
  messages.push_back(message);
  if (!answers.empty()) {
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  switch (message.buttons) {
    case Buttons::kYesNo:
    case Buttons::kYesNoCancel:
      return Answer::kYes;
    case Buttons::kRetryCancel:
      return Answer::kRetry;
    default:
      return Answer::kOk;
  }
}

std::string FakePrompter::InputBox(std::string_view prompt, std::string_view, std::string_view) {
  input_prompts.emplace_back(prompt);
  if (inputs.empty()) return "";
  std::string answer = inputs.front();
  inputs.pop_front();
  return answer;
}

std::optional<std::string> FakePrompter::OpenFile(const FileOpenRequest& request) {
  file_requests.push_back(request);
  if (files.empty()) return std::nullopt;
  std::optional<std::string> answer = files.front();
  files.pop_front();
  return answer;
}

bool FakeLauncher::BrowseFolder(std::string_view folder) {
  started.push_back(BrowseFolderCommand(folder));
  return succeed;
}

bool FakeLauncher::EditTextFile(std::string_view file) {
  started.push_back(EditTextFileCommand(file));
  return succeed;
}

double FakeClock::Now() {
  ++readings_;
  const double reading = now_;
  now_ += step_;
  return reading;
}

}  // namespace platform::testing
