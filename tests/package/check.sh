#!/usr/bin/env bash
# The Debian package as Debian's tools see it, and the install rules:
#   - lintian finds no error and no warning in the package or its debug
#     symbols (the package's own overrides say why each remaining tag stays);
#   - the package's version, `tavra-shop --version` and the changelog's top
#     entry are one number;
#   - `cmake --install --prefix /usr` with DESTDIR lays out exactly the
#     package's files, modes included;
#   - the sandboxes of the clean-up service and of the FastCGI programs'
#     services rate below 5.0 (systemd-analyze);
#   - a default `cmake --install` of BUILD (prefix /usr/local) is a working
#     install: its tool registers a shop in the prefix's registry, cleans it,
#     and lays out a shop that buys through Apache (tests/servers/run.sh);
#     the install is taken out again afterwards.
#
#   tests/package/check.sh [BUILD]     (as root; BUILD: build by default)
#
# The package is built in build-deb, configured for /usr.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
local_prefix=/usr/local

say() { echo "package: $*"; }
fail() {
    echo "package: FAIL: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || fail "run me as root (it installs into $local_prefix)"
for tool in lintian dpkg-deb systemd-analyze; do
    command -v "$tool" >/dev/null || fail "$tool is missing"
done

work=$(mktemp -d /var/tmp/tavra-package.XXXXXX)
chmod 755 "$work"
installed_local=no
uninstall_local() {
    [ "$installed_local" = yes ] || return 0
    xargs -d '\n' rm -f <"$build/install_manifest.txt"
    rm -rf "$local_prefix/lib/tavra" "$local_prefix/share/tavra" "$local_prefix/share/doc/tavra" \
        "$local_prefix/var/lib/tavra" "$local_prefix/lib/systemd/system/tavra-clean.service.d"
    for dir in etc/cron.daily etc/logrotate.d lib/systemd/system lib/systemd share/lintian/overrides \
        share/lintian share/doc var/lib var etc; do
        rmdir "$local_prefix/$dir" 2>/dev/null || true
    done
}
trap 'status=$?; uninstall_local; rm -rf "$work"; exit $status' EXIT

# --- The package -------------------------------------------------------------
say "building the package"
(cd "$repo" &&
    cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DTAVRA_TESTS=OFF &&
    cmake --build build-deb -j"$(nproc)" --target package) >"$work/package.log" 2>&1 ||
    { tail -n 30 "$work/package.log" >&2; fail "the package did not build"; }
deb=$(ls -t "$repo"/build-deb/tavra_*.deb | head -n 1)
ddeb=$(ls -t "$repo"/build-deb/tavra-dbgsym_*.ddeb | head -n 1)

# lintian's errors and warnings: none may stay.
lintian --fail-on none "$deb" "$ddeb" >"$work/lintian.log" 2>&1 || true
grep -v '^running with root privileges' "$work/lintian.log" | sed 's/^/  /' || true
found=$(grep '^[EW]: ' "$work/lintian.log" || true)
[ -z "$found" ] || fail "lintian reports errors or warnings"
say "lintian: no error or warning"

unpacked=$work/unpacked
dpkg-deb -x "$deb" "$unpacked"
version=$(dpkg-deb -f "$deb" Version)
tool_version=$("$unpacked/usr/bin/tavra-shop" --version)
changelog_top=$(zcat "$unpacked/usr/share/doc/tavra/changelog.gz" | head -n 1)
[ "$tool_version" = "tavra-shop $version" ] || fail "the package is $version, the tool says '$tool_version'"
[[ $changelog_top == "tavra ($version) "* ]] || fail "the package is $version, the changelog begins '$changelog_top'"
say "version $version in the package, the tool and the changelog"

# The tree an install under DESTDIR lays out, beside the package's.
listing() { sed -e 's|^\./||' -e '/^$/d' | sort; }
umask 022
DESTDIR=$work/destdir cmake --install "$repo/build-deb" --prefix /usr >/dev/null
(cd "$work/destdir" && find . -mindepth 1 -printf '%M %p\n' | sed 's|^\([^ ]*\) \./|\1 |' |
    awk '{ if (substr($1, 1, 1) == "d") $2 = $2 "/"; print }' | sort) >"$work/destdir.list"
dpkg-deb -c "$deb" | awk '$6 != "./" { sub(/^\.\//, "", $6); print $1, $6 }' | sort >"$work/package.list"
diff -u "$work/package.list" "$work/destdir.list" ||
    fail "DESTDIR=D cmake --install --prefix /usr lays out another tree than the package's (- package, + D)"
say "the DESTDIR tree is the package's: $(wc -l <"$work/package.list") files and folders"

# The sandboxes of the clean-up service and of the FastCGI services, as the
# package holds them.
for unit in tavra-clean.service tavra-fcgi@.service tavra-ship-fcgi@.service; do
    systemd-analyze security --offline=true "$unpacked/usr/lib/systemd/system/$unit" >"$work/security.log" 2>&1 || true
    score=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$work/security.log")
    [ -n "$score" ] || { cat "$work/security.log" >&2; fail "systemd-analyze gave no exposure level for $unit"; }
    awk -v s="$score" 'BEGIN { exit !(s < 5.0) }' || fail "$unit's exposure level is $score, not below 5.0"
    say "$unit exposure level $score"
done

# --- The default install, under /usr/local -------------------------------------
for leftover in "$local_prefix/lib/tavra" "$local_prefix/bin/tavra-shop" "$local_prefix/share/tavra"; do
    [ ! -e "$leftover" ] || fail "$leftover is there already; not installing over it"
done
installed_local=yes
cmake --install "$build" >"$work/install.log" || { cat "$work/install.log" >&2; fail "cmake --install $build failed"; }
for path in lib/tavra/tavra lib/tavra/ship lib/tavra/mailer bin/tavra-shop share/tavra/tavra.cfg.in \
    share/tavra/server/apache.conf.in etc/cron.daily/tavra etc/logrotate.d/tavra \
    lib/systemd/system/tavra-clean.service lib/systemd/system/tavra-fcgi@.socket \
    lib/systemd/system/tavra-ship-fcgi@.service share/tavra/server/nginx-fastcgi.conf.in share/doc/tavra/copyright; do
    [ -e "$local_prefix/$path" ] || fail "cmake --install put no $local_prefix/$path"
done
grep -qx "include $local_prefix/var/lib/tavra/logrotate" "$local_prefix/etc/logrotate.d/tavra" ||
    fail "$local_prefix/etc/logrotate.d/tavra does not include the prefix's registry"

# Registered: the registry, the log rotation and the clean-up's drop-in are
# the prefix's, and the clean-up finds the shop.
"$local_prefix/bin/tavra-shop" create "$work/registered" --url http://127.0.0.1/ >/dev/null ||
    fail "$local_prefix/bin/tavra-shop create failed"
grep -qx "$work/registered" "$local_prefix/var/lib/tavra/shops" || fail "the shop is not in $local_prefix/var/lib/tavra/shops"
grep -qx "ReadWritePaths=-$work/registered/data" \
    "$local_prefix/lib/systemd/system/tavra-clean.service.d/shops.conf" ||
    fail "the clean-up's drop-in does not open $work/registered/data"
"$local_prefix/bin/tavra-shop" clean --all >"$work/clean.log" || { cat "$work/clean.log" >&2; fail "clean --all failed"; }
grep -q "^$work/registered: 0 basket files removed" "$work/clean.log" || fail "clean --all: $(cat "$work/clean.log")"
say "$local_prefix: a registered shop is cleaned"

"$repo/tests/servers/run.sh" --installed "$local_prefix" apache || fail "the $local_prefix install does not sell"
uninstall_local
installed_local=no
[ ! -e "$local_prefix/bin/tavra-shop" ] || fail "the $local_prefix install was not taken out"
say "all passed"
