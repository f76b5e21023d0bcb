// The plainest folder copy and walk a Windows program can make, as the
// yardstick for the Wine figures of bench/run.sh: FindFirstFileExW to list,
// CreateDirectoryW for each folder and CopyFileW for each file, nothing else
// (no temporary file, no check, no pause).
//
//   plain_copy copy SOURCE TARGET   prints the number of files copied
//   plain_copy walk FOLDER          prints the files and folders below FOLDER
//                                   and the files' total size
//
// The exit code is 1 when anything failed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Counts {
  long files = 0;
  long folders = 0;
  long long bytes = 0;
  long failures = 0;
};

// One folder: created, then its files copied while it is listed; its
// sub-folders are pushed on `pending` for later.
// Without a target, the folder is only listed.
void copyFolder(const std::wstring& source, const std::wstring& target, Counts& counts,
                std::vector<std::wstring>& pending) {
  if (!target.empty() && !CreateDirectoryW(target.c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    ++counts.failures;
    return;
  }
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileExW((source + L"\\*").c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    ++counts.failures;
    return;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      pending.push_back(name);
      ++counts.folders;
    } else if (target.empty()) {
      ++counts.files;
      counts.bytes += (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } else if (CopyFileW((source + L"\\" + name).c_str(), (target + L"\\" + name).c_str(), FALSE)) {
      ++counts.files;
    } else {
      ++counts.failures;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

// Depth first without recursion (the deep tree is 2,000 levels), one listing
// open at a time, as the engine walks. `pending` holds relative paths. An
// empty target only walks.
void copyTree(const std::wstring& source, const std::wstring& target, Counts& counts) {
  std::vector<std::wstring> pending{L""};
  std::vector<std::wstring> found;
  while (!pending.empty()) {
    const std::wstring relative = std::move(pending.back());
    pending.pop_back();
    found.clear();
    copyFolder(source + relative, target.empty() ? target : target + relative, counts, found);
    for (auto name = found.rbegin(); name != found.rend(); ++name) {
      pending.push_back(relative + L"\\" + *name);
    }
  }
}

// The long form, so that deep trees copy too.
std::wstring longForm(const wchar_t* path) {
  std::wstring full(32768, L'\0');
  const DWORD length =
      GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(length);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full.starts_with(L"\\\\") ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring command = argv != nullptr && argc > 1 ? argv[1] : L"";
  if (!((command == L"copy" && argc == 4) || (command == L"walk" && argc == 3))) {
    std::fprintf(stderr, "usage: plain_copy copy SOURCE TARGET | walk FOLDER\n");
    return 2;
  }
  Counts counts;
  copyTree(longForm(argv[2]), command == L"copy" ? longForm(argv[3]) : std::wstring(), counts);
  LocalFree(argv);
  if (command == L"copy") {
    std::printf("%ld\n", counts.files);
  } else {
    std::printf("%ld %lld\n", counts.files + counts.folders, counts.bytes);
  }
  return counts.failures == 0 ? 0 : 1;
}
