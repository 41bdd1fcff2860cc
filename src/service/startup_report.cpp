#include "service/startup_report.h"

#include "platform/base/kx_log.h"
#include "service/build_info.h"

void LogStartup(int generation, const std::string& driver,
                const std::vector<std::string>& addresses) {
    std::string listening;
    for (const std::string& address : addresses) {
        if (!listening.empty()) listening += ", ";
        listening += address;
    }
    KXBase_WriteInfo(KX_LOG_INFO, "scanbridge %s generation %d driver %s listening on %s",
                     ScanBridgeVersion(), generation, driver.c_str(), listening.c_str());
}
