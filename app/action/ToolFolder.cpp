#include "ToolFolder.h"

#include <windows.h>
// After windows.h, which they build on.
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>

#include "HostsFile.h"

#include "Handle.h"

namespace {

// A folder name without any letter a code page could change.
constexpr char kFolderName[] = "\\Orvane";
// SYSTEM and the administrators may do anything, users read: a process with
// every right writes here, so nobody else may place a file or a link in it.
constexpr char kFolderAccess[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)";

void Make(const CString& path) {
  UniqueLocal<PSECURITY_DESCRIPTOR> access;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kFolderAccess, SDDL_REVISION_1, access.put(), nullptr))
    return;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, access.get(), FALSE};
  CreateDirectoryA(path, &attributes);
}

}  // namespace

ToolFolder::ToolFolder(bool make) {
  const CString common = CommonAppDataFolder();
  if (common.IsEmpty()) {
    m_why = "missing";
    return;
  }
  m_path = common + kFolderName;
  if (make) Make(m_path);
  m_folder = CFolder(m_path);
  if (!m_folder.IsOpen())
    m_why = "missing";
  else if (m_folder.IsLink())
    m_why = FileRefusalName(FileRefusal::link);
  else if (const Distrust distrust = TrustOf(m_folder.Handle(), true); distrust != Distrust::none)
    m_why = DistrustName(distrust);
  if (m_why != nullptr) m_folder = CFolder();
}

CString CommonAppDataFolder() {
  char folder[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder) != S_OK) return {};
  return folder;
}

CFolder HostsFolder() {
  const CString hosts = CHostsFile().GetPath();
  CFolder folder(hosts.Left(std::max(hosts.ReverseFindOneOf("\\/"), 0)));
  if (folder.IsOpen() && (folder.IsLink() || TrustOf(folder.Handle(), true) != Distrust::none)) return CFolder();
  return folder;
}
