// The two things the tool does, each carried out start to end: Set adds the
// managed hosts and the proxy exceptions, Remove settings takes them out.
#pragma once

enum class Settings { set, remove };

// Reads the hosts file before anything changes, so that a file that cannot be
// had leaves both settings alone; then changes the proxy exception list and
// replaces the hosts file. Raises CFileException when the hosts file cannot be
// read or replaced; the hosts file is then as it was.
void ApplySettings(Settings which);
