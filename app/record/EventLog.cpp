#include "EventLog.h"

#include <cstring>
#include <string>
#include <string_view>

#include "Handle.h"
#include "Trust.h"

namespace {

constexpr char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

std::string_view ResourceBytes(HINSTANCE module, UINT id) {
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  return bytes ? std::string_view(static_cast<const char*>(bytes), SizeofResource(module, found)) : std::string_view();
}

bool Holds(HANDLE file, std::string_view bytes) {
  if (GetFileSize(file, nullptr) != bytes.size()) return false;
  std::string held(bytes.size(), '\0');
  DWORD read = 0;
  return ReadFile(file, held.data(), static_cast<DWORD>(held.size()), &read, nullptr) && held == bytes;
}

bool Rewrite(HANDLE file, std::string_view bytes) {
  DWORD written = 0;
  return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
         WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && SetEndOfFile(file);
}

enum class Placed {
  yes,
  notNow,   // the file could not be opened this once: held by another program, say
  refused,  // not a plain file of a trusted account's
};

// The message file in `folder`, a plain file of a trusted account's, with
// `bytes`; one that Event Viewer holds open is an earlier one of the tool's,
// and stays.
Placed PlaceMessageFile(const CFolder& folder, std::string_view bytes) {
  constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE | READ_CONTROL;
  PlainFile file = OpenPlainFile(folder, kEventMessageFile, kAccess, FILE_SHARE_READ, OPEN_ALWAYS);
  if (file.refusal == FileRefusal::cannotOpen && file.error == ERROR_SHARING_VIOLATION)
    file = OpenPlainFile(folder, kEventMessageFile, GENERIC_READ | READ_CONTROL,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (file.refusal == FileRefusal::cannotOpen) return Placed::notNow;
  if (!file.file.valid() || (file.existed && TrustOf(file.file.get(), false) != Distrust::none)) return Placed::refused;
  if (!Holds(file.file.get(), bytes)) Rewrite(file.file.get(), bytes);
  return Placed::yes;
}

// The message file the source's registration names; empty when none.
CString RegisteredMessageFile(const CString& sourceKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sourceKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  const UniqueKey owner(key);
  char path[MAX_PATH + 1] = {};
  DWORD type = 0;
  DWORD size = MAX_PATH;
  if (RegQueryValueExA(key, "EventMessageFile", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) !=
          ERROR_SUCCESS ||
      (type != REG_EXPAND_SZ && type != REG_SZ))
    return {};
  return CString(path, static_cast<int>(strnlen(path, size)));
}

bool HoldsValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  std::string held(size, '\0');
  DWORD heldType = 0;
  DWORD heldSize = size;
  return RegQueryValueExA(key, name, nullptr, &heldType, reinterpret_cast<BYTE*>(held.data()), &heldSize) ==
             ERROR_SUCCESS &&
         heldType == type && heldSize == size && held == std::string_view(static_cast<const char*>(data), size);
}

bool SetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  return HoldsValue(key, name, type, data, size) ||
         RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

}  // namespace

bool InstallEventSource(const CFolder* folder, HINSTANCE module, UINT messageFileResource) {
  const CString sourceKey = CString(kSourceKey) + kEventSource;
  const std::string_view messages = ResourceBytes(module, messageFileResource);
  const Placed placed = folder == nullptr || messages.empty() ? Placed::refused : PlaceMessageFile(*folder, messages);
  if (placed != Placed::yes) {
    // Any user may read the copy and hold it so that it cannot be opened; a
    // registration of the tool's own file there stays all the same.
    if (placed == Placed::notNow &&
        RegisteredMessageFile(sourceKey).CompareNoCase(folder->Path() + "\\" + kEventMessageFile) == 0)
      return true;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, sourceKey);
    return false;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, sourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const UniqueKey owner(key);
  const CString path = folder->Path() + "\\" + kEventMessageFile;
  return SetValue(key, "EventMessageFile", REG_EXPAND_SZ, path.GetString(), static_cast<DWORD>(path.GetLength()) + 1) &&
         SetValue(key, "TypesSupported", REG_DWORD, &kTypesSupported, sizeof kTypesSupported);
}

bool ReportToEventLog(WORD type, DWORD eventId, const CString& text) {
  const HANDLE log = RegisterEventSourceA(nullptr, kEventSource);
  if (log == nullptr) return false;
  const char* strings[] = {text.GetString()};
  const bool reported = ReportEventA(log, type, 0, eventId, nullptr, 1, 0, strings, nullptr) != FALSE;
  DeregisterEventSource(log);
  return reported;
}
