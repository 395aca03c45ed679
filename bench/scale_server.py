#!/usr/bin/env python3
"""The same three-page partner for every host name: for the scale bench (bench/scale.sh).
Usage: scale_server.py ADDRESS MAIN_SITE. Prints "ready" once it listens on ADDRESS:80."""
import socketserver
import sys
from http.server import BaseHTTPRequestHandler

address, main_site = sys.argv[1], sys.argv[2]
PAGES = {
    "/": b'<html><body><a href="/about.htm">About</a> <a href="/links.htm">Links</a></body></html>',
    "/about.htm": b"<html><body><p>About us</p></body></html>",
    "/links.htm": b'<html><body><a href="http://' + main_site.encode() + b'/">Friends</a></body></html>',
}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        body = PAGES.get(self.path.split("?")[0])
        status = 200 if body is not None else 404
        body = body if body is not None else b"not found"
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 512


with Server((address, 80), Handler) as server:
    print("ready", flush=True)
    server.serve_forever()
