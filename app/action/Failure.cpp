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
    // status, checking, text, word, urgent
    {kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 0, "cannot be read", false},
    {kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 1, "cannot be written", false},
    {kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 2, "not put back", false},
    {kExitServiceAccount, kExitServiceAccount, IDS_REGISTRY_ERROR_BASE + 3, "a service account's", false},
    {kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 4, "not text", false},
    {kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 5, "not in the code page", false},
    {kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 6, "may not be changed", false},
    {kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 7, "changed by another", false},
    {kExitFailed, kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 8, "not of a known form", false},
    {kExitFailed, kExitCannotTell, IDS_FILE_ERROR_BASE, "hive not loaded", false},
    {kExitBusy, kExitBusy, IDS_ANOTHER_RUN_BUSY, "busy", false},
    {kExitFailed, kExitCannotTell, IDS_OUT_OF_MEMORY, "out of memory", true},
    {kExitFailed, kExitCannotTell, IDS_FILE_ERROR_BASE + CFileException::genericException, "failed", false},
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
