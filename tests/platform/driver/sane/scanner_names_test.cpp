#include "platform/driver/sane/scanner_names.h"

#include <gtest/gtest.h>

namespace {

WireDevice Device(const std::string& saneName, const std::string& vendor = "Acme",
                  const std::string& model = "Scan 1") {
    return {saneName, vendor, model, "flatbed scanner"};
}

std::vector<std::string> Names(const std::vector<NamedDevice>& named) {
    std::vector<std::string> names;
    for (const NamedDevice& entry : named)
        names.push_back(entry.name);
    return names;
}

TEST(ScannerNamesTest, VendorAndModelWithNumbersForTwins) {
    ScannerNames names;
    std::vector<NamedDevice> named =
        names.Update({Device("a:1"), Device("a:2"), Device("b:1", " Other ", "X "),
                      Device("c:1", "", ""), Device("a:3")});
    EXPECT_EQ(Names(named), (std::vector<std::string>{"Acme Scan 1", "Acme Scan 1 #2", "Other X",
                                                      "c:1", "Acme Scan 1 #3"}));
    EXPECT_EQ(named[1].device.name, "a:2");
}

TEST(ScannerNamesTest, NamesStayWithTheirDevicesAcrossListings) {
    ScannerNames names;
    names.Update({Device("a:1"), Device("a:2")});
    // The first twin goes away: the second keeps "#2".
    EXPECT_EQ(Names(names.Update({Device("a:2")})), (std::vector<std::string>{"Acme Scan 1 #2"}));
    // Replugged under a new SANE name, it takes the free name back.
    EXPECT_EQ(Names(names.Update({Device("a:9"), Device("a:2")})),
              (std::vector<std::string>{"Acme Scan 1", "Acme Scan 1 #2"}));
    // The old SANE name returning while its name is held gets the next free one.
    EXPECT_EQ(Names(names.Update({Device("a:9"), Device("a:2"), Device("a:1")})),
              (std::vector<std::string>{"Acme Scan 1", "Acme Scan 1 #2", "Acme Scan 1 #3"}));
    // The same devices listed in another order keep their names.
    EXPECT_EQ(Names(names.Update({Device("a:1"), Device("a:2"), Device("a:9")})),
              (std::vector<std::string>{"Acme Scan 1 #3", "Acme Scan 1 #2", "Acme Scan 1"}));
}

}  // namespace
