#include "UndoRecord.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

#include "ActionLock.h"
#include "HivePrivileges.h"
#include "PlainFile.h"
#include "ProxyLists.h"
#include "ToolFolder.h"

namespace {

constexpr char kRecordName[] = "OrvaneSetup.undo";
constexpr std::string_view kHeader = "OrvaneSetup undo 1";

// Beside the hosts file (HostsFolder): only administrators may write there.
CString RecordPath() {
  const CString hosts = CHostsFile().GetPath();
  return hosts.Left(std::max(hosts.ReverseFindOneOf("\\/"), 0)) + "\\" + kRecordName;
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char byte : bytes) {
    hex += kDigits[static_cast<unsigned char>(byte) >> 4];
    hex += kDigits[static_cast<unsigned char>(byte) & 0xF];
  }
  return hex;
}

// The whole of `text` as a number; nothing when it is not one.
std::optional<unsigned long long> Number(std::string_view text, int base) {
  unsigned long long number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return number;
}

std::optional<std::string> Unhex(std::string_view hex) {
  if (hex.size() % 2) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const auto byte = Number(hex.substr(i, 2), 16);
    if (!byte) return std::nullopt;
    bytes += static_cast<char>(*byte);
  }
  return bytes;
}

// "-" for none, else the type, ":" and the bytes.
std::string Encoded(const RegStoredValue& value) {
  return value.exists ? std::to_string(value.type) + ":" + Hex(value.bytes) : "-";
}

std::optional<RegStoredValue> Decoded(std::string_view text) {
  if (text == "-") return RegStoredValue{};
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  auto bytes = Unhex(text.substr(colon + 1));
  const auto type = Number(text.substr(0, colon), 10);
  if (!bytes || !type) return std::nullopt;
  return RegStoredValue{true, static_cast<DWORD>(*type), std::move(*bytes)};
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

std::string Text(const UndoRecord& record) {
  std::string text = std::string(kHeader) + "\r\nid\t" + std::string(record.id.View()) + "\r\n";
  if (const auto& hosts = record.hosts; hosts && hosts->replaced && hosts->written) {
    std::string hash(8, '\0');
    for (size_t i = 0; i < hash.size(); ++i) hash[i] = static_cast<char>(hosts->written->hash >> (56 - 8 * i) & 0xFF);
    text += "hosts\t" + std::string(hosts->created ? "1" : "0") + "\t" + std::string(hosts->keptOld.View()) + "\t" +
            std::to_string(hosts->written->size) + "\t" + Hex(hash) + "\r\n";
  }
  for (const WrittenList& list : record.lists) {
    text += "list\t" + std::string(list.list.Address().View()) + "\r\n";
    for (const ProxyListChange::Written& value : list.values)
      text += "value\t" + std::string(value.relative.View()) + "\t" + Encoded(value.before) + "\t" +
              Encoded(value.after) + "\r\n";
  }
  return text;
}

std::optional<UndoRecord> Parsed(std::string_view text) {
  UndoRecord record;
  const std::vector<std::string_view> lines = Split(text, '\n');
  if (lines.empty() || lines[0] != std::string(kHeader) + "\r") return std::nullopt;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (line.empty()) continue;
    if (line.back() != '\r') return std::nullopt;
    line.remove_suffix(1);
    const size_t tab = line.find('\t');
    const std::string_view kind = line.substr(0, tab);
    const std::string_view rest = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    const std::vector<std::string_view> fields = Split(rest, '\t');
    if (kind == "id") {
      record.id = CString(std::string(rest));
    } else if (kind == "hosts" && fields.size() == 4) {
      CHostsFile::Result hosts;
      hosts.replaced = true;
      hosts.created = fields[0] == "1";
      hosts.keptOld = CString(std::string(fields[1]));
      const auto size = Number(fields[2], 10);
      const auto hash = Number(fields[3], 16);
      if (!size || !hash) return std::nullopt;
      hosts.written = FileDigest{*size, *hash};
      record.hosts = hosts;
    } else if (kind == "list") {
      std::optional<CoveredList> list = CoveredList::At(CString(std::string(rest)));
      if (!list) return std::nullopt;
      record.lists.push_back({std::move(*list), {}});
    } else if (kind == "value" && fields.size() == 3 && !record.lists.empty()) {
      const auto before = Decoded(fields[1]);
      const auto after = Decoded(fields[2]);
      if (!before || !after) return std::nullopt;
      record.lists.back().values.push_back({CString(std::string(fields[0])), *before, *after});
    } else {
      return std::nullopt;
    }
  }
  return record;
}

[[noreturn]] void Raise(DWORD error) {
  const auto osError = static_cast<LONG>(error);
  throw CFileException(CFileException::OsErrorToCause(osError), osError, RecordPath());
}

// The record as kept, whatever its id.
std::optional<UndoRecord> Kept() {
  const CFolder folder = HostsFolder();
  if (!folder.IsOpen()) return std::nullopt;
  const PlainFile file = OpenPlainFile(folder, kRecordName, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (!file.file.valid()) return std::nullopt;
  std::string text(GetFileSize(file.file.get(), nullptr), '\0');
  DWORD read = 0;
  if (!ReadFile(file.file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) || read != text.size())
    return std::nullopt;
  return Parsed(text);
}

}  // namespace

bool IsUndoId(const CString& id) {
  if (id.IsEmpty() || id.GetLength() > 64) return false;
  for (const char c : id.View())
    if (!(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') && c != '{' && c != '}' &&
        c != '-')
      return false;
  return true;
}

void KeepUndoRecord(const UndoRecord& record) {
  const CFolder folder = HostsFolder();
  if (!folder.IsOpen()) Raise(ERROR_ACCESS_DENIED);
  const PlainFile file = OpenPlainFile(folder, kRecordName, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!file.file.valid()) Raise(file.refusal == FileRefusal::cannotOpen ? file.error : ERROR_ACCESS_DENIED);
  const std::string text = Text(record);
  DWORD written = 0;
  if (!WriteFile(file.file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size() || !FlushFileBuffers(file.file.get()))
    Raise(GetLastError());
}

std::optional<UndoRecord> KeptUndoRecord(const CString& id) {
  std::optional<UndoRecord> record = Kept();
  if (record && record->id == id) return record;
  return std::nullopt;
}

void ForgetUndoRecord(const CString* id) {
  const std::optional<UndoRecord> record = Kept();
  if (id && (!record || record->id != *id)) return;
  if (record && record->hosts) CHostsFile::Forget(*record->hosts);
  const CFolder folder = HostsFolder();
  if (!folder.IsOpen()) return;
  // Only the plain file of that name, never where a link of that name leads.
  if (OpenPlainFile(folder, kRecordName, READ_CONTROL, FILE_SHARE_DELETE, OPEN_EXISTING).file.valid())
    DeleteFileA(RecordPath());
}

Outcomes UndoRun(const CString& id, const Patience& patience) {
  Outcomes outcomes;
  const ActionLock lock(patience);
  const std::optional<UndoRecord> record = KeptUndoRecord(id);
  if (!record) return outcomes;
  const HivePrivileges privileges;
  // What another changed since, or a list out of reach, stays; the rest goes back.
  PutBack(record->lists, outcomes);
  if (record->hosts)
    outcomes.Of(CHostsFile().GetPath()).state =
        CHostsFile::PutBack(*record->hosts) ? Outcome::putBack : Outcome::notPutBack;
  ForgetUndoRecord(&id);
  return outcomes;
}
