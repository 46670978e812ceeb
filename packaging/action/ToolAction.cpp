// The package's own custom actions (OrvaneSetup.wxs). ScheduleTool, at once:
// hands each action that runs the tool its command. RunTool, in the
// installer's script (deferred, rollback or commit, as the system): runs the
// tool hidden, copies each line it writes into the installer's log, and
// makes the installer's status of the tool's.
#include <windows.h>
// After windows.h, which they build on.
#include <msi.h>
#include <msiquery.h>
#include <rpc.h>

#include <cstdio>
#include <optional>
#include <string>

#include "Handle.h"

namespace {

void CloseMsiHandle(MSIHANDLE handle) { MsiCloseHandle(handle); }
using UniqueMsiHandle = UniqueHandle<MSIHANDLE, CloseMsiHandle>;

// The tool's statuses the package tells apart.
constexpr DWORD kDone = 0;
constexpr DWORD kPartly = 7;  // done for every user but the lists it named, each left as it was
constexpr DWORD kBusy = 1618;
// Another run holds the settings for seconds; an installer waits out more
// than any one run, not an afternoon.
constexpr DWORD kBusyDeadlineMs = 10 * 60 * 1000;
constexpr DWORD kBusyPauseMs = 5000;
// The package's properties: the installed executable's path (formatted), and
// the id of this transaction's run, which each action's arguments name.
constexpr char kToolPath[] = "ToolPath";
constexpr char kRunId[] = "ToolRun";
// What ScheduleTool hands an action: the executable, this, the arguments.
constexpr char kSeparator = '|';  // in no Windows path
constexpr char kActionsThatRunTheTool[] = "SELECT `Action` FROM `CustomAction` WHERE `Target` = 'RunTool'";
// Beside the installed tool, the copy that a rollback or a commit runs.
constexpr char kPendingFolder[] = "Pending";

// A text of the installer's, by the call that fills `buffer` of `*length`.
template <typename Fill>
std::optional<std::string> InstallerText(Fill fill) {
  char none[1] = "";
  DWORD length = 0;
  UINT result = fill(none, &length);
  if (result == ERROR_SUCCESS) return std::string();
  if (result != ERROR_MORE_DATA) return std::nullopt;
  std::string text(++length, '\0');
  result = fill(text.data(), &length);
  if (result != ERROR_SUCCESS) return std::nullopt;
  text.resize(length);
  return text;
}

std::optional<std::string> Property(MSIHANDLE install, const char* name) {
  return InstallerText([&](char* buffer, DWORD* length) { return MsiGetPropertyA(install, name, buffer, length); });
}

// `text` with the installer's properties in brackets put in.
std::optional<std::string> Formatted(MSIHANDLE install, const std::string& text) {
  const UniqueMsiHandle record(MsiCreateRecord(0));
  if (!record.valid() || MsiRecordSetStringA(record.get(), 0, text.c_str()) != ERROR_SUCCESS) return std::nullopt;
  return InstallerText(
      [&](char* buffer, DWORD* length) { return MsiFormatRecordA(install, record.get(), buffer, length); });
}

// One line in the installer's log, as it is: the installer formats a
// message, so each bracket and brace goes in as its escape.
void Log(MSIHANDLE install, const std::string& line) {
  std::string escaped;
  for (const char c : line) {
    if (c == '[' || c == ']' || c == '{' || c == '}') {
      escaped += "[\\";
      escaped += c;
      escaped += ']';
    } else {
      escaped += c;
    }
  }
  const UniqueMsiHandle record(MsiCreateRecord(0));
  if (!record.valid() || MsiRecordSetStringA(record.get(), 0, escaped.c_str()) != ERROR_SUCCESS) return;
  MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}

void LogFailure(MSIHANDLE install, const char* what, DWORD error) {
  Log(install, std::string(what) + ": error " + std::to_string(error));
}

// A GUID of its own for this transaction, as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::optional<std::string> NewRunId() {
  UUID id;
  const RPC_STATUS made = UuidCreate(&id);
  if (made != RPC_S_OK && made != RPC_S_UUID_LOCAL_ONLY) return std::nullopt;
  char text[39];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
  return std::string(text);
}

// Each line the tool writes to the pipe, into the log, until it closes its end.
void CopyLines(MSIHANDLE install, HANDLE pipe) {
  std::string pending;
  char block[4096];
  DWORD read = 0;
  const auto flush = [&](std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Log(install, line);
  };
  while (ReadFile(pipe, block, sizeof block, &read, nullptr) && read > 0) {
    pending.append(block, read);
    // A line feed is never the second byte of a double-byte character.
    for (std::string::size_type end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
      flush(pending.substr(0, end));
  }
  if (!pending.empty()) flush(pending);
}

// The tool's exit status, its standard output and error in the log; none
// when it could not be started.
std::optional<DWORD> RunOnce(MSIHANDLE install, const std::string& path, const std::string& arguments) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) {
    LogFailure(install, "no pipe for the tool's output", GetLastError());
    return std::nullopt;
  }
  const UniqueObject reader(readEnd);
  UniqueObject writer(writeEnd);
  // Only the end the tool writes to is its own.
  SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = writer.get();
  startup.hStdError = writer.get();
  std::string command = "\"" + path + "\" " + arguments;
  Log(install, "running " + command);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &started)) {
    LogFailure(install, "the tool did not start", GetLastError());
    return std::nullopt;
  }
  const UniqueObject process(started.hProcess);
  CloseHandle(started.hThread);
  // The pipe ends when the tool's end closes, ours closed first.
  writer.reset();
  CopyLines(install, reader.get());
  DWORD status = 0;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &status)) {
    LogFailure(install, "no status from the tool", GetLastError());
    return std::nullopt;
  }
  return status;
}

// The tool's status as the installer's: 0 and 7 are done (7 leaves the
// lists it named as they were, and the others go on); 1618, another run
// busy, is waited out; any other fails the action.
UINT RunMapped(MSIHANDLE install, const std::string& path, const std::string& arguments) {
  const DWORD start = GetTickCount();
  for (;;) {
    const std::optional<DWORD> status = RunOnce(install, path, arguments);
    if (!status) return ERROR_INSTALL_FAILURE;
    if (*status == kDone) return ERROR_SUCCESS;
    if (*status == kPartly) {
      Log(install, "status 7: done except the lists named above");
      return ERROR_SUCCESS;
    }
    if (*status != kBusy || GetTickCount() - start >= kBusyDeadlineMs) {
      Log(install, "status " + std::to_string(*status) + ": failed");
      return ERROR_INSTALL_FAILURE;
    }
    Log(install, "status 1618: another run is busy with the settings; again in a moment");
    Sleep(kBusyPauseMs);
  }
}

// The installed tool's folder, its pending folder, and the copy there,
// under the tool's own name.
struct Pending {
  std::string folder;
  std::string pending;
  std::string copy;
};

Pending PendingOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('\\') + 1;
  const std::string pending = path.substr(0, slash) + kPendingFolder;
  return {path.substr(0, slash), pending, pending + "\\" + path.substr(slash)};
}

bool KeepCopy(MSIHANDLE install, const std::string& path, const Pending& pending) {
  if (!CreateDirectoryA(pending.pending.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    LogFailure(install, ("no folder " + pending.pending).c_str(), GetLastError());
    return false;
  }
  if (!CopyFileA(path.c_str(), pending.copy.c_str(), FALSE)) {
    LogFailure(install, ("no copy " + pending.copy).c_str(), GetLastError());
    return false;
  }
  return true;
}

// The copy, and the folders it leaves empty.
void DropCopy(const Pending& pending) {
  DeleteFileA(pending.copy.c_str());
  RemoveDirectoryA(pending.pending.c_str());
  RemoveDirectoryA(pending.folder.c_str());
}

}  // namespace

// Immediate: a run id of this transaction's own, and for every action whose
// target is RunTool, its command as CustomActionData: the executable's path,
// then the arguments that the property of the action's name holds
// (formatted, so that they may name the run id).
extern "C" __declspec(dllexport) UINT __stdcall ScheduleTool(MSIHANDLE install) {
  const std::optional<std::string> runId = NewRunId();
  if (!runId || MsiSetPropertyA(install, kRunId, runId->c_str()) != ERROR_SUCCESS) {
    Log(install, "no run id");
    return ERROR_INSTALL_FAILURE;
  }
  const std::optional<std::string> pathTemplate = Property(install, kToolPath);
  const std::optional<std::string> path = pathTemplate ? Formatted(install, *pathTemplate) : std::nullopt;
  if (!path || path->empty()) {
    Log(install, "no path of the tool");
    return ERROR_INSTALL_FAILURE;
  }
  const UniqueMsiHandle database(MsiGetActiveDatabase(install));
  MSIHANDLE opened = 0;
  if (!database.valid() || MsiDatabaseOpenViewA(database.get(), kActionsThatRunTheTool, &opened) != ERROR_SUCCESS) {
    Log(install, "no view of the custom actions");
    return ERROR_INSTALL_FAILURE;
  }
  const UniqueMsiHandle view(opened);
  if (MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) return ERROR_INSTALL_FAILURE;
  for (MSIHANDLE fetched = 0; MsiViewFetch(view.get(), &fetched) == ERROR_SUCCESS;) {
    const UniqueMsiHandle row(fetched);
    const std::optional<std::string> action =
        InstallerText([&](char* buffer, DWORD* length) { return MsiRecordGetStringA(row.get(), 1, buffer, length); });
    const std::optional<std::string> arguments = action ? Property(install, action->c_str()) : std::nullopt;
    const std::optional<std::string> formatted = arguments ? Formatted(install, *arguments) : std::nullopt;
    if (!formatted ||
        MsiSetPropertyA(install, action->c_str(), (*path + kSeparator + *formatted).c_str()) != ERROR_SUCCESS) {
      Log(install, "no command for " + action.value_or("an action"));
      return ERROR_INSTALL_FAILURE;
    }
  }
  return ERROR_SUCCESS;
}

// In the script: the tool run with the command ScheduleTool handed this
// action. A rollback or a commit runs after the files may have gone (an
// uninstall's commit, and under wine every rollback): each runs a copy of
// the tool that the action before it made in a folder beside it, and then
// drops the copy and the folders left empty.
extern "C" __declspec(dllexport) UINT __stdcall RunTool(MSIHANDLE install) {
  const std::string command = Property(install, "CustomActionData").value_or("");
  const std::string::size_type separator = command.find(kSeparator);
  if (separator == std::string::npos || command.rfind('\\', separator) == std::string::npos) {
    Log(install, "no command: " + command);
    return ERROR_INSTALL_FAILURE;
  }
  const std::string path = command.substr(0, separator);
  const std::string arguments = command.substr(separator + 1);
  const Pending pending = PendingOf(path);
  if (MsiGetMode(install, MSIRUNMODE_ROLLBACK) || MsiGetMode(install, MSIRUNMODE_COMMIT)) {
    const UINT result = RunMapped(install, pending.copy, arguments);
    DropCopy(pending);
    return result;
  }
  if (!KeepCopy(install, path, pending)) return ERROR_INSTALL_FAILURE;
  return RunMapped(install, path, arguments);
}
