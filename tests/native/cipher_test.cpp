// The journal line cipher: RC4 against the published vectors, the journal's
// hexadecimal line form, and the Windows-1252 bytes under it.
#include "journal/cipher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "text/text.h"

namespace {

using journal::decipherLine;
using journal::encipherLine;
using journal::kJournalKey;

std::string keyOfBytes(std::initializer_list<int> bytes) {
  std::string key;
  for (const int b : bytes) key.push_back(static_cast<char>(b));
  return key;
}

// RC4 keystream bytes at `offset`, by enciphering zeros.
std::vector<std::uint8_t> keystream(const std::string& key, std::size_t offset, std::size_t count) {
  std::vector<std::uint8_t> zeros(offset + count, 0);
  journal::rc4Apply(zeros, key);
  return {zeros.begin() + static_cast<std::ptrdiff_t>(offset), zeros.end()};
}

// Published RC4 test vectors: keys 0x0102030405 and 0x0102...20, keystream at
// offsets 0, 16, 240 and 4096.
TEST(Cipher, Rc4MatchesThePublishedVectors) {
  const std::string key40 = keyOfBytes({1, 2, 3, 4, 5});
  EXPECT_EQ(keystream(key40, 0, 16),
            (std::vector<std::uint8_t>{0xb2, 0x39, 0x63, 0x05, 0xf0, 0x3d, 0xc0, 0x27, 0xcc, 0xc3,
                                       0x52, 0x4a, 0x0a, 0x11, 0x18, 0xa8}));
  EXPECT_EQ(keystream(key40, 16, 16),
            (std::vector<std::uint8_t>{0x69, 0x82, 0x94, 0x4f, 0x18, 0xfc, 0x82, 0xd5, 0x89, 0xc4,
                                       0x03, 0xa4, 0x7a, 0x0d, 0x09, 0x19}));
  EXPECT_EQ(keystream(key40, 240, 16),
            (std::vector<std::uint8_t>{0x28, 0xcb, 0x11, 0x32, 0xc9, 0x6c, 0xe2, 0x86, 0x42, 0x1d,
                                       0xca, 0xad, 0xb8, 0xb6, 0x9e, 0xae}));

  std::string key256;
  for (int b = 1; b <= 32; ++b) key256.push_back(static_cast<char>(b));
  EXPECT_EQ(keystream(key256, 0, 16),
            (std::vector<std::uint8_t>{0xea, 0xa6, 0xbd, 0x25, 0x88, 0x0b, 0xf9, 0x3d, 0x3f, 0x5d,
                                       0x1e, 0x4c, 0xa2, 0x61, 0x1d, 0x91}));
  EXPECT_EQ(keystream(key256, 16, 16),
            (std::vector<std::uint8_t>{0xcf, 0xa4, 0x5c, 0x9f, 0x7e, 0x71, 0x4b, 0x54, 0xbd, 0xfa,
                                       0x80, 0x02, 0x7c, 0xb1, 0x43, 0x80}));
  EXPECT_EQ(keystream(key256, 4096, 16),
            (std::vector<std::uint8_t>{0xf3, 0xe4, 0xc0, 0xa2, 0xe0, 0x2d, 0x1d, 0x01, 0xf7, 0xf0,
                                       0xa7, 0x46, 0x18, 0xaf, 0x2b, 0x48}));
}

TEST(Cipher, Rc4StartsAfreshOnEveryCall) {
  std::vector<std::uint8_t> first(8, 0);
  std::vector<std::uint8_t> second(8, 0);
  journal::rc4Apply(first, kJournalKey);
  journal::rc4Apply(second, kJournalKey);
  EXPECT_EQ(first, second);
  journal::rc4Apply(first, kJournalKey);  // enciphering twice gives the text back
  EXPECT_EQ(first, std::vector<std::uint8_t>(8, 0));
}

// Lines of the journal format, worked out with a separate RC4 written for the
// purpose, over the Windows-1252 bytes.
TEST(Cipher, EncipherLineGivesTheJournalFormat) {
  EXPECT_EQ(encipherLine("", kJournalKey), "");
  EXPECT_EQ(encipherLine("A", kJournalKey), "BE00");
  EXPECT_EQ(encipherLine("cr\xE9\xE9", kJournalKey), "9CCFDE3F00");
  EXPECT_EQ(
      encipherLine(text::toWindows1252("Journal créé le : 07 - 12 - 2026 à 06:05:09"), kJournalKey),
      "B5D242A41650F828348774E0291D619D9B5391EA21FF731990CDB6A9632424E8D862FEC1657ECDB6AEC"
      "AF700");
}

TEST(Cipher, EqualRecordsGiveEqualLines) {
  const std::string line = encipherLine("Copie terminée", kJournalKey);
  EXPECT_EQ(line, encipherLine("Copie terminée", kJournalKey));
  EXPECT_EQ(line.size(), 2 * std::string("Copie terminée").size() + 2);
  EXPECT_TRUE(line.ends_with("00"));
  EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

TEST(Cipher, EveryByteValueSurvivesARoundTrip) {
  for (int value = 1; value < 256; ++value) {
    const std::string plain(1, static_cast<char>(value));
    const std::string hex = encipherLine(plain, kJournalKey);
    ASSERT_EQ(hex.size(), 4u) << value;
    EXPECT_EQ(decipherLine(hex, kJournalKey), plain) << value;
  }
  // All 255 non-zero values in one record, and a record longer than the state.
  std::string all;
  for (int value = 1; value < 256; ++value) all.push_back(static_cast<char>(value));
  EXPECT_EQ(decipherLine(encipherLine(all, kJournalKey), kJournalKey), all);
  EXPECT_EQ(decipherLine(encipherLine(all + all + all, "k"), "k"), all + all + all);
}

TEST(Cipher, DecipherStopsAtTheFirstZeroByte) {
  // A zero byte in a record ends it when it is read back.
  const std::string hex = encipherLine(std::string("ab\0cd", 5), kJournalKey);
  EXPECT_EQ(hex.size(), 12u);
  EXPECT_EQ(decipherLine(hex, kJournalKey), "ab");
}

TEST(Cipher, DecipherAcceptsLowerCaseDigits) {
  EXPECT_EQ(decipherLine("9ccfde3f00", kJournalKey), "cr\xE9\xE9");
  EXPECT_EQ(decipherLine("9cCfDe3F00", kJournalKey), "cr\xE9\xE9");
}

TEST(Cipher, DecipherIgnoresAnOddTrailingCharacter) {
  EXPECT_EQ(decipherLine("BE00F", kJournalKey), "A");
  EXPECT_EQ(decipherLine("B", kJournalKey), "");
  EXPECT_EQ(decipherLine("", kJournalKey), "");
}

TEST(Cipher, DecipherNeverFailsOnText) {
  // Not hexadecimal: some bytes, no error, never longer than the pairs allow.
  const std::string plain = decipherLine("Hello, world! ZZ", kJournalKey);
  EXPECT_LE(plain.size(), 8u);
  // The last pair always stands for the terminator and is never deciphered:
  // when a line lost its "00", its last byte comes through as it is.
  EXPECT_EQ(decipherLine("BE", kJournalKey), "\xBE");
  EXPECT_EQ(decipherLine("9CCFDE3F", kJournalKey), "cr\xE9\x3F");
}

TEST(Cipher, TextBoundaryUsesWindows1252) {
  EXPECT_EQ(text::toWindows1252("créé à"), "cr\xE9\xE9 \xE0");
  EXPECT_EQ(text::toWindows1252("€ – Œ ™"), "\x80 \x96 \x8C \x99");
  // No Windows-1252 byte: a question mark per character, and per broken byte.
  EXPECT_EQ(text::toWindows1252("日本 ✓"), "?? ?");
  EXPECT_EQ(text::toWindows1252("a\xC3z\xFF"), "a?z?");
  EXPECT_EQ(text::toWindows1252("\xC0\xAF"), "??");  // an overlong "/"

  EXPECT_EQ(text::fromWindows1252("cr\xE9\xE9 \x80"), "créé €");
  for (int value = 1; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    EXPECT_EQ(text::toWindows1252(text::fromWindows1252(byte)), byte) << value;
  }
}

TEST(Cipher, UpperCaseFollowsWindows1252) {
  EXPECT_EQ(text::upperCaseText("journal créé à l'été"), "JOURNAL CRÉÉ À L'ÉTÉ");
  EXPECT_EQ(text::upperCaseText("œuvre ÿ š ž ß ÷ µ"), "ŒUVRE Ÿ Š Ž ß ÷ µ");
  EXPECT_EQ(text::upperCaseText("ω 日本"), "ω 日本");
}

}  // namespace
