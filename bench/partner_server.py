#!/usr/bin/env python3
"""The partners of the project bench, on a slow network.

Usage: partner_server.py LIVE_ADDRESS SILENT_ADDRESS MAIN_SITE DELAY_MS

Serves every live partner on LIVE_ADDRESS:80 by its Host header, each answer held back DELAY_MS
(a network with that round trip): "/" links to three pages, the third of which links to
MAIN_SITE. SILENT_ADDRESS:80 accepts connections and never says a word. Runs until killed.
"""
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

live, silent, main_site, delay_ms = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])

PAGES = {
    "/": '<html><body><a href="p1.htm">One</a> <a href="p2.htm">Two</a> '
         '<a href="p3.htm">Three</a></body></html>\n',
    "/p1.htm": "<html><body><p>Page one</p></body></html>\n",
    "/p2.htm": "<html><body><p>Page two</p></body></html>\n",
    "/p3.htm": '<html><body><a href="http://%s/">Our partner</a></body></html>\n' % main_site,
}


class Partner(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        time.sleep(delay_ms / 1000.0)
        body = PAGES.get(self.path)
        status = 200 if body is not None else 404
        data = (body or "<html><body>Not here</body></html>\n").encode("ascii")
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def log_message(self, *args):
        pass


class Server(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 256


# Accepted by the kernel (the backlog) and never answered.
quiet = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
quiet.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
quiet.bind((silent, 80))
quiet.listen(256)

server = Server((live, 80), Partner)
threading.Thread(target=server.serve_forever, daemon=True).start()
print("ready", flush=True)
threading.Event().wait()
