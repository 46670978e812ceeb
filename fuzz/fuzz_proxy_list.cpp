// The proxy exception list over the in-memory registry, for any value text:
// the split gives back the trimmed value, Set puts the exception set in
// front unless the wildcard is there, Remove settings takes out exactly the
// set's entries, and no key handle is left open.
#include <fakewin.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ManagedHosts.h"
#include "ProxyExceptionList.h"
#include "Reference.h"

namespace {

const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kValueName[] = "ProxyOverride";
const std::string kNullString = "--NULLSTRING--";

struct Stored {
  DWORD type = REG_NONE;
  std::string bytes;
  bool operator==(const Stored&) const = default;
};

HKEY OpenKey() {
  HKEY key = nullptr;
  FUZZ_CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             &key, nullptr) == ERROR_SUCCESS,
             "cannot make the key");
  return key;
}

void Store(const std::string& text) {
  HKEY key = OpenKey();
  const std::string bytes = text + '\0';
  FUZZ_CHECK(RegSetValueExA(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS,
             "cannot store the value");
  RegCloseKey(key);
}

std::optional<Stored> Fetch() {
  HKEY key = OpenKey();
  Stored stored;
  DWORD size = 0;
  std::optional<Stored> result;
  if (RegQueryValueExA(key, kValueName, nullptr, &stored.type, nullptr, &size) == ERROR_SUCCESS) {
    stored.bytes.resize(size);
    FUZZ_CHECK(RegQueryValueExA(key, kValueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(stored.bytes.data()),
                                &size) == ERROR_SUCCESS,
               "cannot read the value");
    result = stored;
  }
  RegCloseKey(key);
  return result;
}

// As the tool stores a text: REG_SZ with its NUL, the empty text as the marker.
Stored AsStored(const std::string& text) { return {REG_SZ, (text.empty() ? kNullString : text) + '\0'}; }

// The entries of a trimmed value: split at every ";" that is a character of
// its own, not the trail byte of a double-byte character.
std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> entries;
  const std::vector<size_t> starts = ref::CharStarts(text);
  size_t from = 0;
  for (size_t k = 0; k + 1 < starts.size(); ++k) {
    if (ref::CharLength(starts, k) == 1 && text[starts[k]] == ';') {
      entries.push_back(text.substr(from, starts[k] - from));
      from = starts[k] + 1;
    }
  }
  entries.push_back(text.substr(from));
  return entries;
}

std::string Join(const std::vector<std::string>& entries) {
  std::string joined;
  for (size_t i = 0; i < entries.size(); ++i) joined += (i ? ";" : "") + entries[i];
  return joined;
}

bool IsException(const std::string& entry) {
  for (const char* exception : kProxyExceptions)
    if (ref::EqualsAsciiNoCase(entry, exception)) return true;
  return false;
}

void CheckNoKeyLeftOpen(const char* after) { FUZZ_CHECK(fakewin::OpenKeyCount() == 0, after); }

// Load, checked against the reference split; returns the entries.
std::vector<std::string> CheckLoad(const std::string& trimmed) {
  ProxyExceptionList list;
  list.Load();
  CheckNoKeyLeftOpen("a key is open after Load");
  std::vector<std::string> entries;
  for (int i = 0; i < list.GetEntryCount(); ++i) entries.emplace_back(list.GetEntry(i).View());
  FUZZ_CHECK(Join(entries) == trimmed, "the entries joined are not the trimmed value");
  FUZZ_CHECK(entries == Split(trimmed), "the split differs");
  bool wildcard = false;
  for (const std::string& entry : entries) wildcard = wildcard || ref::EqualsAsciiNoCase(entry, kProxyWildcard);
  FUZZ_CHECK((list.ContainsWildcard() != FALSE) == wildcard, "ContainsWildcard");
  return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A registry string ends at its first NUL.
  std::string value(reinterpret_cast<const char*>(data), size);
  value = value.substr(0, value.find('\0'));

  fakewin::ResetRegistry();
  Store(value);
  const std::string read = value == kNullString ? std::string() : value;
  const std::string trimmed = ref::Trim(read);
  // The text type's own trim must agree with the reference.
  CString viaTrim(read);
  viaTrim.Trim();
  FUZZ_CHECK(viaTrim.View() == trimmed, "CString::Trim differs from the reference");

  const std::vector<std::string> entries = CheckLoad(trimmed);
  bool hasWildcard = false;
  bool hasException = false;
  std::vector<std::string> kept;
  for (const std::string& entry : entries) {
    hasWildcard = hasWildcard || ref::EqualsAsciiNoCase(entry, kProxyWildcard);
    hasException = hasException || IsException(entry);
    if (!IsException(entry)) kept.push_back(entry);
  }

  // Set.
  const std::optional<Stored> before = Fetch();
  ProxyOverrideChange::AddProxyExceptionSet().Write();
  CheckNoKeyLeftOpen("a key is open after Set");
  const std::string joinedSet(ProxyExceptionsJoined().View());
  if (hasWildcard) {
    FUZZ_CHECK(Fetch() == before, "Set wrote over a list that holds the wildcard");
  } else {
    FUZZ_CHECK(Fetch() == AsStored(joinedSet + ";" + trimmed), "Set did not put the set in front");
  }
  const std::string afterSet = hasWildcard ? trimmed : joinedSet + ";" + trimmed;
  CheckLoad(afterSet);

  // A second Set writes nothing.
  const std::optional<Stored> afterFirstSet = Fetch();
  ProxyOverrideChange::AddProxyExceptionSet().Write();
  CheckNoKeyLeftOpen("a key is open after the second Set");
  FUZZ_CHECK(Fetch() == afterFirstSet, "a second Set changed the value");

  // Remove settings.
  ProxyOverrideChange::RemoveProxyExceptionSet().Write();
  CheckNoKeyLeftOpen("a key is open after Remove settings");
  FUZZ_CHECK(Fetch() == AsStored(Join(kept)), "Remove settings kept the wrong entries");
  if (!hasException) FUZZ_CHECK(Fetch() == AsStored(trimmed), "Set then Remove settings did not give the list back");
  // Remove settings drops whole entries only. The next read trims the whole
  // value, so a kept first or last entry with white space at its outer end
  // may come back as an exception; no other entry may.
  ProxyExceptionList list;
  list.Load();
  const int last = list.GetEntryCount() - 1;
  for (int i = 0; i <= last; ++i)
    for (const char* exception : kProxyExceptions)
      if (list.GetEntry(i).CompareNoCase(exception) == 0)
        FUZZ_CHECK((i == 0 || i == last) && static_cast<size_t>(i) < kept.size() && kept[i] != list.GetEntry(i).View(),
                   "an exception is left after Remove settings");
  CheckNoKeyLeftOpen("a key is open after Load");
  return 0;
}
