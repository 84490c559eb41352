#include "interop/json_lite.h"

#include <cstdint>
#include <stdexcept>

namespace interop {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Json ParseDocument() {
    Json value = ParseValue();
    SkipSpace();
    if (pos_ != text_.size()) Fail("text after the JSON value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
  }

  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t')) {
      ++pos_;
    }
  }

  bool Consume(char c) {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  void Expect(char c) {
    if (!Consume(c)) Fail(std::string("expected '") + c + "'");
  }

  bool ConsumeWord(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  Json ParseValue() {
    SkipSpace();
    if (pos_ >= text_.size()) Fail("unexpected end");
    Json value;
    const char c = text_[pos_];
    if (c == '{') {
      value.kind = Json::Kind::kObject;
      ++pos_;
      if (Consume('}')) return value;
      do {
        SkipSpace();
        std::string key = ParseString();
        Expect(':');
        value.members[key] = ParseValue();
      } while (Consume(','));
      Expect('}');
    } else if (c == '[') {
      value.kind = Json::Kind::kArray;
      ++pos_;
      if (Consume(']')) return value;
      do {
        value.items.push_back(ParseValue());
      } while (Consume(','));
      Expect(']');
    } else if (c == '"') {
      value.kind = Json::Kind::kString;
      value.text = ParseString();
    } else if (ConsumeWord("true")) {
      value.kind = Json::Kind::kBool;
      value.boolean = true;
    } else if (ConsumeWord("false")) {
      value.kind = Json::Kind::kBool;
    } else if (ConsumeWord("null")) {
      value.kind = Json::Kind::kNull;
    } else {
      const size_t start = pos_;
      while (pos_ < text_.size() &&
             std::string_view("+-.eE0123456789").find(text_[pos_]) != std::string_view::npos) {
        ++pos_;
      }
      if (start == pos_) Fail("unexpected character");
      value.kind = Json::Kind::kNumber;
      value.text = std::string(text_.substr(start, pos_ - start));
    }
    return value;
  }

  uint32_t ParseHex4() {
    if (pos_ + 4 > text_.size()) Fail("short \\u escape");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[pos_++];
      v <<= 4;
      if (h >= '0' && h <= '9') {
        v |= static_cast<uint32_t>(h - '0');
      } else if (h >= 'a' && h <= 'f') {
        v |= static_cast<uint32_t>(h - 'a' + 10);
      } else if (h >= 'A' && h <= 'F') {
        v |= static_cast<uint32_t>(h - 'A' + 10);
      } else {
        Fail("bad \\u escape");
      }
    }
    return v;
  }

  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string ParseString() {
    if (pos_ >= text_.size() || text_[pos_] != '"') Fail("expected a string");
    ++pos_;
    std::string out;
    for (;;) {
      if (pos_ >= text_.size()) Fail("unterminated string");
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) Fail("unterminated escape");
      const char e = text_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp = ParseHex4();
          // A surrogate pair is one character; a lone surrogate is kept as U+FFFD, which is
          // what our engine makes of one too.
          if (cp >= 0xD800 && cp < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
            const size_t save = pos_;
            pos_ += 2;
            const uint32_t low = ParseHex4();
            if (low >= 0xDC00 && low < 0xE000) {
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else {
              pos_ = save;
              cp = 0xFFFD;
            }
          } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          Fail("bad escape");
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

const Json& Json::at(const std::string& key) const {
  const auto it = members.find(key);
  if (kind != Kind::kObject || it == members.end()) {
    throw std::runtime_error("JSON: no member '" + key + "'");
  }
  return it->second;
}

Json ParseJson(std::string_view text) { return Parser(text).ParseDocument(); }

}  // namespace interop
