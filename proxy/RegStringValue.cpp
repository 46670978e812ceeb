#include "RegStringValue.h"

#include <algorithm>
#include <string>
#include <vector>

#include "Handle.h"

namespace {

// Stands in for the empty string, which is never stored as such.
const char kNullString[] = "--NULLSTRING--";

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;

// Where a walk down the path ended.
enum class Walk { NoSeparator, KeyFailed, AtValue };

// The keys a walk opened, closed in reverse order of opening: the key opened
// last first, the first component last.
class OpenKeys {
 public:
  OpenKeys() = default;
  OpenKeys(const OpenKeys&) = delete;
  OpenKeys& operator=(const OpenKeys&) = delete;
  // A vector destroys its elements in no promised order, so pop them.
  ~OpenKeys() {
    while (!m_keys.empty()) m_keys.pop_back();
  }

  void Push(HKEY key) { m_keys.emplace_back(key); }
  HKEY Last() const { return m_keys.back().get(); }

 private:
  std::vector<UniqueKey> m_keys;
};

// Opens the first component of `path` and opens or creates every further key,
// any number of them; `path` is left holding the value name. A component the
// registry refuses (a name too long, say) ends the walk like a missing key.
Walk OpenPath(HKEY root, CString& path, OpenKeys& keys) {
  int separator = path.Find('\\');
  if (separator <= 0) return Walk::NoSeparator;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.Left(separator), 0, kAccess, &key) != ERROR_SUCCESS) return Walk::KeyFailed;
  keys.Push(key);
  path = path.Mid(separator + 1);
  while ((separator = path.Find('\\')) >= 0) {
    DWORD disposition = 0;
    if (RegCreateKeyExA(keys.Last(), path.Left(separator), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
      return Walk::KeyFailed;
    keys.Push(key);
    path = path.Mid(separator + 1);
  }
  return Walk::AtValue;
}

// The whole value as text up to its first NUL, never beyond the returned
// size; the type is not looked at. A missing value is read as empty; a value
// that cannot be read gives empty text and false.
bool QueryText(HKEY key, const CString& name, CString& text) {
  text = CString();
  std::string buffer(256, '\0');  // a starting size: the query says when it needs more
  for (;;) {
    auto size = static_cast<DWORD>(buffer.size());
    const LSTATUS status =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer.data()), &size);
    if (status == ERROR_SUCCESS) {
      buffer.resize(std::min<size_t>(size, buffer.size()));
      text = CString(buffer.substr(0, buffer.find('\0')));
      return true;
    }
    if (status != ERROR_MORE_DATA) return status == ERROR_FILE_NOT_FOUND;
    // The value may have grown since the size was taken: ask again.
    buffer.resize(std::max<size_t>(size, buffer.size() * 2));
  }
}

}  // namespace

BOOL CRegStringValue::ReadValue(HKEY hRootKey, CString strPath, CString& strValue) {
  bool read = false;
  {
    OpenKeys keys;
    switch (OpenPath(hRootKey, strPath, keys)) {
      case Walk::NoSeparator: strValue = CString(); break;
      case Walk::KeyFailed: break;
      case Walk::AtValue: read = QueryText(keys.Last(), strPath, strValue); break;
    }
  }
  if (strValue == kNullString) strValue = CString();
  return read ? TRUE : FALSE;
}

void CRegStringValue::WriteValue(HKEY hRootKey, CString strPath, CString strValue) {
  if (strValue.IsEmpty()) strValue = kNullString;
  OpenKeys keys;
  if (OpenPath(hRootKey, strPath, keys) != Walk::AtValue) return;
  RegSetValueExA(keys.Last(), strPath, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.GetString()),
                 static_cast<DWORD>(strValue.GetLength() + 1));
}
