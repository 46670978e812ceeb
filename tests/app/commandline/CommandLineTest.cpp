#include "CommandLine.h"

#include <string>
#include <vector>

#include "hosts/HostsFixture.h"

namespace {

using Verb = Invocation::Verb;

Invocation Parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "tool.exe");
  return ParseArguments(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLineTest, SwitchesAreReadInAnyCaseAfterEitherMark) {
  const struct {
    std::vector<const char*> arguments;
    Verb verb;
    Scope scope;
    bool quiet;
    const char* log;
    Users users = Users::desktop;
    const char* id = "";  // the package's
  } cases[] = {
      {{}, Verb::dialog, Scope::both, false, ""},
      {{"/set"}, Verb::set, Scope::both, false, ""},
      {{"-REMOVE", "/Quiet"}, Verb::remove, Scope::both, true, ""},
      {{"/machine", "-check"}, Verb::check, Scope::machine, false, ""},
      {{"/check", "/user", "/MACHINE"}, Verb::check, Scope::both, false, ""},
      {{"/set", "/set", "/Log:C:\\logs\\a b.log"}, Verb::set, Scope::both, false, "C:\\logs\\a b.log"},
      {{"/log:x.log"}, Verb::dialog, Scope::both, false, "x.log"},
      {{"/set", "-?"}, Verb::usage, Scope::both, false, ""},
      {{"/AllUsers", "/set", "/quiet"}, Verb::set, Scope::both, true, "", Users::all},
      {{"/check", "-allusers", "/user"}, Verb::check, Scope::user, false, "", Users::all},
      {{"/remove", "/allusers", "/machine", "/user"}, Verb::remove, Scope::both, false, "", Users::all},
      {{"/Detect", "/quiet"}, Verb::detect, Scope::both, true, ""},
      {{"/set", "/allusers", "/quiet", "/package:{0A1B-2c}"},
       Verb::set,
       Scope::both,
       true,
       "",
       Users::all,
       "{0A1B-2c}"},
      {{"-undo:{0A1B-2c}", "/quiet"}, Verb::undo, Scope::both, true, "", Users::desktop, "{0A1B-2c}"},
      {{"/FORGET:x1"}, Verb::forget, Scope::both, false, "", Users::desktop, "x1"},
  };
  for (const auto& c : cases) {
    const Invocation invocation = Parse(c.arguments);
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(invocation.badArgument, "");
    EXPECT_EQ(invocation.verb, c.verb);
    EXPECT_EQ(invocation.scope, c.scope);
    EXPECT_EQ(invocation.quiet, c.quiet);
    EXPECT_EQ(invocation.logPath, c.log);
    EXPECT_EQ(invocation.users, c.users);
    EXPECT_EQ(invocation.undoId, c.id);
  }
}

TEST(CommandLineTest, TheFirstArgumentNotUnderstoodIsNamed) {
  const std::string tooLong = "/forget:" + std::string(65, 'a');  // an id names a file
  const struct {
    std::vector<const char*> arguments;
    const char* named;
  } cases[] = {
      {{"/set", "/remove"}, "/remove"},
      {{"/quiet"}, "/quiet"},
      {{"/user", "/log:x"}, "/user"},
      {{"/set", "/bogus", "/x"}, "/bogus"},
      {{"set"}, "set"},
      {{"/log:"}, "/log:"},
      {{"/"}, "/"},
      {{"/set:"}, "/set:"},
      {{"/allusers"}, "/allusers"},
      {{"/log:x", "/allusers"}, "/log:x"},
      {{"/set", "/ALLUSERS", "/machine"}, "/ALLUSERS"},
      {{"/machine", "/check", "-allusers"}, "-allusers"},
      {{"/detect", "/allusers"}, "/detect"},
      {{"/undo:a", "/user"}, "/undo:a"},
      {{"/check", "/package:a"}, "/check"},
      {{"/package:a"}, "/package:a"},
      {{"/set", "/package:"}, "/package:"},
      {{"/undo:..\\x"}, "/undo:..\\x"},
      {{tooLong.c_str()}, tooLong.c_str()},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.arguments).badArgument, c.named) << c.named;
}

#ifndef _WIN32
// The statuses of the conditions only the fake can make; a refusal changes
// nothing.
class VerbTest : public HostsFileTest {};

TEST_F(VerbTest, EachConditionEndsWithItsOwnStatus) {
  const std::string set = ManagedLines();
  const struct {
    const char* name;
    std::vector<const char*> arguments;
    std::optional<std::string> hosts;
    const char* processUser = fakewin::kUserSid;
    DWORD lock = WAIT_OBJECT_0;
    ExitStatus status = kExitCompleted;
  } cases[] = {
      {"set, busy", {"/set"}, "", fakewin::kUserSid, WAIT_TIMEOUT, kExitBusy},
      {"set as SYSTEM", {"/set"}, "", "S-1-5-18", WAIT_OBJECT_0, kExitServiceAccount},
      {"check as SYSTEM", {"/check"}, set, "S-1-5-18", WAIT_OBJECT_0, kExitServiceAccount},
      {"set the hosts file as SYSTEM", {"/set", "/machine"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteHosts(*c.hosts);
    fakewin::SetUsers(c.processUser, nullptr);
    fakewin::HoldMutexes(c.lock);
    const VerbResult result = RunVerb(Parse(c.arguments));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.failure.has_value(), c.status != kExitCompleted && c.status != kExitNothingChanged);
    if (result.failure) {
      EXPECT_EQ(Hosts(), *c.hosts);
    }
    fakewin::HoldMutexes(WAIT_OBJECT_0);
  }
}
#endif

}  // namespace
