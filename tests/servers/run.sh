#!/usr/bin/env bash
# The installed package behind each web server a merchant may already run:
# builds the Debian package, installs it, makes shops with tavra-shop create
# --fastcgi and serves each through a snippet the tool wrote, both ways:
#   - as CGI: Apache httpd (event MPM and mod_cgid, as Debian ships it),
#     nginx with fcgiwrap, lighttpd with mod_cgi;
#   - by FastCGI: the shop's two programs started once on their sockets in
#     the shop's fcgi/, as the shop's units start them (the shop's user, the
#     socket on standard input, mode 0600), behind Apache httpd with
#     mod_proxy_fcgi, nginx and lighttpd with mod_fastcgi;
# each server a private instance (its own configuration around the snippet,
# its own pid and log files, never the system's service) on a loopback port
# from 18080 to 18099. Against each it runs one whole purchase with curl and
# checks the replies and the order files, then asks for the mailer, the
# configuration, the logs, the sockets and the data under every name a
# visitor could guess: none of them may be served or run. By FastCGI, the
# programs that answered the purchase must be the ones started before it.
#
#   tests/servers/run.sh            (as root: dpkg, and servers that start
#                                    the programs as www-data)
#   tests/servers/run.sh --installed PREFIX [SERVER...]
#                                   the same against what `cmake --install`
#                                   put under PREFIX (no package), with the
#                                   servers named (all three by default)
# TAVRA_SERVER_WAYS="cgi fastcgi" (the default) names the ways to serve.
#
# Needs apache2, nginx, fcgiwrap, lighttpd, spawn-fcgi and curl (.ci/run
# installs them).
# Every server started here is stopped when the script ends, however it ends.
# TAVRA_KEEP_SERVERS_DIR=1 keeps the shops, configurations and logs.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
installed=
if [ "${1:-}" = --installed ]; then
    installed=${2:?--installed takes the install prefix}
    shift 2
fi
run_servers=("$@")
[ ${#run_servers[@]} -gt 0 ] || run_servers=(apache nginx lighttpd)
read -r -a ways <<<"${TAVRA_SERVER_WAYS:-cgi fastcgi}"
shop_tool=${installed:-/usr}/bin/tavra-shop
user=www-data
group=www-data

say() { echo "servers: $*"; }
fail() {
    echo "servers: FAIL: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || fail "run me as root (the package is installed with dpkg)"
for tool in apache2 nginx fcgiwrap lighttpd spawn-fcgi curl setpriv; do
    command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || fail "$tool is missing"
done

# Shops, configurations and logs; www-data must reach the shops.
work=$(mktemp -d /var/tmp/tavra-servers.XXXXXX)
chmod 755 "$work"
mkdir -p "$work/www"
echo "not the shop" >"$work/www/index.html"

# --- Servers started here, stopped on any exit --------------------------------
# Each runs in a session of its own, so its process group holds it and every
# process it forked (fcgiwrap's workers outlive their parent otherwise).
servers=()
stop_servers() {
    local pid
    for pid in "${servers[@]}"; do
        kill -TERM -- "-$pid" 2>/dev/null || true
    done
    for pid in "${servers[@]}"; do
        for _ in $(seq 50); do
            ps -o stat= --sid "$pid" | grep -qv '^Z' || break
            sleep 0.1
        done
        kill -KILL -- "-$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    servers=()
}
finish() {
    local status=$?
    stop_servers
    if [ "$status" -ne 0 ]; then
        for log in "$work"/run/*/*error.log; do
            [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
        done
    fi
    if [ -n "${TAVRA_KEEP_SERVERS_DIR:-}" ]; then
        say "kept $work"
    else
        rm -rf "$work"
    fi
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The first port from 18080 to 18099 that nothing listens on and that no
# server of this run has taken.
taken_ports=" "
free_port() {
    local port
    for port in $(seq 18080 18099); do
        [[ $taken_ports == *" $port "* ]] && continue
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            taken_ports+="$port "
            echo "$port"
            return
        fi
    done
    fail "no free port from 18080 to 18099"
}

# Starts a server in the background in its own session (Apache signals its
# whole process group when it stops) and waits until its port answers.
start_server() {
    local name=$1 port=$2 pid
    shift 2
    setsid "$@" >"$work/run/$name/console.log" 2>&1 &
    pid=$!
    servers+=("$pid")
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || { cat "$work/run/$name/console.log" >&2; fail "$name did not start"; }
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return
        sleep 0.1
    done
    fail "$name did not open port $port within 10 seconds"
}

# --- The package -----------------------------------------------------------
if [ -z "$installed" ]; then
    say "building the package"
    (cd "$repo" &&
        cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DTAVRA_TESTS=OFF &&
        cmake --build build-deb -j"$(nproc)" --target package) >"$work/package.log" 2>&1 ||
        { tail -n 30 "$work/package.log" >&2; fail "the package did not build"; }
    deb=$(ls -t "$repo"/build-deb/tavra_*.deb | head -n 1)
    say "installing $(basename "$deb")"
    dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb failed"
fi
[ -x "$shop_tool" ] || fail "no $shop_tool"

# A shop for a server, made by the tool, at the address URL. It stays out of
# the registry of the daily clean-up: it lives as long as this script.
make_shop() {
    local dir=$1 url=$2
    "$shop_tool" create "$dir" --user "$user" --url "$url" --no-register --fastcgi \
        --email orders@shop.example --name "Server Test Shop" >"$dir.create.log" ||
        { cat "$dir.create.log" >&2; fail "tavra-shop create $dir failed"; }
    for f in apache nginx lighttpd apache-fastcgi nginx-fastcgi lighttpd-fastcgi; do
        [ -s "$dir/server/$f.conf" ] || fail "tavra-shop create wrote no $dir/server/$f.conf"
        ! grep -q '@[A-Z]*@' "$dir/server/$f.conf" || fail "$dir/server/$f.conf keeps a placeholder"
    done
    # The tool links the programs it was built to find, under its prefix.
    [ "$(readlink "$dir/cgi-bin/tavra.exe")" = "${installed:-/usr}/lib/tavra/tavra" ] ||
        fail "$dir/cgi-bin/tavra.exe links to $(readlink "$dir/cgi-bin/tavra.exe")"
    "$shop_tool" check "$dir" >"$dir.check.log" 2>&1 ||
        { cat "$dir.check.log" >&2; fail "tavra-shop check finds faults in the new shop $dir"; }
}

# --- The three servers ------------------------------------------------------
# Each wraps the snippet in the least a server of its kind needs, with the
# defaults Debian's own configuration sets where they matter: nothing served
# outside the folders a site allows, the site's own document root beside the
# shop.

serve_apache() {
    local shop=$1 port=$2 way=$3 run=$work/run/apache modules snippet=$shop/server/apache.conf
    mkdir -p "$run"
    # Only what the way needs: mod_cgid for CGI, mod_proxy_fcgi for FastCGI.
    if [ "$way" = fastcgi ]; then
        snippet=$shop/server/apache-fastcgi.conf
        modules="LoadModule proxy_module /usr/lib/apache2/modules/mod_proxy.so
LoadModule proxy_fcgi_module /usr/lib/apache2/modules/mod_proxy_fcgi.so"
        start_fastcgi "$shop"
    else
        modules="LoadModule cgid_module /usr/lib/apache2/modules/mod_cgid.so
ScriptSock \"$run/cgid.sock\""
    fi
    cat >"$run/httpd.conf" <<EOF
ServerRoot "$run"
ServerName 127.0.0.1
Listen 127.0.0.1:$port
PidFile "$run/httpd.pid"
DefaultRuntimeDir "$run"
Mutex file:$run default
User $user
Group $group
LoadModule mpm_event_module /usr/lib/apache2/modules/mod_mpm_event.so
LoadModule authz_core_module /usr/lib/apache2/modules/mod_authz_core.so
LoadModule authz_host_module /usr/lib/apache2/modules/mod_authz_host.so
LoadModule mime_module /usr/lib/apache2/modules/mod_mime.so
LoadModule dir_module /usr/lib/apache2/modules/mod_dir.so
LoadModule alias_module /usr/lib/apache2/modules/mod_alias.so
$modules
ErrorLog "$run/error.log"
LogLevel warn
# What the snippet asks of the server's own configuration: Apache takes
# this line there only, never in a site.
ServerTokens Prod
TypesConfig /etc/mime.types
<Directory />
    Options FollowSymLinks
    AllowOverride None
    Require all denied
</Directory>
<FilesMatch "^\.ht">
    Require all denied
</FilesMatch>
<VirtualHost 127.0.0.1:$port>
    DocumentRoot "$work/www"
    <Directory "$work/www">
        Options Indexes FollowSymLinks
        Require all granted
    </Directory>
    Include "$snippet"
</VirtualHost>
EOF
    /usr/sbin/apache2 -f "$run/httpd.conf" -t >/dev/null 2>&1 || /usr/sbin/apache2 -f "$run/httpd.conf" -t ||
        fail "Apache refused the configuration"
    start_server apache "$port" /usr/sbin/apache2 -f "$run/httpd.conf" -DFOREGROUND
}

serve_nginx() {
    local shop=$1 port=$2 way=$3 run=$work/run/nginx
    mkdir -p "$run"
    if [ "$way" = fastcgi ]; then
        cp "$shop/server/nginx-fastcgi.conf" "$run/shop.conf"
        start_fastcgi "$shop"
    else
        # The snippet as the tool wrote it, but with this instance's own
        # fcgiwrap in place of the system's socket.
        sed "s|unix:/run/fcgiwrap.socket;|unix:$run/fcgiwrap.sock;|" "$shop/server/nginx.conf" >"$run/shop.conf"
        [ "$(grep -c "unix:$run/fcgiwrap.sock;" "$run/shop.conf")" -eq 2 ] ||
            fail "nginx.conf does not pass both programs to /run/fcgiwrap.socket"
        # fcgiwrap as Debian runs it: as www-data, with a clean environment
        # (the programs inherit it), starting the programs.
        start_fcgiwrap "$run"
    fi
    cat >"$run/nginx.conf" <<EOF
daemon off;
user $user $group;
worker_processes 1;
pid $run/nginx.pid;
error_log $run/error.log warn;
events { worker_connections 64; }
http {
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    access_log $run/access.log;
    client_body_temp_path $run/body;
    fastcgi_temp_path $run/fastcgi;
    proxy_temp_path $run/proxy;
    uwsgi_temp_path $run/uwsgi;
    scgi_temp_path $run/scgi;
    server {
        listen 127.0.0.1:$port;
        server_name 127.0.0.1;
        root $work/www;
        include $run/shop.conf;
    }
}
EOF
    /usr/sbin/nginx -e "$run/error.log" -c "$run/nginx.conf" -t >/dev/null 2>&1 ||
        /usr/sbin/nginx -e "$run/error.log" -c "$run/nginx.conf" -t || fail "nginx refused the configuration"
    start_server nginx "$port" /usr/sbin/nginx -e "$run/error.log" -c "$run/nginx.conf"
}

start_fcgiwrap() {
    local run=$1 pid
    chown "$user:$group" "$run"
    setsid env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin setpriv --reuid="$user" --regid="$group" --init-groups \
        /usr/sbin/fcgiwrap -c 2 -s "unix:$run/fcgiwrap.sock" >"$run/fcgiwrap.log" 2>&1 &
    pid=$!
    servers+=("$pid")
    for _ in $(seq 50); do
        [ -S "$run/fcgiwrap.sock" ] && return
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$run/fcgiwrap.log" >&2
    fail "fcgiwrap did not open its socket"
}

# The shop's two programs as its units start them: each on its socket in
# the shop's fcgi/, made by root for the shop's user alone (mode 0600) and
# handed to the program as standard input, the program started through its
# link in cgi-bin/ as that user, with a clean environment. Their process ids
# are kept in $fastcgi_pids, to tell that they answered the whole purchase.
fastcgi_pids=()
start_fastcgi() {
    local shop=$1 program socket pid
    fastcgi_pids=()
    for program in tavra ship; do
        socket=$shop/fcgi/$program.sock
        setsid env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin spawn-fcgi -n -s "$socket" -M 0600 -U "$user" -G "$group" \
            -u "$user" -g "$group" -- "$shop/cgi-bin/$program.exe" >"$shop.$program.log" 2>&1 &
        pid=$!
        servers+=("$pid")
        fastcgi_pids+=("$pid")
        for _ in $(seq 50); do
            [ -S "$socket" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        [ -S "$socket" ] || { cat "$shop.$program.log" >&2; fail "$program.exe did not listen on $socket"; }
        [ "$(stat -c '%U:%G %a' "$socket")" = "$user:$group 600" ] ||
            fail "$socket is $(stat -c '%U:%G %a' "$socket"), not $user:$group 600"
    done
}

# The FastCGI programs that were started are still the ones running: every
# request went to them, none started a program of its own.
expect_same_programs() {
    local name=$1 pid
    for pid in "${fastcgi_pids[@]}"; do
        kill -0 "$pid" 2>/dev/null || fail "$name: the FastCGI program $pid is gone"
        case $(readlink "/proc/$pid/exe") in
        */lib/tavra/tavra | */lib/tavra/ship) ;;
        *) fail "$name: process $pid runs $(readlink "/proc/$pid/exe"), not a program of the shop" ;;
        esac
    done
}

serve_lighttpd() {
    local shop=$1 port=$2 way=$3 run=$work/run/lighttpd snippet=$shop/server/lighttpd.conf
    mkdir -p "$run"
    if [ "$way" = fastcgi ]; then
        snippet=$shop/server/lighttpd-fastcgi.conf
        start_fastcgi "$shop"
    fi
    # lighttpd opens its log after it has become www-data.
    chown "$user:$group" "$run"
    cat >"$run/lighttpd.conf" <<EOF
server.modules = ( "mod_indexfile", "mod_access", "mod_alias", "mod_redirect" )
server.document-root = "$work/www"
server.errorlog = "$run/error.log"
server.pid-file = "$run/lighttpd.pid"
server.upload-dirs = ( "$run" )
server.username = "$user"
server.groupname = "$group"
server.bind = "127.0.0.1"
server.port = $port
server.http-parseopts = (
  "header-strict" => "enable",
  "host-strict" => "enable",
  "host-normalize" => "enable",
  "url-normalize-unreserved" => "enable",
  "url-normalize-required" => "enable",
  "url-ctrls-reject" => "enable",
  "url-path-2f-decode" => "enable",
  "url-path-dotseg-remove" => "enable",
)
index-file.names = ( "index.html" )
url.access-deny = ( "~", ".inc" )
include_shell "/usr/share/lighttpd/create-mime.conf.pl"
include "$snippet"
server.modules += ( "mod_staticfile" )
EOF
    /usr/sbin/lighttpd -tt -f "$run/lighttpd.conf" >/dev/null 2>&1 || /usr/sbin/lighttpd -tt -f "$run/lighttpd.conf" ||
        fail "lighttpd refused the configuration"
    start_server lighttpd "$port" /usr/sbin/lighttpd -D -f "$run/lighttpd.conf"
}

# --- HTTP ------------------------------------------------------------------
# request METHOD URL [BODY]: the status in $status, the headers in
# $work/head, the body in $work/body. The shopper's browser keeps its
# cookies in $work/cookies; stranger METHOD URL [BODY] asks as another
# browser, with none.
request() {
    ask -b "$work/cookies" -c "$work/cookies" "$@"
}
stranger() {
    ask "$@"
}
ask() {
    local jar=()
    [ "$1" = -b ] && { jar=("$1" "$2" "$3" "$4"); shift 4; }
    local method=$1 url=$2
    local args=(-sS --max-time 30 --path-as-is "${jar[@]}" -o "$work/body" -D "$work/head" -w '%{http_code}' -X "$method")
    [ $# -ge 3 ] && args+=(-H 'Content-Type: application/x-www-form-urlencoded' --data-binary "$3")
    status=$(curl "${args[@]}" "$url") || fail "$method $url: curl failed"
}
expect_status() {
    [ "$status" = "$1" ] || { head -c 2000 "$work/body" >&2; fail "$2 answered $status, not $1"; }
}
expect_header() {
    grep -qi "^$1"$'\r'"\?$" "$work/head" || { cat "$work/head" >&2; fail "$2: the reply lacks the header: $1"; }
}
# The headers every page and redirect carries, and no server version.
expect_safety_headers() {
    expect_header 'X-Content-Type-Options: nosniff' "$1"
    expect_header 'Referrer-Policy: same-origin' "$1"
    expect_header 'X-Frame-Options: SAMEORIGIN' "$1"
    ! grep -qi '^Server:.*[0-9]' "$work/head" || { cat "$work/head" >&2; fail "$1: the reply names the server's version"; }
}
expect_body() {
    grep -qF -- "$1" "$work/body" || { head -c 3000 "$work/body" >&2; fail "$2: the reply lacks: $1"; }
}
# The amount in the summary cell after LABEL ("Total:", "Shipping:").
amount() {
    tr -d '\n' <"$work/body" | grep -o ">$1</td>[^<]*<td[^>]*>[^<]*<" | head -n 1 | sed 's/.*>\([^<]*\)<$/\1/'
}
files_in() { find "$1" -maxdepth 1 -type f ! -name '.*' | wc -l; }

# --- One whole purchase ------------------------------------------------------
# Against the shop in SHOP served at BASE (the shop's address, ending in "/").
purchase() {
    local name=$1 shop=$2 base=$3
    local invoice basket body

    request GET "$base"
    expect_status 200 "$name: the start page"
    expect_body 'tavra.exe?newbasket+shop.html' "$name: the start page"
    request GET "${base}shop.css"
    expect_status 200 "$name: the style sheet"

    rm -f "$work/cookies"
    invoice=$(sed -n 's/^invnumber=\([0-9]*\).*/\1/p' "$shop/cgi-bin/tavra.cfg" | tail -n 1)
    [ -n "$invoice" ] || fail "$name: no invnumber in tavra.cfg"

    # newbasket, a GET command: query words.
    request GET "${base}tavra.exe?newbasket+shop.html"
    expect_status 200 "$name: newbasket"
    basket=$(sed -n 's/^[Ss]et-[Cc]ookie: TAVRA=\(basket\/[0-9.]*\.bsk\);.*/\1/p' "$work/head")
    [ -n "$basket" ] || { cat "$work/head" >&2; fail "$name: newbasket set no basket cookie"; }
    [ ! -e "$shop/data/baskets/$basket" ] || fail "$name: newbasket made the basket file $basket"
    expect_safety_headers "$name: newbasket"
    expect_body '<h3>Green tea Sencha, 100 g</h3>' "$name: newbasket"
    expect_body "name=\"basket\" value=\"$basket\"" "$name: newbasket"

    # add2lookup from the card form, then the "Add one" link (lookup).
    request POST "${base}tavra.exe" "command=add2lookup&where=shop.html&basket=$basket&lookup=items.ini&item=100&qty=2"
    expect_status 200 "$name: add2lookup"
    expect_body '>Green tea Sencha, 100 g</td>' "$name: add2lookup"
    [ -f "$shop/data/baskets/$basket" ] || fail "$name: add2lookup made no basket file $basket"
    request GET "${base}tavra.exe?lookup+shop.html+$basket+300+items.ini+1"
    expect_status 200 "$name: lookup"
    expect_body '>Paper tea filters, pack of 100</td>' "$name: lookup"

    # edit: twelve packs of filters.
    request POST "${base}tavra.exe" "command=edit&where=shop.html&basket=$basket&1=2&2=12"
    expect_status 200 "$name: edit"
    expect_body '<input type=text name=2 value="12" size=4>' "$name: edit"

    # Checkout steps 1 to 3.
    request POST "${base}tavra.exe" "command=step1&where=payment.html&basket=$basket&fname=Ada&minitial=B&lname=Lovelace&addr1=12+Leaf+Lane&addr2=&city=Springfield&stpr=IL&country=USA&zip=62701&dphone=555-0100&fphone=555-0101&email=ada%40example.com"
    expect_status 200 "$name: step1"
    expect_body 'name="cnum1"' "$name: step1"
    expect_safety_headers "$name: step1"
    expect_header 'Cache-Control: no-store' "$name: step1"
    grep -qi '^Set-Cookie: TAVRA_CHECKOUT=[0-9a-f]\{32\}; Path=/; HttpOnly; SameSite=Strict'$'\r''\?$' "$work/head" ||
        { cat "$work/head" >&2; fail "$name: step1 set no checkout cookie"; }
    request POST "${base}tavra.exe" "command=step2&where=extras.html&basket=$basket&paytype=Visa&cname=Ada+Lovelace&cnum1=4111111111111111&cnum2=&expmo=05&expyr=27"
    expect_status 200 "$name: step2"
    expect_body 'name="option1"' "$name: step2"
    request POST "${base}tavra.exe" "command=step3&basket=$basket&option=2&option1=Leave+the+parcel+at+the+door&option2=&addcharge=6&a1=4.50&a3=Gift+wrapping&a2=on&a4=9.00&a6=Express+packing&where=saver.html"
    expect_status 200 "$name: step3"
    expect_body 'action="ship.exe"' "$name: step3"

    # Another browser that knows the basket's name gets no step of its checkout.
    stranger POST "${base}tavra.exe" "command=step1&where=payment.html&basket=$basket&fname=Eve&email=eve%40example.com"
    expect_body 'An error has occured' "$name: step1 from another browser"
    stranger POST "${base}ship.exe" "command=step4&where=summary.html&basket=$basket&agent=lookup&lookup=items.ini"
    expect_body 'An error has occured' "$name: ship.exe step4 from another browser"

    # Step 4 by the shipping calculator, then by tavra; the last one counts.
    request POST "${base}ship.exe" "command=step4&where=summary.html&basket=$basket&agent=lookup&lookup=items.ini"
    expect_status 200 "$name: ship.exe step4"
    expect_body 'Please check your order' "$name: ship.exe step4"
    [ -n "$(amount 'Shipping:')" ] || fail "$name: ship.exe step4 shows no shipping"
    request POST "${base}tavra.exe" "command=step4&where=summary.html&basket=$basket&agent=predetermined&salestax=on"
    expect_status 200 "$name: step4"
    expect_body 'Please check your order' "$name: step4"
    # 2 x 8.50 + 12 x 2.40; shipping 2 x 1.20 + 12 x 0.30; 8 % tax of 45.80;
    # gift wrapping 4.50.
    [ "$(amount 'Shipping:')" = 6.00 ] || fail "$name: step4 shipping is '$(amount 'Shipping:')', not 6.00"
    [ "$(amount 'Total:')" = '$59.96' ] || fail "$name: step4 total is '$(amount 'Total:')', not \$59.96"

    stranger POST "${base}tavra.exe" "command=confirm&basket=$basket"
    expect_body 'An error has occured' "$name: confirm from another browser"
    [ "$(files_in "$shop/data/mail")" -eq 0 ] || fail "$name: confirm from another browser made an order"

    # confirm: the redirect to the thank-you page beside the shop's pages.
    request POST "${base}tavra.exe" "command=confirm&basket=$basket"
    expect_status 302 "$name: confirm"
    expect_safety_headers "$name: confirm"
    grep -qi "^Location: ${base}thanks.html"$'\r'"\?$" "$work/head" ||
        { cat "$work/head" >&2; fail "$name: confirm does not send the shopper to ${base}thanks.html"; }
    request GET "${base}thanks.html"
    expect_status 200 "$name: the thank-you page"

    # What the order left on disk: the order mail, the counter and the order
    # tables all name the number after the one the counter held.
    invoice=$((invoice + 1))
    [ "$(files_in "$shop/data/mail")" -eq 1 ] || fail "$name: not one order mail file"
    body=$(cat "$shop"/data/mail/*)
    for part in "Invoice Number :$invoice" 'Agreed upon price of :59.96' 'Ada B Lovelace' 'Gift wrapping=4.50'; do
        [[ $body == *"$part"* ]] || fail "$name: the order mail lacks '$part'"
    done
    grep -q "^invnumber=$invoice"$'\r'"\?$" "$shop/cgi-bin/tavra.cfg" || fail "$name: invnumber is not $invoice"
    grep -qx '4111111111111111,0527,P,59.96' "$shop/data/batch/0.imp" || fail "$name: no payment record"
    grep -q "^$invoice,Ada,B,Lovelace," "$shop/data/exports/customers.csv" || fail "$name: no customer record"
    ! grep -q '4111111111111111\|^expmo=' "$shop/data/baskets/$basket" || fail "$name: the basket keeps the card after the order"
    ! grep -q 'Refused\|Could not' "$shop/cgi-bin/errlog.txt" 2>/dev/null ||
        fail "$name: the error log has records: $(cat "$shop/cgi-bin/errlog.txt")"
    say "$name: purchase $invoice completed"
}

# --- Nothing else of the shop --------------------------------------------------
# Every file of the shop outside web/ under the names a visitor could guess,
# plus the usual ways out of a folder; each must be refused (400, 403 or 404),
# show no file and run no mailer.
not_served() {
    local name=$1 shop=$2 base=$3 root=$4
    local paths=() rel file url sent answers n
    # A name the shop did not issue makes no basket.
    request GET "${base}tavra.exe?lookup+shop.html+basket/promo+300+items.ini+1"
    expect_body 'An error has occured' "$name: lookup into basket/promo"
    [ ! -e "$shop/data/baskets/basket/promo" ] || fail "$name: lookup made basket/promo"
    # Item tables are no pages.
    request GET "${base}tavra.exe?goto+items.ini+"
    expect_body 'An error has occured' "$name: goto items.ini"

    # What a merchant may leave in web/ by mistake, and links that lead out of it.
    echo 'PLANTED-SECRET' >"$work/outside.txt"
    mkdir -p "$shop/web/.git" "$shop/web/images"
    for file in .env .git/config index.html.bak index.html~ shop.css.orig .index.html.swp page.tmp images/.hidden; do
        echo 'PLANTED-SECRET' >"$shop/web/$file"
    done
    ln -sfn "$work/outside.txt" "$shop/web/outside.html"
    ln -sfn ../cgi-bin/tavra.cfg "$shop/web/settings.html"
    ln -sfn "$work" "$shop/web/work"
    sent=$(find "$shop/data" "$shop/cgi-bin" -type f | wc -l)
    paths+=(.env .git/config .git/ index.html.bak index.html~ shop.css.orig .index.html.swp page.tmp images/.hidden
        outside.html settings.html work/outside.txt %2eenv .git%2fconfig index.html%7e
        blat.exe cgi-bin/blat.exe tavra.cfg cgi-bin/tavra.cfg runlog.txt cgi-bin/runlog.txt
        errlog.txt batchcfg.ini outbox/ cgi-bin/ cgi-bin/outbox/ data/ data/baskets/basket/ server/ pages/ styles/
        'blat.exe?x+-t+someone@example.org' 'cgi-bin/blat.exe?x+-t+someone@example.org'
        tavra.exe/ tavra.exe/tavra.cfg tavra.exe/blat.exe ship.exe/../tavra.cfg ship.exe/../blat.exe
        ../cgi-bin/tavra.cfg ../cgi-bin/blat.exe %2e%2e/cgi-bin/tavra.cfg images/../../cgi-bin/tavra.cfg
        ../data/batch/0.imp %2e%2e%2fcgi-bin%2ftavra.cfg fcgi/ fcgi/tavra.sock fcgi/ship.sock ../fcgi/tavra.sock
        tavra.exe/../fcgi/tavra.sock)
    while IFS= read -r file; do
        rel=${file#"$shop"/}
        paths+=("$rel" "${rel#*/}" "$(basename "$rel")")
    done < <(find "$shop/cgi-bin" "$shop/data" "$shop/pages" "$shop/server" -type f ! -name tavra.exe ! -name ship.exe)
    # One curl for all of them: a process per address would take minutes.
    answers=$work/answers/$name
    mkdir -p "$answers"
    n=0
    for rel in "${paths[@]}"; do
        for url in "$base$rel" "$root$rel"; do
            printf 'url = "%s"\noutput = "%s/%d"\n' "$url" "$answers" "$n"
            n=$((n + 1))
            [ "$base" != "$root" ] || break
        done
    done >"$answers.curl"
    curl -sS --max-time 120 --path-as-is -K "$answers.curl" -w '%{http_code} %{url_effective}\n' >"$answers.status" ||
        fail "$name: curl failed on the guessed names"
    [ "$(wc -l <"$answers.status")" -eq "$n" ] || fail "$name: $n addresses, $(wc -l <"$answers.status") answers"
    ! grep -v '^40[034] ' "$answers.status" || fail "$name: the addresses above were served"
    ! grep -rlF -e '[Program Config]' -e PLANTED-SECRET -e NumKeys -e 4111111111111111 -e $'\x7fELF' "$answers" ||
        fail "$name: the answers above show the shop's files"
    [ "$(find "$shop/data" "$shop/cgi-bin" -type f | wc -l)" -eq "$sent" ] ||
        fail "$name: asking for the shop's files made new files (a mailer run?)"
    say "$name: $n addresses of the shop's private files are not served"
}

# --- Run -------------------------------------------------------------------
mkdir -p "$work/run"
for server in "${run_servers[@]}"; do
    for way in "${ways[@]}"; do
        port=$(free_port)
        # Apache serves its shop at the site's root, the others under a folder.
        case $server in
        apache) prefix=/ ;;
        nginx) prefix=/tea/ ;;
        lighttpd) prefix=/shop/ ;;
        esac
        root="http://127.0.0.1:$port/"
        base="http://127.0.0.1:$port$prefix"
        shop="$work/$server-$way-shop"
        name="$server-$way"
        rm -rf "$work/run/$server"
        make_shop "$shop" "$base"
        "serve_$server" "$shop" "$port" "$way"
        say "$name serves $shop at $base"
        purchase "$name" "$shop" "$base"
        not_served "$name" "$shop" "$base" "$root"
        [ "$way" = cgi ] || expect_same_programs "$name"
        stop_servers
    done
done
say "${run_servers[*]} (${ways[*]}): passed"
