// A temporary folder removed with everything in it when the test ends.
#pragma once

#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; } // with a trailing "/"
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Path of a fixture in tests/data/.
std::string TestData(const std::string& name);

} // namespace testsupport
