// The laboratory's text files (the export log) are written in the Windows ANSI code page,
// 1252, which is what Notepad and the laboratory's other tools read them in.
#pragma once

#include <string>
#include <string_view>

namespace tasks {

// UTF-8 text in code page 1252; characters the code page lacks become '?', as Windows'
// conversion writes them.
std::string ToAnsi(std::string_view utf8);

// Appends `utf8` to the file at `path` in code page 1252, creating the file when it is missing
// (`truncate`: emptying it first). The file is opened and closed again for each call. Throws
// jet::Error 75 ("Path/File access error") when the file cannot be written.
void AppendAnsi(const std::string& path, std::string_view utf8, bool truncate = false);

}  // namespace tasks
