// End-to-end fixture for the generation-2 back end: the real service in a
// private folder tree with the virtual scanner, a page client, restarts on
// the same folders and port, and a look into the database file.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/service_process.h"
#include "ver_2/page_client.h"

namespace testing_support {

class Generation2Test : public ::testing::Test {
  protected:
    // Starts the service on a free port, with extra environment variables,
    // and connects page_.
    void Start(const std::map<std::string, std::string>& environment = {});
    // Stops the service gracefully (exit status 0 expected), starts it again
    // on the same folders and port, and connects a fresh page_.
    void Restart();
    // Stops the service gracefully; every test ends with this.
    void TearDown() override;

    ServiceProcess& service() { return restarted_ ? *restarted_ : home_; }
    // "config.ini" [virtual] key = value; read by the scanner at every scan.
    void SetVirtual(const std::string& key, const std::string& value) {
        home_.SetConfig("config.ini", "virtual", key, value);
    }
    std::string SaveFolder() const { return home_.documentsDir() + "scanbridge/"; }
    std::string TmpFolder() const { return home_.tmpDir(); }
    std::string Database() const { return home_.configDir() + "newConfig2.db"; }

    // Rows of a query on the database, columns joined by "|".
    std::vector<std::string> Query(const std::string& sql) const;
    // The saved-file list as stored.
    std::vector<std::string> StoredSavedFiles() const {
        return Query("select filename from save_filenames order by rowid");
    }
    std::string IntegrityCheck() const;

    // init_device, then open_device for the first scanner; both must succeed.
    void OpenScanner();

    ServiceProcess home_;
    std::unique_ptr<ServiceProcess> restarted_;
    PageClient page_;
    int port_ = 0;

  private:
    void Launch(ServiceProcess& process, const std::map<std::string, std::string>& environment);
};

// Regular files directly in folder, sorted, as full paths.
std::vector<std::string> FilesIn(const std::string& folder);

}  // namespace testing_support
