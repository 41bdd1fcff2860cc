// What was built: the project version (from the CMake project) and the git
// commit of the source tree it was built from ("unknown" outside a git
// checkout; "-dirty" appended when tracked files were changed). The
// definitions are generated at build time. Any thread may call these.
#pragma once

const char* ScanBridgeVersion();
const char* ScanBridgeCommit();
