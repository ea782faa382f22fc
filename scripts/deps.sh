# Sourced by ./run, ./test, ./bench and scripts/readme-picture.sh: installs the
# Debian packages that the build, the tests, the benchmarks and the README's
# picture need, when any is missing.

VIEWER_BUILD_PACKAGES="g++ cmake ninja-build qt6-base-dev qt6-svg-dev libqcustomplot-dev libgl-dev fonts-dejavu-core"
VIEWER_TEST_PACKAGES="xauth xvfb poppler-utils file desktop-file-utils appstream"
VIEWER_FUZZ_PACKAGES="clang libclang-rt-14-dev"
# scripts/readme-picture.sh: a virtual display for the real windows.
VIEWER_PICTURE_PACKAGES="xvfb xauth"

viewer_install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then
            sudo="sudo"
        else
            echo "These Debian packages are missing and there are no root rights to install them: ${missing[*]}" >&2
            return 1
        fi
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds one build folder: viewer_build DIR BUILD_TYPE [cmake options...]
viewer_build() {
    local dir="$1" type="$2"
    shift 2
    cmake -S "$VIEWER_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null &&
        cmake --build "$dir" -j2
}

# The sanitizer build: clang, AddressSanitizer and UndefinedBehaviorSanitizer, the
# tests and the fuzz targets in one build folder. viewer_sanitize_configure
# configures it; ./test builds it whole, scripts/fuzz.sh only the fuzz targets.
VIEWER_SANITIZE_DIR="$VIEWER_ROOT/build/sanitize"
viewer_sanitize_configure() {
    CC=clang CXX=clang++ cmake -S "$VIEWER_ROOT" -B "$VIEWER_SANITIZE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DBUILD_TESTING=ON -DVIEWER_BENCH=OFF -DVIEWER_SANITIZE=ON -DVIEWER_FUZZ=ON >/dev/null
}
