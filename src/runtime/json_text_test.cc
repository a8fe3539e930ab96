// SPDX-License-Identifier: MIT
#include "runtime/json_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace hdrtune;

namespace {

struct Written {
  std::string text;
  bool exact;
};

Written as_json_string(const std::string &bytes) {
  JsonBuffer buffer;
  bool exact = json_string(&buffer, bytes.data(), bytes.size());
  Written w = {std::string(buffer.data, buffer.length), exact};
  json_release(&buffer);
  return w;
}

TEST(JsonString, EscapesQuotesBackslashesAndControlBytes) {
  Written w = as_json_string(std::string("a\"b\\c\nd\re\tf\x1b g\x01", 15) + std::string(1, '\0'));
  EXPECT_EQ(w.text, "\"a\\\"b\\\\c\\nd\\re\\tf\\u001b g\\u0001\\u0000\"");
  EXPECT_TRUE(w.exact);
}

TEST(JsonString, KeepsUtf8AndReplacesEachByteThatIsNotUtf8) {
  EXPECT_EQ(as_json_string("caf\xc3\xa9 \xf0\x9f\x98\x80").text,
            "\"caf\xc3\xa9 \xf0\x9f\x98\x80\"");
  Written w = as_json_string(
      "a\xff"
      "b\xc3(");
  EXPECT_EQ(w.text, "\"a\\ufffdb\\ufffd(\"");
  EXPECT_FALSE(w.exact);
  // Overlong forms, surrogates, code points past U+10FFFF and a sequence
  // cut off by the end: every byte of each is replaced on its own.
  EXPECT_EQ(as_json_string("\xc0\xaf").text, "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(as_json_string("\xe0\x80\xaf").text, "\"\\ufffd\\ufffd\\ufffd\"");
  EXPECT_EQ(as_json_string("\xed\xa0\x80").text, "\"\\ufffd\\ufffd\\ufffd\"");
  EXPECT_EQ(as_json_string("\xf4\x90\x80\x80").text, "\"\\ufffd\\ufffd\\ufffd\\ufffd\"");
  EXPECT_EQ(as_json_string("x\xe2\x82").text, "\"x\\ufffd\\ufffd\"");
  EXPECT_TRUE(as_json_string("\xf4\x8f\xbf\xbf\xed\x9f\xbf").exact);
}

// Plain runs are scanned eight bytes at a time: a byte that needs a look
// is found at every place in a word, and the bytes next to one in value
// (0x1f and 0x20, 0x7f and 0x80, '"' and '#', '\\' and ']') are told apart.
TEST(JsonString, FindsEachSpecialByteAtEveryPlace) {
  const struct {
    char byte;
    const char *written;
  } cases[] = {{'"', "\\\""}, {'\\', "\\\\"}, {'\x1f', "\\u001f"}, {'\x80', "\\ufffd"},
               {' ', " "},    {'#', "#"},     {']', "]"},          {'\x7f', "\x7f"}};
  for (const auto &c : cases) {
    for (std::size_t at = 0; at < 24; ++at) {
      std::string name(24, 'x');
      name[at] = c.byte;
      // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about the
      // inlined operator+ of a literal and a temporary string at -O3.
      std::string expected = "\"";
      expected += name.substr(0, at);
      expected += c.written;
      expected += name.substr(at + 1);
      expected += '"';
      EXPECT_EQ(as_json_string(name).text, expected) << "byte " << int(c.byte) << " at " << at;
    }
  }
}

// Strings of every length up to three words and a few bytes: the last
// bytes of each are looked at in a step of their own, so a special byte
// in each of the last places must still be found.
TEST(JsonString, FindsASpecialByteNearTheEndOfEveryLength) {
  for (std::size_t length = 1; length <= 27; ++length) {
    for (std::size_t back = 1; back <= length && back <= 9; ++back) {
      std::string name(length, 'y');
      name[length - back] = '"';
      std::string expected = "\"";
      expected += name.substr(0, length - back);
      expected += "\\\"";
      expected += name.substr(length - back + 1);
      expected += '"';
      EXPECT_EQ(as_json_string(name).text, expected) << "length " << length << ", back " << back;
    }
    EXPECT_EQ(as_json_string(std::string(length, 'y')).text, '"' + std::string(length, 'y') + '"');
  }
}

TEST(JsonString, LongNamesGrowTheBuffer) {
  std::string name(1 << 20, 'n');
  name[12345] = '"';
  Written w = as_json_string(name);
  EXPECT_EQ(w.text.size(), name.size() + 3);
  EXPECT_EQ(w.text.substr(12346, 2), "\\\"");
}

TEST(JsonNumber, WritesDecimalDigitsUpToTheLargest) {
  JsonBuffer buffer;
  json_number(&buffer, 0);
  json_raw(&buffer, ",");
  json_number(&buffer, 1234567890);
  json_raw(&buffer, ",");
  json_number(&buffer, UINT64_MAX);
  json_raw(&buffer, ",");
  json_hex_string(&buffer, "\xff\x00\x1b", 3);
  EXPECT_EQ(std::string(buffer.data, buffer.length),
            "0,1234567890,18446744073709551615,\"ff001b\"");
  json_release(&buffer);
}

// The digits come two at a time: every count of digits, and each pair's
// edges, against the C library's rendering.
TEST(JsonNumber, EveryCountOfDigitsMatchesPrintf) {
  JsonBuffer buffer;
  for (std::uint64_t base = 1; base != 0 && base <= UINT64_MAX / 10; base *= 10) {
    for (std::uint64_t value : {base - 1, base, base + 1, base * 9 + 9, base * 5 + 7}) {
      buffer.length = 0;
      json_number(&buffer, value);
      EXPECT_EQ(std::string(buffer.data, buffer.length), std::to_string(value));
    }
  }
  json_release(&buffer);
}

}  // namespace
