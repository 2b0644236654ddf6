#!/usr/bin/env python3
"""Serves the web page to a browser under test, on 127.0.0.1 only: / is the page's folder, /test/
the harness beside this file, /data/ a work folder that the harness reads its plan from and
posts its results into. Prints the port on its first line; ends once /data/done is posted, or
after the time limit.

Usage: page_server.py PAGE_DIR DATA_DIR SECONDS"""
import http.server
import os
import sys
import threading

page_dir, data_dir, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
test_dir = os.path.dirname(os.path.abspath(__file__))
done = threading.Event()


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.js': 'text/javascript', '.mjs': 'text/javascript',
                      '.wasm': 'application/wasm', '.wgsl': 'text/plain'}

    def translate_path(self, path):
        path = path.split('?', 1)[0]
        for prefix, folder in (('/test/', test_dir), ('/data/', data_dir)):
            if path.startswith(prefix):
                return os.path.join(folder, os.path.basename(path))
        return super().translate_path(path)

    def do_POST(self):
        name = os.path.basename(self.path.split('?', 1)[0])
        body = self.rfile.read(int(self.headers.get('Content-Length', 0)))
        with open(os.path.join(data_dir, name), 'wb') as out:
            out.write(body)
        self.send_response(204)
        self.end_headers()
        if name == 'done':
            done.set()

    def end_headers(self):
        self.send_header('Cache-Control', 'no-store')
        super().end_headers()

    def log_message(self, *args):
        pass


http.server.SimpleHTTPRequestHandler.directory = page_dir
server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), lambda *a: Handler(*a, directory=page_dir))
print(server.server_address[1], flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
finished = done.wait(seconds)
server.shutdown()
sys.exit(0 if finished else 3)
