#!/usr/bin/env python3
"""Resident memory of one long-lived FastCGI process of tavra (and of ship).

Starts the program on a listening unix socket in a throw-away shop, sends it
REQUESTS requests (default 100,000) one after another, a mix of goto on a
10-line basket, add2basket, step4, info, newbasket and refused requests (a
name out of bounds, a body that is no form), and prints its resident memory
(VmRSS of /proc/PID/status) after the first request and after the last, the
growth, and the peak (VmHWM). The basket that add2basket grows is put back
every 200 requests, so the work stays the same from first to last.

Usage: bench/fastcgi_memory.py [--requests N] [--program tavra|ship] [BINARY]
  BINARY defaults to build/tavra (or build/ship).
"""
import argparse
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

BEGIN, END, PARAMS, STDIN, STDOUT = 1, 3, 4, 5, 6


def record(kind, content=b""):
    return struct.pack(">BBHHBB", 1, kind, 1, len(content), 0, 0) + content


def length(n):
    return bytes([n]) if n < 128 else struct.pack(">I", n | 0x80000000)


def request(path, params, body=b""):
    """One FastCGI request; the reply's bytes and application status."""
    pairs = b"".join(length(len(k)) + length(len(v)) + k + v
                     for k, v in ((k.encode(), v.encode()) for k, v in params.items()))
    out = record(BEGIN, struct.pack(">HB5x", 1, 0))
    out += record(PARAMS, pairs) + record(PARAMS)
    for at in range(0, len(body), 65535):
        out += record(STDIN, body[at:at + 65535])
    out += record(STDIN)
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.connect(path)
        s.sendall(out)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    reply, status, at = b"", None, 0
    while at + 8 <= len(data):
        _, kind, _, size, pad, _ = struct.unpack(">BBHHBB", data[at:at + 8])
        content = data[at + 8:at + 8 + size]
        if kind == STDOUT:
            reply += content
        elif kind == END:
            status = struct.unpack(">I", content[:4])[0]
        at += 8 + size + pad
    return reply, status


def post(body):
    body = body.encode()
    return {"REQUEST_METHOD": "POST", "CONTENT_TYPE": "application/x-www-form-urlencoded",
            "CONTENT_LENGTH": str(len(body))}, body


def memory(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            name, _, value = line.partition(":")
            fields[name] = value.strip()
    return int(fields["VmRSS"].split()[0]), int(fields["VmHWM"].split()[0])


def lay_out_shop(root):
    for folder in ("web", "baskets/basket", "mail", "batch", "styles"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    with open(os.path.join(root, "tavra.cfg"), "w") as f:
        f.write(f"[Program Config]\nwebdir={root}/web/\nthanks=http://shop.example/thanks\nname=Shop\n"
                f"tax=0.08\nmaildir={root}/mail/\nbatchfile={root}/batch/\ninvnumber=1000\n"
                f"basketdir={root}/baskets/\ndbfile={root}/web/items.ini\ncgiurl=tavra\n"
                f"styles={root}/styles/\n")
    with open(os.path.join(root, "web/page.html"), "w") as f:
        f.write("<html>\n<p>{SHOPPER}</p>\n<{ITEM=100}>\n")
    with open(os.path.join(root, "web/items.ini"), "w") as f:
        f.write("[100]\nname=Mug\nprice=4.50\nship=1\nstyle=s\nSHIPTYPE=quantity\nfirst=2\nremain=1\n")
    with open(os.path.join(root, "styles/s.sty"), "w") as f:
        f.write("%NAME% at %PRICE%\n")
    lines = "".join(f"[{n}]\nNAME=Item {n}\nITEM={n}\nPRICE=2.50\nSHIP=0.50\nQUANTITY={n}\n"
                    for n in range(1, 11))
    basket = f"[Basket]\nNumKeys=10\n{lines}[Shipping]\nfname=Ana\ncarrier=predetermined\n"
    for name in ("ten.bsk", "grow.bsk"):
        with open(os.path.join(root, "baskets/basket", name), "w") as f:
            f.write(basket)
    return basket


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--requests", type=int, default=100_000)
    parser.add_argument("--program", choices=("tavra", "ship"), default="tavra")
    parser.add_argument("binary", nargs="?")
    args = parser.parse_args()
    binary = args.binary or os.path.join(ROOT, "build", args.program)
    if not os.access(binary, os.X_OK):
        sys.exit(f"no program at {binary} (build first)")

    root = tempfile.mkdtemp(prefix="tavra-memory-")
    try:
        basket = lay_out_shop(root)
        program = os.path.join(root, args.program + ".exe")
        shutil.copy(binary, program)
        path = os.path.join(root, "socket")
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        listener.bind(path)
        listener.listen(16)
        child = subprocess.Popen([program], stdin=listener.fileno(), stdout=subprocess.DEVNULL, cwd=root,
                                 env={})
        listener.close()

        page = "basket=basket/ten.bsk&where=page.html"
        if args.program == "tavra":
            mix = [post("command=goto&" + page),
                   post("command=add2basket&basket=basket/grow.bsk&where=page.html&qty=1&name=Cup&item=7"
                        "&price=3.25&ship=1"),
                   post("command=step4&agent=predetermined&salestax=on&" + page),
                   ({"REQUEST_METHOD": "GET", "QUERY_STRING": "info"}, b""),
                   ({"REQUEST_METHOD": "GET", "QUERY_STRING": "newbasket+page.html"}, b""),
                   post("command=goto&basket=../../etc/passwd&where=page.html"),
                   post("command=goto&%zz")]
        else:
            mix = [post("command=step4&agent=lookup&lookup=items.ini&salestax=on&" + page),
                   post("command=step4&agent=predetermined&" + page),
                   post("command=step4&basket=../x&where=page.html"),
                   ({"REQUEST_METHOD": "GET"}, b"")]

        started = time.monotonic()
        first = None
        for n in range(args.requests):
            if n % 200 == 0:
                with open(os.path.join(root, "baskets/basket/grow.bsk"), "w") as f:
                    f.write(basket)
            params, body = mix[n % len(mix)]
            reply, status = request(path, params, body)
            if status is None:
                sys.exit(f"request {n + 1} got no end (the process ended?)")
            if n == 0:
                first = memory(child.pid)
        last = memory(child.pid)
        took = time.monotonic() - started
        child.kill()
        child.wait()
    finally:
        shutil.rmtree(root, ignore_errors=True)

    growth = last[0] - first[0]
    print(f"{args.program}: {args.requests} FastCGI requests in {took:.1f} s ({args.requests / took:.0f}/s), "
          f"one process")
    print(f"  resident after the first request: {first[0]} KiB")
    print(f"  resident after the last request:  {last[0]} KiB")
    print(f"  growth: {growth} KiB ({'under' if growth < 1024 else 'NOT under'} 1 MiB); peak {last[1]} KiB")
    return 0 if growth < 1024 else 1


if __name__ == "__main__":
    sys.exit(main())
