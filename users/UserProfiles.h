// The profiles of the PC as the system lists them: whose proxy exception
// lists a run for every user covers.
#pragma once

#include <vector>

#include "CString.h"

// Under HKEY_LOCAL_MACHINE: a key per profile, named by its user's SID.
inline constexpr const char* PROFILE_LIST_PATH = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

struct UserProfile {
  enum class Kind {
    ordinary,
    mandatory,  // NTUSER.MAN: what a session changes is dropped when it ends
    notOnDisk,  // an entry whose folder or hive file is gone, or one the system set aside or made for the moment
  };

  CString sid;       // empty: the Default profile, which accounts made later start from
  CString hivePath;  // the profile's NTUSER.DAT, or NTUSER.MAN
  Kind kind = Kind::ordinary;
  CString entry = CString();  // notOnDisk: the profile list's key, as the log names it
};

// Each user's profile in the list's order, the service accounts' left out,
// then the Default profile where the system names one. Raises
// CRegistryException (readFailed) when the list or an entry's folder value
// cannot be read.
std::vector<UserProfile> UserProfiles();
