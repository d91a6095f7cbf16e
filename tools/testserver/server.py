#!/usr/bin/env python3
"""HTTP test server on 127.0.0.1 for the download component and the update client.

Every request is logged as one JSON line (request line, headers in order, body) so a test can
check what really went over the wire. Answers are HTTP/1.0 and close the connection.

Paths:
  /body/<n>        n bytes of the pattern (byte i = i mod 251), with these query options:
                   status=<code>   answer with this status (default 200)
                   nolength=1      send no Content-Length
                   length=<text>   announce this Content-Length instead of n
                   chunk=<bytes>   send in pieces of this size ...
                   delay=<ms>      ... with this pause before each piece
                   hold=<ms>       pause after the headers, before the body
                   Any other option (an id, say) is only logged.
  /garbage         a reply that is not HTTP at all
  /badheaders      a status line followed by malformed header lines
  /stall?ms=<t>    reads the request, answers nothing for t ms (default 60000), closes
  /loop            302 Found whose Location is the request target itself, so a client that
                   follows it asks again without end; hold=<ms> pauses before each answer,
                   code=<status> answers with another redirect status
  /redirect/<n>/<rest>
                   n > 0: a redirect to /redirect/<n-1>/<rest> with the same query; n = 0:
                   served as /<rest> with the query (a body, a file under --root ...).
                   code=<status> picks the redirect status (default 302), style= how the
                   Location is written: path (default, "/redirect/..."), abs (an absolute
                   http URL on the host the request named) or rel (a relative reference
                   with "../" segments)
  /redirect-to?location=<text>
                   302 Found with exactly this Location (none when the option is absent);
                   code=<status> as above
  anything else    the file of that path under --root, else 404 with a short page; a file
                   <name>.location beside it turns the answer for <name> into 302 Found with
                   the text of that file as Location
A proxy-style request line with an absolute URL ("GET http://host:port/path HTTP/1.0") is served
like its path, so the server can stand in for a proxy in end-to-end tests.
"""
import argparse
import json
import os
import socket
import socketserver
import sys
import threading
import time
import urllib.parse

PATTERN = bytes(i % 251 for i in range(251))
_pattern_cache = {}
_log_lock = threading.Lock()


def pattern(n):
    body = _pattern_cache.get(n)
    if body is None:
        body = (PATTERN * (n // 251 + 1))[:n]
        if n <= 64 * 1024 * 1024:
            _pattern_cache[n] = body
    return body


REASONS = {200: "OK", 204: "No Content", 206: "Partial Content", 301: "Moved Permanently",
           302: "Found", 303: "See Other", 307: "Temporary Redirect", 308: "Permanent Redirect",
           403: "Forbidden", 404: "Not Found", 500: "Internal Server Error"}


class Handler(socketserver.StreamRequestHandler):
    rbufsize = 64 * 1024

    def read_request(self):
        line = self.rfile.readline(65537)
        if not line:
            return None
        headers = []
        while True:
            h = self.rfile.readline(65537)
            if h in (b"\r\n", b"\n", b""):
                break
            name, _, value = h.decode("latin-1").rstrip("\r\n").partition(":")
            headers.append([name, value.strip()])
        length = 0
        for name, value in headers:
            if name.lower() == "content-length":
                try:
                    length = int(value)
                except ValueError:
                    length = 0
        body = self.rfile.read(length) if length > 0 else b""
        return line.decode("latin-1").rstrip("\r\n"), headers, body

    def log_request_record(self, line, headers, body):
        parts = line.split(" ")
        record = {
            "line": line,
            "method": parts[0] if parts else "",
            "target": parts[1] if len(parts) > 1 else "",
            "version": parts[2] if len(parts) > 2 else "",
            "headers": headers,
            "body": body.decode("latin-1"),
            "time": time.time(),
        }
        with _log_lock:
            with open(self.server.log_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(record) + "\n")

    def send_head(self, status, length, extra=()):
        head = "HTTP/1.0 %d %s\r\n" % (status, REASONS.get(status, "Status"))
        head += "Content-Type: application/octet-stream\r\n"
        if length is not None:
            head += "Content-Length: %s\r\n" % length
        for h in extra:
            head += h + "\r\n"
        self.wfile.write((head + "\r\n").encode("latin-1"))

    def handle(self):
        try:
            request = self.read_request()
        except (ConnectionError, socket.timeout):
            return
        if request is None:
            return
        line, headers, body = request
        if self.server.log_path:
            self.log_request_record(line, headers, body)
        parts = line.split(" ")
        target = parts[1] if len(parts) > 1 else "/"
        url = urllib.parse.urlsplit(target)
        path = urllib.parse.unquote(url.path) or "/"
        query = dict(urllib.parse.parse_qsl(url.query))
        # The host the client asked for: the absolute target's, else the Host header's.
        self.asked_host = url.netloc or next((v for n, v in headers if n.lower() == "host"), "")
        self.target, self.raw_query = target, url.query
        try:
            self.answer(path, query)
        except (ConnectionError, BrokenPipeError):
            pass

    def redirect(self, location, q):
        extra = () if location is None else ("Location: " + location,)
        self.send_head(int(q.get("code", "302")), 0, extra)

    def answer(self, path, q):
        if path == "/loop":
            if "hold" in q:
                time.sleep(int(q["hold"]) / 1000.0)
            return self.redirect(self.target, q)
        if path.startswith("/redirect/"):
            return self.answer_redirect(path, q)
        if path == "/redirect-to":
            return self.redirect(q.get("location"), q)
        if path.startswith("/body/"):
            return self.answer_body(int(path[6:]), q)
        if path == "/garbage":
            self.wfile.write(b"\x00\x01garbage without any status line\r\n\r\nmore")
            return
        if path == "/badheaders":
            self.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Length: twelve\r\n:::\r\nno colon here\r\n\r\nhello")
            return
        if path == "/stall":
            time.sleep(int(q.get("ms", "60000")) / 1000.0)
            return
        root = self.server.root
        if root:
            local = os.path.normpath(os.path.join(root, path.lstrip("/")))
            if local.startswith(os.path.abspath(root)) and os.path.isfile(local + ".location"):
                with open(local + ".location", encoding="latin-1") as f:
                    return self.redirect(f.read().strip(), {})
            if local.startswith(os.path.abspath(root)) and os.path.isfile(local):
                with open(local, "rb") as f:
                    data = f.read()
                self.send_head(200, len(data))
                self.wfile.write(data)
                return
        page = b"Not found"
        self.send_head(404, len(page))
        self.wfile.write(page)

    def answer_redirect(self, path, q):
        count, _, rest = path[len("/redirect/"):].partition("/")
        n = int(count)
        query = "?" + self.raw_query if self.raw_query else ""
        if n <= 0:
            return self.answer("/" + rest, q)
        style = q.get("style", "path")
        if style == "rel":
            # From /redirect/<n>/a/b the base folder is /redirect/<n>/a/: up one level per folder.
            location = "../" * (rest.count("/") + 1) + "%d/%s%s" % (n - 1, rest, query)
        else:
            location = "/redirect/%d/%s%s" % (n - 1, rest, query)
            if style == "abs":
                location = "http://" + self.asked_host + location
        self.redirect(location, q)

    def answer_body(self, n, q):
        data = pattern(n)
        status = int(q.get("status", "200"))
        if "nolength" in q:
            length = None
        else:
            length = q.get("length", str(n))
        self.send_head(status, length)
        self.wfile.flush()
        if "hold" in q:
            time.sleep(int(q["hold"]) / 1000.0)
        chunk = int(q.get("chunk", "0"))
        delay = int(q.get("delay", "0")) / 1000.0
        if chunk <= 0:
            self.wfile.write(data)
            return
        view = memoryview(data)
        for pos in range(0, n, chunk):
            if delay:
                time.sleep(delay)
            self.wfile.write(view[pos:pos + chunk])
            self.wfile.flush()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--port", type=int, default=0, help="0 picks a free port")
    ap.add_argument("--port-file", help="write the port here once the server listens")
    ap.add_argument("--log", help="append one JSON line per request to this file")
    ap.add_argument("--root", help="serve files from this folder")
    args = ap.parse_args()
    server = Server(("127.0.0.1", args.port), Handler)
    server.log_path = args.log
    server.root = os.path.abspath(args.root) if args.root else None
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    else:
        print(port, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
