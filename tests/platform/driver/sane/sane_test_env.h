// A private SANE set-up for one test: a configuration folder whose dll.conf
// names SANE's own "test" backend and the tests' "crashy" backend, the
// environment that makes the worker process use it, and the cue file that
// tells the crashy backend how to misbehave.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "support/temp_dir.h"

class SaneTestEnv {
  public:
    // extraTestConf: more lines for test.conf (e.g. "number_of_devices 1").
    explicit SaneTestEnv(const std::string& extraTestConf = "");

    std::string configDir() const { return dir_.path() + "sane/"; }
    // What the crashy backend does from now on: "abort-read", "abort-list",
    // "sleep-read", or "" for normal behaviour.
    void Cue(const std::string& cue);
    // Waits until the backend blocks on the "sleep-read" cue; false after
    // timeout.
    bool WaitUntilReadBlocks(std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

    // Runs scanimage with the private configuration and returns its standard
    // output (the image); empty when it fails.
    std::string ScanImage(const std::string& arguments) const;

  private:
    testing_support::TempDir dir_;
    std::unique_ptr<testing_support::ScopedEnv> config_;
    std::unique_ptr<testing_support::ScopedEnv> libraryPath_;
    std::unique_ptr<testing_support::ScopedEnv> cue_;
    std::unique_ptr<testing_support::ScopedEnv> worker_;
};

// A decoded PNM image (P4, P5 or P6 as scanimage writes them).
struct Pnm {
    char kind = 0;  // '4', '5' or '6'
    int width = 0;
    int height = 0;
    int maxValue = 1;
    std::string pixels;  // rows as stored in the file
};
bool ParsePnm(const std::string& file, Pnm* image);
