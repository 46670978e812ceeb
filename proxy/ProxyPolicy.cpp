#include "ProxyPolicy.h"

#include <windows.h>

#include "Handle.h"
#include "ProxyExceptionList.h"

namespace {

constexpr char kPerUser[] = "ProxySettingsPerUser";

[[noreturn]] void Raise(LSTATUS status) {
  throw CRegistryException(CRegistryException::readFailed, status,
                           CString("HKEY_LOCAL_MACHINE\\") + PROXY_POLICY_PATH + "\\" + kPerUser);
}

}  // namespace

bool ProxySettingsPerMachine() {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, PROXY_POLICY_PATH, 0, KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return false;
  if (status != ERROR_SUCCESS) Raise(status);
  const UniqueKey owner(key);
  DWORD type = REG_NONE;
  DWORD value = 1;
  DWORD size = sizeof value;
  status = RegQueryValueExA(key, kPerUser, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
  if (status == ERROR_FILE_NOT_FOUND) return false;
  // Longer than a DWORD: no value the policy writes.
  if (status == ERROR_MORE_DATA) return false;
  if (status != ERROR_SUCCESS) Raise(status);
  return type == REG_DWORD && size == sizeof value && value == 0;
}

CRegStringValue MachineProxyOverride() { return CRegStringValue(HKEY_LOCAL_MACHINE, PROXY_OVERRIDE_PATH); }
