// Where one proxy exception list lives: the key of the Internet settings of
// a user's hive or of the machine, in one registry view. Programs read the
// list from two places in it: the text value ProxyOverride, and the bypass
// list of each per-connection value under its key Connections
// (ConnectionSettings.h).
#pragma once

#include <windows.h>

#include "CString.h"
#include "ConnectionSettings.h"
#include "RegStringValue.h"
#include "RegValue.h"

class ProxyListKey {
 public:
  // `path`: the keys from `root` down to Internet Settings. `shownAs` and
  // `view` as CRegStringValue takes them.
  ProxyListKey(HKEY root, CString path, CString shownAs = CString(), REGSAM view = 0)
      : m_root(root), m_path(std::move(path)), m_shownAs(std::move(shownAs)), m_view(view) {}

  CRegStringValue Text() const { return CRegStringValue(m_root, m_path + "\\ProxyOverride", m_shownAs, m_view); }
  // `name`: one of kConnectionValues.
  CRegValue Connection(const char* name) const { return Value(CString("Connections\\") + name); }
  // A value by its path below the key ("ProxyOverride", "Connections\...").
  CRegValue Value(const CString& relative) const {
    const int slash = relative.ReverseFindOneOf("\\");
    const CString key = slash < 0 ? m_path : m_path + "\\" + relative.Left(slash);
    return CRegValue(m_root, key, relative.Mid(slash + 1), m_shownAs, m_view);
  }

  HKEY Root() const { return m_root; }
  const CString& Path() const { return m_path; }
  const CString& ShownAs() const { return m_shownAs; }
  REGSAM View() const { return m_view; }

 private:
  HKEY m_root;
  CString m_path;
  CString m_shownAs;
  REGSAM m_view;
};
