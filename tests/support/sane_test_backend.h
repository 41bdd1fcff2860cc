// SANE's own "test" backend for end-to-end tests: a private SANE
// configuration folder whose dll.conf names only "test", and the
// environment that makes a service run the SANE driver on it.
#pragma once

#include <map>
#include <string>

#include "support/temp_dir.h"

namespace testing_support {

// Writes folder + "sane/" (dll.conf and test.conf with testConf's lines)
// and returns the environment for ServiceProcess::Start.
std::map<std::string, std::string> SaneTestBackend(const TempDir& folder,
                                                   const std::string& testConf = "");

}  // namespace testing_support
