#!/usr/bin/env python3
"""A timestamp authority on 127.0.0.1 for the signing checks: each POSTed
RFC 3161 request goes to `openssl ts -reply` with the test TSA's key.
Usage: tsa_server.py DIR (holding tsa.pem, tsa.key, ca.pem); prints the port
on its first line. With --refuse it answers every request with a 503, as an
overloaded server does."""
import http.server
import os
import subprocess
import sys
import tempfile

DIR = sys.argv[1]
REFUSE = "--refuse" in sys.argv[2:]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = min(int(self.headers.get("Content-Length", "0")), 64 * 1024)
        body = self.rfile.read(length)
        if REFUSE:
            self.send_response(503)
            self.end_headers()
            return
        with tempfile.TemporaryDirectory() as work:
            query = os.path.join(work, "query.tsq")
            reply = os.path.join(work, "reply.tsr")
            with open(query, "wb") as f:
                f.write(body)
            done = subprocess.run(
                ["openssl", "ts", "-reply", "-config", os.path.join(DIR, "tsa.cnf"),
                 "-queryfile", query, "-signer", os.path.join(DIR, "tsa.pem"),
                 "-inkey", os.path.join(DIR, "tsa.key"), "-chain", os.path.join(DIR, "ca.pem"),
                 "-out", reply], capture_output=True)
            if done.returncode != 0:
                self.send_response(500)
                self.end_headers()
                return
            with open(reply, "rb") as f:
                data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
