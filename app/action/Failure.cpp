#include "Failure.h"

#include <iterator>
#include <new>
#include <string>

#include "BusyException.h"
#include "FileException.h"
#include "RegistryException.h"
#include "resource.h"

namespace {

const FailureRow kRows[] = {
    // word, status, checking, text, urgent
    {"cannot be read", kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 0, false},
    {"cannot be written", kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 1, false},
    {"not put back", kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 2, false},
    {"a service account's", kExitServiceAccount, kExitServiceAccount, IDS_REGISTRY_ERROR_BASE + 3, false},
    {"not text", kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 4, false},
    {"not in the code page", kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 5, false},
    {"may not be changed", kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 6, false},
    {"changed by another", kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 7, false},
    {"not of a known form", kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 8, false},
    {"hive not loaded", kExitFailed, kExitCannotTell, IDS_FILE_ERROR_BASE, false},
    {"busy", kExitBusy, kExitBusy, IDS_ANOTHER_RUN_BUSY, false},
    {"out of memory", kExitFailed, kExitCannotTell, IDS_OUT_OF_MEMORY, true},
    {"failed", kExitFailed, kExitCannotTell, IDS_FILE_ERROR_BASE + CFileException::genericException, false},
};
static_assert(std::size(kRows) == Failure::unknown + 1, "a row for each kind of failure");

}  // namespace

Failure FailureOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const CFileException& file) {
    return {Failure::file, file.m_cause, file.m_lOsError, file.m_strFileName, {}};
  } catch (const CRegistryException& registry) {
    return {static_cast<Failure::Kind>(registry.m_cause), 0, registry.m_lOsError, registry.m_strValueName,
            registry.m_strFileName};
  } catch (const CBusyException&) {
    return {Failure::busy, 0, 0, {}, {}};
  } catch (const std::bad_alloc&) {
    return {Failure::outOfMemory, 0, 0, {}, {}};
  } catch (...) {
    return {};
  }
}

std::optional<Failure> FailureOfOne(const std::function<void()>& work) {
  try {
    work();
    return std::nullopt;
  } catch (const CRegistryException&) {
    return FailureOf(std::current_exception());
  } catch (const CFileException&) {
    return FailureOf(std::current_exception());
  }
}

const FailureRow& RowOf(const Failure& failure) { return kRows[failure.kind]; }

UINT TextOf(const Failure& failure) {
  if (failure.kind != Failure::file) return RowOf(failure).text;
  // The system's errors, then the tool's own refusals; any other cause is an unknown error.
  const int cause = failure.fileCause;
  if (cause > CFileException::none && cause < IDS_FILE_ERROR_CAUSES) return IDS_FILE_ERROR_BASE + cause;
  const int refusal = cause - IDS_FILE_ERROR_CAUSES;
  if (refusal >= 0 && refusal < IDS_FILE_REFUSALS) return IDS_FILE_REFUSAL_BASE + refusal;
  return IDS_FILE_ERROR_BASE + CFileException::genericException;
}

CString WordsOf(const Failure& failure) {
  const CString word = RowOf(failure).word;
  return failure.osError ? word + ", error " + std::to_string(failure.osError).c_str() : word;
}
