#!/usr/bin/env bash
# Installs from Debian's packages whatever the build and the tests need and
# this machine lacks, then playwright-core for the browser tests (pinned in
# tests/browser/package-lock.json; it never downloads a browser of its own).
# Run by tests/run_all.sh; on a machine that has everything it changes
# nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  # The build, the unit tests and the package (dpkg-shlibdeps); the crypto
  # library that seals card numbers and the FastCGI library, both linked in
  # statically.
  g++ cmake make libgtest-dev dpkg-dev libsodium-dev libfcgi-dev
  # The package's checks: lintian, and systemd-analyze for the clean-up's
  # sandbox.
  lintian systemd
  # The fuzz targets: clang with its libFuzzer runtime.
  clang-14 libclang-rt-14-dev
  # The demo shop behind Apache httpd, and Chromium for the browser tests.
  apache2 chromium
  # The installed package behind the other servers a merchant may run.
  nginx fcgiwrap lighttpd curl
  # The programs on their FastCGI sockets where no systemd starts them.
  spawn-fcgi
  # The manual pages' lint, and CPack's package build (it runs file).
  groff-base mandoc file
)
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  echo "tests/setup.sh: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -q
  # The servers' own services would fight over port 80 and are not what the
  # tests run (they start private instances), so none starts on install
  # unless the machine already has its own policy.
  policy=no
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | "${as_root[@]}" tee /usr/sbin/policy-rc.d >/dev/null
    "${as_root[@]}" chmod 755 /usr/sbin/policy-rc.d
    policy=yes
  fi
  status=0
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" || status=$?
  [ "$policy" = no ] || "${as_root[@]}" rm -f /usr/sbin/policy-rc.d
  [ "$status" -eq 0 ] || exit "$status"
fi

if [ ! -d tests/browser/node_modules/playwright-core ]; then
  (cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
