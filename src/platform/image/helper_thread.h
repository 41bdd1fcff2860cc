// A second thread for work that one caller splits in two: the caller hands
// one part to the helper and does the other itself, so a large decode uses two
// cores without starting a thread per call.
//
// There is one helper per process, started on first use (on the base
// library's threads) and ended at exit. It serves one caller at a time; a
// caller that finds it busy, or a process that could not start it, does all
// the work itself. Any thread may use a HelperRun; the one that started a task
// waits for it, at the latest in its destructor, so the task's data may live
// in the caller's frame.
#pragma once

namespace kximage {

using HelperTask = void (*)(void* param);

class HelperRun {
  public:
    HelperRun() = default;
    ~HelperRun() { Wait(); }
    HelperRun(const HelperRun&) = delete;
    HelperRun& operator=(const HelperRun&) = delete;

    // Starts task(param) on the helper and returns true; false at once when
    // the helper is busy or unavailable (nothing was started).
    bool Start(HelperTask task, void* param);
    // Returns when the started task has returned; at once when none was started.
    void Wait();

  private:
    bool started_ = false;
};

}  // namespace kximage
