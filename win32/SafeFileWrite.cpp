#include "win32/SafeFileWrite.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <initializer_list>

namespace varnetik::win32 {

namespace {

bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::towupper(text[i]) != std::towupper(prefix[i])) return false;
  }
  return true;
}

bool EqualsFolded(std::wstring_view text, std::wstring_view other) {
  return text.size() == other.size() && StartsWithFolded(text, other);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The names Windows keeps for devices in every folder. The name counts up to its first dot or colon
// and without trailing blanks, so that "nul.csv" and "COM1 " are the devices too.
bool IsReservedName(std::wstring_view component) {
  const size_t end = component.find_first_of(L".:");
  std::wstring_view stem = component.substr(0, end);
  while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
  for (const wchar_t* name : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"}) {
    if (EqualsFolded(stem, name)) return true;
  }
  if (stem.size() == 4 && (StartsWithFolded(stem, L"COM") || StartsWithFolded(stem, L"LPT"))) {
    const wchar_t digit = stem[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
  }
  return false;
}

// The folder part of a path with its trailing separator, "C:" for a path relative to a drive's current
// folder, empty for a bare name.
std::wstring FolderOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring::npos) return path.substr(0, separator + 1);
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return {};
}

// The path of the file an open handle stands for, after every link; empty when it cannot be told.
std::wstring FinalPathOf(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

// Writes into the existing file itself; it is never created here.
WriteOutcome WriteInPlace(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WriteOutcome::CannotCreate;
  const bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
  const bool closed = CloseHandle(file) != 0;
  return written && closed ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

// A new file beside the target that nobody else has; INVALID_HANDLE_VALUE when the folder takes none.
HANDLE CreateSibling(const std::wstring& folder, std::wstring& name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + L"~varnetik-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
           L".tmp";
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

struct Existing {
  enum Kind { None, File, Refused } kind = None;
  std::wstring finalPath;  // for a file: where it really is, links followed
};

Existing Inspect(const std::wstring& path) {
  // Read-attributes access opens a file, a folder (with backup semantics) and a link's file, and asks
  // nothing of a device beyond what its name has already told.
  const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {GetLastError() == ERROR_FILE_NOT_FOUND ? Existing::None : Existing::Refused, {}};
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool plainFile = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
                         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
  Existing existing{plainFile ? Existing::File : Existing::Refused, plainFile ? FinalPathOf(handle) : L""};
  CloseHandle(handle);
  if (existing.kind == Existing::File && existing.finalPath.empty()) existing.finalPath = path;
  return existing;
}

}  // namespace

bool NamesDevice(std::wstring_view path) {
  if (StartsWithFolded(path, L"\\\\.\\") || StartsWithFolded(path, L"//./")) return true;
  if (StartsWithFolded(path, L"\\\\?\\") || StartsWithFolded(path, L"\\??\\")) {
    const std::wstring_view rest = path.substr(4);
    const bool drive = rest.size() >= 3 && std::iswalpha(rest[0]) && rest[1] == L':' && IsSeparator(rest[2]);
    if (!drive && !StartsWithFolded(rest, L"UNC\\") && !StartsWithFolded(rest, L"Volume{")) return true;
  }
  const size_t separator = path.find_last_of(L"\\/");
  std::wstring_view name = separator == std::wstring_view::npos ? path : path.substr(separator + 1);
  if (separator == std::wstring_view::npos && name.size() >= 2 && name[1] == L':') name.remove_prefix(2);
  return IsReservedName(name);
}

WriteOutcome WriteFileReplacing(const std::wstring& path, const std::string& bytes) {
  if (path.empty() || path.find(L'\0') != std::wstring::npos || NamesDevice(path)) return WriteOutcome::CannotCreate;
  const Existing existing = Inspect(path);
  if (existing.kind == Existing::Refused) return WriteOutcome::CannotCreate;
  const bool exists = existing.kind == Existing::File;
  const std::wstring target = exists ? existing.finalPath : path;

  std::wstring sibling;
  const HANDLE file = CreateSibling(FolderOf(target), sibling);
  if (file == INVALID_HANDLE_VALUE) return exists ? WriteInPlace(target, bytes) : WriteOutcome::CannotCreate;
  const bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
  if (!CloseHandle(file) || !written) {
    DeleteFileW(sibling.c_str());
    return WriteOutcome::WriteFailed;
  }
  // ReplaceFileW gives the new content the old file's attributes, security and creation time; where the
  // file system cannot do that, a plain move over it still replaces it in one step.
  if (exists && ReplaceFileW(target.c_str(), sibling.c_str(), nullptr,
                             REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)) {
    return WriteOutcome::Written;
  }
  if (MoveFileExW(sibling.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return WriteOutcome::Written;
  }
  DeleteFileW(sibling.c_str());
  // The folder refuses to let the file be replaced, though the file itself may be writable.
  return exists ? WriteInPlace(target, bytes) : WriteOutcome::WriteFailed;
}

}  // namespace varnetik::win32
