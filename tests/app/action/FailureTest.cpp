#include "Failure.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "BusyException.h"
#include "FileException.h"
#include "RegistryException.h"
#include "resource.h"

namespace {

// Each thing a step raises, as the failure it tells: its status for a run
// and for a check, its text, its words in the log.
TEST(FailureTest, EachKindIsToldByItsRow) {
  const struct {
    std::exception_ptr raised;
    ExitStatus status;
    ExitStatus checking;
    UINT text;
    const char* words;
  } cases[] = {
      {std::make_exception_ptr(CFileException(CFileException::sharingViolation, 32, "C:\\Hosts")), kExitFailed,
       kExitCannotTell, IDS_FILE_ERROR_BASE + CFileException::sharingViolation, "hive not loaded, error 32"},
      {std::make_exception_ptr(CFileException(CFileException::readOnly, 5, "C:\\Hosts")), kExitFailed, kExitCannotTell,
       IDS_FILE_REFUSAL_BASE + 2, "hive not loaded, error 5"},
      {std::make_exception_ptr(CFileException(99, 0, "C:\\Hosts")), kExitFailed, kExitCannotTell,
       IDS_FILE_ERROR_BASE + CFileException::genericException, "hive not loaded"},
      {std::make_exception_ptr(CRegistryException(CRegistryException::notText, 13, "HKEY_USERS\\x")), kExitFailed,
       kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 4, "not text, error 13"},
      {std::make_exception_ptr(CRegistryException(CRegistryException::serviceAccount, 0, "HKEY_USERS\\S-1-5-18")),
       kExitServiceAccount, kExitServiceAccount, IDS_REGISTRY_ERROR_BASE + 3, "a service account's"},
      {std::make_exception_ptr(CRegistryException(CRegistryException::unknownForm, 13, "HKEY_USERS\\x")), kExitFailed,
       kExitCannotTell, IDS_REGISTRY_ERROR_BASE + 8, "not of a known form, error 13"},
      {std::make_exception_ptr(CBusyException()), kExitBusy, kExitBusy, IDS_ANOTHER_RUN_BUSY, "busy"},
      {std::make_exception_ptr(std::bad_alloc()), kExitFailed, kExitCannotTell, IDS_OUT_OF_MEMORY, "out of memory"},
      {std::make_exception_ptr(42), kExitFailed, kExitCannotTell,
       IDS_FILE_ERROR_BASE + CFileException::genericException, "failed"},
  };
  for (const auto& c : cases) {
    const Failure failure = FailureOf(c.raised);
    SCOPED_TRACE(std::string(WordsOf(failure).View()));
    EXPECT_EQ(RowOf(failure).status, c.status);
    EXPECT_EQ(RowOf(failure).checking, c.checking);
    EXPECT_EQ(TextOf(failure), c.text);
    EXPECT_EQ(WordsOf(failure), c.words);
  }
  const Failure lost = FailureOf(std::make_exception_ptr([] {
    CRegistryException error(CRegistryException::restoreFailed, 5, "HKEY_CURRENT_USER\\x");
    error.m_strFileName = "C:\\Hosts";
    return error;
  }()));
  EXPECT_EQ(lost.target, "HKEY_CURRENT_USER\\x");
  EXPECT_EQ(lost.replaced, "C:\\Hosts");
}

}  // namespace
