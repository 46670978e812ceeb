// Set or Remove settings as the buttons carry them out, or the check of the
// hosts file as /check /machine does it, as a process of its own: the hosts
// file under FOLDER/system32/drivers/etc, the proxy list in the fake's
// in-memory registry. The check exits with 3 when the file lacks a managed
// host name.
#include <fakewin.h>

#include <cstdio>
#include <cstring>

#include "Action.h"
#include "FileException.h"
#include "RegistryException.h"
#include "RegistryValues.h"

int main(int argc, char** argv) {
  const auto is = [&](const char* mode) { return argc == 3 && std::strcmp(argv[1], mode) == 0; };
  if (!is("set") && !is("remove") && !is("check")) {
    std::fprintf(stderr, "usage: carry_out set|remove|check FOLDER\n");
    return 2;
  }
  fakewin::UseWindowsFolder(argv[2]);
  RegistryValues::SetValue(RegistryValues::kProxyKey, RegistryValues::kProxyName, RegistryValues::Sz("<local>"));
  try {
    if (is("check")) return Check(Scope::machine).front().missing.empty() ? 0 : 3;
    CarryOut(is("set") ? Action::set : Action::remove);
  } catch (const CFileException& error) {
    std::fprintf(stderr, "file error %d (%ld) on %s\n", error.m_cause, static_cast<long>(error.m_lOsError),
                 error.m_strFileName.GetString());
    return 1;
  } catch (const CRegistryException& error) {
    std::fprintf(stderr, "registry error %d\n", error.m_cause);
    return 1;
  }
  return 0;
}
