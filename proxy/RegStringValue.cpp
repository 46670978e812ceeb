#include "RegStringValue.h"

#include <algorithm>
#include <string>
#include <vector>

#include "Handle.h"

namespace {

// Stands in for the empty string, which is never stored as such.
const char kNullString[] = "--NULLSTRING--";

// What a write opens every key with; a read asks for KEY_READ alone, so that
// a key the process may only read still reads.
constexpr REGSAM kWriteAccess = KEY_READ | KEY_WRITE;

using WideText = std::basic_string<WCHAR>;

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
// any number of them, each with `access`; `path` is left holding the value
// name. Returns the registry's answer to the first call that failed.
LSTATUS OpenPath(HKEY root, CString& path, REGSAM access, OpenKeys& keys) {
  int separator = path.Find('\\');
  if (separator <= 0) return ERROR_BAD_PATHNAME;
  HKEY key = nullptr;
  if (const LSTATUS status = OpenKeyPastDenial(root, path.Left(separator), access, false, key); status != ERROR_SUCCESS)
    return status;
  keys.Push(key);
  path = path.Mid(separator + 1);
  while ((separator = path.Find('\\')) >= 0) {
    if (const LSTATUS status = OpenKeyPastDenial(keys.Last(), path.Left(separator), access, true, key);
        status != ERROR_SUCCESS)
      return status;
    keys.Push(key);
    path = path.Mid(separator + 1);
  }
  return ERROR_SUCCESS;
}

// The stored text up to its first NUL, never beyond its size.
WideText StoredText(const RegStoredValue& stored) {
  WideText wide(stored.bytes.size() / sizeof(WCHAR), 0);
  std::copy_n(stored.bytes.data(), wide.size() * sizeof(WCHAR), reinterpret_cast<char*>(wide.data()));
  return wide.substr(0, wide.find(WCHAR{0}));
}

// The text a write stores for `text`.
CString AsWritten(const CString& text) { return text.IsEmpty() ? CString(kNullString) : text; }

// `now` is what Write stored for `written`.
bool Holds(const RegStoredValue& now, const CString& written) {
  return now.exists && now.type == REG_SZ && StoredText(now) == Widened(AsWritten(written));
}

}  // namespace

CString CRegStringValue::GetName() const { return RegValueName(m_hRootKey, m_strPath, m_strShownAs); }

void CRegStringValue::Raise(CRegistryException::Cause cause, LONG osError) const {
  throw CRegistryException(cause, osError, GetName());
}

void CRegStringValue::ReadValue(HKEY hRootKey, CString strPath, CString& strValue, RegStoredValue* stored) const {
  RegStoredValue held;
  {
    OpenKeys keys;
    if (const LSTATUS status = OpenPath(hRootKey, strPath, KEY_READ | m_view, keys); status != ERROR_SUCCESS)
      Raise(CRegistryException::readFailed, status);
    if (const LSTATUS status = QueryStoredValue(keys.Last(), strPath, held); status != ERROR_SUCCESS)
      Raise(CRegistryException::readFailed, status);
  }
  if (held.exists && held.type != REG_SZ && held.type != REG_EXPAND_SZ)
    Raise(CRegistryException::notText, ERROR_INVALID_DATA);
  CString text;
  if (!Narrowed(StoredText(held), text)) Raise(CRegistryException::notInCodePage, ERROR_NO_UNICODE_TRANSLATION);
  strValue = text == kNullString ? CString() : text;
  if (stored) *stored = std::move(held);
}

void CRegStringValue::RequireChangeable() const {
  CString name = m_strPath;
  OpenKeys keys;
  if (OpenPath(m_hRootKey, name, kWriteAccess | m_view, keys) == ERROR_ACCESS_DENIED)
    Raise(CRegistryException::changeDenied, ERROR_ACCESS_DENIED);
}

void CRegStringValue::WriteValue(HKEY hRootKey, CString strPath, CString strValue) const {
  strValue = AsWritten(strValue);
  OpenKeys keys;
  LSTATUS status = OpenPath(hRootKey, strPath, kWriteAccess | m_view, keys);
  if (status == ERROR_SUCCESS)
    status = RegSetValueExA(keys.Last(), strPath, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.GetString()),
                            static_cast<DWORD>(strValue.GetLength()) + 1);
  if (status != ERROR_SUCCESS) Raise(CRegistryException::writeFailed, status);
}

RegStoredValue CRegStringValue::StoredForm(const CString& strValue) {
  const std::basic_string<WCHAR> text = Widened(AsWritten(strValue));
  return {true, REG_SZ, std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(WCHAR))};
}

bool CRegStringValue::Restore(const CString& written, const RegStoredValue& stored) const {
  CString name = m_strPath;
  OpenKeys keys;
  RegStoredValue now;
  LSTATUS status = OpenPath(m_hRootKey, name, kWriteAccess | m_view, keys);
  if (status == ERROR_SUCCESS) status = QueryStoredValue(keys.Last(), name, now);
  if (status == ERROR_SUCCESS && !Holds(now, written)) return false;
  if (status == ERROR_SUCCESS) status = PutStoredValue(keys.Last(), name, stored);
  if (status != ERROR_SUCCESS) Raise(CRegistryException::writeFailed, status);
  return true;
}
