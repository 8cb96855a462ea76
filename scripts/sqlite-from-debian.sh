#!/usr/bin/env bash
# SQLite for the Windows build, from Debian's own source package: the same
# SQLite, with Debian's patches, as the libsqlite3-dev the Linux build links.
#
#   scripts/sqlite-from-debian.sh OUT
#
# Fetches the source package of the installed libsqlite3-dev with apt-get
# source (a sources list of its own, with deb-src lines for this suite, its
# updates and its security suite, signed by Debian's archive key, so the
# system's apt set-up is left as it is), checks the upstream tarball against
# the sum pinned below (apt has checked every file against the signed
# Sources index, dpkg-source against the .dsc), unpacks it with Debian's
# patches applied, and makes the amalgamation with SQLite's own tools (tclsh,
# a native compiler). The result, sqlite3.c and sqlite3.h, lands in
# OUT/VERSION/ and is kept there: a second run for the same version does
# nothing. The first takes about a minute. The last line of its output is
# that folder; everything else goes to standard error.
set -euo pipefail
out="${1:?usage: sqlite-from-debian.sh OUT}"

# The upstream release Debian's package is built from, and its tarball's
# SHA-256. A new upstream release in Debian stops here until it is checked
# and pinned; Debian's revisions of the same release (security fixes) need
# nothing.
pinned_upstream=3.40.1
pinned_sha256=aaa776260ab4dc976db34aa7891819484c8676b5b2783123ebc6301e2ca5d655

# (One line even when the package is installed for more than one architecture.)
version="$(dpkg-query -W -f='${source:Version}\n' libsqlite3-dev 2>/dev/null | head -n 1 || true)"
if [[ -z $version ]]; then
  echo "sqlite-from-debian: libsqlite3-dev is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
file_version="${version#*:}"  # file names carry no epoch
upstream="${file_version%%-*}"
if [[ $upstream != "$pinned_upstream" ]]; then
  echo "sqlite-from-debian: libsqlite3-dev is SQLite $upstream, this script knows $pinned_upstream." >&2
  echo "  Check the new release and pin its upstream tarball's SHA-256 in $0." >&2
  exit 1
fi
dest="$out/$file_version"
if [[ -f $dest/sqlite3.c && -f $dest/sqlite3.h ]]; then
  echo "$dest"
  exit 0
fi

work="$(mktemp -d /tmp/orbantis-sqlite-XXXXXX)"
trap 'rm -rf "$work"' EXIT
. /etc/os-release
suite="${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}"
key=/usr/share/keyrings/debian-archive-keyring.gpg
mkdir -p "$work/apt/lists/partial" "$work/apt/parts" "$work/cache/archives/partial" "$work/fetch"
cat >"$work/apt/sources.list" <<EOF
deb-src [signed-by=$key] http://deb.debian.org/debian $suite main
deb-src [signed-by=$key] http://deb.debian.org/debian $suite-updates main
deb-src [signed-by=$key] http://deb.debian.org/debian-security $suite-security main
EOF
apt_options=(-q -o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/parts"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/cache" -o "APT::Sandbox::User=$(id -un)")
echo "sqlite-from-debian: fetching Debian's source of SQLite $version" >&2
if ! apt-get "${apt_options[@]}" update >"$work/update.log" 2>&1; then
  cat "$work/update.log" >&2
  exit 1
fi
if ! (cd "$work/fetch" && apt-get "${apt_options[@]}" source --download-only "sqlite3=$version") \
  >"$work/source.log" 2>&1; then
  cat "$work/source.log" >&2
  echo "sqlite-from-debian: Debian's archive no longer offers sqlite3 $version; upgrade libsqlite3-dev" \
    "(apt-get install --only-upgrade libsqlite3-dev) and run the build again." >&2
  exit 1
fi
tarball="$work/fetch/sqlite3_$upstream.orig.tar.xz"
if ! echo "$pinned_sha256  $tarball" | sha256sum --check --quiet -; then
  echo "sqlite-from-debian: $(basename "$tarball") does not have the pinned SHA-256; not used." >&2
  exit 1
fi
# Verifies every file against the .dsc and applies Debian's patches.
dpkg-source -x "$work/fetch/sqlite3_$file_version.dsc" "$work/src" >"$work/unpack.log" 2>&1 ||
  { cat "$work/unpack.log" >&2; exit 1; }

echo "sqlite-from-debian: making the amalgamation" >&2
mkdir -p "$work/build"
if ! (cd "$work/build" && "$work/src/configure" --disable-tcl && make sqlite3.c) >"$work/make.log" 2>&1; then
  tail -30 "$work/make.log" >&2
  exit 1
fi
mkdir -p "$dest.partial"
cp "$work/build/sqlite3.c" "$work/build/sqlite3.h" "$dest.partial/"
rm -rf "$dest"
mv "$dest.partial" "$dest"
echo "$dest"
