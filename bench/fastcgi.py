#!/usr/bin/env python3
"""Requests per second through nginx on loopback, CGI against FastCGI.

Builds a Release build (bench/run.py's), lays out three shops from it with
tavra-shop create --fastcgi and serves them from one nginx side by side:
  - the CGI way, nginx.conf: the programs started for each request by
    fcgiwrap, once with one worker as Debian's fcgiwrap service runs it,
    once with as many workers as wrk has connections;
  - the FastCGI way, nginx-fastcgi.conf: each program started once on its
    socket in the shop's fcgi/, one process as the shop's units start it.
Then wrk (2 threads, 4 connections) runs each request against the three in
turn and one table is printed:
  - goto of a 10-line basket;
  - add2basket, confirm and step4, each request on a basket of its own,
    prepared beforehand (10 lines; for step4 and confirm with the
    shopper's details, and for confirm summarised), so that every request
    does the whole work: afterwards each basket written must show it (an
    eleventh line, a summary, an order) and the number of baskets that do
    must match wrk's count of answers;
  - the resident memory of the FastCGI basket program after its first
    request and after all of them (goto runs on to 100,000 at least).
The shops have no mailer, as in the load test: each confirm finds none to
start, so mail delivery costs nothing either way.

A file system mounted with "discard" (online trimming) makes every basket
write wait for the old file's blocks to be trimmed when it is removed;
--folder /dev/shm lays the shops out in memory to see the programs' own
cost (there fsync costs nothing either, so confirm is then not what a disk
gives).

Each wrk run starts once the disk has taken what the runs before it wrote
(a sync), so that no way pays for another's writes.

Run as root (nginx, fcgiwrap and the programs run as www-data), under the
servers' lock:
  flock /tmp/tavra-servers.lock bench/fastcgi.py [--seconds N] [--baskets N] [--folder DIR]
                                                 [--only goto,add2basket,step4,confirm]
"""
import argparse
import glob
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import run as bench  # noqa: E402  (the Release build and the basket text)
from fastcgi_memory import memory  # noqa: E402  (a process's resident size)

USER = "www-data"
THREADS = 2
CONNECTIONS = 4
# The ways, each a shop of its own on a port of its own: fcgiwrap's workers
# (0 for the FastCGI way).
WAYS = {"cgi1": 1, "cgi4": CONNECTIONS, "fastcgi": 0}
# The FastCGI programs' processes each, as their service unit runs them.
FASTCGI_WORKERS = 4
PORTS = {"cgi1": 18180, "cgi4": 18181, "fastcgi": 18182}

# The requests: what wrk sends, on which kind of prepared basket, and what
# a basket shows once the request has done its work.
ADD = "command=add2basket&basket=%s&where=shop.html&qty=1&name=Mug&item=100&price=4.50&ship=1.00"
STEP4 = "command=step4&basket=%s&where=summary.html&agent=predetermined&salestax=on"
CONFIRM = "command=confirm&basket=%s"


def basket_for(kind):
    """A 10-line basket: as step 3 leaves it for step4, summarised for
    confirm (bench/run.py's basket), plain lines for add2basket."""
    text = bench.basket_text(10)
    if kind == "add":
        return text[:text.index("[Shipping]")]
    if kind == "step4":
        return text[:text.index("[Total]")]
    return text


DONE = {
    "add": lambda text: "NumKeys=11\n" in text,
    "step4": lambda text: "state=summarised" in text,
    "confirm": lambda text: "state=ordered" in text,
}


def lua_script(path, body_format, prefix, stride):
    """A wrk script that posts `body_format` with basket/PREFIX<n>.bsk, each
    wrk thread taking its own run of `stride` basket numbers."""
    with open(path, "w") as f:
        f.write("""
local threads = 0
function setup(thread)
    thread:set("first", threads * STRIDE)
    threads = threads + 1
end
local n = 0
function request()
    n = n + 1
    local body = string.format("FORMAT", "basket/PREFIX" .. (first + n) .. ".bsk")
    return wrk.format("POST", "/tavra.exe", {["Content-Type"] = "application/x-www-form-urlencoded"}, body)
end
""".replace("STRIDE", str(stride)).replace("FORMAT", body_format).replace("PREFIX", prefix))


def wait_for(test, what, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if test():
            return
        time.sleep(0.05)
    raise RuntimeError("%s did not happen within %d seconds" % (what, seconds))


def port_answers(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        return True
    except OSError:
        return False


class Bench:
    def __init__(self, work, baskets):
        self.work = work
        self.baskets = baskets
        self.processes = []
        self.answered = {way: 0 for way in WAYS}
        self.tool = os.path.join(bench.BUILD, "shop_tool", "tavra-shop")
        programs = os.path.join(work, "programs")
        os.makedirs(programs)
        for name, built in (("tavra", "tavra"), ("ship", "ship"), ("mailer", "mailer/mailer")):
            os.symlink(os.path.join(bench.BUILD, built), os.path.join(programs, name))
        self.shops = {}
        for way in WAYS:
            shop = os.path.join(work, way + "-shop")
            subprocess.run([self.tool, "create", shop, "--user", USER, "--no-register", "--fastcgi",
                            "--url", "http://127.0.0.1:%d/" % PORTS[way], "--email", "orders@shop.example",
                            "--name", "Bench Shop", "--programs", programs, "--sample", os.path.join(ROOT, "demo"),
                            "--templates", os.path.join(ROOT, "packaging", "server")],
                           check=True, stdout=subprocess.DEVNULL)
            os.remove(os.path.join(shop, "cgi-bin", "blat.exe"))
            self.shops[way] = shop
            self.prepare(shop)

    def basket_folder(self, shop):
        return os.path.join(shop, "data", "baskets", "basket")

    def prepare(self, shop):
        folder = self.basket_folder(shop)
        uid, gid = int(subprocess.check_output(["id", "-u", USER])), int(subprocess.check_output(["id", "-g", USER]))
        texts = {kind: basket_for(kind) for kind in DONE}
        files = [("b10", texts["confirm"])]
        for kind in DONE:
            files += [("%s%d" % (kind, n), texts[kind]) for n in range(1, self.baskets + 1)]
        for name, text in files:
            path = os.path.join(folder, name + ".bsk")
            with open(path, "w") as f:
                f.write(text)
            os.chown(path, uid, gid)
            os.chmod(path, 0o600)

    def start(self, argv, **kw):
        p = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT, start_new_session=True, **kw)
        self.processes.append(p)
        return p

    def serve(self):
        run = os.path.join(self.work, "run")
        os.makedirs(run)
        shutil.chown(run, USER, USER)
        clean = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin"}
        servers = ""
        # The CGI ways: the snippet with an fcgiwrap of this run's own.
        for way, workers in WAYS.items():
            if not workers:
                continue
            fcgiwrap = os.path.join(run, way + ".sock")
            with open(os.path.join(self.shops[way], "server", "nginx.conf")) as f:
                cgi_snippet = f.read().replace("unix:/run/fcgiwrap.socket;", "unix:%s;" % fcgiwrap)
            with open(os.path.join(run, way + ".conf"), "w") as f:
                f.write(cgi_snippet)
            self.start(["setpriv", "--reuid=" + USER, "--regid=" + USER, "--init-groups", "/usr/sbin/fcgiwrap",
                        "-c", str(workers), "-s", "unix:" + fcgiwrap], env=clean)
            wait_for(lambda: os.path.exists(fcgiwrap), "fcgiwrap's socket")
            servers += "    server {\n        listen 127.0.0.1:%d;\n        include %s/%s.conf;\n    }\n" % (
                PORTS[way], run, way)
        # The FastCGI way: each program on its socket, as its unit starts it.
        shop = self.shops["fastcgi"]
        self.fastcgi = {}
        for program in ("tavra", "ship"):
            sock = os.path.join(shop, "fcgi", program + ".sock")
            self.fastcgi[program] = self.start(
                ["spawn-fcgi", "-n", "-s", sock, "-M", "0600", "-U", USER, "-G", USER, "-u", USER, "-g", USER,
                 "--", os.path.join(shop, "cgi-bin", program + ".exe")],
                env=dict(clean, TAVRA_FASTCGI_WORKERS=str(FASTCGI_WORKERS)))
            wait_for(lambda: os.path.exists(sock), program + "'s socket")
        conf = os.path.join(run, "nginx.conf")
        with open(conf, "w") as f:
            f.write("""daemon off;
user %(user)s %(user)s;
worker_processes auto;
pid %(run)s/nginx.pid;
error_log %(run)s/error.log warn;
events { worker_connections 1024; }
http {
    include /etc/nginx/mime.types;
    access_log off;
    client_body_temp_path %(run)s/body;
    fastcgi_temp_path %(run)s/fastcgi;
    proxy_temp_path %(run)s/proxy;
    uwsgi_temp_path %(run)s/uwsgi;
    scgi_temp_path %(run)s/scgi;
%(servers)s    server {
        listen 127.0.0.1:%(fastcgi)d;
        include %(shop)s/server/nginx-fastcgi.conf;
    }
}
""" % {"user": USER, "run": run, "servers": servers, "fastcgi": PORTS["fastcgi"], "shop": shop})
        self.start(["/usr/sbin/nginx", "-e", os.path.join(run, "error.log"), "-c", conf])
        for port in PORTS.values():
            wait_for(lambda: port_answers(port), "nginx on port %d" % port)

    def stop(self):
        for p in self.processes:
            try:
                os.killpg(p.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        for p in self.processes:
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()

    def wrk(self, way, path, script, seconds):
        args = ["wrk", "-t%d" % THREADS, "-c%d" % CONNECTIONS, "-d%ds" % seconds]
        if script:
            args += ["-s", script]
        # What the baskets' preparation and the way before left to write out
        # goes to the disk now, not in the middle of this way's run.
        os.sync()
        out = subprocess.run(args + ["http://127.0.0.1:%d%s" % (PORTS[way], path)],
                             capture_output=True, text=True, check=True).stdout
        if re.search(r"Non-2xx or 3xx responses: (\d+)", out) or "Socket errors" in out:
            raise RuntimeError("wrk saw failed requests (%s):\n%s" % (way, out))
        answered = int(re.search(r"(\d+) requests in", out).group(1))
        if not script:
            self.answered[way] += answered
        return float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1)), answered

    def done(self, way, kind):
        """How many baskets of `kind` show their request's work; refuses a
        run that needed more baskets than were prepared."""
        folder = self.basket_folder(self.shops[way])
        count = 0
        for path in glob.glob(os.path.join(folder, kind + "*.bsk")):
            with open(path) as f:
                count += DONE[kind](f.read())
        return count

    def writer(self, way, kind, body_format, seconds):
        script = os.path.join(self.work, "%s-%s.lua" % (way, kind))
        lua_script(script, body_format, kind, self.baskets // THREADS)
        rate, answered = self.wrk(way, "/tavra.exe", script, seconds)
        self.answered[way] += answered
        # wrk counts the answers it read; a request still open when it
        # stopped may have done its work unanswered. A thread that ran out
        # of baskets asked for names the shop never issued, and was refused.
        done = self.done(way, kind)
        if not answered <= done <= answered + CONNECTIONS:
            raise RuntimeError("%s %s: wrk counted %d answers, %d baskets show the work (too few --baskets?)"
                               % (way, kind, answered, done))
        return rate

    def rss_kib(self):
        """The resident memory of the largest of the basket program's workers
        (of the program itself when it serves alone)."""
        keeper = self.fastcgi["tavra"].pid
        with open("/proc/%d/task/%d/children" % (keeper, keeper)) as f:
            pids = [int(p) for p in f.read().split()] or [keeper]
        return max(memory(pid)[0] for pid in pids)

    def served(self, way):
        """The page a goto answers, which must hold the basket's table."""
        out = subprocess.run(["curl", "-sS", "http://127.0.0.1:%d/tavra.exe?goto+shop.html+basket/b10.bsk"
                              % PORTS[way]], capture_output=True, text=True, check=True).stdout
        if "Item number 10" not in out:
            raise RuntimeError("%s: goto shows no basket:\n%s" % (way, out[:2000]))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--seconds", type=int, default=10, help="length of each wrk run")
    ap.add_argument("--baskets", type=int, default=60000, help="baskets prepared for each writing request")
    ap.add_argument("--folder", default="/var/tmp",
                    help="where the shops are laid out (/dev/shm: in memory, without the disk's cost)")
    ap.add_argument("--only", default="goto,add2basket,step4,confirm",
                    help="the requests measured, comma-separated (the memory figure needs goto)")
    args = ap.parse_args()
    only = args.only.split(",")
    if os.geteuid() != 0:
        sys.exit("bench/fastcgi.py: run me as root (the servers and programs run as %s)" % USER)
    for tool in ("wrk", "nginx", "fcgiwrap", "spawn-fcgi", "curl"):
        if not shutil.which(tool) and not os.path.exists("/usr/sbin/" + tool):
            sys.exit("bench/fastcgi.py: %s is missing" % tool)
    for port in PORTS.values():
        if port_answers(port):
            sys.exit("bench/fastcgi.py: port %d is taken" % port)

    bench.build()
    work = tempfile.mkdtemp(prefix="tavra-bench-fastcgi.", dir=args.folder)
    os.chmod(work, 0o755)
    b = None
    try:
        b = Bench(work, args.baskets)
        b.serve()
        rows = []
        for way in WAYS:
            b.served(way)
        first_rss = b.rss_kib()
        if "goto" in only:
            rows.append(("goto, 10-line basket",) + tuple(
                b.wrk(way, "/tavra.exe?goto+shop.html+basket/b10.bsk", None, args.seconds)[0]
                for way in WAYS))
        for label, kind, body in (("add2basket", "add", ADD), ("step4", "step4", STEP4),
                                  ("confirm", "confirm", CONFIRM)):
            if label in only:
                rows.append((label,) + tuple(b.writer(way, kind, body, args.seconds) for way in WAYS))
        # At least 100,000 requests for the memory figure.
        while "goto" in only and b.answered["fastcgi"] < 100000:
            b.wrk("fastcgi", "/tavra.exe?goto+shop.html+basket/b10.bsk", None, args.seconds)
        last_rss = b.rss_kib()
        requests = b.answered["fastcgi"]
        print("Machine: %s, %d cores, load average %.1f at the end; shops in %s; wrk -t%d -c%d -d%ds; "
              "%d FastCGI processes a program" % (os.uname().machine, os.cpu_count() or 0, os.getloadavg()[0],
                                                  args.folder, THREADS, CONNECTIONS, args.seconds, FASTCGI_WORKERS))
        print()
        print("| request, req/s | fcgiwrap, 1 worker | fcgiwrap, %d workers | FastCGI | FastCGI / fcgiwrap 1 "
              "| FastCGI / fcgiwrap %d |" % (CONNECTIONS, CONNECTIONS))
        print("|---|---:|---:|---:|---:|---:|")
        for label, cgi1, cgi4, fastcgi in rows:
            print("| %s | %.0f | %.0f | %.0f | %.1f | %.1f |" % (label, cgi1, cgi4, fastcgi, fastcgi / cgi1,
                                                               fastcgi / cgi4))
        print()
        print("FastCGI basket program, resident memory of its largest process: %d KiB after its first request, %d KiB after "
              "%d (growth %d KiB)" % (first_rss, last_rss, requests, last_rss - first_rss))
    finally:
        if b:
            b.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
