#include "RunLog.h"

#include <cstdint>
#include <string>

#include "BusyException.h"
#include "FileException.h"
#include "Handle.h"
#include "RegistryException.h"

namespace {

const char* ScopeName(Scope scope) {
  switch (scope) {
    case Scope::machine: return "machine";
    case Scope::user: return "user";
    default: return "both";
  }
}

CString Describe(const Outcome& outcome) {
  static const char* const kStates[] = {"untouched", "unchanged", "changed", "failed", "put back", "not put back"};
  CString text = kStates[outcome.state];
  if (outcome.linesAdded > 0) text += CString(", ") + std::to_string(outcome.linesAdded).c_str() + " lines added";
  if (outcome.linesRemoved > 0) text += CString(", ") + std::to_string(outcome.linesRemoved).c_str() + " lines removed";
  return text;
}

CString Describe(const Shortfall& shortfall) {
  if (shortfall.missing.empty()) return "in place";
  CString text = "lacks";
  for (const CString& piece : shortfall.missing) text += " " + piece;
  return text;
}

// A field's value on one line: line ends and tabs would split the line.
CString OneLine(const CString& text) {
  std::string flat(text.View());
  for (char& c : flat)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return CString(std::move(flat));
}

CString Field(const char* name, const CString& value) { return CString("\t") + name + "=" + OneLine(value); }

// The file's size in bytes; 0 when there is none.
uint64_t SizeOf(const CString& path) {
  const UniqueFile file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return 0;
  DWORD high = 0;
  const DWORD low = GetFileSize(file.get(), &high);
  return low == INVALID_FILE_SIZE ? 0 : (uint64_t{high} << 32) | low;
}

}  // namespace

LONG OsErrorOf(const std::exception_ptr& error) {
  if (!error) return 0;
  try {
    std::rethrow_exception(error);
  } catch (const CFileException& file) {
    return file.m_lOsError;
  } catch (const CRegistryException& registry) {
    return registry.m_lOsError;
  } catch (...) {
    return 0;
  }
}

CString LogLine(const RunRecord& record) {
  CString line = OneLine(record.time);
  line += Field("version", record.version);
  line += Field("arch", record.architecture);
  line += Field("account", record.account);
  line += Field("verb", record.verb);
  line += Field("scope", ScopeName(record.scope));
  if (record.users == Users::all) line += Field("users", "all");
  for (const Outcome& outcome : record.outcomes) line += Field("target", outcome.target + ": " + Describe(outcome));
  for (const Shortfall& shortfall : record.shortfalls)
    line += Field("target", shortfall.target + ": " + Describe(shortfall));
  line += Field("error", std::to_string(OsErrorOf(record.error)).c_str());
  line += Field("status", std::to_string(record.status).c_str());
  if (!record.told.IsEmpty()) line += Field("message", record.told);
  return line;
}

CString OldLogPath(const CString& path) {
  const int dot = path.ReverseFindOneOf(".");
  if (dot <= path.ReverseFindOneOf("\\/")) return path + ".old";
  return path.Left(dot) + ".old" + path.Mid(dot);
}

bool AppendToLog(const CString& path, const CString& line) {
  if (SizeOf(path) >= kLogLimit) MoveFileExA(path, OldLogPath(path), MOVEFILE_REPLACE_EXISTING);
  const UniqueFile log(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log.valid()) return false;
  const CString text = line + "\r\n";
  const auto size = static_cast<DWORD>(text.GetLength());
  DWORD written = 0;
  return WriteFile(log.get(), text.GetString(), size, &written, nullptr) && written == size;
}
