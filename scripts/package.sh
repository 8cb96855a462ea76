#!/usr/bin/env bash
# Builds the Debian package orbantis_VERSION_ARCH.deb into build-package/.
# Install it with: sudo apt-get install ./build-package/orbantis_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build-package" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DORBANTIS_BUILD_TESTS=OFF -DORBANTIS_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build-package" --parallel "$(nproc)"
(cd "$root/build-package" && cpack -G DEB)
ls "$root/build-package"/*.deb
