# Shared set-up for scripts/demo, scripts/test and scripts/bench: installs the
# Debian packages the build needs when they are missing. Sourced, not run.

PLYVET_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

plyvet_packages_build=(cmake ninja-build g++ pkg-config libshp-dev libgeos-dev libsqlite3-dev qt6-base-dev)
plyvet_packages_test=(libgtest-dev libgmock-dev gdal-bin libxml2-utils)
plyvet_packages_bench=(libbenchmark-dev gnuplot-nox)
# scripts/fuzz: clang with libFuzzer and the sanitizer runtimes.
plyvet_packages_fuzz=(clang libclang-rt-14-dev)

# Installs every package of the given lists that dpkg does not report as installed.
plyvet_install() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# plyvet_configure BUILD_DIR [cmake args...]
plyvet_configure() {
  local dir="$1"; shift
  cmake -S "$PLYVET_ROOT" -B "$dir" -G Ninja "$@"
}
