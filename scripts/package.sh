#!/usr/bin/env bash
# Builds the Debian package plenar_<version>_amd64.deb in the repository's top folder:
# installs what is missing, builds the three programs, the language files and the man pages in
# Release (no tests, no benchmarks), and runs CPack. Install it with `apt install ./plenar_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPLENAR_BUILD_TESTS=OFF -DPLENAR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB -B "$PWD/deb" >/dev/null)
deb=$(ls "$build"/deb/plenar_*.deb)
cp "$deb" .
echo "Package: $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Architecture Depends
