#include "DeploymentRecord.h"

#include <string>

#include "Handle.h"
#include "ProxyListKey.h"

namespace {

const char* const kVersion = "Version";
const char* const kTime = "Time";
const char* const kLeftAsItWas = "LeftAsItWas";

ProxyListKey RecordKey() {
  return ProxyListKey(HKEY_LOCAL_MACHINE, DEPLOYMENT_RECORD_PATH, CString(), KEY_WOW64_64KEY);
}

// Texts as the registry holds them: each in UTF-16 with its NUL, and for a
// list one more NUL at its end.
RegStoredValue Stored(DWORD type, const std::vector<CString>& texts) {
  std::basic_string<WCHAR> wide;
  for (const CString& text : texts) wide += Widened(text) + WCHAR{0};
  if (type == REG_MULTI_SZ) wide += WCHAR{0};
  return {true, type, std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(WCHAR))};
}

std::vector<CString> Texts(const RegStoredValue& stored) {
  std::basic_string<WCHAR> wide(stored.bytes.size() / sizeof(WCHAR), 0);
  std::copy_n(stored.bytes.data(), wide.size() * sizeof(WCHAR), reinterpret_cast<char*>(wide.data()));
  std::vector<CString> texts;
  for (size_t start = 0; start < wide.size();) {
    const size_t end = std::min(wide.find(WCHAR{0}, start), wide.size());
    if (end == start) break;  // the list's end
    CString text;
    Narrowed(wide.substr(start, end - start), text);
    texts.push_back(std::move(text));
    start = end + 1;
  }
  return texts;
}

CString Text(const RegStoredValue& stored) {
  const std::vector<CString> texts = Texts(stored);
  return texts.empty() ? CString() : texts.front();
}

}  // namespace

std::optional<DeploymentRecord> ReadDeploymentRecord() {
  const ProxyListKey key = RecordKey();
  const RegStoredValue version = key.Value(kVersion).Read();
  if (!version.exists) return std::nullopt;
  return DeploymentRecord{Text(version), Text(key.Value(kTime).Read()), Texts(key.Value(kLeftAsItWas).Read())};
}

WrittenList UpdateDeploymentRecord(const std::optional<DeploymentRecord>& record) {
  const ProxyListKey key = RecordKey();
  if (record) {
    HKEY made = nullptr;
    const LSTATUS status =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, DEPLOYMENT_RECORD_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &made, nullptr);
    const UniqueKey owner(made);
    if (status != ERROR_SUCCESS)
      throw CRegistryException(CRegistryException::writeFailed, status, DeploymentRecordName());
  }
  const std::pair<const char*, RegStoredValue> values[] = {
      {kVersion, record ? Stored(REG_SZ, {record->version}) : RegStoredValue{}},
      {kTime, record ? Stored(REG_SZ, {record->time}) : RegStoredValue{}},
      {kLeftAsItWas, record ? Stored(REG_MULTI_SZ, record->leftAsItWas) : RegStoredValue{}},
  };
  WrittenList written{CoveredList(key), {}};
  try {
    for (const auto& [name, after] : values) {
      const CRegValue value = key.Value(name);
      const RegStoredValue before = value.Read();
      if (before == after) continue;
      value.Write(after);
      written.values.push_back({name, before, after});
    }
  } catch (const CRegistryException&) {
    PutBackValues(key, written.values);
    throw;
  }
  return written;
}

DeploymentRecord RecordOf(const CString& version, const CString& time, const Outcomes& outcomes) {
  DeploymentRecord record{version, time, {}};
  for (const Outcome& outcome : outcomes)
    if (outcome.state == Outcome::leftAsItWas || (outcome.state == Outcome::failed && outcome.why))
      record.leftAsItWas.push_back(outcome.target + ": " + Describe(outcome));
  return record;
}

CString DeploymentRecordName() { return CString("HKEY_LOCAL_MACHINE\\") + DEPLOYMENT_RECORD_PATH; }
