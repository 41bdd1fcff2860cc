// A private folder for one test, removed with everything in it at the end,
// and helpers to read and write whole files in it.
#pragma once

#include <string>

namespace testing_support {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, with a trailing "/".
    const std::string& path() const { return path_; }
    // path() + name, after creating the parent folders of name.
    std::string File(const std::string& name) const;

  private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();

  private:
    std::string name_;
    std::string old_;
    bool hadOld_;
};

}  // namespace testing_support
