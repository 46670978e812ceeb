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
#include "ProxyListChange.h"
#include "ProxyLists.h"
#include "Reference.h"
#include "RegistryValues.h"

namespace {

const std::string kNullString = "--NULLSTRING--";

using Stored = RegistryValues::Stored;

void Store(const std::string& text) {
  RegistryValues::SetValue(RegistryValues::kProxyKey, RegistryValues::kProxyName, RegistryValues::Sz(text));
}

std::optional<Stored> Fetch() { return RegistryValues::Value(RegistryValues::kProxyKey, RegistryValues::kProxyName); }

// As the tool stores a text: REG_SZ with its NUL, the empty text as the marker.
Stored AsStored(const std::string& text) { return RegistryValues::Sz(text.empty() ? kNullString : text); }

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
  list.Load(ProxyOverride());
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
  ProxyListChange::AddProxyExceptionSet(ProxyListInForce()).Write();
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
  ProxyListChange::AddProxyExceptionSet(ProxyListInForce()).Write();
  CheckNoKeyLeftOpen("a key is open after the second Set");
  FUZZ_CHECK(Fetch() == afterFirstSet, "a second Set changed the value");

  // Remove settings.
  ProxyListChange::RemoveProxyExceptionSet(ProxyListInForce()).Write();
  CheckNoKeyLeftOpen("a key is open after Remove settings");
  FUZZ_CHECK(Fetch() == AsStored(Join(kept)), "Remove settings kept the wrong entries");
  if (!hasException) FUZZ_CHECK(Fetch() == AsStored(trimmed), "Set then Remove settings did not give the list back");
  // Remove settings drops whole entries only. The next read trims the whole
  // value, so a kept first or last entry with white space at its outer end
  // may come back as an exception; no other entry may.
  ProxyExceptionList list;
  list.Load(ProxyOverride());
  const int last = list.GetEntryCount() - 1;
  for (int i = 0; i <= last; ++i)
    for (const char* exception : kProxyExceptions)
      if (list.GetEntry(i).CompareNoCase(exception) == 0)
        FUZZ_CHECK((i == 0 || i == last) && static_cast<size_t>(i) < kept.size() && kept[i] != list.GetEntry(i).View(),
                   "an exception is left after Remove settings");
  CheckNoKeyLeftOpen("a key is open after Load");
  return 0;
}
