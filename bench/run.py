#!/usr/bin/env python3
"""Benchmarks of tavra and ship against the floor of a CGI request.

Builds a Release build and prints one table:
  - latency (median of many runs) of the busiest requests, each beside the
    floor: a static C program that reads one small file and writes a page;
  - instructions (valgrind callgrind, deterministic) at 10, 100, 1000 and
    5000 basket lines, and the 5000/100 growth factor;
  - peak memory of goto on a 5000-line basket;
  - wall and CPU time of one newbasket and one confirm;
  - throughput through the demo's web server, when it and wrk are installed.

Usage: bench/run.py [--runs N] [--quick]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD = os.path.join(ROOT, "build-bench")


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def build():
    run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release", "-DTAVRA_TESTS=OFF"],
        stdout=subprocess.DEVNULL)
    run(["cmake", "--build", BUILD, "-j", str(os.cpu_count() or 2)], stdout=subprocess.DEVNULL)
    run(["gcc", "-O2", "-static", os.path.join(HERE, "floor.c"), "-o", os.path.join(BUILD, "floor")])
    run(["gcc", "-O2", os.path.join(HERE, "spawn_timer.c"), "-o", os.path.join(BUILD, "spawn_timer")])


def basket_text(lines):
    parts = ["[Basket]\nNumKeys=%d\n" % lines]
    for i in range(1, lines + 1):
        # Cheap items: the total of 5000 lines stays within the payment
        # batch record's 8 characters, so confirm makes a real order.
        parts.append("[%d]\nNAME=Item number %d\nITEM=I-%d\nPRICE=0.%02d\nSHIP=1.50\nQUANTITY=%d\n"
                     % (i, i, i, i % 90 + 10, i % 4 + 1))
    parts.append("[Shipping]\nfname=Ada\nminitial=B\nlname=Lovelace\naddr1=1 Main St\naddr2=\ncity=Town\n"
                 "stpr=ST\ncountry=Land\nzip=12345\ndphone=555-0100\nfphone=\nemail=ada@example.org\n"
                 "paytype=card\ncname=Ada Lovelace\ncnum1=4111111111111111\ncnum2=\nexpmo=05\nexpyr=29\n")
    parts.append("[Optional]\nnumfields=2\noption1=Gift wrap\noption2=Rush\n")
    parts.append("[Additional]\nnumfields=6\na1=5.00\na3=Insurance\na4=2.00\na6=Handling\n")
    # The summary step 4 leaves: an order is made only from a summarised basket.
    parts.append("[Total]\nTax=1.00\nTotal=99.00\n[Order State]\nstate=summarised\n")
    return "".join(parts)


class Tree:
    """An install tree with the programs' configuration, a page, an item
    table, a style sheet and baskets of several sizes."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="tavra-bench-")
        r = self.root
        for d in ("web", "baskets/basket", "mail", "batch", "styles"):
            os.makedirs(os.path.join(r, d), exist_ok=True)
        self.put("tavra.cfg",
                 "[Program Config]\nwebdir=%s/web/\nstart=index.html\ntable=items.ini\n"
                 "thanks=http://shop.example/thanks.html\nemail=merchant@shop.example\nname=Bench Shop\n"
                 "tax=0.08\nshiptable=ship.ini\nmaildir=%s/mail/\nbatchfile=%s/batch/\ninvnumber=1000\n"
                 "basketdir=%s/baskets/\ndbfile=%s/web/items.ini\ncgiurl=tavra.exe\nstyles=%s/styles/\n"
                 "[Order Control]\ntables=on\nemail=off\ncustomer=%s/customer.csv\norder=%s/order.csv\n"
                 "shipment=%s/shipment.csv\n" % ((r,) * 9))
        self.put("web/page.html", "<html>\n<body><h1>Shop</h1>\n<p>Basket {SHOPPER}</p>\n"
                 "<p>{ITEM=100}</p>\n<p>{ITEM=200}</p>\n</body>\n")
        self.put("web/items.ini", "[100]\nname=Mug\nprice=4.50\nship=1.00\ndesc=A mug\npicture=mug.png\nstyle=std\n"
                 "SHIPTYPE=quantity\nfirst=5.00\nremain=1.50\n"
                 "[200]\nname=Cap\nprice=9.00\nship=2.00\ndesc=A cap\npicture=cap.png\nstyle=std\n"
                 "SHIPTYPE=percent\npercent=0.1\n")
        self.put("styles/std.sty", "<b>%NAME%</b> %PRICE% <img src=\"%PICTURE%\">\n"
                 "<form method=post action=\"%CGIURL%\"><input type=hidden name=basket value=%BASKET%>\n"
                 "<input type=hidden name=where value=%WHERE%><input type=hidden name=item value=%ITEM%></form>\n")
        self.put("empty", "")

    def put(self, rel, text):
        with open(os.path.join(self.root, rel), "w") as f:
            f.write(text)

    def basket(self, lines, tag=""):
        name = "basket/b%d%s.bsk" % (lines, tag)
        self.put("baskets/" + name, basket_text(lines))
        return name

    def body(self, name, text):
        self.put(name, text)
        return os.path.join(self.root, name)

    def program(self, name):
        return os.path.join(BUILD, name)

    def argv0(self, name):
        return os.path.join(self.root, name + ".exe")

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


def post_env(body_file):
    return {"REQUEST_METHOD": "POST", "CONTENT_TYPE": "application/x-www-form-urlencoded",
            "CONTENT_LENGTH": str(os.path.getsize(body_file))}


def spawn_timer(tree, runs, program, argv0, words, env, body):
    out = subprocess.run([os.path.join(BUILD, "spawn_timer"), str(runs), body, program, argv0] + words,
                         env=env, cwd=tree.root, check=True, capture_output=True, text=True).stdout.split()
    return float(out[0]), int(out[2])


def timed(tree, runs, program, argv0, words, env, body):
    return spawn_timer(tree, runs, program, argv0, words, env, body)[0]


def latency(tree, runs):
    rows = []
    b10 = tree.basket(10)
    cases = [
        ("goto, 10-line basket", "tavra", ["goto", "page.html", b10], {"REQUEST_METHOD": "GET"}, None),
        ("add2basket, 10-line basket", "tavra", [], None,
         "command=add2basket&basket=%s&where=page.html&qty=1&name=Mug&item=100&price=4.50&ship=1.00"
         % tree.basket(10, "-add")),
        ("edit, 10 lines", "tavra", [], None,
         "command=edit&basket=%s&where=page.html&" % tree.basket(10, "-edit")
         + "&".join("%d=%d" % (i, i % 3 + 1) for i in range(1, 11))),
        ("step4", "tavra", [], None,
         "command=step4&basket=%s&where=page.html&agent=predetermined&salestax=on" % b10),
        ("ship step4 (lookup)", "ship", [], None,
         "command=step4&basket=%s&where=page.html&agent=lookup&lookup=items.ini&salestax=on" % b10),
        ("newbasket", "tavra", ["newbasket", "page.html"], {"REQUEST_METHOD": "GET"}, None),
        # No mailer in the tree: the order is written, exported and batched.
        ("confirm, 10-line basket", "tavra", [], None, "command=confirm&basket=%s" % tree.basket(10, "-confirm")),
    ]
    # Each add2basket run meets the same 10-line basket again, and each
    # confirm a basket not yet ordered.
    fresh = {}
    for label, tag in (("add2basket, 10-line basket", "-add"), ("confirm, 10-line basket", "-confirm")):
        path = os.path.join(tree.root, "baskets", "basket", "b10%s.bsk" % tag)
        shutil.copy(path, path + ".orig")
        fresh[label] = "%s.orig %s" % (path, path)
    for label, prog, words, env, body in cases:
        if body is not None:
            body_file = tree.body("body.txt", body)
            env = post_env(body_file)
            if label in fresh:
                env["SPAWN_RESET"] = fresh[label]
        else:
            body_file = os.path.join(tree.root, "empty")
        floor = timed(tree, runs, tree.program("floor"), tree.argv0("floor"), [], env, body_file)
        ours = timed(tree, runs, tree.program(prog), tree.argv0(prog), words, env, body_file)
        rows.append((label, ours, floor))
    return rows


def callgrind(tree, prog, words, env, body_file):
    # valgrind starts the program with argv[0] as given on its command line:
    # a link in the tree makes that the install directory.
    link = tree.argv0(prog)
    if not os.path.exists(link):
        os.symlink(tree.program(prog), link)
    with open(body_file) as stdin:
        res = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", link] + words,
                             stdin=stdin, env=env, cwd=tree.root, capture_output=True, text=True)
    m = re.search(r"Collected : (\d+)", res.stderr)
    if not m:
        raise RuntimeError("callgrind gave no count:\n" + res.stderr[-2000:])
    return int(m.group(1))


def growth(tree, sizes):
    table = {}
    for n in sizes:
        b = tree.basket(n)
        cases = {
            "goto": ("tavra", ["goto", "page.html", b], {"REQUEST_METHOD": "GET"}, None),
            "edit": ("tavra", [], None, "command=edit&basket=%s&where=page.html&" % b
                     + "&".join("%d=%d" % (i, i % 3 + 1) for i in range(1, n + 1))),
            "step4": ("tavra", [], None, "command=step4&basket=%s&where=page.html&agent=predetermined&salestax=on" % b),
            "confirm": ("tavra", [], None, "command=confirm&basket=%s" % b),
        }
        for name, (prog, words, env, body) in cases.items():
            if body is not None:
                body_file = tree.body("body.txt", body)
                env = post_env(body_file)
            else:
                body_file = os.path.join(tree.root, "empty")
            table[(name, n)] = callgrind(tree, prog, words, env, body_file)
        # A refused confirm would be measured as cheap: the order must be made.
        with open(os.path.join(tree.root, "baskets", b)) as f:
            if "state=ordered" not in f.read():
                raise RuntimeError("confirm of the %d-line basket made no order" % n)
    return table


def child_usage(tree, prog, words, env, body_file):
    link = tree.argv0(prog)
    if not os.path.exists(link):
        os.symlink(tree.program(prog), link)
    start = time.monotonic()
    with open(body_file) as stdin:
        p = subprocess.Popen([link] + words, stdin=stdin, stdout=subprocess.DEVNULL, env=env, cwd=tree.root)
        _, _, usage = os.wait4(p.pid, 0)
    wall = time.monotonic() - start
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def throughput(seconds):
    """Requests per second of goto through the demo's Apache, against the same
    server running the floor program as a CGI script. None when the server or
    wrk is missing."""
    if not shutil.which("wrk") or not os.path.exists("/usr/sbin/apache2"):
        return None
    port = 18000 + os.getpid() % 1000
    shop = tempfile.mkdtemp(prefix="tavra-bench-shop-")
    os.chmod(shop, 0o755)
    env = dict(os.environ, TAVRA_BUILD_DIR=BUILD, TAVRA_SHOP_DIR=shop)
    server = subprocess.Popen([os.path.join(ROOT, "demo", "serve"), str(port)], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        for line in server.stdout:
            if "http://" in line:
                break
        else:
            return None
        basket = os.path.join(shop, "data", "baskets", "basket", "b10.bsk")
        with open(basket, "w") as f:
            f.write(basket_text(10))
        os.chmod(basket, 0o666)
        base = "http://127.0.0.1:%d" % port

        def rate(path):
            out = subprocess.run(["wrk", "-t2", "-c8", "-d%ds" % seconds, base + path],
                                 capture_output=True, text=True, check=True).stdout
            bad = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
            if bad:
                raise RuntimeError("wrk saw failed requests:\n" + out)
            return float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))

        ours = rate("/tavra.exe?goto+shop.html+basket/b10.bsk")
        # The floor takes the calculator's place in the same server.
        floor = os.path.join(shop, "cgi-bin", "ship.exe")
        shutil.copy(os.path.join(BUILD, "floor"), floor + ".new")
        os.chmod(floor + ".new", 0o755)
        os.replace(floor + ".new", floor)
        return ours, rate("/ship.exe")
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(shop, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=400)
    ap.add_argument("--quick", action="store_true", help="fewer runs and no 5000-line basket")
    args = ap.parse_args()
    runs = 100 if args.quick else args.runs
    sizes = [10, 100, 1000] if args.quick else [10, 100, 1000, 5000]

    build()
    tree = Tree()
    try:
        print("Machine: %s, %d cores" % (os.uname().machine, os.cpu_count() or 0))
        print()
        print("| request | median µs | floor µs | ratio |")
        print("|---|---:|---:|---:|")
        for label, ours, floor in latency(tree, runs):
            print("| %s | %.0f | %.0f | %.2f |" % (label, ours, floor, ours / floor))
        print()
        if shutil.which("valgrind"):
            counts = growth(tree, sizes)
            print("| instructions | " + " | ".join("%d lines" % n for n in sizes) + " | %d/100 |" % sizes[-1])
            print("|---|" + "---:|" * (len(sizes) + 1))
            for name in ("goto", "edit", "step4", "confirm"):
                cells = " | ".join("%d" % counts[(name, n)] for n in sizes)
                print("| %s | %s | %.1f |" % (name, cells, counts[(name, sizes[-1])] / counts[(name, 100)]))
            print()
        big = tree.basket(sizes[-1], "-rss")
        _, rss = spawn_timer(tree, 1, tree.program("tavra"), tree.argv0("tavra"), ["goto", "page.html", big],
                             {"REQUEST_METHOD": "GET"}, os.path.join(tree.root, "empty"))
        print("Peak memory of goto on a %d-line basket: %.1f MiB" % (sizes[-1], rss / 1024.0))
        wall, cpu, _ = child_usage(tree, "tavra", ["newbasket", "page.html"], {"REQUEST_METHOD": "GET"},
                                   os.path.join(tree.root, "empty"))
        print("newbasket: %.3f s wall, %.3f s CPU" % (wall, cpu))
        body_file = tree.body("body.txt", "command=confirm&basket=%s" % tree.basket(10, "-confirm"))
        wall, cpu, _ = child_usage(tree, "tavra", [], post_env(body_file), body_file)
        print("confirm: %.3f s wall, %.3f s CPU" % (wall, cpu))
        rates = throughput(5 if args.quick else 15)
        if rates:
            print("Throughput through Apache, goto on a 10-line basket: %.0f req/s; floor: %.0f req/s; ratio %.2f"
                  % (rates[0], rates[1], rates[0] / rates[1]))
        else:
            print("Throughput: skipped (needs wrk and apache2)")
    finally:
        tree.remove()


if __name__ == "__main__":
    sys.exit(main())
