// The scanner driver's settings in "config.ini" of the configuration folder:
// [driver] "name" selects the driver; [virtual] describes the virtual
// scanner's devices and how its scans behave; [sane] tunes the SANE driver.
//
// Every function reads the file afresh (the profile functions are safe on any
// thread), so a test or a user can change the settings while the service
// runs. Missing keys give the defaults below.
#pragma once

#include <set>
#include <string>
#include <vector>

// Full path of "config.ini" in the configuration folder.
std::string DriverConfigFile();

// The driver to run: the environment variable SCANBRIDGE_DRIVER when set and
// not empty, else [driver] "name"; blanks trimmed and in lower case; "sane"
// (real scanners) when neither names one.
std::string ReadDriverName();

// [virtual] "devices": scanner names separated by "|" (default "Virtual
// Scanner"; an empty value means no scanner).
std::vector<std::string> ReadVirtualDevices();

// The [virtual] keys that shape a scan, read at every start.
struct VirtualScanConfig {
    int sheets = 3;            // "sheets": sheets in the feeder for continuous scanning
    int pageDelayMs = 50;      // "page_delay_ms": time the scanner takes per page
    std::set<int> blankPages;  // "blank_pages": 1-based page numbers that come out blank
    bool failStart = false;    // "fail_start" 1: the scanner refuses to start
    int jamAfter = 0;          // "jam_after" N > 0: the paper jams after N delivered pages
};
VirtualScanConfig ReadVirtualScanConfig();

// The [sane] keys of the SANE driver, read at init.
struct SaneConfig {
    int readTimeoutS = 120;  // "read_timeout_s": a read that brings nothing for this long fails
    int pollMs = 3000;       // "poll_ms": how often the device list is read again
    int firstListMs = 5000;  // "first_list_ms": how long init waits for the first list
};
SaneConfig ReadSaneConfig();

// "A|B | |A" -> {"A", "B"}: blanks around names are trimmed, empty names and
// repeated names are dropped, order is kept.
std::vector<std::string> ParseDeviceList(const std::string& text);

// "2, 5,x,0,7" -> {2, 5, 7}: comma-separated positive decimal numbers; any
// other entry is ignored.
std::set<int> ParsePageList(const std::string& text);
