// Security descriptors in the fake: made from their text form (an owner and
// a list of allow and deny entries), kept for each file and folder, and read
// back laid out as the system lays them out, an ACL header followed by
// entries, each SID held as its text (the fake's PSID). Included by the
// fake windows.h.
#pragma once

#include <optional>
#include <string>

typedef void* PSECURITY_DESCRIPTOR;
typedef DWORD SECURITY_INFORMATION;
typedef DWORD ACCESS_MASK;

typedef struct _ACL {  // NOLINT(bugprone-reserved-identifier): the SDK's name
  BYTE AclRevision;
  BYTE Sbz1;
  WORD AclSize;
  WORD AceCount;
  WORD Sbz2;
} ACL, *PACL;
typedef struct _ACE_HEADER {  // NOLINT(bugprone-reserved-identifier)
  BYTE AceType;
  BYTE AceFlags;
  WORD AceSize;
} ACE_HEADER;
typedef struct _ACCESS_ALLOWED_ACE {  // NOLINT(bugprone-reserved-identifier)
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
} ACCESS_ALLOWED_ACE;

#define ACCESS_ALLOWED_ACE_TYPE 0
#define ACCESS_DENIED_ACE_TYPE 1
#define INHERIT_ONLY_ACE 0x8

#define OWNER_SECURITY_INFORMATION 0x1u
#define DACL_SECURITY_INFORMATION 0x4u
#define SDDL_REVISION_1 1u

#define DELETE 0x00010000u
#define READ_CONTROL 0x00020000u
#define WRITE_DAC 0x00040000u
#define WRITE_OWNER 0x00080000u
#define SYNCHRONIZE 0x00100000u
#define GENERIC_ALL 0x10000000u
#define FILE_WRITE_DATA 0x0002u
#define FILE_DELETE_CHILD 0x0040u
#define FILE_READ_ATTRIBUTES 0x0080u
#define FILE_ALL_ACCESS 0x1F01FFu

typedef enum _SE_OBJECT_TYPE { SE_FILE_OBJECT = 1 } SE_OBJECT_TYPE;  // NOLINT(bugprone-reserved-identifier)

// "O:" an owner, "D:" flags and entries "(A|D;flags;rights;;;sid)"; the
// rights as FA, FR, FW, GA, WD or a hex mask; the SIDs as SY, BA, BU, WD, CO
// or in full; "D:NO_ACCESS_CONTROL" is no list at all, which lets everyone
// do anything. Freed with LocalFree.
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
                                                          ULONG* size);
BOOL ConvertStringSidToSidA(LPCSTR text, PSID* sid);
// The security of the file or folder a handle opened with READ_CONTROL
// stands for: its own, or SYSTEM and the administrators owning and changing
// it and users reading it.
DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION wanted, PSID* owner, PSID* group,
                      PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor);
BOOL GetAce(PACL acl, DWORD index, LPVOID* ace);

namespace fakewin {

// The file or folder at `path` (named as the tool names it) has the
// security `sddl` from now on, as if another account had set it.
void SetFileSecurity(const char* path, const char* sddl);

namespace file {
// The path of the file or folder that `handle` opened with `access`.
std::optional<std::string> PathOf(HANDLE handle, DWORD access);
}  // namespace file

namespace security {
// A file or folder made with security attributes keeps their descriptor;
// one renamed takes its own along; one deleted loses it.
void Assign(const std::string& path, LPSECURITY_ATTRIBUTES attributes);
void Move(const std::string& from, const std::string& to);
void Forget(const std::string& path);
}  // namespace security

}  // namespace fakewin
