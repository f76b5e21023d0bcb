#pragma once
// The program's texts are UTF-8; the journal and the settings file keep
// Windows-1252 bytes. The conversions between the two, and upper-casing by
// that code page's rules.
#include <string>
#include <string_view>

namespace text {

// UTF-8 to Windows-1252; a character with no Windows-1252 byte, and every byte
// of a broken UTF-8 sequence, becomes "?".
std::string toWindows1252(std::string_view utf8);
// Windows-1252 to UTF-8. The five bytes the code page leaves unassigned come
// back as the control characters of the same number, so every byte survives a
// round trip.
std::string fromWindows1252(std::string_view bytes);
// Upper-case by the Windows-1252 rules ("é" gives "É", "ÿ" gives "Ÿ");
// characters outside that code page are left as they are.
std::string upperCaseText(std::string_view utf8);

}  // namespace text
