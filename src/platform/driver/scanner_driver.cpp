#include "platform/driver/scanner_driver.h"

#include "platform/base/kx_log.h"
#include "platform/driver/virtual_scanner.h"

SANE_Status CreateScannerDriver(const std::string& name, std::unique_ptr<ScannerDriver>* driver) {
    driver->reset();
    if (name == "virtual") {
        *driver = std::make_unique<VirtualScanner>();
        return SANE_STATUS_GOOD;
    }
    if (name == "sane") {
        KXBase_WriteInfo(KX_LOG_INFO,
                         "scanner driver \"sane\" (the system SANE library) is not available in "
                         "this build; set config.ini [driver] name=virtual");
        return SANE_STATUS_UNSUPPORTED;
    }
    KXBase_WriteInfo(KX_LOG_INFO,
                     "unknown scanner driver \"%s\" in config.ini [driver] name; known drivers: "
                     "virtual, sane",
                     name.c_str());
    return SANE_STATUS_INVAL;
}
