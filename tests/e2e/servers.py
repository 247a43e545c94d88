"""Loopback HTTP servers for the end-to-end run: the connectivity probe site and
the publisher's host, which also serves the task pages. Every connection and
request is recorded with its time.monotonic() stamp."""

import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def page_body(number, serial):
    """Page bytes that a text-mode or re-encoding writer would damage: GBK text,
    CRLF and bare LF, NUL and high bytes. Page 2 is large enough to need many
    reads. The serial makes every answer differ, so a file shows which answer
    reached it."""
    head = (b"<html><head><meta charset=gbk></head><body>\r\n"
            + "\u9875\u9762".encode("gbk") + b" %d / %d\r\n" % (number, serial))
    tail = b"\x00\x01\xff\xfe\r\n\n\r\x5c\x81\x40</body></html>\n"
    filler = b""
    if number == 2:
        filler = bytes((i * 7 + serial) % 256 for i in range(300_000))
    return head + filler + tail


class Recorder:
    def __init__(self):
        self.lock = threading.Lock()
        self.events = []  # (monotonic time, server name, kind, path)
        self.marker = b"2.9\r\n"
        self.last_body = {}  # path -> bytes last served
        self.serial = 0

    def record(self, server, kind, path=""):
        with self.lock:
            self.events.append((time.monotonic(), server, kind, path))

    def snapshot(self):
        with self.lock:
            return list(self.events)

    def clear(self):
        with self.lock:
            self.events.clear()


def _handler(recorder, name):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"

        def log_message(self, fmt, *args):
            pass

        def _answer(self, send_body):
            path = self.path.split("?", 1)[0]
            recorder.record(name, "request", path)
            status, body, ctype = 200, b"ok", "text/plain"
            if name == "publisher":
                if path == "/rj/1.txt":
                    body = recorder.marker
                elif path in ("/jt/jttj.html", "/gy.html", "/rj/1.php"):
                    body, ctype = b"<html><body>e2e</body></html>", "text/html"
                elif path.startswith("/pages/") and path.endswith(".html"):
                    number = int(path[len("/pages/"):-len(".html")])
                    with recorder.lock:
                        recorder.serial += 1
                        body = page_body(number, recorder.serial)
                        recorder.last_body[path] = body
                    ctype = "text/html"
                else:
                    status, body = 404, b"not found"
            self.send_response(status)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if send_body:
                self.wfile.write(body)

        def do_GET(self):
            self._answer(True)

        def do_HEAD(self):
            self._answer(False)

    return Handler


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, recorder, name):
        self.recorder, self.name = recorder, name
        super().__init__(("127.0.0.1", port), _handler(recorder, name))

    def verify_request(self, request, client_address):
        # A reachability probe may connect and close without asking anything.
        self.recorder.record(self.name, "connect")
        return True


def start(recorder, probe_port, publisher_port):
    servers = [_Server(probe_port, recorder, "probe"),
               _Server(publisher_port, recorder, "publisher")]
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    return servers
