// Runs the real service executable for an end-to-end test, in a private
// folder tree: the configuration, documents and temporary folders point into
// a fresh temporary folder, and everything the service logs goes to a file
// the test can read. When the test has failed by the time the object goes,
// the log is printed, so every end-to-end failure shows what the service
// saw.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testing_support {

class ServiceProcess {
  public:
    ServiceProcess();
    ~ServiceProcess();  // kills the process if it still runs

    // Folders of the private tree, each ending with "/".
    std::string configDir() const { return root_.path() + "config/"; }
    std::string documentsDir() const { return root_.path() + "documents/"; }
    std::string tmpDir() const { return root_.path() + "tmp/"; }
    const TempDir& root() const { return root_; }

    // Writes key=value into a configuration file's section before (or while)
    // the service runs.
    void SetConfig(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

    // Starts the executable with SCANBRIDGE_DRIVER=virtual; extra environment
    // variables may be given (SCANBRIDGE_DRIVER=sane runs real scanners).
    void Start(const std::map<std::string, std::string>& environment = {});
    // Waits until the log contains text; false on timeout or early exit.
    bool WaitForLog(const std::string& text,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Sends a signal and waits for the exit; returns the exit status, or -1
    // when the process did not exit in time (it is then killed), or 1000 + the
    // signal number when a signal ended it.
    int Stop(int signal, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Waits for an exit without sending anything (same results as Stop).
    int WaitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool Running();

    std::string Log() const;
    // Writes the log to standard error.
    void PrintLog() const;
    pid_t pid() const { return pid_; }

  private:
    TempDir root_;
    pid_t pid_ = -1;
    int status_ = 0;
    bool exited_ = false;
};

// What a run of the executable that ends by itself left behind.
struct CommandOutput {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs the service executable with these arguments and extra environment
// variables to its end, collecting standard output and standard error.
CommandOutput RunExecutable(const std::vector<std::string>& arguments,
                            const std::map<std::string, std::string>& environment = {});

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreePort();

}  // namespace testing_support
