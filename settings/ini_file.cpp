// The key = value file reader and writer.
#include "settings/ini_file.h"

#include <string>
#include <string_view>
#include <utility>

#include "platform/files.h"
#include "text/text.h"

namespace settings {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kLineEnd = "\r\n";

std::string_view withoutLeadingBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view withoutTrailingBlanks(std::string_view text) {
  const std::size_t last = text.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// A line of the file as its bytes stand, cut into its parts.
struct LineParts {
  IniFile::EntryKind kind = IniFile::EntryKind::key;
  std::string_view name;   // group name, comment text, or key without trailing blanks
  std::string_view value;  // key lines: what follows "=", without leading blanks
};

// The parts of one line; false for a line of blanks only.
bool cutLine(std::string_view line, LineParts& parts) {
  line = withoutLeadingBlanks(line);
  if (line.empty()) return false;
  parts = {};
  if (line.front() == ';') {
    std::string_view comment = line.substr(1);
    if (comment.starts_with(' ')) comment.remove_prefix(1);
    parts.kind = IniFile::EntryKind::comment;
    parts.name = comment;
  } else if (line.front() == '[') {
    const std::string_view rest = line.substr(1);
    parts.kind = IniFile::EntryKind::group;
    parts.name = rest.substr(0, rest.find(']'));
  } else {
    const std::size_t equals = line.find('=');
    parts.name = withoutTrailingBlanks(line.substr(0, equals));
    if (equals != std::string_view::npos)
      parts.value = withoutLeadingBlanks(line.substr(equals + 1));
  }
  return true;
}

// Cuts a file, given whole or a piece at a time, into its lines: CR, LF and
// CR LF all end a line, and the empty line between CR and LF is skipped like
// any empty line, even when a piece ends between them. Each line goes to
// `onLine`, which answers false once nothing further can matter.
class LineSplitter {
 public:
  // False once a line was answered false.
  template <class OnLine>
  bool take(std::string_view piece, OnLine&& onLine) {
    if (first_) {
      first_ = false;
      utf8_ = piece.size() > 2 && piece.starts_with(kByteOrderMark);
      if (utf8_) piece.remove_prefix(kByteOrderMark.size());
    }
    while (!stopped_) {
      const std::size_t end = piece.find_first_of(kLineEnd);
      if (end == std::string_view::npos) {
        pending_.append(piece);
        break;
      }
      if (pending_.empty()) {
        stopped_ = !onLine(piece.substr(0, end));
      } else {
        pending_.append(piece.substr(0, end));
        stopped_ = !onLine(std::string_view(pending_));
        pending_.clear();
      }
      piece.remove_prefix(end + 1);
    }
    return !stopped_;
  }
  // The last line, when the file does not end with a line end.
  template <class OnLine>
  void finish(OnLine&& onLine) {
    if (!stopped_ && !pending_.empty()) onLine(std::string_view(pending_));
    pending_.clear();
  }
  // Whether the file starts with the UTF-8 byte-order mark.
  bool utf8() const { return utf8_; }

 private:
  std::string pending_;  // the start of a line that runs on into the next piece
  bool first_ = true;
  bool utf8_ = false;
  bool stopped_ = false;
};

// A text of the file as the program's UTF-8.
std::string fileText(std::string_view raw, bool utf8) {
  return utf8 ? std::string(raw) : text::fromWindows1252(raw);
}

}  // namespace

bool IniFile::open(std::string_view path) {
  std::string bytes;
  // Strictest first: another program holding the file, or a read-only file,
  // still leaves it readable through one of the later ways.
  if (!platform::readWholeFile(path, bytes, platform::ReadMode::readWriteShareRead) &&
      !platform::readWholeFile(path, bytes, platform::ReadMode::readShareRead) &&
      !platform::readWholeFile(path, bytes, platform::ReadMode::readShareAll)) {
    return false;
  }
  parse(bytes);
  path_ = path;
  return true;
}

bool IniFile::readValues(std::string_view path, std::span<const std::string_view> keys,
                         std::vector<std::string>& values) {
  std::vector<std::string> wanted;
  for (const std::string_view key : keys) wanted.push_back(text::upperCaseText(key));

  // Strictest first, as open; a read that fails partway starts again.
  for (const platform::ReadMode mode :
       {platform::ReadMode::readWriteShareRead, platform::ReadMode::readShareRead,
        platform::ReadMode::readShareAll}) {
    std::vector<bool> found(keys.size(), false);
    std::size_t left = keys.size();
    std::vector<std::string> got(keys.size());
    LineSplitter lines;
    // False once nothing further can matter.
    const auto takeLine = [&](std::string_view line) {
      LineParts parts;
      if (!cutLine(line, parts) || parts.kind == EntryKind::comment) return true;
      if (parts.kind == EntryKind::group) return false;
      const std::string key = text::upperCaseText(fileText(parts.name, lines.utf8()));
      for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (found[i] || wanted[i] != key) continue;
        found[i] = true;
        --left;
        got[i] = fileText(withoutTrailingBlanks(parts.value), lines.utf8());
      }
      return left > 0;
    };
    if (!platform::readFilePieces(
            path, mode, [&](std::string_view piece) { return lines.take(piece, takeLine); })) {
      continue;
    }
    lines.finish(takeLine);
    values = std::move(got);
    return true;
  }
  return false;
}

bool IniFile::create(std::string_view path) {
  if (path.empty()) return false;
  path_ = path;
  entries_.clear();
  utf8_ = false;
  modified_ = true;
  return true;
}

void IniFile::parse(std::string_view bytes) {
  entries_.clear();
  modified_ = false;
  LineSplitter lines;
  const auto addEntry = [&](std::string_view line) {
    LineParts parts;
    if (cutLine(line, parts)) {
      entries_.push_back(
          {parts.kind, fileText(parts.name, lines.utf8()), fileText(parts.value, lines.utf8())});
    }
    return true;
  };
  lines.take(bytes, addEntry);
  lines.finish(addEntry);
  utf8_ = lines.utf8();
}

std::string IniFile::readString(std::string_view key, std::string_view defaultText) const {
  const std::string wanted = text::upperCaseText(key);
  for (const Entry& entry : entries_) {
    if (entry.kind == EntryKind::group) break;
    if (entry.kind == EntryKind::key && text::upperCaseText(entry.name) == wanted) {
      return std::string(withoutTrailingBlanks(entry.value));
    }
  }
  return std::string(defaultText);
}

void IniFile::writeString(std::string_view key, std::string_view value) {
  modified_ = true;
  const std::string wanted = text::upperCaseText(key);
  std::size_t at = 0;
  for (; at < entries_.size() && entries_[at].kind != EntryKind::group; ++at) {
    Entry& entry = entries_[at];
    if (entry.kind == EntryKind::key && text::upperCaseText(entry.name) == wanted) {
      entry.value = value;
      return;
    }
  }
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at),
                  Entry{EntryKind::key, std::string(key), std::string(value)});
}

std::string IniFile::text() const {
  std::string lines;
  for (const Entry& entry : entries_) {
    switch (entry.kind) {
      case EntryKind::group:
        lines += "[" + entry.name + "]";
        break;
      case EntryKind::comment:
        lines += "; " + entry.name;
        break;
      case EntryKind::key:
        lines += entry.name + " = " + entry.value;
        break;
    }
    lines += kLineEnd;
  }
  // A UTF-8 file stays UTF-8, marked as such; any other is written single-byte.
  if (utf8_) return std::string(kByteOrderMark) + lines;
  return text::toWindows1252(lines);
}

bool IniFile::close() {
  bool written = true;
  if (modified_ && !path_.empty()) written = platform::replaceFile(path_, text());
  path_.clear();
  entries_.clear();
  utf8_ = false;
  modified_ = false;
  return written;
}

}  // namespace settings
