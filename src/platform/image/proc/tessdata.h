// Locates Tesseract's language data. Stateless; any thread.
#pragma once

#include <string>
#include <vector>

namespace kximgproc {

// The first folder holding "<language>.traineddata" for every language
// given, looked for in $TESSDATA_PREFIX (the folder itself or its
// "tessdata" subfolder), then in the system's tessdata folders. The folder
// ends with "/"; empty when none has them all.
std::string FindTessdata(const std::vector<std::string>& languages);

}  // namespace kximgproc
