// Registry calls of ADVAPI32 in the fake, over an in-memory registry: key
// and value names compare without regard to letter case,
// values keep their type and raw bytes, text values are held in UTF-16 and
// converted at the narrow calls, and the return codes are those of Windows.
// Included by the fake windows.h.
#pragma once

#include <cstdint>

struct HKEY__;  // NOLINT(bugprone-reserved-identifier): the SDK's name
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef LONG LSTATUS;
typedef BYTE* LPBYTE;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<LONG>(0x80000001))))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<LONG>(0x80000002))))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<LONG>(0x80000003))))

#define ERROR_BAD_PATHNAME 161L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_BADDB 1009L
#define ERROR_KEY_DELETED 1018L
#define ERROR_PRIVILEGE_NOT_HELD 1314L

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu
// The registry's two views on 64-bit Windows; HKEY_LOCAL_MACHINE\Software
// of 32-bit programs is its key WOW6432Node.
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

#define REG_OPTION_NON_VOLATILE 0u
#define REG_OPTION_BACKUP_RESTORE 4u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                        LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName);
// A key without subkeys.
LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey);
LSTATUS RegCloseKey(HKEY key);
// Subkeys by index, in the order of their names without regard to case.
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                      LPDWORD classSize, PFILETIME lastWrite);
// A hive file (the fake's own format) loaded as a new key under
// HKEY_USERS or HKEY_LOCAL_MACHINE, as the system does: only with the backup
// and restore privileges enabled; the file made where it is missing and
// held without sharing until the key is unloaded; unloading refused while
// a handle into it is open, and writes the keys back to the file.
LSTATUS RegLoadKeyA(HKEY key, LPCSTR subKey, LPCSTR file);
LSTATUS RegUnLoadKeyA(HKEY key, LPCSTR subKey);
// Used by the tests alone, to clear their scratch keys.
LSTATUS RegDeleteTreeA(HKEY key, LPCSTR subKey);
