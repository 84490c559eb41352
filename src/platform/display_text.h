// Message texts keep the laboratory's line breaks, single carriage returns (character 13), in
// the program's own strings; the window system breaks lines at line feeds, so the texts are
// changed only where they are put on screen.
#pragma once

#include <QString>
#include <string_view>

namespace platform {

constexpr char kCr = '\r';

// The text as a window shows it: each carriage return (and each CR LF pair) a line break.
QString DisplayText(std::string_view text);

}  // namespace platform
