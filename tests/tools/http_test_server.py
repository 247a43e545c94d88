#!/usr/bin/env python3
"""A loopback HTTP and HTTPS server for the download tests.

Listens on 127.0.0.1 on two ephemeral ports, plain and TLS, and prints
"http PORT" and "https PORT" on stdout once both accept connections. It exits
when its stdin reaches end of file, so it never outlives the test that started
it. The TLS certificate is made with openssl in the directory given by
--tls-dir: ca.pem (the test root), server.pem and server.key (for 127.0.0.1 and
localhost), signed by that root.

Every response is written by hand, so a test sees exactly the bytes on the
wire. The path chooses the behaviour:

  /echo...              200, the body is the request head exactly as received
  /connections          200, the number of connections accepted before this one
  /length/N             200, N pattern bytes with Content-Length
  /nolength/N           200, N pattern bytes, no Content-Length, ends by closing
  /empty                200, Content-Length: 0
  /status/N             status N with a small HTML body
  /redirect/N           302 to /redirect/N-1 (relative), /redirect/0 gives "end"
  /redirect-to/URL      302 to URL (the rest of the path, taken literally)
  /break/TOTAL/SENT     Content-Length TOTAL, SENT pattern bytes, then the close
  /stall-body/N         Content-Length 2N, N pattern bytes, then silence; a
                        client that is still there after the hold time gets
                        the other N bytes
  /stall-head           silence; a client still there after the hold time gets
                        a complete response with the body "late"

As a proxy it takes requests that name a whole URL (answered by the path as
above) and CONNECT to any 127.0.0.1 port, which it tunnels to its own TLS port,
so a download that reaches the answer went through the proxy. It never
connects anywhere else.

Pattern byte i is (i * 7 + i // 256) % 256: zero bytes included, no period a
cut-off could hide in.
"""

import argparse
import os
import socket
import socketserver
import ssl
import subprocess
import sys
import threading

HOLD_SECONDS = 20.0
lock = threading.Lock()
connection_count = 0


def pattern(n):
    return bytes((i * 7 + i // 256) % 256 for i in range(n))


def make_certificates(directory):
    ca_key = os.path.join(directory, "ca.key")
    ca_pem = os.path.join(directory, "ca.pem")
    key = os.path.join(directory, "server.key")
    csr = os.path.join(directory, "server.csr")
    pem = os.path.join(directory, "server.pem")
    ext = os.path.join(directory, "server.ext")
    if os.path.exists(pem):
        return pem, key

    def run(*args):
        subprocess.run(["openssl", *args], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    run("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", ca_key,
        "-out", ca_pem, "-days", "2", "-subj", "/CN=chengfan test root",
        "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", csr,
        "-subj", "/CN=127.0.0.1")
    with open(ext, "w") as f:
        f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                "basicConstraints=CA:FALSE\n"
                "extendedKeyUsage=serverAuth\n")
    run("x509", "-req", "-in", csr, "-CA", ca_pem, "-CAkey", ca_key,
        "-CAcreateserial", "-out", pem, "-days", "2", "-extfile", ext)
    return pem, key


def response(status, body, length=True, extra=b""):
    reason = {200: b"OK", 302: b"Found", 404: b"Not Found",
              500: b"Internal Server Error"}.get(status, b"Status")
    head = b"HTTP/1.0 %d %s\r\n" % (status, reason)
    if length:
        head += b"Content-Length: %d\r\n" % len(body)
    return head + extra + b"\r\n" + body


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        global connection_count
        with lock:
            earlier = connection_count
            connection_count += 1
        sock = self.request
        sock.settimeout(HOLD_SECONDS * 2)
        head = b""
        try:
            while b"\r\n\r\n" not in head:
                data = sock.recv(65536)
                if not data:
                    return
                head += data
        except (OSError, ssl.SSLError):
            return
        head = head[:head.index(b"\r\n\r\n") + 4]
        line = head.split(b"\r\n", 1)[0]
        parts = line.split(b" ")
        if parts[0] == b"CONNECT":
            self.tunnel(sock, parts[1] if len(parts) > 1 else b"")
            return
        target = parts[1] if len(parts) > 1 else b"/"
        # A proxied request names the whole URL; the behaviour is its path.
        if target.startswith(b"http://") or target.startswith(b"https://"):
            rest = target.split(b"//", 1)[1]
            target = b"/" + rest.split(b"/", 1)[1] if b"/" in rest else b"/"
        try:
            self.answer(sock, target.decode("latin-1"), head, earlier)
        except (OSError, ssl.SSLError):
            pass

    def answer(self, sock, path, head, earlier):
        segments = path.split("/")
        if path.startswith("/echo"):
            sock.sendall(response(200, head))
        elif path == "/connections":
            sock.sendall(response(200, str(earlier).encode()))
        elif segments[1] == "length":
            sock.sendall(response(200, pattern(int(segments[2]))))
        elif segments[1] == "nolength":
            sock.sendall(response(200, pattern(int(segments[2])), length=False))
        elif path == "/empty":
            sock.sendall(response(200, b""))
        elif segments[1] == "status":
            status = int(segments[2])
            sock.sendall(response(status, b"<html>error %d</html>" % status))
        elif segments[1] == "redirect":
            left = int(segments[2])
            if left == 0:
                sock.sendall(response(200, b"end"))
            else:
                sock.sendall(response(302, b"moved",
                                      extra=b"Location: %d\r\n" % (left - 1)))
        elif path.startswith("/redirect-to/"):
            where = path[len("/redirect-to/"):].encode("latin-1")
            sock.sendall(response(302, b"moved",
                                  extra=b"Location: " + where + b"\r\n"))
        elif segments[1] == "break":
            total, sent = int(segments[2]), int(segments[3])
            whole = response(200, pattern(total))
            sock.sendall(whole[:len(whole) - total + sent])
        elif segments[1] == "stall-body":
            n = int(segments[2])
            whole = response(200, pattern(2 * n))
            sock.sendall(whole[:len(whole) - n])
            if self.hold(sock):
                sock.sendall(whole[len(whole) - n:])
        elif path == "/stall-head":
            if self.hold(sock):
                sock.sendall(response(200, b"late"))
        else:
            sock.sendall(response(404, b"<html>unknown</html>"))

    def tunnel(self, sock, target):
        if not target.startswith(b"127.0.0.1:"):
            sock.sendall(b"HTTP/1.0 403 Forbidden\r\n\r\n")
            return
        try:
            inner = socket.create_connection(("127.0.0.1", self.server.tls_port))
        except OSError:
            sock.sendall(b"HTTP/1.0 502 Bad Gateway\r\n\r\n")
            return
        sock.sendall(b"HTTP/1.0 200 Connection established\r\n\r\n")
        sock.settimeout(None)

        def pump(source, sink):
            try:
                while True:
                    data = source.recv(65536)
                    if not data:
                        break
                    sink.sendall(data)
            except OSError:
                pass
            for end in (source, sink):
                try:
                    end.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

        back = threading.Thread(target=pump, args=(inner, sock), daemon=True)
        back.start()
        pump(sock, inner)
        back.join()
        inner.close()

    @staticmethod
    def hold(sock):
        """Waits for the hold time; False when the client went away first."""
        sock.settimeout(HOLD_SECONDS)
        try:
            return sock.recv(1) != b""
        except socket.timeout:
            return True
        except (OSError, ssl.SSLError):
            return False


class PlainServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


class TlsServer(PlainServer):
    def __init__(self, address, handler, context):
        self.context = context
        super().__init__(address, handler)

    def get_request(self):
        sock, address = self.socket.accept()
        return sock, address

    def finish_request(self, request, client_address):
        request.settimeout(HOLD_SECONDS)
        try:
            wrapped = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError):
            return
        self.RequestHandlerClass(wrapped, client_address, self)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tls-dir", required=True)
    args = parser.parse_args()

    pem, key = make_certificates(args.tls_dir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(pem, key)

    plain = PlainServer(("127.0.0.1", 0), Handler)
    secure = TlsServer(("127.0.0.1", 0), Handler, context)
    plain.tls_port = secure.tls_port = secure.server_address[1]
    for server in (plain, secure):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdout.write("http %d\nhttps %d\n" % (plain.server_address[1],
                                             secure.server_address[1]))
    sys.stdout.flush()

    # The test holds our stdin; its end (or the test's death) ends us.
    while sys.stdin.buffer.read(4096):
        pass
    os._exit(0)


if __name__ == "__main__":
    main()
