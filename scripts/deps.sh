#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config clang-14 libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins
    xvfb x11vnc xdotool x11-utils imagemagick fonts-nanum fonts-baekmuk fonts-liberation
    qt6-translations-l10n dpkg-dev desktop-file-utils ccache socat ser2net
    scdoc lintian appstream man-db groff-base mbpoll libmodbus-dev python3-pymodbus
    python3-serial-asyncio libtomlplusplus-dev
    libmosquitto-dev mosquitto mosquitto-clients libssl-dev openssl
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "These packages are missing; run this script as root to install them." >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
