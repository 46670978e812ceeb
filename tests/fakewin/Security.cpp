// Security descriptors of files and folders in the fake. A descriptor is
// one block: a header with the offsets of the owner's SID (its text), of
// the ACL, which is laid out as the system lays it out, and of the text it
// was made from, which is what a file or folder keeps.
#include <fakewin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char kMagic[8] = "fakesd";

struct Header {
  char magic[8];
  uint32_t owner;  // offsets from the block's start; 0: none
  uint32_t dacl;
  uint32_t text;
};

struct Entry {
  BYTE type;
  BYTE flags;
  ACCESS_MASK mask;
  std::string sid;
};

// Every file and folder that has no descriptor of its own.
constexpr const char* kUsual = "O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

std::map<std::string, std::string> g_descriptors;  // by path: the text

std::string PosixPath(const char* name) {
  std::string path = name;
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string SidOf(const std::string& text) {
  static const std::map<std::string, std::string> kAliases = {
      {"SY", "S-1-5-18"}, {"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"}, {"WD", "S-1-1-0"}, {"CO", "S-1-3-0"}};
  const auto found = kAliases.find(text);
  return found != kAliases.end() ? found->second : text;
}

std::optional<ACCESS_MASK> RightsOf(const std::string& text) {
  static const std::map<std::string, ACCESS_MASK> kRights = {
      {"FA", FILE_ALL_ACCESS}, {"FR", 0x120089}, {"FW", 0x120116}, {"GA", GENERIC_ALL}, {"WD", WRITE_DAC}};
  if (text.rfind("0x", 0) == 0) return static_cast<ACCESS_MASK>(std::strtoul(text.c_str(), nullptr, 16));
  const auto found = kRights.find(text);
  return found != kRights.end() ? std::optional<ACCESS_MASK>(found->second) : std::nullopt;
}

std::optional<Entry> EntryOf(const std::string& text) {
  std::vector<std::string> fields(1);
  for (const char c : text) {
    if (c == ';')
      fields.emplace_back();
    else
      fields.back().push_back(c);
  }
  const auto mask = fields.size() == 6 ? RightsOf(fields[2]) : std::nullopt;
  if (!mask || (fields[0] != "A" && fields[0] != "D")) return std::nullopt;
  BYTE flags = 0;
  for (size_t i = 0; i + 1 < fields[1].size(); i += 2) {
    const std::string flag = fields[1].substr(i, 2);
    flags |= flag == "OI"   ? 0x1
             : flag == "CI" ? 0x2
             : flag == "NP" ? 0x4
             : flag == "IO" ? 0x8
             : flag == "ID" ? 0x10
                            : 0;
  }
  return Entry{static_cast<BYTE>(fields[0] == "A" ? ACCESS_ALLOWED_ACE_TYPE : ACCESS_DENIED_ACE_TYPE), flags, *mask,
               SidOf(fields[5])};
}

void Align(std::string& block) { block.resize((block.size() + 3) & ~size_t{3}); }

// The block for `sddl`; nothing when the text is not one.
std::optional<std::string> Block(const std::string& sddl) {
  const size_t ownerAt = sddl.find("O:");
  const size_t daclAt = sddl.find("D:");
  Header header{};
  std::memcpy(header.magic, kMagic, sizeof kMagic);
  std::string block(sizeof header, '\0');
  if (ownerAt != std::string::npos) {
    header.owner = static_cast<uint32_t>(block.size());
    block += SidOf(sddl.substr(ownerAt + 2, daclAt == std::string::npos ? std::string::npos : daclAt - ownerAt - 2));
    block.push_back('\0');
  }
  if (daclAt != std::string::npos && sddl.compare(daclAt, 19, "D:NO_ACCESS_CONTROL") != 0) {
    std::vector<Entry> entries;
    for (size_t open = sddl.find('(', daclAt); open != std::string::npos; open = sddl.find('(', open + 1)) {
      const size_t close = sddl.find(')', open);
      const auto entry = close == std::string::npos ? std::nullopt : EntryOf(sddl.substr(open + 1, close - open - 1));
      if (!entry) return std::nullopt;
      entries.push_back(*entry);
    }
    Align(block);
    header.dacl = static_cast<uint32_t>(block.size());
    std::string acl(sizeof(ACL), '\0');
    for (const Entry& entry : entries) {
      std::string ace(offsetof(ACCESS_ALLOWED_ACE, SidStart), '\0');
      ace += entry.sid;
      ace.push_back('\0');
      Align(ace);
      ACCESS_ALLOWED_ACE fixed{{entry.type, entry.flags, static_cast<WORD>(ace.size())}, entry.mask, 0};
      std::memcpy(ace.data(), &fixed, offsetof(ACCESS_ALLOWED_ACE, SidStart));
      acl += ace;
    }
    const ACL head{2, 0, static_cast<WORD>(acl.size()), static_cast<WORD>(entries.size()), 0};
    std::memcpy(acl.data(), &head, sizeof head);
    block += acl;
  }
  header.text = static_cast<uint32_t>(block.size());
  block += sddl;
  block.push_back('\0');
  std::memcpy(block.data(), &header, sizeof header);
  return block;
}

// Bytes, not text: a block holds NULs of its own.
void* Copy(const std::string& block) {
  auto* copy = static_cast<unsigned char*>(std::malloc(block.size()));
  std::copy(block.begin(), block.end(), copy);
  return copy;
}

}  // namespace

namespace fakewin {

void SetFileSecurity(const char* path, const char* sddl) { g_descriptors[PosixPath(path)] = sddl; }

namespace security {

void Assign(const std::string& path, LPSECURITY_ATTRIBUTES attributes) {
  if (attributes == nullptr || attributes->lpSecurityDescriptor == nullptr) return;
  const auto* block = static_cast<const char*>(attributes->lpSecurityDescriptor);
  Header header{};
  std::memcpy(&header, block, sizeof header);
  std::string text = block + header.text;
  // Without an owner of its own, its maker's: the process's user.
  if (!header.owner) {
    HANDLE token = nullptr;
    char buffer[256];
    DWORD size = sizeof buffer;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    GetTokenInformation(token, TokenUser, buffer, size, &size);
    text = "O:" + std::string(static_cast<const char*>(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid)) + text;
  }
  g_descriptors[path] = text;
}

void Move(const std::string& from, const std::string& to) {
  const auto found = g_descriptors.find(from);
  if (found == g_descriptors.end()) {
    g_descriptors.erase(to);
    return;
  }
  g_descriptors[to] = found->second;
  g_descriptors.erase(found);
}

void Forget(const std::string& path) { g_descriptors.erase(path); }

}  // namespace security
}  // namespace fakewin

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD, PSECURITY_DESCRIPTOR* descriptor,
                                                          ULONG* size) {
  const auto block = text && descriptor ? Block(text) : std::nullopt;
  if (!block) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *descriptor = Copy(*block);
  if (size) *size = static_cast<ULONG>(block->size());
  return TRUE;
}

BOOL ConvertStringSidToSidA(LPCSTR text, PSID* sid) {
  if (text == nullptr || sid == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *sid = Copy(SidOf(text) + '\0');
  return TRUE;
}

DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION, PSID* owner, PSID* group, PACL* dacl,
                      PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
  const std::optional<std::string> path = fakewin::file::PathOf(handle, READ_CONTROL);
  if (type != SE_FILE_OBJECT || !path) return ERROR_ACCESS_DENIED;
  const auto found = g_descriptors.find(*path);
  char* block = static_cast<char*>(Copy(*Block(found != g_descriptors.end() ? found->second : kUsual)));
  Header header{};
  std::memcpy(&header, block, sizeof header);
  if (owner) *owner = header.owner ? block + header.owner : nullptr;
  if (group) *group = nullptr;
  if (dacl) *dacl = header.dacl ? reinterpret_cast<PACL>(block + header.dacl) : nullptr;
  if (sacl) *sacl = nullptr;
  *descriptor = block;
  return ERROR_SUCCESS;
}

BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) {
  if (acl == nullptr || index >= acl->AceCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char* at = reinterpret_cast<char*>(acl) + sizeof(ACL);
  for (DWORD i = 0; i < index; ++i) at += reinterpret_cast<ACE_HEADER*>(at)->AceSize;
  *ace = at;
  return TRUE;
}
