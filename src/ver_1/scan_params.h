// The first generation's scan parameters of one scanner and their storage
// in "config1.ini" (one section per scanner, keys named after the fields).
//
// Plain value type; any thread may use its own copy. LoadParams and
// SaveParams go through the profile calls, which are serialised
// process-wide.
#pragma once

#include <string>

namespace ver_1 {

struct ScanParams {
    std::string device;
    bool autofeeder = false;
    int pixel = 0;
    bool white = false;
    int discardBlankThre = 0;
    bool single = false;
    std::string format;
    int resolution = 0;
    int orentation = 0;
    std::string paperType;
    int splitImage = 0;
    bool noiseDetachEnable = false;
    int noiseDetach = 0;
    int uploadMode = 0;
    std::string httpUrl;
    std::string fileName;
    std::string httpMethod;
    std::string header;
    std::string param;
    std::string ftpUrl;
    std::string ftpPath;
    std::string ftpUser;
    std::string ftpPassword;
    int ftpPort = 0;
    int ftpMode = 0;

    // A new record: empty strings, then the reset values.
    ScanParams();
};

// Sets the numeric and boolean fields and "format", "paperType" and
// "ftpPath" to their reset values; the other strings stay.
void ResetParams(ScanParams& params);

// "config1.ini" in the configuration folder.
std::string ParamsFilePath();

// Reads every key of section, each with its own default when missing.
void LoadParams(ScanParams& params, const std::string& section);
// Writes every field under section; write failures are ignored.
void SaveParams(const ScanParams& params, const std::string& section);

}  // namespace ver_1
