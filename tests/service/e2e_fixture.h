// A running service in a private folder tree, serving generation 2 on a free
// port, for end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/service_process.h"

namespace testing_support {

// The rest of the first log line that contains text, after text; empty
// when no line does.
inline std::string LogLineAfter(const std::string& log, const std::string& text) {
    size_t found = log.find(text);
    if (found == std::string::npos) return {};
    size_t start = found + text.size();
    return log.substr(start, log.find('\n', start) - start);
}

class ServiceTest : public ::testing::Test {
  protected:
    // Starts generation 2 on a free port and waits until it listens.
    void StartGeneration2() {
        port_ = FreePort();
        service_.SetConfig("config2.ini", "connect", "port", std::to_string(port_));
        service_.Start();
        ASSERT_TRUE(service_.WaitForLog("open webserver success, port=" + std::to_string(port_)))
            << service_.Log();
    }

    // Every test ends with a graceful stop that must succeed: exit status 0
    // also means the sanitizers found no leak or error during the run.
    void TearDown() override {
        if (service_.pid() > 0 && service_.Running()) {
            EXPECT_EQ(service_.Stop(SIGTERM), 0) << service_.Log();
        }
    }

    ServiceProcess service_;
    int port_ = 0;
};

}  // namespace testing_support
