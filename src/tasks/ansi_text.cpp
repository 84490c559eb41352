#include "tasks/ansi_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "jet/native_path.h"
#include "jet/text.h"
#include "platform/files.h"
#include "tasks/runtime_errors.h"

namespace tasks {
namespace {

// Code points of 0x80..0x9F in code page 1252 (0 where the code page has no character).
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToAnsiChar(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c && c != 0) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string ToAnsi(std::string_view utf8) {
  // Plain ASCII is the same bytes in the code page; logs and reports are nearly all of it.
  if (std::all_of(utf8.begin(), utf8.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(utf8);
  }
  const std::u16string wide = jet::Utf8ToUtf16(utf8);
  std::string out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t c = wide[i];
    // A character outside the basic plane is one '?', not two.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) ++i;
    out.push_back(ToAnsiChar(c));
  }
  return out;
}

void AppendAnsi(const std::string& path, std::string_view utf8, bool truncate) {
  const std::string bytes = ToAnsi(utf8);
  std::FILE* file = jet::OpenCFile(platform::NativePath(path), truncate ? "wb" : "ab");
  if (file == nullptr) ThrowRuntimeError(kVbPathFileAccess);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) ThrowRuntimeError(kVbPathFileAccess);
}

}  // namespace tasks
