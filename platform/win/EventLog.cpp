#include "EventLog.h"

#include <string_view>

#include "Handle.h"

namespace {

constexpr char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

std::string_view ResourceBytes(HINSTANCE module, UINT id) {
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  return bytes ? std::string_view(static_cast<const char*>(bytes), SizeofResource(module, found)) : std::string_view();
}

bool HoldsBytes(const CString& path, std::string_view bytes) {
  const UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || GetFileSize(file.get(), nullptr) != bytes.size()) return false;
  std::string held(bytes.size(), '\0');
  DWORD read = 0;
  return ReadFile(file.get(), held.data(), static_cast<DWORD>(held.size()), &read, nullptr) && held == bytes;
}

bool WriteBytes(const CString& path, std::string_view bytes) {
  const UniqueFile file(
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file.valid() && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
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

bool InstallEventSource(const CString& folder, HINSTANCE module, UINT messageFileResource) {
  const std::string_view messages = ResourceBytes(module, messageFileResource);
  const CString path = folder + "\\" + kEventMessageFile;
  // A message file in use by Event Viewer cannot be written: it is this one.
  if (messages.empty() || (!HoldsBytes(path, messages) && !WriteBytes(path, messages))) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, CString(kSourceKey) + kEventSource, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const UniqueKey owner(key);
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
