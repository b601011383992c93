# Shared set-up of scripts/run, scripts/test and scripts/bench: Debian packages
# and the CMake configure step. Sourced, not run.
set -euo pipefail

QDF_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# One line per purpose, so that the reason for each package stays beside it.
QDF_PACKAGES=(
    g++ make cmake pkg-config                       # the build
    qtbase5-dev qtbase5-dev-tools libqt5svg5-dev    # Qt, with SVG icons
    iproute2                                        # the network lab
    dpkg-dev file                                   # the .deb: cpack reads library dependencies with dpkg-shlibdeps
    desktop-file-utils appstream                    # validate the desktop entry and the AppStream metainfo
    xvfb xdotool                                    # the end-to-end and package tests: their own X server, synthetic input
    x11-utils                                       # the package test reads window properties (xprop)
    qttools5-dev-tools python3                      # the translations check: lupdate, and reading its .ts file
    lintian                                         # the package test: Debian's own checks of the .deb
)

qdf_install_packages() {
    local missing=() pkg
    for pkg in "${QDF_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# qdf_build <build dir> [cmake options...]
qdf_build() {
    local dir=$1
    shift
    cmake -S "$QDF_ROOT" -B "$dir" "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}

# The same sources with Qt 6 (scripts/test): only what CTest runs, no benchmarks,
# unoptimised and without debug information, which halves the build; the first
# pass builds the program as it ships.
QDF_QT6_PACKAGES=(
    qt6-base-dev        # Qt 6 Core, Gui, Widgets, Network and Test; moc and rcc
    qt6-svg-dev         # the SVG icons (at run time libqt6svg6, the icon plugin)
)
QDF_QT6_DIR=$QDF_ROOT/build-qt6
QDF_QT6_OPTIONS=(-DQDF_QT=6 -DQDF_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=None)

# The sanitizer build: clang, so that the same objects serve the test suite
# under ASan/UBSan and the libFuzzer targets (scripts/test, scripts/fuzz).
QDF_SANITIZE_PACKAGES=(clang libclang-rt-14-dev)   # libFuzzer and the sanitizer runtimes
QDF_SANITIZE_DIR=$QDF_ROOT/build-sanitize
QDF_SANITIZE_OPTIONS=(-DQDF_SANITIZE=ON -DQDF_FUZZ=ON -DQDF_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug)

qdf_sanitizer_env() {
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:suppressions=$QDF_ROOT/scripts/asan.supp
    export LSAN_OPTIONS=suppressions=$QDF_ROOT/scripts/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
}
