// Conversions between the program's UTF-8 texts and the Windows-1252 bytes
// kept in the journal and in the settings file.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/text.h"

namespace text {

namespace {

// Characters of the bytes 0x80 to 0x9F; the five unassigned bytes keep the
// control character of their own number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t characterOfByte(std::uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

// The Windows-1252 byte of a character, or -1 when it has none.
int byteOfCharacter(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<int>(0x80 + i);
  }
  return -1;
}

// Reads one character at `at`; its length in bytes, or 0 when the bytes there
// are not a well-formed UTF-8 sequence (overlong forms and surrogates included).
std::size_t decodeCharacter(std::string_view text, std::size_t at, char32_t& c) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    c = lead & 0x1Fu;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    c = lead & 0x0Fu;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    c = lead & 0x07u;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3Fu);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

void appendCharacter(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

char32_t upperCaseCharacter(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - ('a' - 'A');
  // à..þ map to À..Þ, except the division sign in their midst.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  switch (c) {
    case 0x0161:  // š
      return 0x0160;
    case 0x0153:  // œ
      return 0x0152;
    case 0x017E:  // ž
      return 0x017D;
    case 0x00FF:  // ÿ
      return 0x0178;
    default:
      return c;
  }
}

}  // namespace

std::string toWindows1252(std::string_view utf8) {
  std::string bytes;
  bytes.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = 0;
    const std::size_t length = decodeCharacter(utf8, at, c);
    if (length == 0) {
      bytes.push_back('?');
      ++at;
      continue;
    }
    const int byte = byteOfCharacter(c);
    bytes.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    at += length;
  }
  return bytes;
}

std::string fromWindows1252(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char byte : bytes)
    appendCharacter(utf8, characterOfByte(static_cast<std::uint8_t>(byte)));
  return utf8;
}

std::string upperCaseText(std::string_view utf8) {
  std::string result;
  result.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = 0;
    const std::size_t length = decodeCharacter(utf8, at, c);
    if (length == 0) {
      result.push_back(utf8[at]);
      ++at;
      continue;
    }
    appendCharacter(result, upperCaseCharacter(c));
    at += length;
  }
  return result;
}

}  // namespace text
