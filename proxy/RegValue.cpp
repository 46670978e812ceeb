#include "RegValue.h"

#include <algorithm>

#include "Handle.h"

namespace {

const char* RootName(HKEY root) {
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (root == HKEY_USERS) return "HKEY_USERS";
  return "";
}

}  // namespace

std::basic_string<WCHAR> Widened(const CString& text) {
  if (text.IsEmpty()) return {};
  std::basic_string<WCHAR> wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text, text.GetLength(), nullptr, 0)),
                                0);
  MultiByteToWideChar(CP_ACP, 0, text, text.GetLength(), wide.data(), static_cast<int>(wide.size()));
  return wide;
}

// The text in the ANSI code page; false when a character has no place in it.
bool Narrowed(const std::basic_string<WCHAR>& wide, CString& text) {
  std::string bytes;
  if (!wide.empty()) {
    const int length = static_cast<int>(wide.size());
    bytes.resize(
        static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr)));
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr);
  }
  text = CString(std::move(bytes));
  // Letters without a code of their own come out as "?" or as a look-alike:
  // only a text that converts back unchanged is the value's.
  return Widened(text) == wide;
}

CString RegValueName(HKEY root, const CString& path, const CString& shownAs) {
  if (shownAs.IsEmpty()) return CString(RootName(root)) + "\\" + path;
  return shownAs + path.Mid(std::max(path.Find('\\'), 0));
}

LSTATUS OpenKeyPastDenial(HKEY root, const CString& path, REGSAM access, bool create, HKEY& key) {
  key = nullptr;
  const LSTATUS status =
      create ? RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr)
             : RegOpenKeyExA(root, path, 0, access, &key);
  if (status != ERROR_ACCESS_DENIED) return status;
  HKEY past = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_BACKUP_RESTORE, access, nullptr, &past, &disposition) !=
      ERROR_SUCCESS)
    return status;
  // Denied on the way to a key that is not there: one only to be opened
  // goes again.
  if (!create && disposition == REG_CREATED_NEW_KEY) {
    RegCloseKey(past);
    RegDeleteKeyA(root, path);
    return ERROR_FILE_NOT_FOUND;
  }
  key = past;
  return ERROR_SUCCESS;
}

LSTATUS QueryStoredValue(HKEY key, const CString& name, RegStoredValue& stored) {
  const std::basic_string<WCHAR> wideName = Widened(name);
  stored = RegStoredValue{};
  std::string buffer(512, '\0');  // a starting size: the query says when it needs more
  for (;;) {
    auto size = static_cast<DWORD>(buffer.size());
    const LSTATUS status =
        RegQueryValueExW(key, wideName.c_str(), nullptr, &stored.type, reinterpret_cast<LPBYTE>(buffer.data()), &size);
    if (status == ERROR_SUCCESS) {
      buffer.resize(std::min<size_t>(size, buffer.size()));
      stored.exists = true;
      stored.bytes = std::move(buffer);
      return ERROR_SUCCESS;
    }
    if (status == ERROR_FILE_NOT_FOUND) {
      stored.type = REG_NONE;
      return ERROR_SUCCESS;
    }
    if (status != ERROR_MORE_DATA) return status;
    // The value may have grown since the size was taken: ask again.
    buffer.resize(std::max<size_t>(size, buffer.size() * 2));
  }
}

LSTATUS PutStoredValue(HKEY key, const CString& name, const RegStoredValue& stored) {
  if (!stored.exists) {
    const LSTATUS status = RegDeleteValueA(key, name);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
  }
  return RegSetValueExW(key, Widened(name).c_str(), 0, stored.type, reinterpret_cast<const BYTE*>(stored.bytes.data()),
                        static_cast<DWORD>(stored.bytes.size()));
}

void CRegValue::Raise(CRegistryException::Cause cause, LONG osError) const {
  throw CRegistryException(cause, osError, GetName());
}

RegStoredValue CRegValue::Read() const {
  HKEY key = nullptr;
  LSTATUS status = OpenKeyPastDenial(m_root, m_keyPath, KEY_QUERY_VALUE | m_view, false, key);
  if (status == ERROR_FILE_NOT_FOUND) return {};
  if (status != ERROR_SUCCESS) Raise(CRegistryException::readFailed, status);
  const UniqueKey owner(key);
  RegStoredValue stored;
  if ((status = QueryStoredValue(key, m_name, stored)) != ERROR_SUCCESS) Raise(CRegistryException::readFailed, status);
  return stored;
}

void CRegValue::RequireChangeable() const {
  HKEY key = nullptr;
  const LSTATUS status = OpenKeyPastDenial(m_root, m_keyPath, KEY_QUERY_VALUE | KEY_SET_VALUE | m_view, false, key);
  const UniqueKey owner(key);
  if (status == ERROR_ACCESS_DENIED) Raise(CRegistryException::changeDenied, status);
}

void CRegValue::Write(const RegStoredValue& value) const {
  HKEY key = nullptr;
  LSTATUS status = OpenKeyPastDenial(m_root, m_keyPath, KEY_QUERY_VALUE | KEY_SET_VALUE | m_view, false, key);
  const UniqueKey owner(key);
  if (status == ERROR_SUCCESS) status = PutStoredValue(key, m_name, value);
  if (status != ERROR_SUCCESS) Raise(CRegistryException::writeFailed, status);
}

bool CRegValue::Restore(const RegStoredValue& written, const RegStoredValue& before) const {
  HKEY key = nullptr;
  LSTATUS status = OpenKeyPastDenial(m_root, m_keyPath, KEY_QUERY_VALUE | KEY_SET_VALUE | m_view, false, key);
  const UniqueKey owner(key);
  RegStoredValue now;
  if (status == ERROR_SUCCESS) status = QueryStoredValue(key, m_name, now);
  if (status == ERROR_SUCCESS && now != written) return false;
  if (status == ERROR_SUCCESS) status = PutStoredValue(key, m_name, before);
  if (status != ERROR_SUCCESS) Raise(CRegistryException::writeFailed, status);
  return true;
}
