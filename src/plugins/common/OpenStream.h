// What the host may ask about the stream playing, answered from what the
// plug-in took from it at open, so the host's thread never calls into the
// decoder; and the last file opened, which a missing file name stands for.
#pragma once

#include <optional>
#include <string>
#include <strings.h>

namespace plugin {

template <typename Facts> class OpenStream {
  public:
    // Play opened file (whether it then plays or not).
    void opened(const char* file) { lastFile_ = file; }
    void started(Facts facts) { facts_ = std::move(facts); }
    void stopped() { facts_.reset(); }

    // The stream playing; null when none plays.
    const Facts* current() const { return facts_ ? &*facts_ : nullptr; }
    // The stream playing when file (or, for a null or empty file, nothing) names it.
    const Facts* find(const char* file) const
    {
        if (!facts_ || (file && *file && strcasecmp(file, lastFile_.c_str()) != 0))
            return nullptr;
        return &*facts_;
    }
    // file, or for a null or empty one the last file opened.
    std::string path(const char* file) const { return file && *file ? file : lastFile_; }

  private:
    std::optional<Facts> facts_;
    std::string lastFile_;
};

} // namespace plugin
