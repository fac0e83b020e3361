"""A small scriptable HTTP(S) server that misbehaves on request, for the network tests.

It serves the files of a document root (the one nginx serves) and chooses its behaviour from the
path. <name> is a file in the document root; <offset> is the first byte of the range request the
fault applies to (or "any"); <times> is how many matching GET requests get the fault before the
path behaves correctly (a large number means always). Counters are kept per path.

  /file/<name>                       correct: 200, or 206 for a single byte range
  /nolength/<name>                   200 with the whole body, no Content-Length, connection closed
  /norange/<name>                    ranges ignored: 200 with the whole body
  /redirect/<name>                   302 to /file/<name> with a short body of its own
  /status/<code>/<name>              the status <code> with <name>'s bytes as the body
  /err500/<offset>/<times>/<name>    500 with an HTML error page for the matching range
  /drop/<offset>/<times>/<name>      headers for the matching range, half its bytes, then the
                                     connection is closed
  /stall/<offset>/<times>/<name>     headers for the matching range, then nothing until the server
                                     stops (at most two minutes)
  /echo                              200; the body is the request's header lines, in order, as
                                     "Name:value" lines
  /_requests                         JSON list of the requests seen so far (method, path, range)

HEAD requests get the headers a GET would get, without faults (except /nolength and /redirect).
Every request is also appended to the log file given to make_server.
"""

import http.server
import json
import os
import re
import socketserver
import threading
import urllib.parse

CHUNK = 1 << 20


class _State:
    def __init__(self, docroot, log_path, stop):
        self.docroot = docroot
        self.log_path = log_path
        self.stop = stop
        self.lock = threading.Lock()
        self.counts = {}
        self.requests = []

    def record(self, method, path, rng):
        with self.lock:
            self.requests.append({"method": method, "path": path, "range": rng})
            with open(self.log_path, "a") as f:
                f.write("%s %s range=%s\n" % (method, path, rng or "-"))

    def take_fault(self, path, times):
        """True while the path has faults left; counts one use."""
        with self.lock:
            used = self.counts.get(path, 0)
            if used >= times:
                return False
            self.counts[path] = used + 1
            return True


def _parse_range(value, size):
    """(first, last) of a single "bytes=a-b" or "bytes=a-" range; None if absent; "bad" if
    unsatisfiable or malformed."""
    if not value:
        return None
    m = re.fullmatch(r"\s*bytes=(\d+)-(\d*)\s*", value)
    if not m:
        return "bad"
    first = int(m.group(1))
    last = int(m.group(2)) if m.group(2) else size - 1
    if first >= size or last < first:
        return "bad"
    return first, min(last, size - 1)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "faultserver"

    def log_message(self, fmt, *args):
        pass

    @property
    def state(self):
        return self.server.state

    def do_HEAD(self):
        self._handle(head=True)

    def do_GET(self):
        self._handle(head=False)

    def _file(self, name):
        path = os.path.realpath(os.path.join(self.state.docroot, urllib.parse.unquote(name)))
        root = os.path.realpath(self.state.docroot)
        if not path.startswith(root + os.sep) or not os.path.isfile(path):
            return None
        return path

    def _simple(self, code, body, ctype="text/plain", extra=()):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _send_bytes(self, path, first, count):
        with open(path, "rb") as f:
            f.seek(first)
            while count > 0:
                block = f.read(min(CHUNK, count))
                if not block:
                    break
                self.wfile.write(block)
                count -= len(block)

    def _serve(self, path, head, fault=None, ignore_range=False, no_length=False):
        """Serves a file with optional single-range support; fault is None, "err500", "drop"
        or "stall" and applies to this request."""
        size = os.path.getsize(path)
        rng = None if ignore_range else _parse_range(self.headers.get("Range"), size)
        if rng == "bad":
            self._simple(416, b"", extra=[("Content-Range", "bytes */%d" % size)])
            return
        if fault == "err500":
            page = b"<html><body><h1>500 Internal Server Error</h1></body></html>\n"
            self._simple(500, page, ctype="text/html")
            return
        first, last = rng if rng else (0, size - 1)
        count = last - first + 1 if size else 0
        self.send_response(206 if rng else 200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Accept-Ranges", "bytes")
        if rng:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, size))
        if no_length:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(count))
        self.end_headers()
        if head:
            return
        if fault == "drop":
            self._send_bytes(path, first, count // 2)
            self.wfile.flush()
            self.close_connection = True
            return
        if fault == "stall":
            self.wfile.flush()
            self.state.stop.wait(120)
            self.close_connection = True
            return
        self._send_bytes(path, first, count)

    def _handle(self, head):
        url = urllib.parse.urlsplit(self.path)
        rng = self.headers.get("Range")
        if url.path != "/_requests":
            self.state.record(self.command, url.path, rng)
        parts = url.path.lstrip("/").split("/")
        mode = parts[0]
        try:
            if mode == "_requests":
                with self.state.lock:
                    body = json.dumps(self.state.requests).encode()
                self._simple(200, body, ctype="application/json")
                return
            if mode == "echo":
                lines = "".join("%s:%s\n" % (k, v) for k, v in self.headers.items())
                self._simple(200, lines.encode())
                return
            if mode in ("file", "nolength", "norange", "redirect") and len(parts) >= 2:
                name = "/".join(parts[1:])
                path = self._file(name)
                if path is None:
                    self._simple(404, b"not found\n")
                elif mode == "redirect":
                    self._simple(302, b"Moved\n", extra=[("Location", "/file/" + name)])
                else:
                    self._serve(path, head, ignore_range=(mode != "file"),
                                no_length=(mode == "nolength"))
                return
            if mode == "status" and len(parts) >= 3:
                path = self._file("/".join(parts[2:]))
                if path is None:
                    self._simple(404, b"not found\n")
                    return
                with open(path, "rb") as f:
                    self._simple(int(parts[1]), f.read(), ctype="application/json")
                return
            if mode in ("err500", "drop", "stall") and len(parts) >= 4:
                path = self._file("/".join(parts[3:]))
                if path is None:
                    self._simple(404, b"not found\n")
                    return
                size = os.path.getsize(path)
                r = _parse_range(rng, size)
                first = r[0] if isinstance(r, tuple) else 0
                matches = parts[1] == "any" or (parts[1].isdigit() and int(parts[1]) == first)
                fault = None
                if not head and matches and self.state.take_fault(url.path + "#" + str(first),
                                                                  int(parts[2])):
                    fault = mode
                self._serve(path, head, fault=fault)
                return
            self._simple(404, b"unknown fault path\n")
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, state, ssl_context, address):
        self.state = state
        self.ssl_context = ssl_context
        super().__init__((address, 0), Handler)

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the request's own thread, so a stuck client blocks nobody.
        if self.ssl_context is not None:
            try:
                request = self.ssl_context.wrap_socket(request, server_side=True)
            except OSError:
                return
        super().finish_request(request, client_address)


def make_server(docroot, log_path, ssl_context, stop, address="127.0.0.1"):
    """A server on a free port of address; HTTPS when ssl_context is given."""
    return Server(_State(docroot, log_path, stop), ssl_context, address)
