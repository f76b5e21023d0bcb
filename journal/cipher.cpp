// The journal line cipher: RC4 keyed with the key text, then hexadecimal.
#include "journal/cipher.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace journal {

void rc4Apply(std::span<std::uint8_t> buffer, std::string_view key) {
  std::array<std::uint8_t, 256> state{};
  for (std::size_t i = 0; i < state.size(); ++i) state[i] = static_cast<std::uint8_t>(i);

  std::uint8_t j = 0;
  for (std::size_t i = 0; i < state.size(); ++i) {
    const auto keyByte = key.empty() ? 0 : static_cast<std::uint8_t>(key[i % key.size()]);
    j = static_cast<std::uint8_t>(j + state[i] + keyByte);
    std::swap(state[i], state[j]);
  }

  std::uint8_t i = 0;
  j = 0;
  for (std::uint8_t& byte : buffer) {
    i = static_cast<std::uint8_t>(i + 1);
    j = static_cast<std::uint8_t>(j + state[i]);
    std::swap(state[i], state[j]);
    byte ^= state[static_cast<std::uint8_t>(state[i] + state[j])];
  }
}

std::string encipherLine(std::string_view plain, std::string_view key) {
  if (plain.empty()) return {};
  // The record's bytes, then the zero terminator, which stays in clear.
  std::vector<std::uint8_t> bytes(plain.begin(), plain.end());
  rc4Apply(bytes, key);
  bytes.push_back(0);

  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

namespace {

// A hexadecimal pair as journals of this format have always read it: upper-case
// the pair, then each digit counts as code - 55 above '<' and code - 48
// otherwise. Nothing is checked, so stray characters give some byte, never a
// failure.
std::uint8_t pairValue(char high, char low) {
  unsigned value = 0;
  for (const char c : {high, low}) {
    unsigned code = static_cast<unsigned char>(c);
    if (code >= 'a' && code <= 'z') code -= 'a' - 'A';
    value = value * 16 + (code > 60 ? code - 55 : code - 48);
  }
  return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

std::string decipherLine(std::string_view hex, std::string_view key) {
  const std::size_t count = hex.size() / 2;
  if (count == 0) return {};
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = pairValue(hex[2 * i], hex[2 * i + 1]);
  // The last pair is the terminator and was never enciphered.
  rc4Apply(std::span(bytes).first(count - 1), key);

  std::string plain;
  for (const std::uint8_t byte : bytes) {
    if (byte == 0) break;
    plain.push_back(static_cast<char>(byte));
  }
  return plain;
}

}  // namespace journal
