// Fixture paths and scratch files for the reader tests.
#pragma once

#include "support/ByteBuilder.h"
#include "support/TempDir.h"

#include <string>

namespace fixtures {

inline std::string Fixture(const std::string& name)
{
    return testsupport::TestData("fileinfo/" + name);
}

// Writes the bytes to a file of the folder and returns its path.
inline std::string Put(const testsupport::TempDir& dir, const std::string& bytes, const std::string& name = "f")
{
    std::string path = dir.file(name);
    testsupport::WriteFile(path, bytes);
    return path;
}

} // namespace fixtures
