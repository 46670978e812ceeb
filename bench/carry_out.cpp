// Set or Remove settings as the buttons carry them out, as a process of its
// own: the hosts file under FOLDER/system32/drivers/etc, the proxy list in
// the stand-in's in-memory registry.
#include <fakewin.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Action.h"
#include "FileException.h"
#include "RegistryException.h"

int main(int argc, char** argv) {
  const bool set = argc == 3 && std::strcmp(argv[1], "set") == 0;
  if (argc != 3 || (!set && std::strcmp(argv[1], "remove") != 0)) {
    std::fprintf(stderr, "usage: carry_out set|remove FOLDER\n");
    return 2;
  }
  const std::string folder = argv[2];
  fakewin::SetSystem(0x23F00206, (folder + "\\system32").c_str(), folder.c_str());
  HKEY key = nullptr;
  const char value[] = "<local>";
  RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, nullptr,
                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, "ProxyOverride", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  RegCloseKey(key);
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
