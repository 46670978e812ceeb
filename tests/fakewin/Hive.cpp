// Hive files loaded into the fake's registry and unloaded again, as the
// system does it for a profile whose user is not signed in. A hive file
// holds the key's tree in a format of the fake's own, written the same way
// each time, so that a hive changed and changed back has its old bytes.
#include <fakewin.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "RegistryTree.h"

using fakewin::tree::Folded;
using fakewin::tree::Key;

namespace {

constexpr char kMagic[] = "fakehive";

struct Hive {
  std::string file;
  HANDLE holder;  // the file, open without sharing while loaded
  std::shared_ptr<Key> key;
};

// By the root and the key's folded name.
std::map<std::pair<HKEY, std::string>, Hive> g_hives;
bool g_keysHeld = false;  // by another program, in every hive
int g_mostToolHives = 0;

std::string PosixPath(const std::string& path) {
  std::string posix = path;
  for (char& c : posix)
    if (c == '\\') c = '/';
  return posix;
}

void PutNumber(std::string& out, size_t number) {
  const auto value = static_cast<uint32_t>(number);
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, const std::string& text) {
  PutNumber(out, text.size());
  out += text;
}

void Save(const Key& key, std::string& out) {
  PutNumber(out, key.values.size());
  for (const auto& [name, value] : key.values) {
    PutText(out, name);
    PutNumber(out, value.type);
    PutText(out, value.bytes);
  }
  PutNumber(out, key.subkeys.size());
  for (const auto& [folded, subkey] : key.subkeys) {
    PutText(out, subkey->name);
    Save(*subkey, out);
  }
}

class Reader {
 public:
  explicit Reader(std::string bytes) : m_bytes(std::move(bytes)) {}

  bool Number(uint32_t& number) {
    if (m_bytes.size() - m_at < sizeof number) return false;
    m_bytes.copy(reinterpret_cast<char*>(&number), sizeof number, m_at);
    m_at += sizeof number;
    return true;
  }
  bool Text(std::string& text) {
    uint32_t size = 0;
    if (!Number(size) || m_bytes.size() - m_at < size) return false;
    text = m_bytes.substr(m_at, size);
    m_at += size;
    return true;
  }
  bool Key(fakewin::tree::Key& key) {
    uint32_t count = 0;
    if (!Number(count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      std::string name;
      fakewin::tree::Value value;
      if (!Text(name) || !Number(value.type) || !Text(value.bytes)) return false;
      key.values[name] = std::move(value);
    }
    if (!Number(count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      auto subkey = std::make_shared<fakewin::tree::Key>();
      if (!Text(subkey->name) || !Key(*subkey)) return false;
      key.subkeys[Folded(subkey->name)] = std::move(subkey);
    }
    return true;
  }
  bool AtEnd() const { return m_at == m_bytes.size(); }

 private:
  std::string m_bytes;
  size_t m_at = 0;
};

// A new hive's file is empty; any other must be a whole tree.
bool Parse(const std::string& bytes, Key& key) {
  if (bytes.empty()) return true;
  if (bytes.compare(0, sizeof kMagic - 1, kMagic) != 0) return false;
  Reader reader(bytes.substr(sizeof kMagic - 1));
  return reader.Key(key) && reader.AtEnd();
}

bool MayLoad(HKEY root, LPCSTR subKey) {
  const std::string name = subKey ? subKey : "";
  return (root == HKEY_USERS || root == HKEY_LOCAL_MACHINE) && !name.empty() && name.find('\\') == std::string::npos;
}

bool Privileged() { return fakewin::PrivilegeEnabled(SE_BACKUP_NAME) && fakewin::PrivilegeEnabled(SE_RESTORE_NAME); }

}  // namespace

namespace fakewin {

std::vector<std::string> LoadedHives() {
  std::vector<std::string> names;
  for (const auto& [where, hive] : g_hives)
    if (where.first == HKEY_USERS) names.push_back(hive.key->name);
  return names;
}

void HoldKeysInHives(bool held) { g_keysHeld = held; }

int MostToolHivesAtOnce() { return g_mostToolHives; }

namespace tree {

void DropHives() {
  for (auto& [where, hive] : g_hives) CloseHandle(hive.holder);
  g_hives.clear();
  g_keysHeld = false;
  g_mostToolHives = 0;
}

}  // namespace tree
}  // namespace fakewin

LSTATUS RegLoadKeyA(HKEY root, LPCSTR subKey, LPCSTR file) {
  if (fakewin::ShouldFail("RegLoadKeyA")) return static_cast<LSTATUS>(GetLastError());
  if (!MayLoad(root, subKey) || file == nullptr) return ERROR_INVALID_PARAMETER;
  if (!Privileged()) return ERROR_PRIVILEGE_NOT_HELD;
  auto& parent = fakewin::tree::Root(root)->subkeys;
  if (parent.count(Folded(subKey))) return ERROR_ALREADY_EXISTS;
  const HANDLE holder = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (holder == INVALID_HANDLE_VALUE) return static_cast<LSTATUS>(GetLastError());
  std::ifstream in(PosixPath(file), std::ios::binary);
  auto key = fakewin::tree::NewKey(subKey);
  if (!Parse({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}, *key)) {
    CloseHandle(holder);
    return ERROR_BADDB;
  }
  parent[Folded(subKey)] = key;
  g_hives[{root, Folded(subKey)}] = Hive{file, holder, std::move(key)};
  int tools = 0;
  for (const auto& [where, hive] : g_hives) tools += where.second.rfind(Folded("OrvaneSetup."), 0) == 0;
  g_mostToolHives = std::max(g_mostToolHives, tools);
  return ERROR_SUCCESS;
}

namespace {

// Writes the hive back to its file and drops it, handles into it failing
// from now on.
void Unload(HKEY root, std::map<std::pair<HKEY, std::string>, Hive>::iterator found) {
  Hive& hive = found->second;
  std::string bytes = kMagic;
  Save(*hive.key, bytes);
  std::ofstream(PosixPath(hive.file), std::ios::binary | std::ios::trunc) << bytes;
  CloseHandle(hive.holder);
  fakewin::tree::MarkDeleted(*hive.key);
  fakewin::tree::Root(root)->subkeys.erase(found->first.second);
  g_hives.erase(found);
}

}  // namespace

LSTATUS RegUnLoadKeyA(HKEY root, LPCSTR subKey) {
  if (fakewin::ShouldFail("RegUnLoadKeyA")) return static_cast<LSTATUS>(GetLastError());
  if (!MayLoad(root, subKey)) return ERROR_INVALID_PARAMETER;
  if (!Privileged()) return ERROR_PRIVILEGE_NOT_HELD;
  const auto found = g_hives.find({root, Folded(subKey)});
  if (found == g_hives.end()) return ERROR_INVALID_PARAMETER;
  if (g_keysHeld || fakewin::tree::HandleOpenWithin(*found->second.key)) return ERROR_ACCESS_DENIED;
  Unload(root, found);
  return ERROR_SUCCESS;
}

// Whoever holds keys in it: they fail from now on.
LONG fakewin::ntdll::UnloadKey2(const void* target, ULONG flags) {
  struct Name {
    uint16_t length;
    uint16_t maximumLength;
    const WCHAR* buffer;
  };
  struct Attributes {
    ULONG length;
    HANDLE root;
    const Name* name;
  };
  constexpr LONG kAccessDenied = static_cast<LONG>(0xC0000022);
  constexpr LONG kNotFound = static_cast<LONG>(0xC0000034);
  const Name* name = static_cast<const Attributes*>(target)->name;
  std::string text;
  for (size_t i = 0; i < name->length / sizeof(WCHAR); ++i) text.push_back(static_cast<char>(name->buffer[i]));
  const std::string prefix = "\\Registry\\User\\";
  if (!Privileged() || flags != 1 || text.compare(0, prefix.size(), prefix) != 0) return kAccessDenied;
  const auto found = g_hives.find({HKEY_USERS, Folded(text.substr(prefix.size()))});
  if (found == g_hives.end()) return kNotFound;
  Unload(HKEY_USERS, found);
  return 0;
}
