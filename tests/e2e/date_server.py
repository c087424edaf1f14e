"""A loopback web server whose clock is a known offset ahead of this
machine's: every answer carries that clock in its Date header, written
after a fixed server latency, the moment the status line goes out. With
date=False it sends no Date at all (the standard library's handler always
adds one; this one writes its status line and headers itself). With
keep_alive=True it speaks HTTP/1.1 and keeps a connection open for the
next request, as public web servers do (htpdate asks its later requests
on the first connection); an HTTP/1.0 request still gets its connection
closed after the answer.

Run as a script it serves until killed and prints its port:
    python3 date_server.py OFFSET LATENCY [STATUS [keep-alive]]
"""

import email.utils
import http.server
import socketserver
import sys
import threading
import time


class DateServer:
    def __init__(self, offset=0.0, latency=0.0, status=301, date=True, body=b"", keep_alive=False):
        self.offset = offset
        self.latency = latency
        self.status = status
        self.date = date
        self.body = body
        self.requests = 0
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1" if keep_alive else "HTTP/1.0"

            def do_GET(self):
                self.answer(with_body=True)

            # htpdate asks with HEAD: the same answer without its body.
            def do_HEAD(self):
                self.answer(with_body=False)

            def answer(self, with_body):
                server.requests += 1
                time.sleep(server.latency)
                self.send_response_only(server.status)
                if server.date:
                    self.send_header("Date", email.utils.formatdate(time.time() + server.offset, usegmt=True))
                if 300 <= server.status < 400:
                    self.send_header("Location", "https://127.0.0.1:1/")
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(server.body)))
                self.end_headers()
                if with_body:
                    self.wfile.write(server.body)

            def log_message(self, *args):
                pass

        class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True

        self._server = Server(("127.0.0.1", 0), Handler)
        self.port = self._server.server_address[1]
        self.base_url = "http://127.0.0.1:%d" % self.port
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()

    def stop(self):
        self._server.shutdown()
        self._server.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


if __name__ == "__main__":
    s = DateServer(float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]) if len(sys.argv) > 3 else 301,
                   keep_alive=len(sys.argv) > 4 and sys.argv[4] == "keep-alive")
    print(s.port, flush=True)
    threading.Event().wait()
