#!/usr/bin/env bash
# Cross-builds the Windows programs into build-windows/ (or the folder given
# as $1) with mingw-w64: orbantis.exe (the COM server), orbantis-cli.exe,
# the Windows tests and orbantis-setup.exe (the installer). Installs what it
# needs through scripts/install-deps.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-windows}"
ORBANTIS_WITH_WINDOWS=1 "$root/scripts/install-deps.sh"

# The IDL is generated from the interface table by a host program: built in
# the native build folder (only that program and what it needs).
host="${ORBANTIS_BUILD_DIR:-$root/build}"
if [ ! -f "$host/build.ninja" ]; then
  cmake -S "$root" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${@:2}" >/dev/null
fi
cmake --build "$host" --target orbantis_interface_idl >/dev/null

# The receipt journal's SQLite, from Debian's source package of the version
# the Linux build links, kept in the build folder by version; and
# nlohmann-json's headers from Debian's package, through a folder that holds
# them alone (the rest of /usr/include is Linux's).
sqlite="$("$root/scripts/sqlite-from-debian.sh" "$out/third_party/sqlite" | tail -n 1)"
mkdir -p "$out/third_party/include"
ln -sfn /usr/include/nlohmann "$out/third_party/include/nlohmann"

cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DORBANTIS_INTERFACE_IDL_TOOL="$host/src/uORBANTIS/orbantis_interface_idl" \
  -DORBANTIS_SQLITE_SOURCE="$sqlite" -DORBANTIS_JSON_INCLUDE="$out/third_party/include" "${@:2}" >/dev/null
cmake --build "$out" --parallel "$(nproc)"

# The installer (Debian's makensis): the server, the client, the README, the
# licence and the script examples.
version="$(sed -n 's/^project(ORBANTIS VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
makensis -V2 -DVERSION="$version" -DTOP_DIR="$root" \
  -DSERVER_EXE="$out/src/com/orbantis.exe" -DCLI_EXE="$out/tools/cli-windows/orbantis-cli.exe" \
  -DOUT_FILE="$out/orbantis-setup.exe" "$root/packaging/windows/orbantis.nsi"
echo "Windows build: $out/src/com/orbantis.exe, $out/tools/cli-windows/orbantis-cli.exe, $out/orbantis-setup.exe"
