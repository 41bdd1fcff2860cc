#include "platform/driver/scanner_driver.h"

#include "platform/base/kx_log.h"
#include "platform/driver/sane/sane_driver.h"
#include "platform/driver/virtual_scanner.h"

SANE_Status CreateScannerDriver(const std::string& name, std::unique_ptr<ScannerDriver>* driver) {
    driver->reset();
    if (name == "virtual") {
        *driver = std::make_unique<VirtualScanner>();
        return SANE_STATUS_GOOD;
    }
    if (name == "sane") {
        *driver = std::make_unique<SaneDriver>();
        return SANE_STATUS_GOOD;
    }
    KXBase_WriteInfo(KX_LOG_INFO,
                     "unknown scanner driver \"%s\" (SCANBRIDGE_DRIVER or config.ini [driver] "
                     "name); known drivers: sane, virtual",
                     name.c_str());
    return SANE_STATUS_INVAL;
}
