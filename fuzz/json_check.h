// SPDX-License-Identifier: MIT
// json_check.h - a strict reader of one JSON text, for the fuzzers: it
// accepts only what the JSON grammar allows (no raw control byte, no bytes
// that are not UTF-8, no lone surrogate escape, no repeated key in an
// object, nothing after the value) and gives the top-level object's string
// members as the bytes they stand for.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "runtime/json_text.h"

namespace json_check {

struct Reader {
  const std::string &text;
  std::size_t at = 0;
  int depth = 0;
  std::map<std::string, std::string> strings;  // the top-level object's string members

  void space() {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r')) ++at;
  }
  bool take(char c) {
    space();
    if (at < text.size() && text[at] == c) {
      ++at;
      return true;
    }
    return false;
  }
  bool word(const char *w) {
    std::size_t n = std::char_traits<char>::length(w);
    if (text.compare(at, n, w) != 0) return false;
    at += n;
    return true;
  }
  static void put_utf8(std::string *out, std::uint32_t c) {
    if (c < 0x80) {
      *out += static_cast<char>(c);
    } else if (c < 0x800) {
      *out += static_cast<char>(0xc0 | c >> 6);
      *out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
      *out += static_cast<char>(0xe0 | c >> 12);
      *out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
      *out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
      *out += static_cast<char>(0xf0 | c >> 18);
      *out += static_cast<char>(0x80 | (c >> 12 & 0x3f));
      *out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
      *out += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
  bool hex4(std::uint32_t *value) {
    if (at + 4 > text.size()) return false;
    *value = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text[at++];
      int d = c >= '0' && c <= '9'   ? c - '0'
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                     : -1;
      if (d < 0) return false;
      *value = *value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
  }
  bool string(std::string *out) {
    space();
    if (at >= text.size() || text[at] != '"') return false;
    ++at;
    for (;;) {
      if (at >= text.size()) return false;
      auto c = static_cast<unsigned char>(text[at]);
      if (c == '"') {
        ++at;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        std::size_t n = hdrtune::utf8_sequence_length(
            reinterpret_cast<const unsigned char *>(text.data()) + at, text.size() - at);
        if (n == 0) return false;
        out->append(text, at, n);
        at += n;
        continue;
      }
      ++at;
      if (c != '\\') {
        *out += static_cast<char>(c);
        continue;
      }
      if (at >= text.size()) return false;
      char e = text[at++];
      const char *simple = "\"\\/bfnrt", *meaning = "\"\\/\b\f\n\r\t";
      const char *found = e ? std::char_traits<char>::find(simple, 8, e) : nullptr;
      if (found) {
        *out += meaning[found - simple];
        continue;
      }
      std::uint32_t u;
      if (e != 'u' || !hex4(&u)) return false;
      if (u >= 0xdc00 && u <= 0xdfff) return false;
      if (u >= 0xd800 && u <= 0xdbff) {
        std::uint32_t low;
        if (!word("\\u") || !hex4(&low) || low < 0xdc00 || low > 0xdfff) return false;
        u = 0x10000 + ((u - 0xd800) << 10) + (low - 0xdc00);
      }
      put_utf8(out, u);
    }
  }
  bool number() {
    space();
    std::size_t start = at;
    if (at < text.size() && text[at] == '-') ++at;
    if (at >= text.size()) return false;
    if (text[at] == '0') {
      ++at;
    } else if (text[at] >= '1' && text[at] <= '9') {
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    } else {
      return false;
    }
    if (at < text.size() && text[at] == '.') {
      std::size_t digits = ++at;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
      if (at == digits) return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
      ++at;
      if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
      std::size_t digits = at;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
      if (at == digits) return false;
    }
    return at > start;
  }
  bool value(std::string *string_value) {
    space();
    if (at >= text.size() || ++depth > 64) return false;
    bool ok;
    char c = text[at];
    if (c == '{') {
      ok = object();
    } else if (c == '[') {
      ++at;
      ok = true;
      if (!take(']')) {
        do ok = value(nullptr);
        while (ok && take(','));
        ok = ok && take(']');
      }
    } else if (c == '"') {
      std::string s;
      ok = string(&s);
      if (string_value) *string_value = s;
    } else if (c == 't' || c == 'f' || c == 'n') {
      ok = word("true") || word("false") || word("null");
    } else {
      ok = number();
    }
    --depth;
    return ok;
  }
  bool object() {
    bool top = depth == 1;
    ++at;
    if (take('}')) return true;
    std::set<std::string> keys;
    do {
      std::string key, member;
      if (!string(&key) || !keys.insert(key).second || !take(':')) return false;
      member.clear();
      bool is_string = (space(), at < text.size() && text[at] == '"');
      if (!value(&member)) return false;
      if (top && is_string) strings[key] = member;
    } while (take(','));
    return take('}');
  }
};

// True when `line` (without its newline) is one JSON object and nothing else;
// its string members then stand in *strings.
inline bool read_object(const std::string &line, std::map<std::string, std::string> *strings) {
  Reader reader{line, 0, 0, {}};
  reader.space();
  if (reader.at >= line.size() || line[reader.at] != '{') return false;
  if (!reader.value(nullptr)) return false;
  reader.space();
  if (reader.at != line.size()) return false;
  *strings = reader.strings;
  return true;
}

// The bytes with each byte that is not part of valid UTF-8 as U+FFFD: what
// a string of a record holds for a name.
inline std::string with_replacements(const std::string &bytes) {
  std::string out;
  const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t n = hdrtune::utf8_sequence_length(p + i, bytes.size() - i);
    if (n == 0) {
      out += "\xef\xbf\xbd";
      ++i;
    } else {
      out.append(bytes, i, n);
      i += n;
    }
  }
  return out;
}

inline bool from_hex(const std::string &hex, std::string *bytes) {
  if (hex.size() % 2) return false;
  bytes->clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      char c = hex[i + k];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + d;
    }
    *bytes += static_cast<char>(v);
  }
  return true;
}

}  // namespace json_check
