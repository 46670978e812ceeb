#include "HelpFile.h"

#include "PlainFile.h"
#include "Trust.h"

bool MayOpenHelpFile(const CString& path) {
  const int slash = path.ReverseFindOneOf("\\/");
  const CString holding = path.Left(slash < 0 ? 0 : slash);
  // "E:" alone would be drive E's current folder, not its root.
  const CFolder folder(holding.View().ends_with(':') ? holding + "\\" : holding);
  return folder.IsOpen() && !folder.IsLink() && TrustOf(folder.Handle(), true) == Distrust::none;
}
