#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, when they are missing.
# Runs apt-get directly as root, else through sudo.
set -euo pipefail

packages=(build-essential cmake pkg-config binutils googletest libgtest-dev libbenchmark-dev
          libfftw3-dev nlohmann-json3-dev qt6-base-dev qt6-base-dev-tools libgl-dev xvfb xauth dcmtk python3
          python3-pydicom python3-numpy clang-14 libclang-rt-14-dev poppler-utils)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "Missing packages ${missing[*]}, and neither root nor sudo is available to install them." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q "${missing[@]}"
