# Writes build_info.cpp with the version and the git commit of the source
# tree. Run at every build (cmake -P) so the commit follows the checkout; the
# file is only rewritten when its text changes, so an unchanged commit
# rebuilds nothing.
#   -DSOURCE_DIR=<source tree> -DVERSION=<x.y.z> -DOUTPUT=<file>
set(COMMIT "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
    # The abbreviated commit, "-dirty" when tracked files differ from it;
    # tags are excluded so the text is always a commit.
    execute_process(
        COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} describe --always --dirty --abbrev=12 --exclude=*
        OUTPUT_VARIABLE described
        RESULT_VARIABLE failed
        OUTPUT_STRIP_TRAILING_WHITESPACE
        ERROR_QUIET)
    if(NOT failed AND described)
        set(COMMIT "${described}")
    endif()
endif()
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT [[
// Generated at build time from the project version and the source checkout.
#include "service/build_info.h"

const char* ScanBridgeVersion() { return "@VERSION@"; }
const char* ScanBridgeCommit() { return "@COMMIT@"; }
]] @ONLY)
