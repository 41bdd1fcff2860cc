// The line the service logs once it serves: which build, which generation,
// which scanner driver and where it listens, so a user (or scripts/run.sh, or
// the journal) can see at a glance what is running and how to reach it.
// Service thread; it only formats and logs the values given.
#pragma once

#include <string>
#include <vector>

// Logs "scanbridge <version> generation <N> driver <name> listening on
// <address>:<port>[, <address>:<port>]".
void LogStartup(int generation, const std::string& driver,
                const std::vector<std::string>& addresses);
