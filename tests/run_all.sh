#!/usr/bin/env bash
# Builds the programs and runs every test: once in a normal build, once
# under AddressSanitizer and UndefinedBehaviorSanitizer; then runs each fuzz
# target for a bounded time. On a fresh Debian machine it first installs what
# is missing (tests/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
# ctest alone runs the load test for a few seconds; here it runs long.
export TAVRA_LOAD_SECONDS=${TAVRA_LOAD_SECONDS:-20}

tests/setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRA_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The demo shop served by Apache httpd, tested over HTTP and by two whole
# purchases in headless Chromium, against the normal build. Screenshots go to
# build/browser-artifacts/.
build_dir="$PWD/build"
(cd tests/browser && TAVRA_BUILD_DIR="$build_dir" \
  timeout --kill-after=30 900 node --test --test-concurrency=1 server.test.mjs purchase.test.mjs)

# The Debian package installed and serving a shop made by tavra-shop behind
# Apache httpd, nginx with fcgiwrap and lighttpd, each a private instance on
# loopback; it installs the package, so it runs as root.
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" timeout --kill-after=30 600 tests/servers/run.sh
# The package under lintian, its tree beside the install rules' and the
# clean-up's sandbox; then the normal build installed under /usr/local
# sells through Apache, and is taken out again.
"${as_root[@]}" timeout --kill-after=30 600 tests/package/check.sh build

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVRA_SANITIZE=ON -DTAVRA_WERROR=ON
cmake --build build-asan -j"$jobs"
# The normal build answers most tests' requests in the test's own process;
# here every run is a CGI process of the program, so the whole suite also
# goes the CGI way (environment, command line, standard input, exit status).
TAVRA_TEST_PROCESSES=1 ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

# Each fuzz target for a bounded time (TAVRA_FUZZ_SECONDS, 60 by default).
fuzz/run.sh "${TAVRA_FUZZ_SECONDS:-60}"
