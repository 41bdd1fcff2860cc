// A real browser against the generation-2 endpoint: a page served by a
// second local web server opens the WebSocket. From an origin that is not
// allowed the browser cannot connect; from this machine's own origin the
// page scans. The page reports by requesting "/result?<outcome>" from its
// own server, whose request log the test reads.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "service/e2e_fixture.h"

extern char** environ;

namespace testing_support {
namespace {

// A child process in its own process group, ended (group and all) by the
// destructor; its output goes to a file.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::string& logPath) {
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&files, 1, 2);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], &files, &attributes, args.data(), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&files);
    }
    ~Child() {
        if (pid_ <= 0) return;
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool started() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits until the file holds text; the whole file when it does, "" otherwise.
std::string WaitForText(const std::string& path, const std::string& text,
                        std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::string content = ReadText(path);
        if (content.find(text) != std::string::npos) return content;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return "";
}

// The page: open the scanner, scan, and report how many pages arrived, or
// that the connection failed.
std::string ScanPage(int servicePort) {
    return R"(<!doctype html><html><body><script>
const report = (text) => fetch('/result?' + encodeURIComponent(text)).catch(() => {});
let images = 0, done = false;
const ws = new WebSocket('ws://127.0.0.1:)" +
           std::to_string(servicePort) + R"(/');
ws.onerror = () => { if (!done) { done = true; report('refused'); } };
ws.onopen = () => ws.send(JSON.stringify({func: 'init_device'}));
ws.onmessage = (event) => {
  const m = JSON.parse(event.data);
  if (m.func === 'device_arrive') ws.send(JSON.stringify({func: 'open_device'}));
  else if (m.func === 'open_device') ws.send(JSON.stringify({func: 'start_scan'}));
  else if (m.func === 'scan_image') images++;
  else if (m.func === 'scan_end') { done = true; report('scanned-' + images); ws.close(); }
};
</script></body></html>)";
}

class Browser : public ServiceTest {
  protected:
    // Serves the page from host:port and opens it in headless Chromium;
    // returns the page's outcome ("" when it reported nothing in time).
    std::string Visit(const std::string& host) {
        std::string site = service_.root().path() + "site-" + host + "/";
        std::filesystem::create_directories(site);
        std::ofstream(site + "page.html") << ScanPage(port_);
        int sitePort = FreePort();
        std::string serverLog = site + "../server-" + host + ".log";
        Child server({"python3", "-m", "http.server", "--bind", host, std::to_string(sitePort),
                      "--directory", site},
                     serverLog);
        if (!server.started() ||
            WaitForText(serverLog, "Serving HTTP", std::chrono::seconds(10)).empty()) {
            return "<no page server>";
        }
        Child browser({"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                       "--user-data-dir=" + site + "../profile-" + host,
                       "http://" + host + ":" + std::to_string(sitePort) + "/page.html"},
                      site + "../browser-" + host + ".log");
        std::string log = WaitForText(serverLog, "GET /result?", std::chrono::seconds(90));
        size_t start = log.find("GET /result?");
        if (start == std::string::npos) return "";
        start += 12;
        return log.substr(start, log.find(' ', start) - start);
    }
};

TEST_F(Browser, PageOfAForeignOriginCannotConnectWhileThisMachinesPageScans) {
    StartGeneration2();
    // 127.0.0.2 reaches this machine too, but is not one of its loopback
    // names, so its pages count as foreign.
    EXPECT_EQ(Visit("127.0.0.2"), "refused") << service_.Log();
    EXPECT_NE(service_.Log().find("refused a request from origin http://127.0.0.2:"),
              std::string::npos);
    EXPECT_EQ(Visit("127.0.0.1"), "scanned-3") << service_.Log();
}

}  // namespace
}  // namespace testing_support
