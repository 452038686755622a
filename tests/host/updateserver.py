#!/usr/bin/env python3
"""An update server for the tests, on 127.0.0.1 only.

Usage: updateserver.py FOLDER [--lifetime SECONDS]

FOLDER belongs to the test. At start the server makes a self-signed
certificate for 127.0.0.1 there (cert.pem, the one the test trusts, and
key.pem), listens on a free port of 127.0.0.1 and prints "port N". One port
speaks both https and plain http, told apart by the first byte a client
sends, so that a client falling back to plain http would be caught:

  https  POST /info.xml         FOLDER/info.xml
  https  GET  /release/NAME     FOLDER/release/NAME, honouring "Range: bytes=N-"
  http   the same, from FOLDER/plain/

Files are read at each request, so a test changes replies by writing them.
Every request is appended to FOLDER/requests.log as one JSON object before
it is answered; a failed TLS handshake is logged with scheme "tls-failed".
The server stops after SECONDS (default 120) or when its standard input
closes, whichever comes first.
"""
import argparse
import http.server
import json
import os
import re
import socket
import ssl
import subprocess
import sys
import threading


def make_certificate(folder):
    cert = os.path.join(folder, "cert.pem")
    key = os.path.join(folder, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1",
         "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"],
        check=True, capture_output=True)
    return cert, key


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def scheme(self):
        return "https" if isinstance(self.connection, ssl.SSLSocket) else "http"

    def root(self):
        folder = self.server.folder
        return folder if self.scheme() == "https" else os.path.join(folder, "plain")

    def record(self, body):
        self.server.record({
            "scheme": self.scheme(),
            "method": self.command,
            "path": self.path,
            "agent": self.headers.get("User-Agent", ""),
            "contentType": self.headers.get("Content-Type", ""),
            "accept": self.headers.get("Accept", ""),
            "range": self.headers.get("Range", ""),
            "body": body.decode("latin-1"),
        })

    def reply(self, status, data, content_type="text/plain", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def read_file(self, *parts):
        try:
            with open(os.path.join(self.root(), *parts), "rb") as f:
                return f.read()
        except OSError:
            return None

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0") or 0))
        self.record(body)
        data = self.read_file("info.xml") if self.path == "/info.xml" else None
        if data is None:
            return self.reply(404, b"no such page")
        self.reply(200, data, "application/xml")

    def do_GET(self):
        self.record(b"")
        name = self.path[len("/release/"):] if self.path.startswith("/release/") else ""
        data = self.read_file("release", name) if re.fullmatch(r"[\w.-]+", name) else None
        if data is None:
            return self.reply(404, b"no such file")
        match = re.fullmatch(r"\s*bytes\s*=\s*(\d+)-\s*", self.headers.get("Range", ""))
        if not match or not data:
            return self.reply(200, data, "application/zip")
        start = int(match.group(1))
        if start >= len(data):
            return self.reply(416, b"", extra=[("Content-Range", f"bytes */{len(data)}")])
        self.reply(206, data[start:], "application/zip",
                   [("Content-Range", f"bytes {start}-{len(data) - 1}/{len(data)}")])

    def handle(self):
        try:
            super().handle()
        except (ConnectionError, ssl.SSLError, socket.timeout):
            pass  # the client went away, as a cancelled download does


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, folder, tls):
        super().__init__(("127.0.0.1", 0), Handler)
        self.folder = folder
        self.tls = tls
        self.log_lock = threading.Lock()

    def record(self, entry):
        with self.log_lock, open(os.path.join(self.folder, "requests.log"), "a") as log:
            log.write(json.dumps(entry) + "\n")

    def finish_request(self, request, client_address):
        request.settimeout(30)
        try:
            if request.recv(1, socket.MSG_PEEK) == b"\x16":  # a TLS handshake
                request = self.tls.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError) as error:
            self.record({"scheme": "tls-failed", "error": str(error)})
            return
        try:
            self.RequestHandlerClass(request, client_address, self)
        finally:
            request.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--lifetime", type=float, default=120.0)
    args = parser.parse_args()

    cert, key = make_certificate(args.folder)
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(cert, key)
    server = Server(args.folder, tls)

    stop = threading.Event()

    def watch_input():
        sys.stdin.read()
        stop.set()

    threading.Thread(target=watch_input, daemon=True).start()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(f"port {server.server_address[1]}", flush=True)
    stop.wait(args.lifetime)
    server.shutdown()
    server.server_close()


if __name__ == "__main__":
    main()
