// Which shared libraries this process has mapped, for tests that check what a
// step loads (or leaves unloaded).
#pragma once

namespace testsupport {

// Whether a mapped file's path contains `name` ("libavformat", "in_media.so").
bool LibraryMapped(const char* name);

} // namespace testsupport
