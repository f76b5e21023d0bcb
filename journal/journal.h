#pragma once
// The journal file: a text file in the profile folder holding one enciphered
// line per record (journal/cipher.h), dated with the masks of journal/date.h.
//
// Texts given to and returned by the journal are UTF-8 like every text of the
// program. On disk a record is Windows-1252: it is converted just before it is
// enciphered and converted back just after it is deciphered.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace journal {

inline constexpr std::string_view kJournalKey = "5d2c7be0a19f43e68b0c4da7f2e95136";
inline constexpr std::string_view kJournalFileName = "ravelundlog.ini";

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
// How a record that cannot be written is told to the user: the program sets
// it at start-up (an error box). Without one, the failure is only returned.
void setWriteFailureNotice(std::function<void()> tell);
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

}  // namespace journal
