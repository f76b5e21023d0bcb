#pragma once
// The key = value file format of the settings file.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// A key = value file held in memory as its ordered list of entries (group
// headers, comments, key lines). One object per user: nothing in it is shared,
// so each thread keeps its own.
//
// The reader is lenient: lines end with CR, LF or CR LF; leading blanks and
// tabs are skipped; ";" starts a comment and "[" a group header; keys match
// whatever their case, and only the keys before the first group header count.
// A file that starts with the UTF-8 byte-order mark is UTF-8; any other file
// is Windows-1252. Keys and values given and returned are UTF-8.
class IniFile {
 public:
  // Reads and parses an existing file; false when it is missing or cannot be
  // opened in any of the three ways tried, strictest first.
  bool open(std::string_view path);
  // Starts an empty list for `path`; the file itself is written by close, so
  // the old file stays whole until then.
  bool create(std::string_view path);
  // Parses `bytes` as the content of a file, without any file.
  void parse(std::string_view bytes);

  // What readString(keys[i], "") would give after open, for each key, read
  // without holding the file in memory: the file is read a piece at a time
  // and no further than its first group header, or than the line where the
  // last of the keys was found, so a settings file of hundreds of megabytes
  // costs neither the memory nor the time of its whole. False when the file
  // is missing or cannot be opened in any of the three ways open tries.
  static bool readValues(std::string_view path, std::span<const std::string_view> keys,
                         std::vector<std::string>& values);

  // The value of the first key line named `key` before the first group header,
  // without its trailing blanks and tabs; `defaultText` when there is none.
  std::string readString(std::string_view key, std::string_view defaultText) const;
  // Sets the first such key line, or adds one after the entries that precede
  // the first group header.
  void writeString(std::string_view key, std::string_view value);

  // The entries as the file holds them, each line ending with CR LF.
  std::string text() const;
  // When anything was written (or the file created), replaces the file with
  // text() in one step: readers meanwhile see the old file or the new one.
  // False when that write failed. The object is empty afterwards.
  bool close();

  // What a line of the file holds: a group header, a comment or a key line.
  enum class EntryKind { group, comment, key };

 private:
  struct Entry {
    EntryKind kind = EntryKind::key;
    std::string name;   // group name, comment text or key
    std::string value;  // key lines only
  };

  std::string path_;
  std::vector<Entry> entries_;
  bool utf8_ = false;
  bool modified_ = false;
};

}  // namespace settings
