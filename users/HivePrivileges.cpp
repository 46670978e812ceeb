#include "HivePrivileges.h"

#include <windows.h>

namespace {

constexpr const char* kNames[] = {SE_BACKUP_NAME, SE_RESTORE_NAME};
constexpr DWORD kCount = sizeof kNames / sizeof kNames[0];
// TOKEN_PRIVILEGES holds one entry; the others follow it.
constexpr size_t kSize = sizeof(TOKEN_PRIVILEGES) + (kCount - 1) * sizeof(LUID_AND_ATTRIBUTES);

PTOKEN_PRIVILEGES Privileges(std::vector<unsigned char>& buffer) {
  return reinterpret_cast<PTOKEN_PRIVILEGES>(buffer.data());
}

}  // namespace

HivePrivileges::HivePrivileges() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  m_token.reset(token);
  std::vector<unsigned char> wanted(kSize);
  PTOKEN_PRIVILEGES enable = Privileges(wanted);
  enable->PrivilegeCount = kCount;
  for (DWORD i = 0; i < kCount; ++i) {
    if (!LookupPrivilegeValueA(nullptr, kNames[i], &enable->Privileges[i].Luid)) return;
    enable->Privileges[i].Attributes = SE_PRIVILEGE_ENABLED;
  }
  std::vector<unsigned char> previous(kSize);
  DWORD size = 0;
  if (AdjustTokenPrivileges(token, FALSE, enable, static_cast<DWORD>(previous.size()), Privileges(previous), &size))
    m_previous = std::move(previous);
}

HivePrivileges::~HivePrivileges() {
  if (!m_previous.empty()) AdjustTokenPrivileges(m_token.get(), FALSE, Privileges(m_previous), 0, nullptr, nullptr);
}
