#include "TitleRefresh.h"

namespace playlist {

TrackTitle ReadTrackTitle(const std::string&) { return {}; }

} // namespace playlist
