#include "shop_tool/tool.h"

namespace shop_tool {

const char* const kManual = R"(TAVRA-SHOP(8)

NAME
    tavra-shop - lay out, clean, configure and check the shops of this machine

SYNOPSIS
    tavra-shop create DIR [--user USER] [--url URL] [--email ADDRESS]
                      [--name NAME] [--fastcgi]
    tavra-shop clean DIR [--days N]
    tavra-shop clean --all [--days N]
    tavra-shop set DIR SECTION KEY VALUE
    tavra-shop get DIR SECTION KEY
    tavra-shop check DIR [--user USER]
    tavra-shop keygen DIR --secret FILE
    tavra-shop open --secret FILE [--shop DIR] [--safecsv] [PATH...]
    tavra-shop orders DIR [--since INVOICE] [--csv]
    tavra-shop --help
    tavra-shop --version

DESCRIPTION
    A shop is a folder DIR laid out by create. The web server runs the
    basket program and the shipping calculator from DIR/cgi-bin/ as its own
    user, which alone may write the shop's data.

    Run as root, tavra-shop follows no symbolic link inside a shop: every
    file and folder it reads, writes or removes there is reached from DIR
    one name at a time, and must belong to root (the folders and files
    create gives root) or to the shop's user (cgi-bin/tavra.cfg and data/,
    whose owner is the shop's user). A link, or a place of another owner,
    is refused with one line naming it on standard error and exit status
    1; nothing is done around it.

COMMANDS
    create DIR [--user USER] [--url URL] [--email ADDRESS] [--name NAME]
           [--fastcgi]
        Lays out a new shop from the sample shop in /usr/share/tavra:
          DIR/cgi-bin/   tavra.exe, ship.exe and blat.exe, links to the
                         programs in /usr/lib/tavra, and tavra.cfg, filled
                         in with DIR's folders
          DIR/web/       the public pages, served as files
          DIR/pages/     template pages, item table, modifier file
          DIR/styles/    item style sheets
          DIR/data/      baskets/basket/, mail/, batch/, exports/
          DIR/server/    apache.conf, nginx.conf, lighttpd.conf: the
                         snippet for each web server, which makes only
                         tavra.exe and ship.exe reachable
        cgi-bin/ (sticky, group USER) and data/ are writable by USER alone
        (default www-data); everything else is root's and read-only. URL is
        the shop's address as shoppers see it (default http://localhost/);
        the thank-you page is URL followed by thanks.html. ADDRESS and NAME
        are the merchant's email= and name=: the order mail goes to ADDRESS
        and is sent from it ([Mail Delivery] from= starts empty), under
        NAME. Without them both stay empty, and check reports them. The
        shop is
        registered in /var/lib/tavra/shops for the daily clean-up and the
        log rotation. A DIR that already holds a shop is refused. Prints the
        next step for each web server.

        --fastcgi also makes the shop ready to be served by two long-lived
        FastCGI programs, the CGI snippets staying the default:
          DIR/fcgi/      root's folder for the sockets tavra.sock, ship.sock
          DIR/server/    apache-fastcgi.conf (mod_proxy_fcgi),
                         nginx-fastcgi.conf (fastcgi_pass),
                         lighttpd-fastcgi.conf (mod_fastcgi)
        The package's units tavra-fcgi@INSTANCE.socket and
        tavra-ship-fcgi@INSTANCE.socket (INSTANCE: systemd-escape --path DIR)
        listen there, as USER alone (mode 0600: the web server connects as
        USER), and start their program, sandboxed and as USER, on the first
        connection. create writes the drop-ins that name USER
        (/etc/systemd/system/UNIT.d/shop.conf) and prints the commands that
        start the units and enable each snippet; with --no-register it
        writes none and prints how to start the programs with spawn-fcgi.

    clean DIR [--days N]
    clean --all [--days N]
        Removes basket files not changed for N days (default 30), empty
        basket files older than a day and files a stopped run left behind,
        each under the basket's lock: a basket being changed is kept.
        Prints each file removed. A basketdir=, maildir= or batchfile= of
        tavra.cfg outside DIR/data/ is refused, and that folder not cleaned. --all cleans every registered shop; the
        daily job runs it.

    set DIR SECTION KEY VALUE
        Sets KEY in [SECTION] of DIR/cgi-bin/tavra.cfg under the file's
        lock: an order confirmed at the same time keeps its invoice number.
        The file keeps its owner and mode. Use it rather than an editor
        while the shop is open.
          tavra-shop set /srv/shop "Program Config" email orders@shop.example

    get DIR SECTION KEY
        Prints the value of KEY in [SECTION] of DIR/cgi-bin/tavra.cfg.

    check DIR [--user USER]
        Reads the shop as the programs do and prints one line for each fault
        that would break a purchase: missing keys of tavra.cfg, missing
        folders or folders USER (default: the owner of tavra.cfg) cannot
        write, a thanks= that is not an absolute address, programs or a
        mailer that cannot start, and, once a seal key is set, baskets that
        hold a card number in the clear. It reads every template page,
        public page, item table, modifier file and style sheet, and
        reports, as
        FILE:LINE: what is wrong; what to do
          - a form or link to tavra.exe or ship.exe whose command is missing
            or unknown, or that lacks a field its command needs;
          - a basket field or query word not filled by {SHOPPER}
            (%BASKET% in a style sheet);
          - a tag in the wrong case ({item=, {Shopper}) or not closed, a
            second {SHOPPER} or item tag on one line (only the first is
            replaced);
          - a page, item table or modifier file named by where, lookup,
            define or a link that does not exist;
          - an item tag whose item is missing or has no style=, a style=
            whose style sheet does not exist;
          - a placeholder that is none (%NAEM%);
          - an amount in an item table, modifier file or form that is not
            written as digits and a point (4,50 reads as 4.00);
          - a checkout form posting to the wrong step, or agent=lookup
            posted to tavra.exe;
          - an empty email= or name=, and values still the sample shop's
            (its name, its addresses in email= and from=, its thanks= host).
        The exit status is 1 when anything is found.
          tavra-shop check /srv/shop

    keygen DIR --secret FILE
        Makes a key pair for sealing card numbers: writes the secret key to
        FILE (a new file, readable by its owner alone, outside DIR) and the
        public key as sealkey in [Card Data] of DIR/cgi-bin/tavra.cfg, under
        the file's lock. From then on the shop stores card numbers sealed
        and shows them masked; the card numbers baskets already hold are
        sealed at once, each under its basket's lock, and their count is
        printed. Keep FILE off the server: without it no sealed number can
        be read, with it every one can.

    open --secret FILE [--shop DIR] [--safecsv] [PATH...]
        Copies each PATH (standard input when none is given), a batch file,
        an export table or a basket file, to standard output with each
        sealed value replaced by what it holds. A value that does not open
        with FILE's key is copied as it stands and reported on standard
        error, and the exit status is 1. Control characters of an opened
        value are written as \xNN and reported the same way. With
        --safecsv, or with --shop DIR whose safecsv is on, an opened value
        that begins like a spreadsheet formula gets a ' in front. A PATH
        inside DIR is reached as every place of a shop is; no PATH is
        opened through a link in its last place.
          tavra-shop open --secret key.secret 0.imp > 0.clear.imp

    orders DIR [--since INVOICE] [--csv]
        Lists the orders of the customer, order and shipment tables named in
        [Order Control], one block per invoice: the invoice number, name,
        city, the items with quantities and prices, options and charges,
        tax, total, carrier and card. The tables hold tax and total with an
        order's options only. --since lists the orders from INVOICE on;
        --csv writes one line per order after a header row, quoted as the
        tables are. Card numbers are shown as the tables hold them: masked
        when the shop masks or seals them; no secret key is read.
          tavra-shop orders /srv/shop --since 1005

OPTIONS FOR BUILDING AND TESTING
    create and clean take --programs DIR (where tavra, ship and mailer are),
    --sample DIR (public/, pages/, styles/, tavra.cfg.in), --templates DIR
    (the servers' *.conf.in) and --registry DIR instead of the installed
    ones; create takes --no-register, and --renew lays out a shop made
    before afresh (pages, links, tavra.cfg) keeping its data, logs and
    invoice number.

FILES
    /usr/lib/tavra/          the programs
    /usr/share/tavra/        the sample shop and the server templates
    /var/lib/tavra/shops     the registered shops, one folder a line
    /var/lib/tavra/logrotate/
                             the log rotation rule of each registered shop
    /etc/systemd/system/tavra-clean.service.d/shops.conf
                             the registered shops' data/ folders, the only
                             ones the daily clean-up may write
    /usr/lib/systemd/system/tavra-fcgi@.socket, tavra-fcgi@.service,
    tavra-ship-fcgi@.socket, tavra-ship-fcgi@.service
                             a shop's two programs served by FastCGI
    /etc/systemd/system/tavra-fcgi@INSTANCE.socket.d/shop.conf, ...
                             the user of a shop's FastCGI units

EXIT STATUS
    0 done (check: nothing found), 1 refused, failed or faults found,
    2 a command line that does not parse.
)";

}  // namespace shop_tool
