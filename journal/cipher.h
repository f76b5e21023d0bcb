#pragma once
// The journal's line cipher in both directions. encipherLine and decipherLine
// work on single bytes: the journal gives them Windows-1252 records.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace journal {

// RC4 over `buffer` in place, keyed with the bytes of the `key` text; the
// keystream starts afresh on every call. An empty key acts as 256 zero bytes.
void rc4Apply(std::span<std::uint8_t> buffer, std::string_view key);
// The enciphered bytes of `plain` followed by one zero byte, as upper-case
// hexadecimal; "" for an empty record.
std::string encipherLine(std::string_view plain, std::string_view key);
// The inverse of encipherLine. Accepts lower-case digits, ignores an odd
// trailing character and never fails: text that is not hexadecimal gives
// meaningless bytes. Stops at the first zero byte.
std::string decipherLine(std::string_view hex, std::string_view key);

}  // namespace journal
