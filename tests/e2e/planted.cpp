// A library that anyone could put beside the executable under the name of
// one of the system's own (wininet.dll, wtsapi32.dll): every process that
// loads it adds the path it was loaded from to planted.log beside it.
#include <windows.h>

#include <cstring>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH + 2];
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  char log[MAX_PATH + 16];
  std::memcpy(log, path, length + 1);
  char* name = std::strrchr(log, '\\');
  std::strcpy(name ? name + 1 : log, "planted.log");
  const HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  std::memcpy(path + length, "\r\n", 2);
  DWORD written = 0;
  WriteFile(file, path, length + 2, &written, nullptr);
  CloseHandle(file);
  return TRUE;
}
