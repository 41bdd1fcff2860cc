// Test helpers for the scanner driver: a callback that records every event
// (optionally with a copy of each page's pixels) and lets a test wait for
// events, and a fixture that runs the driver in a private configuration
// folder (config.ini naming the virtual scanner) and exits it at the end.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/driver/sane_qnsane.h"
#include "support/temp_dir.h"

struct RecordedEvent {
    SANE_Int code = 0;
    std::string text;  // the text, or the scanner name of a device event
    SANE_Int value = 0;
    SANE_Handle opaque = nullptr;
    SANE_Parameters parameters{};
    SANE_Int resolution = 0;
    SANE_Int pageNumber = 0;
    std::vector<uint8_t> pixels;  // only when the recorder keeps pixels
    std::thread::id thread;       // the thread the callback ran on
};

class EventRecorder {
  public:
    using Hook = std::function<void(const RecordedEvent&)>;
    using Predicate = std::function<bool(const std::vector<RecordedEvent>&)>;

    static SANE_Int Callback(void* opaque, SANE_Int code, void* data, SANE_Int* value, void* user);

    void KeepPixels(bool keep);
    // Runs inside the callback before the event is recorded, without the
    // recorder's lock held (it may block).
    void SetHook(Hook hook);

    bool WaitFor(const Predicate& predicate,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Waits until count SANE_EVENT_SCAN_FINISHED events have been recorded.
    bool WaitForFinished(int count = 1);
    bool WaitForDevice(SANE_Int code, const std::string& name);

    std::vector<RecordedEvent> Events();
    // Events other than device arrivals and removals.
    std::vector<RecordedEvent> ScanEvents();
    void Clear();

  private:
    void Record(RecordedEvent event);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RecordedEvent> events_;
    bool keepPixels_ = false;
    Hook hook_;
};

int CountCode(const std::vector<RecordedEvent>& events, SANE_Int code);
std::vector<RecordedEvent> Pages(const std::vector<RecordedEvent>& events);

class DriverTest : public ::testing::Test {
  protected:
    DriverTest();
    ~DriverTest() override;

    std::string ConfigFile() const { return dir_.path() + "config.ini"; }
    void SetConfig(const char* section, const char* key, const std::string& value);
    // sane_qnsane_init_ex with the recorder; the configured scanners' arrival
    // has been reported when it returns true.
    bool InitDriver();
    SANE_Handle OpenScanner(const std::string& name = "Virtual Scanner");

    // The option index with the title, or -1.
    static SANE_Int FindOption(SANE_Handle handle, const std::string& title);
    static SANE_Status SetString(SANE_Handle handle, const std::string& title,
                                 const std::string& value);
    static SANE_Status SetWord(SANE_Handle handle, const std::string& title, SANE_Word value);
    static std::string GetString(SANE_Handle handle, const std::string& title);
    static SANE_Word GetWord(SANE_Handle handle, const std::string& title);

    // Starts a scan, waits for its finish and returns its events (the
    // recorder is cleared first).
    std::vector<RecordedEvent> Scan(SANE_Handle handle);

    testing_support::TempDir dir_;
    testing_support::ScopedEnv env_;
    testing_support::ScopedEnv driverChoice_;  // the file names the driver, not the environment
    EventRecorder recorder_;
};
