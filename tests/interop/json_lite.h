// Just enough JSON to read what the reader script writes: objects, arrays, strings, numbers
// (kept as their text so no precision is lost), booleans and null.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace interop {

struct Json {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  std::string text;  // kNumber: the number as written; kString: the string, UTF-8
  std::vector<Json> items;
  std::map<std::string, Json> members;

  // Member of an object; throws when absent, so a changed script fails loudly.
  const Json& at(const std::string& key) const;
};

// Throws std::runtime_error naming the offset of the first fault.
Json ParseJson(std::string_view text);

}  // namespace interop
