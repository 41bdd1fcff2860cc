// A ManagerV2 on a private folder tree (configuration, documents and
// temporary folders under one test folder) with a pump of its own, for unit
// tests that drive the back end directly on the test's thread. No manager
// exists until Restart makes one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/base/kx_pump.h"
#include "support/temp_dir.h"
#include "ver_2/manager_v2.h"

namespace ver_2 {

class PrivateTreeManager : public ::testing::Test {
  protected:
    PrivateTreeManager()
        : config_("SCANBRIDGE_CONFIG_DIR", root_.path() + "config/"),
          documents_("SCANBRIDGE_DOCUMENTS_DIR", root_.path() + "documents/"),
          tmp_("SCANBRIDGE_TMP_DIR", root_.path() + "tmp/") {
        KXBase_CreateMsgPump(&pump_);
    }
    ~PrivateTreeManager() override {
        manager_.reset();
        KXBase_DestroyMsgPump(pump_);
    }

    // A new manager on the same folders, as after a restart of the service.
    ManagerV2& Restart() {
        manager_.reset();
        manager_ = std::make_unique<ManagerV2>(pump_);
        return *manager_;
    }
    std::string SaveFolder() const { return root_.path() + "documents/scanbridge/"; }

    testing_support::TempDir root_;
    testing_support::ScopedEnv config_;
    testing_support::ScopedEnv documents_;
    testing_support::ScopedEnv tmp_;
    KXPump pump_ = nullptr;
    std::unique_ptr<ManagerV2> manager_;
};

}  // namespace ver_2
