#include "ModulePath.h"

namespace {

constexpr char kSeparators[] = "\\/:";

// Position of the extension's dot in the last component, or -1.
int ExtensionDot(const CString& path) {
  const int dot = path.ReverseFindOneOf(".");
  return dot > path.ReverseFindOneOf(kSeparators) ? dot : -1;
}

}  // namespace

CString AppNameFromModulePath(const CString& path) {
  const int dot = ExtensionDot(path);
  const CString withoutExtension = dot >= 0 ? path.Left(dot) : path;
  return withoutExtension.Mid(withoutExtension.ReverseFindOneOf(kSeparators) + 1);
}

CString HelpFilePathFromModulePath(const CString& path) {
  const int dot = ExtensionDot(path);
  return (dot >= 0 ? path.Left(dot) : path) + ".HLP";
}
