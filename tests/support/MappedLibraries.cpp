#include "MappedLibraries.h"

#include <fstream>
#include <string>

namespace testsupport {

bool LibraryMapped(const char* name)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(name) != std::string::npos)
            return true;
    return false;
}

} // namespace testsupport
