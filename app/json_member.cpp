#include "app/json_member.h"

#include <cctype>
#include <cstdint>

namespace nolpa::app {

namespace {

constexpr int kMostNesting = 64;

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

class Reader {
 public:
  explicit Reader(std::string_view text) : t_(text) {}

  std::optional<std::string> Member(std::string_view name) {
    Space();
    if (!Take('{')) return std::nullopt;
    Space();
    if (Take('}')) return std::nullopt;
    for (;;) {
      std::string key;
      Space();
      if (!String(&key)) return std::nullopt;
      Space();
      if (!Take(':')) return std::nullopt;
      Space();
      if (key == name) {
        std::string value;
        if (!String(&value)) return std::nullopt;
        return value;
      }
      if (!Value(1)) return std::nullopt;
      Space();
      if (!Take(',')) return std::nullopt;
    }
  }

 private:
  bool More() const { return i_ < t_.size(); }
  char Peek() const { return More() ? t_[i_] : '\0'; }
  bool Take(char c) {
    if (!More() || t_[i_] != c) return false;
    ++i_;
    return true;
  }
  void Space() {
    while (More() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\r' || t_[i_] == '\n')) ++i_;
  }

  bool Hex4(std::uint32_t* value) {
    if (t_.size() - i_ < 4) return false;
    *value = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = t_[i_++];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) return false;
      *value = *value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
  }

  // A \u escape, a surrogate pair joined; a lone surrogate becomes U+FFFD.
  bool Unicode(std::string& out) {
    std::uint32_t c = 0;
    if (!Hex4(&c)) return false;
    if (c >= 0xD800 && c <= 0xDBFF && t_.substr(i_, 2) == "\\u") {
      const std::size_t back = i_;
      i_ += 2;
      std::uint32_t low = 0;
      if (!Hex4(&low)) return false;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        return true;
      }
      i_ = back;
    }
    AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
    return true;
  }

  bool String(std::string* out) {
    if (!Take('"')) return false;
    while (More()) {
      const char c = t_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        *out += c;
        continue;
      }
      if (!More()) return false;
      const char e = t_[i_++];
      switch (e) {
        case '"': *out += '"'; break;
        case '\\': *out += '\\'; break;
        case '/': *out += '/'; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u':
          if (!Unicode(*out)) return false;
          break;
        default: return false;
      }
    }
    return false;
  }

  // Passes over one value of any kind; objects and arrays to a bounded depth.
  bool Value(int depth) {
    if (depth > kMostNesting) return false;
    std::string ignored;
    if (Peek() == '"') return String(&ignored);
    if (Peek() == '{' || Peek() == '[') return Nested(depth);
    const std::size_t start = i_;
    while (More() && (std::isalnum(static_cast<unsigned char>(t_[i_])) != 0 || t_[i_] == '-' ||
                      t_[i_] == '+' || t_[i_] == '.'))
      ++i_;
    return i_ > start;
  }

  bool Nested(int depth) {
    const char close = Take('{') ? '}' : (Take('['), ']');
    Space();
    if (Take(close)) return true;
    for (;;) {
      Space();
      if (close == '}') {
        std::string key;
        if (!String(&key)) return false;
        Space();
        if (!Take(':')) return false;
        Space();
      }
      if (!Value(depth + 1)) return false;
      Space();
      if (Take(close)) return true;
      if (!Take(',')) return false;
    }
  }

  std::string_view t_;
  std::size_t i_ = 0;
};

}  // namespace

std::optional<std::string> JsonMemberText(std::string_view json, std::string_view name) {
  return Reader(json).Member(name);
}

}  // namespace nolpa::app
