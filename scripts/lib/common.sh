# Shared by scripts/run, scripts/test, bench/run and scripts/fuzz.
# Every Debian package the build, the tests, the benchmarks and fuzzing need is
# listed here, and only here.

ORVELLA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

ORVELLA_PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6 libfontconfig-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libmpg123-dev libvorbis-dev libopenmpt-dev libasound2-dev libfftw3-dev libjpeg-dev zlib1g-dev
  libfluidsynth-dev timgm6mb-soundfont libflac-dev libopusfile-dev libfaad-dev libwavpack-dev
  # tests
  libgtest-dev libgmock-dev xvfb xauth fonts-liberation2 fonts-dejavu-core
  sox libsox-fmt-all ffmpeg python3 python3-mutagen dbus playerctl desktop-file-utils xdg-utils openbox x11-utils
  # benchmarks and fuzzing
  libbenchmark-dev libtag1-dev libx11-dev clang libclang-rt-14-dev
)

# Peers the benchmarks compare against, installed by bench/run only.
ORVELLA_BENCH_PACKAGES=(audacious audacious-plugins qmmp)

orvella_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs whatever of the list (default: ORVELLA_PACKAGES) is missing;
# apt-get update only when needed.
orvella_ensure_packages() {
  local missing=() pkg wanted=("$@")
  [ ${#wanted[@]} -eq 0 ] && wanted=("${ORVELLA_PACKAGES[@]}")
  for pkg in "${wanted[@]}"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  orvella_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  orvella_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# orvella_build <build dir> [cmake options...]
orvella_build() {
  local dir="$1"
  shift
  cmake -S "$ORVELLA_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}
