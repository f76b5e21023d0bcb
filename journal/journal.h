#pragma once
// The journal: a text file in the profile folder holding one enciphered line per
// record, the line cipher in both directions, and the date stamps of its lines.
//
// Texts given to and returned by the journal are UTF-8 like every text of the
// program. On disk a record is Windows-1252: it is converted just before it is
// enciphered and converted back just after it is deciphered. encipherLine and
// decipherLine themselves work on those single bytes.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace journal {

inline constexpr std::string_view kJournalKey = "5d2c7be0a19f43e68b0c4da7f2e95136";
inline constexpr std::string_view kJournalFileName = "ravelundlog.ini";

// Masks of the journal header line and of the start and end lines of a job.
inline constexpr std::string_view kHeaderDateMask = "%dd - %mm - %yyyy à %hh:%ii:%ss";
inline constexpr std::string_view kJobDateMask = "%dd/%mm/%yyyy à %hh:%ii:%ss";

// Seconds since 1970-01-01 00:00:00 of the local wall-clock reading, taken as
// though it were UTC: splitting it by the UTC calendar gives back the local
// fields, and no time-zone offset is kept anywhere.
using DateValue = std::int64_t;

// ---- The line cipher -------------------------------------------------------------

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

// ---- The file ----------------------------------------------------------------------

// The journal's file and the key its records are enciphered with, set by the
// program at start-up; both "" until then. Any thread may ask for them.
void setJournalFile(std::string path, std::string key);
std::string journalPath();
std::string journalKey();

// Appends one record to the file at journalPath(), creating the
// file without a header when it is missing. Any thread; calls are serialised,
// so concurrent records are neither lost nor interleaved. The record always
// starts a line of its own, and a write that fails partway leaves the file as
// it was. When the record cannot be written (a folder of that name, a
// read-only or missing profile folder, a full volume, another program holding
// the file), the user is told with an error box, at most once per job (see
// rearmWriteFailureNotice), and false is returned; the job goes on.
bool appendJournalLine(std::string_view line);
// A job's journal writing runs from the first line after the previous job
// ended (the scan of a new source and the free-space check belong to the job
// they prepare) to the last line of its verification, or to the end of its
// copy when no verification follows. Called where a job ends: the next
// failure to write the journal is told again.
void rearmWriteFailureNotice();
// Creates the journal with its header line and an empty line, unless an entry
// of that name (file or folder) exists already.
void ensureJournal();
// True when an entry named journalPath() exists.
bool journalExists();
// Every line of the journal deciphered, in order; lines end at CR, LF or CR LF.
// Empty when the file cannot be read.
std::vector<std::string> readJournalLines();

// ---- The journal window ----------------------------------------------------------

// Opens the journal window with every line deciphered and runs its loop on the
// calling thread until the user closes it (or it is closed for the program's
// exit); the main window takes no input meanwhile. When the window cannot be
// opened, returns at once and leaves the main window as it was.
void showJournalViewer();

// ---- Dates ---------------------------------------------------------------------------

DateValue currentDate();
// Copies `mask`, replacing the tokens %yyyy, %yy, %mm, %dd, %hh, %ii and %ss
// (in any case) with the fields of `date`; anything else is copied unchanged.
std::string formatDate(std::string_view mask, DateValue date);
// The date of a calendar reading (month 1-12, day 1-31), by the UTC rules.
DateValue dateFromFields(int year, int month, int day, int hour, int minute, int second);

// ---- Text conversions ------------------------------------------------------------------

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

namespace testing {
// Makes currentDate answer `date` until useSystemClock is called.
void fixCurrentDate(DateValue date);
void useSystemClock();
}  // namespace testing

}  // namespace journal
