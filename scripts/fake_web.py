#!/usr/bin/env python3
"""A stand-in for the web while taking screenshots: an HTTP proxy on loopback that answers every
request itself, after a short pause, so Tessaly's demo run never leaves the machine.

Hosts whose name contains "gone" get no answer (the connection is closed), like dead sites; www.debian.org has moved
to https for good (301 with its new address), so that the screenshots show a permanent move. Like a real proxy, it
answers for a name under .invalid with an error page of its own (502, no Via), and marks what it forwards with Via."""
import random
import socketserver
import sys
import time
from urllib.parse import urlsplit
from http.server import BaseHTTPRequestHandler


class Handler(BaseHTTPRequestHandler):
    def do_HEAD(self):
        if (urlsplit(self.path).hostname or "").endswith(".invalid"):
            self.send_response(502)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        time.sleep(random.uniform(0.3, 2.5))
        if "gone" in self.path or "geocities" in self.path:
            self.close_connection = True
            self.connection.close()
            return
        if "www.debian.org" in self.path:
            self.send_response(301)
            self.send_header("Location", "https://www.debian.org/")
        else:
            self.send_response(random.choice([200, 200, 200, 301, 404]))
        self.send_header("Via", "1.1 fake-web")
        self.send_header("Content-Length", "0")
        self.end_headers()

    do_GET = do_HEAD

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


if __name__ == "__main__":
    port = int(sys.argv[1]) if len(sys.argv) > 1 else 18080
    with Server(("127.0.0.1", port), Handler) as server:
        server.serve_forever()
