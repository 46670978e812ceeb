// The two things the tool does, as the main dialog offers them: Set adds the
// managed hosts and the proxy exceptions, Remove settings takes them out.
#pragma once

enum class Action { set, remove };

// Remove settings when the user's proxy exception list holds the wildcard,
// Set otherwise. Raises CRegistryException when the list cannot be read.
Action OfferedAction();

// Carries the action out on both settings, or on neither: the proxy list is
// written only once the new hosts file is on disk beside the old one, and
// put back exactly as it was when the hosts file then cannot be replaced.
// Raises CFileException or CRegistryException when the action failed; both
// settings are then as they were, unless the report says the proxy list
// could not be put back (CRegistryException::restoreFailed).
void CarryOut(Action action);
