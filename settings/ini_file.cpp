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
  std::vector<bool> found;
  std::size_t left = 0;
  std::vector<std::string> got;
  bool utf8 = false;
  bool first = true;
  bool done = false;
  std::string pending;  // the start of a line that runs on into the next piece
  const auto startAgain = [&] {
    found.assign(keys.size(), false);
    left = keys.size();
    got.assign(keys.size(), std::string());
    utf8 = false;
    first = true;
    done = left == 0;
    pending.clear();
  };

  // False once nothing further can matter.
  const auto takeLine = [&](std::string_view line) {
    line = withoutLeadingBlanks(line);
    if (line.empty() || line.front() == ';') return true;
    if (line.front() == '[') return false;
    const std::size_t equals = line.find('=');
    const std::string_view rawKey = withoutTrailingBlanks(line.substr(0, equals));
    const std::string key =
        text::upperCaseText(utf8 ? std::string(rawKey) : text::fromWindows1252(rawKey));
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      if (found[i] || wanted[i] != key) continue;
      found[i] = true;
      --left;
      if (equals != std::string_view::npos) {
        const std::string_view raw =
            withoutTrailingBlanks(withoutLeadingBlanks(line.substr(equals + 1)));
        got[i] = utf8 ? std::string(raw) : text::fromWindows1252(raw);
      }
    }
    return left > 0;
  };
  const auto takePiece = [&](std::string_view piece) {
    if (first) {
      first = false;
      utf8 = piece.size() > 2 && piece.starts_with(kByteOrderMark);
      if (utf8) piece.remove_prefix(kByteOrderMark.size());
    }
    // CR, LF and CR LF all end a line; the empty line between CR and LF is
    // skipped like any empty line, even when a piece ends between them.
    for (;;) {
      const std::size_t end = piece.find_first_of(kLineEnd);
      if (end == std::string_view::npos) {
        pending.append(piece);
        return true;
      }
      bool more;
      if (pending.empty()) {
        more = takeLine(piece.substr(0, end));
      } else {
        pending.append(piece.substr(0, end));
        more = takeLine(pending);
        pending.clear();
      }
      if (!more) {
        done = true;
        return false;
      }
      piece.remove_prefix(end + 1);
    }
  };

  // Strictest first, as open; a read that fails partway starts again.
  bool opened = false;
  for (const platform::ReadMode mode :
       {platform::ReadMode::readWriteShareRead, platform::ReadMode::readShareRead,
        platform::ReadMode::readShareAll}) {
    startAgain();
    if (done) break;
    opened = platform::readFilePieces(path, mode, takePiece);
    if (opened) break;
  }
  if (!opened) return false;
  if (!done && !pending.empty()) takeLine(pending);
  values = std::move(got);
  return true;
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
  utf8_ = bytes.size() > 2 && bytes.starts_with(kByteOrderMark);
  if (utf8_) bytes.remove_prefix(kByteOrderMark.size());
  const auto toText = [this](std::string_view raw) {
    return utf8_ ? std::string(raw) : text::fromWindows1252(raw);
  };

  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find_first_of(kLineEnd, start);
    if (end == std::string_view::npos) end = bytes.size();
    const bool crLf = end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n';
    const std::string_view line = withoutLeadingBlanks(bytes.substr(start, end - start));
    start = end + (crLf ? 2 : 1);
    if (line.empty()) continue;

    Entry entry;
    if (line.front() == ';') {
      std::string_view comment = line.substr(1);
      if (comment.starts_with(' ')) comment.remove_prefix(1);
      entry.kind = EntryKind::comment;
      entry.name = toText(comment);
    } else if (line.front() == '[') {
      const std::string_view rest = line.substr(1);
      entry.kind = EntryKind::group;
      entry.name = toText(rest.substr(0, rest.find(']')));
    } else {
      const std::size_t equals = line.find('=');
      entry.kind = EntryKind::key;
      entry.name = toText(withoutTrailingBlanks(line.substr(0, equals)));
      if (equals != std::string_view::npos) {
        entry.value = toText(withoutLeadingBlanks(line.substr(equals + 1)));
      }
    }
    entries_.push_back(std::move(entry));
  }
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
