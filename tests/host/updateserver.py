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
FOLDER/modes, when present, holds lines "PATH MODE" that make the https
replies to PATH misbehave, as a hostile or broken server would:

  redirect-http   307 to the same path over plain http
  redirect-hop    307 to https /hop/PATH, which redirects to plain http
                  (plain http answers /hop/PATH as PATH)
  endless         200 with a chunked body that never ends
  trickle         200 announcing the file's length, then one byte every
                  0.3 s
  cut             200 announcing the file's length, then half of it and
                  the connection closed

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
import time


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

    def unhopped(self):
        return self.path[len("/hop"):] if self.path.startswith("/hop/") else self.path

    def mode(self):
        if self.scheme() != "https":
            return ""
        try:
            with open(os.path.join(self.server.folder, "modes")) as f:
                lines = [line.split() for line in f]
        except OSError:
            return ""
        path = self.unhopped()
        for words in lines:
            if len(words) == 2 and words[0] == path:
                return "redirect-http" if self.path.startswith("/hop/") else words[1]
        return ""

    def misbehave(self, data):
        """Answers as the mode says; False when there is no mode."""
        mode = self.mode()
        port = self.server.server_address[1]
        if mode in ("redirect-http", "redirect-hop"):
            target = (f"http://127.0.0.1:{port}{self.path}" if mode == "redirect-http"
                      else f"https://127.0.0.1:{port}/hop{self.path}")
            self.reply(307, b"moved", extra=[("Location", target)])
        elif mode == "endless":
            self.send_response(200)
            self.send_header("Content-Type", "application/xml")
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            piece = b"<Carvex Version=\"9.9\"/>" * 400
            while True:
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
        elif mode in ("trickle", "cut"):
            data = data or b""
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            if mode == "cut":
                self.wfile.write(data[:len(data) // 2])
                self.wfile.flush()
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
                return True
            for i in range(len(data)):
                self.wfile.write(data[i:i + 1])
                self.wfile.flush()
                time.sleep(0.3)
        else:
            return False
        return True

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0") or 0))
        self.record(body)
        path = self.unhopped()
        data = self.read_file("info.xml") if path == "/info.xml" else None
        if self.misbehave(data):
            return
        if data is None:
            return self.reply(404, b"no such page")
        self.reply(200, data, "application/xml")

    def do_GET(self):
        self.record(b"")
        path = self.unhopped()
        name = path[len("/release/"):] if path.startswith("/release/") else ""
        data = self.read_file("release", name) if re.fullmatch(r"[\w.-]+", name) else None
        if self.misbehave(data):
            return
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
