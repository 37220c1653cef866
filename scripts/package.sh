#!/usr/bin/env bash
# Builds the Debian package of Vaultrane with cpack in the folder
# build-package (or $PACKAGE_BUILD_DIR) and prints the path of the .deb.
# The build uses Debian's hardening flags (dpkg-buildflags) and installs to /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${PACKAGE_BUILD_DIR:-build-package}"
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DVAULTRANE_BUILD_TESTS=OFF -DVAULTRANE_BUILD_TOOLS=OFF \
  -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_STRIP="$PWD/scripts/strip-for-package.sh" >&2
cmake --build "$dir" -j"$(nproc)" >&2
(cd "$dir" && rm -f ./*.deb && cpack -G DEB >&2)
ls "$PWD/$dir"/*.deb
