#include "support/sane_test_backend.h"

namespace testing_support {

std::map<std::string, std::string> SaneTestBackend(const TempDir& folder,
                                                   const std::string& testConf) {
    WriteFile(folder.File("sane/dll.conf"), "test\n");
    WriteFile(folder.File("sane/test.conf"), "number_of_devices 1\n" + testConf + "\n");
    return {{"SCANBRIDGE_DRIVER", "sane"}, {"SANE_CONFIG_DIR", folder.path() + "sane/"}};
}

}  // namespace testing_support
