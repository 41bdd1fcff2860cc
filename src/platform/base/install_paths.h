// Where the service's own files are: the folder of the running executable
// and the folder of the read-only files shipped with it (documents, the demo
// page). Any thread may call these.
//
// Installed, the executable is <prefix>/bin/scanbridge and its shared files
// are in <prefix>/share/scanbridge/, found relative to the executable so any
// prefix works; run from a build tree, the source tree holds them instead.
#pragma once

#include <string>

// Folder of the running executable, ending in "/"; empty when unknown.
std::string ExecutableFolder();

// Folder of the shared files, ending in "/".
std::string ShareFolder();

// The choice ShareFolder makes: executableFolder/../share/scanbridge/ when
// that folder exists, else sourceFolder (both end in "/").
std::string ChooseShareFolder(const std::string& executableFolder, const std::string& sourceFolder);
