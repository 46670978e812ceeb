// Set or Remove settings as the buttons carry them out, as a process of its
// own: the hosts file under FOLDER/system32/drivers/etc, the proxy list in
// the fake's in-memory registry.
#include <fakewin.h>

#include <cstdio>
#include <cstring>

#include "Action.h"
#include "FileException.h"
#include "RegistryException.h"
#include "RegistryValues.h"

int main(int argc, char** argv) {
  const bool set = argc == 3 && std::strcmp(argv[1], "set") == 0;
  if (argc != 3 || (!set && std::strcmp(argv[1], "remove") != 0)) {
    std::fprintf(stderr, "usage: carry_out set|remove FOLDER\n");
    return 2;
  }
  fakewin::UseWindowsFolder(argv[2]);
  RegistryValues::SetValue(RegistryValues::kProxyKey, RegistryValues::kProxyName, RegistryValues::Sz("<local>"));
  try {
    CarryOut(set ? Action::set : Action::remove);
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
