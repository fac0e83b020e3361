#!/usr/bin/env python3
"""Loopback test servers for the installer's network code, its tests and the demo.

Starts, in a temporary folder of its own:
  * nginx on 127.0.0.1 with its own configuration, prefix, pid file and logs, serving the
    document root with byte ranges over HTTPS (a certificate authority and a server certificate
    for "localhost" and 127.0.0.1 made for this run with openssl) and over plain HTTP;
    "/handshake" answers with <docroot>/handshake.json, "/telvo/ping" answers 200 and is logged
    to telvo.log (one line per request: time, address, the request URI, the status);
  * the fault server (faultserver.py) over plain HTTP, over HTTPS with the same certificate, and
    over HTTPS with a certificate for another host name.

When everything answers it prints ONE line of JSON on standard output, e.g.
  {"dir": ..., "docroot": ..., "ca_file": ..., "other_ca_file": ..., "http_port": ...,
   "https_port": ..., "fault_http_port": ..., "fault_https_port": ...,
   "fault_wronghost_port": ..., "telvo_log": ..., "fault_log": ...}
and then runs until standard input reaches end of file, it gets SIGTERM/SIGINT, or its parent
process dies. It then stops nginx and removes its folder (unless --keep).

Usage: testservers.py [--keep] [--dir DIR] [--address ADDR]
(--address: listen on this IPv4 address instead of 127.0.0.1; the server certificate names it too)
"""

import argparse
import ctypes
import json
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import faultserver  # noqa: E402

PR_SET_PDEATHSIG = 1


def die_with_parent(sig):
    """Asks the kernel to send sig to this process when its parent ends."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, sig, 0, 0, 0)


def run(cmd, cwd):
    subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(d, address):
    """A CA, a server certificate for localhost/127.0.0.1, one for another host, and an
    unrelated CA. EC keys keep start-up fast."""
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    for ca in ("ca", "otherca"):
        run(["openssl", "req", "-x509", *ec, "-keyout", ca + ".key", "-out", ca + ".pem",
             "-days", "3", "-subj", "/CN=Morlix Test " + ca,
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign"], d)
    for name, san in (("server", "DNS:localhost,IP:127.0.0.1" + ("" if address == "127.0.0.1" else ",IP:" + address)),
                      ("wronghost", "DNS:other.example")):
        with open(os.path.join(d, name + ".ext"), "w") as f:
            f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                    "extendedKeyUsage=serverAuth\nsubjectAltName=" + san + "\n")
        cn = "localhost" if name == "server" else "other.example"
        run(["openssl", "req", *ec, "-keyout", name + ".key", "-out", name + ".csr",
             "-subj", "/CN=" + cn], d)
        run(["openssl", "x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
             "-CAcreateserial", "-out", name + ".pem", "-days", "3",
             "-extfile", name + ".ext"], d)


def free_port(address):
    with socket.socket() as s:
        s.bind((address, 0))
        return s.getsockname()[1]


NGINX_CONF = """\
daemon off;
master_process off;
worker_processes 1;
pid {d}/nginx.pid;
error_log {d}/logs/error.log warn;
events {{ worker_connections 1024; }}
http {{
  access_log off;
  client_body_temp_path {d}/tmp/body;
  proxy_temp_path {d}/tmp/proxy;
  fastcgi_temp_path {d}/tmp/fastcgi;
  uwsgi_temp_path {d}/tmp/uwsgi;
  scgi_temp_path {d}/tmp/scgi;
  types {{ application/json json; text/plain txt; application/zip zip; }}
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 100000;
  keepalive_timeout 65;
  log_format telvo '$time_iso8601 $remote_addr "$request_uri" $status';
  server {{
    listen {address}:{http_port};
    listen {address}:{https_port} ssl;
    server_name localhost {address};
    ssl_certificate {d}/server.pem;
    ssl_certificate_key {d}/server.key;
    ssl_protocols TLSv1.2 TLSv1.3;
    root {docroot};
    location = /handshake {{
      default_type application/json;
      try_files /handshake.json =404;
    }}
    location = /telvo/ping {{
      access_log {d}/logs/telvo.log telvo;
      default_type text/plain;
      return 200 "OK\\n";
    }}
    location / {{
      max_ranges 1;
    }}
  }}
}}
"""


def wait_for_port(address, port, proc, seconds=10.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if proc.poll() is not None:
            return False
        try:
            with socket.create_connection((address, port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.02)
    return False


def start_nginx(d, docroot, address):
    """Starts nginx on two free ports; retries if another process took a port meanwhile."""
    for _ in range(5):
        http_port, https_port = free_port(address), free_port(address)
        if http_port == https_port:
            continue
        with open(os.path.join(d, "nginx.conf"), "w") as f:
            f.write(NGINX_CONF.format(d=d, docroot=docroot, address=address, http_port=http_port,
                                      https_port=https_port))
        proc = subprocess.Popen(
            ["nginx", "-p", d + "/", "-c", d + "/nginx.conf", "-e", d + "/logs/error.log"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=lambda: die_with_parent(signal.SIGKILL))
        if wait_for_port(address, http_port, proc) and wait_for_port(address, https_port, proc):
            return proc, http_port, https_port
        proc.kill()
        proc.wait()
    with open(os.path.join(d, "logs", "error.log")) as f:
        sys.stderr.write(f.read())
    raise RuntimeError("nginx did not start")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--keep", action="store_true", help="keep the folder after stopping")
    ap.add_argument("--dir", help="use this (empty or new) folder instead of a temporary one")
    ap.add_argument("--address", default="127.0.0.1", help="IPv4 address to listen on")
    args = ap.parse_args()

    parent = os.getppid()
    die_with_parent(signal.SIGTERM)
    if os.getppid() != parent:
        return 1

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    if args.dir:
        d = os.path.abspath(args.dir)
        os.makedirs(d, exist_ok=True)
    else:
        d = tempfile.mkdtemp(prefix="tz-testservers-")
    docroot = os.path.join(d, "www")
    for sub in ("www", "logs", "tmp"):
        os.makedirs(os.path.join(d, sub), exist_ok=True)

    nginx = None
    faults = []
    try:
        make_certificates(d, args.address)
        nginx, http_port, https_port = start_nginx(d, docroot, args.address)
        with open(os.path.join(docroot, "handshake.json"), "w") as f:
            json.dump({"result": "success",
                       "morlixdownloadUrl": "https://%s:%d/morlix-package.zip" % (args.address, https_port),
                       "morlixinstallPath": "/opt/tarsel/morlix/morlix",
                       "morlixbuildNumber": "1"}, f)

        fault_log = os.path.join(d, "logs", "fault.log")
        good = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        good.load_cert_chain(os.path.join(d, "server.pem"), os.path.join(d, "server.key"))
        wrong = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        wrong.load_cert_chain(os.path.join(d, "wronghost.pem"), os.path.join(d, "wronghost.key"))
        for ctx in (None, good, wrong):
            srv = faultserver.make_server(docroot, fault_log, ctx, stop, args.address)
            threading.Thread(target=srv.serve_forever, kwargs={"poll_interval": 0.2},
                             daemon=True).start()
            faults.append(srv)

        info = {
            "dir": d, "docroot": docroot, "address": args.address,
            "ca_file": os.path.join(d, "ca.pem"),
            "other_ca_file": os.path.join(d, "otherca.pem"),
            "http_port": http_port, "https_port": https_port,
            "fault_http_port": faults[0].server_address[1],
            "fault_https_port": faults[1].server_address[1],
            "fault_wronghost_port": faults[2].server_address[1],
            "telvo_log": os.path.join(d, "logs", "telvo.log"),
            "fault_log": fault_log,
            "nginx_pid": nginx.pid,
        }
        sys.stdout.write(json.dumps(info) + "\n")
        sys.stdout.flush()

        # End of standard input means the owner is gone or asks us to stop.
        def watch_stdin():
            try:
                while os.read(0, 4096):
                    pass
            except OSError:
                pass
            stop.set()

        if not sys.stdin.isatty():
            threading.Thread(target=watch_stdin, daemon=True).start()
        while not stop.wait(0.5):
            if nginx.poll() is not None:
                sys.stderr.write("testservers: nginx ended unexpectedly\n")
                break
    finally:
        stop.set()
        for srv in faults:
            srv.shutdown()
            srv.server_close()
        if nginx is not None and nginx.poll() is None:
            nginx.terminate()
            try:
                nginx.wait(5)
            except subprocess.TimeoutExpired:
                nginx.kill()
                nginx.wait()
        if not args.keep:
            shutil.rmtree(d, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
