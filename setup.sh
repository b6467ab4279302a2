#!/usr/bin/env bash
# Set-up for Tavril阅读器 on Debian 12.
#   ./setup.sh run    install what is missing, build, start the reader
#   ./setup.sh test   install what is missing, build, run the whole test suite
#   ./setup.sh build  install what is missing and build
#   ./setup.sh deb    build the Debian package (without the update check) in build-deb/
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    cmake make g++ pkg-config
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5x11extras5-dev
    libxcb1-dev libxcb-keysyms1-dev
    qttranslations5-l10n
    fonts-noto-cjk fonts-dejavu-core
    xvfb xauth xdotool x11-utils imagemagick
    weston qtwayland5 xdg-desktop-portal dbus
    libqt5texttospeech5-dev qtspeech5-speechd-plugin speech-dispatcher speech-dispatcher-espeak-ng espeak-ng
    libopencc-dev libopencc-data
    qtkeychain-qt5-dev rclone openssl
    clang libclang-rt-14-dev
    desktop-file-utils appstream lintian dpkg-dev file
)
BUILD_DIR=${BUILD_DIR:-build}

install_missing() {
    local missing=()
    for pkg in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    cmake --build "$BUILD_DIR" -j "$(nproc)"
}

case "${1:-}" in
run)
    install_missing
    build
    exec "$BUILD_DIR/tavril"
    ;;
test)
    install_missing
    build
    cd "$BUILD_DIR"
    exec ctest --output-on-failure -j "$(nproc)" --timeout 600
    ;;
build)
    install_missing
    build
    ;;
deb)
    # The package manager keeps a packaged reader up to date: no update check.
    install_missing
    cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
        -DTAVRIL_UPDATE_CHECK=OFF -DBUILD_TESTING=OFF
    cmake --build build-deb -j "$(nproc)"
    (cd build-deb && cpack -G DEB)
    ;;
*)
    echo "usage: $0 run|test|build|deb" >&2
    exit 2
    ;;
esac
