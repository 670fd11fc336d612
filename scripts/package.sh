#!/usr/bin/env bash
# package.sh: installs what is missing, builds Zentrim Screen in build/ and
# makes its Debian package there, build/zentrim-screen_<version>_<arch>.deb,
# with CPack from the CMake install rules. Install it with
#   sudo apt install ./build/zentrim-screen_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh --package
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target package
