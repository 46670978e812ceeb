// The fake's registry as a tree in memory, shared by its calls
// (Registry.cpp) and the hives loaded into it (Hive.cpp).
#pragma once

#include <fakewin.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace fakewin::tree {

struct Value {
  DWORD type = REG_NONE;
  std::string bytes;
};

struct Key {
  std::string name;                                     // as it was created; enumeration tells it
  std::map<std::string, std::shared_ptr<Key>> subkeys;  // by folded name
  std::map<std::string, Value> values;                  // by folded name
  bool deleted = false;                                 // handles to a deleted key fail
  bool changesDenied = false;                           // its security lets the process read it only
  bool readsDenied = false;                             // nor read it
};

inline std::shared_ptr<Key> NewKey(std::string name) {
  auto key = std::make_shared<Key>();
  key->name = std::move(name);
  return key;
}

// ASCII letters in lower case; a double-byte character is kept whole, so its
// trail byte never folds.
std::string Folded(std::string_view name);
// The key a predefined handle stands for, made on first use.
std::shared_ptr<Key>& Root(HKEY root);
// An open handle stands for `key` or for a key below it.
bool HandleOpenWithin(const Key& key);
// Handles to it and to every key below it fail from now on.
void MarkDeleted(Key& key);
// Every hive dropped, its file left as it was: part of a fresh registry.
void DropHives();

}  // namespace fakewin::tree
