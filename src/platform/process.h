// Programs started to run on their own.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts `program` (looked up on PATH unless it names a folder) with
// `arguments`, in a session of its own with every signal at its default, and
// leaves it running; it is reaped when it ends. False with errno set when it
// could not be started.
bool StartDetached(const std::string& program, const std::vector<std::string>& arguments);

} // namespace platform
