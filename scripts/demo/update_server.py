#!/usr/bin/env python3
"""A small update server for the demo: serves the list, its digest and the
module files from a folder, answers the completion report, and stores every
uploaded log (the multipart body as received) in <root>/received/.

    update_server.py PORT ROOT
"""
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/update/complete/"):
            body = ("installed " + self.path.rsplit("/", 1)[-1]).encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        super().do_GET()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        received = os.path.join(self.directory, "received")
        os.makedirs(received, exist_ok=True)
        name = self.path.strip("/").replace("/", "_") + ".multipart"
        with open(os.path.join(received, name), "wb") as f:
            f.write(body)
        self.send_response(200)
        self.send_header("Content-Length", "13")
        self.end_headers()
        self.wfile.write(b"log received\n")

    def log_message(self, fmt, *args):
        sys.stderr.write("update server: " + (fmt % args) + "\n")


def main():
    port, root = int(sys.argv[1]), sys.argv[2]
    handler = lambda *a, **k: Handler(*a, directory=root, **k)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
