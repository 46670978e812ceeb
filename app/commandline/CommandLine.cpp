#include "CommandLine.h"

#include <algorithm>

#include "UndoRecord.h"

namespace {

bool Is(const CString& name, const char* expected) { return name.CompareNoCase(expected) == 0; }

// Takes one argument into `invocation`; false when it is not understood.
bool Take(const CString& argument, Invocation& invocation) {
  using Verb = Invocation::Verb;
  if (argument.GetLength() < 2 || (argument.GetString()[0] != '/' && argument.GetString()[0] != '-')) return false;
  const CString name = argument.Mid(1);
  Verb verb = Verb::dialog;
  if (Is(name, "set"))
    verb = Verb::set;
  else if (Is(name, "remove"))
    verb = Verb::remove;
  else if (Is(name, "check"))
    verb = Verb::check;
  else if (Is(name, "detect"))
    verb = Verb::detect;
  else if (Is(name.Left(5), "undo:") && IsUndoId(name.Mid(5)))
    verb = Verb::undo;
  else if (Is(name.Left(7), "forget:") && IsUndoId(name.Mid(7)))
    verb = Verb::forget;
  else if (Is(name, "?"))
    verb = Verb::usage;
  if (verb != Verb::dialog) {
    // The usage asked for wins over any verb; two verbs are not understood.
    if (invocation.verb == Verb::usage || verb == Verb::usage)
      verb = Verb::usage;
    else if (invocation.verb != Verb::dialog && invocation.verb != verb)
      return false;
    invocation.verb = verb;
    if (verb == Verb::undo || verb == Verb::forget) invocation.undoId = name.Mid(name.Find(':') + 1);
    return true;
  }
  // Both limits given: both settings.
  if (Is(name, "machine"))
    invocation.scope = invocation.scope == Scope::user ? Scope::both : Scope::machine;
  else if (Is(name, "user"))
    invocation.scope = invocation.scope == Scope::machine ? Scope::both : Scope::user;
  else if (Is(name, "allusers"))
    invocation.users = Users::all;
  else if (Is(name, "quiet"))
    invocation.quiet = true;
  else if (Is(name.Left(4), "log:") && name.GetLength() > 4)
    invocation.logPath = name.Mid(4);
  else if (Is(name.Left(8), "package:") && IsUndoId(name.Mid(8)))
    invocation.undoId = name.Mid(8);
  else
    return false;
  return true;
}

// By the settings that could be told: cannot tell only when no list could
// be (for every user, a list that cannot be read is named, not a failure).
ExitStatus StatusOfCheck(const std::vector<Shortfall>& settings, bool withHosts) {
  const auto unjudged = std::count_if(settings.begin(), settings.end(),
                                      [](const Shortfall& setting) { return setting.unjudged.has_value(); });
  const auto lists = static_cast<std::ptrdiff_t>(settings.size()) - (withHosts ? 1 : 0);
  if (unjudged > 0 && unjudged == lists) return kExitCannotTell;
  const bool inPlace =
      std::all_of(settings.begin(), settings.end(), [](const Shortfall& setting) { return setting.missing.empty(); });
  return inPlace ? kExitCompleted : kExitNothingChanged;
}

}  // namespace

Invocation ParseArguments(int argc, const char* const* argv) {
  Invocation invocation;
  CString allUsers;  // the argument that asked for every user, as given
  for (int i = 1; i < argc; ++i) {
    const CString argument(argv[i]);
    const Users before = invocation.users;
    if (!Take(argument, invocation)) {
      invocation.badArgument = argument;
      return invocation;
    }
    if (before != invocation.users) allUsers = argument;
  }
  using Verb = Invocation::Verb;
  // /log alone keeps the dialog; the other options need a verb.
  const bool dialogOptions = invocation.scope != Scope::both || invocation.quiet || invocation.users == Users::all;
  const bool action = invocation.verb == Verb::set || invocation.verb == Verb::remove;
  // Detection and the package's own verbs take /quiet and /log alone.
  const bool settingsOnly =
      invocation.verb == Verb::detect || invocation.verb == Verb::undo || invocation.verb == Verb::forget;
  const bool withoutItsVerb = (invocation.verb == Verb::dialog && dialogOptions) ||
                              (settingsOnly && (invocation.scope != Scope::both || invocation.users == Users::all)) ||
                              (!action && !settingsOnly && !invocation.undoId.IsEmpty());
  if (invocation.users == Users::all && invocation.scope == Scope::machine && !withoutItsVerb)
    invocation.badArgument = allUsers;
  else if (withoutItsVerb)
    invocation.badArgument = argv[1];
  return invocation;
}

VerbResult RunVerb(const Invocation& invocation, const RunIdentity& identity) {
  using Verb = Invocation::Verb;
  VerbResult result;
  const bool checking = invocation.verb == Verb::check || invocation.verb == Verb::detect;
  try {
    if (invocation.verb == Verb::check) {
      result.shortfalls = Check(invocation.scope, invocation.users, &result.outcomes, kUnattended);
      result.status = StatusOfCheck(result.shortfalls, invocation.scope != Scope::user);
    } else if (invocation.verb == Verb::detect) {
      result.shortfalls = Detect(identity.version);
      result.status = StatusOfCheck(result.shortfalls, true);
    } else if (invocation.verb == Verb::undo) {
      result.outcomes = UndoRun(invocation.undoId, kUnattended);
    } else if (invocation.verb == Verb::forget) {
      ForgetUndoRecord(&invocation.undoId);
    } else {
      Request request(invocation.verb == Verb::set ? Action::set : Action::remove, invocation.scope, invocation.users);
      request.patience = kUnattended;
      request.undoId = invocation.undoId;
      request.version = identity.version;
      request.time = identity.time;
      CarryOut(request, &result.outcomes);
    }
    if (!checking && DonePartly(result.outcomes)) result.status = kExitPartly;
  } catch (...) {
    result.failure = FailureOf(std::current_exception());
    result.status = checking ? RowOf(*result.failure).checking : RowOf(*result.failure).status;
  }
  return result;
}
