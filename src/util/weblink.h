#pragma once
// The maker's web page, shown by the link `LblVMIX` and opened in the desktop's browser when it
// is clicked. Opening it is best effort: a failure is not reported.

namespace velorixa::util {

inline constexpr const char* kMakerPageText = "velorixa.org";
inline constexpr const char* kMakerPageUrl = "https://velorixa.org/";

}  // namespace velorixa::util
