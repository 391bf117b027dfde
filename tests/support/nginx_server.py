#!/usr/bin/env python3
"""Serves a directory with the system's nginx, as a vendor's static web server would, for
the end-to-end suite: a generated configuration, 127.0.0.1 and a free port, everything
nginx writes (pid, error log, temporary files) in a scratch directory.

It prints the port as the first line of standard output once nginx answers there, and
stops nginx when it gets SIGTERM or SIGINT, or after --lifetime seconds.

  --root DIR        the tree to serve
  --log FILE        nginx's access log, one line per request:
                    "METHOD PATH status=S range=R if-range=I encoding=E etag=T"
                    (empty for a header that is absent)
  --gzip-static     answer a file that has a ".gz" beside it with that file,
                    Content-Encoding: gzip, whatever the request accepts (nginx's
                    "gzip_static always", as some CDNs do)
"""

import argparse
import os
import pwd
import grp
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

NGINX = shutil.which("nginx") or "/usr/sbin/nginx"

CONFIG = """\
user {user} {group};
worker_processes 1;
pid {scratch}/nginx.pid;
error_log {scratch}/error.log warn;
events {{ worker_connections 64; }}
http {{
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    log_format naib escape=none '$request_method $uri status=$status range=$http_range '
                    'if-range=$http_if_range encoding=$sent_http_content_encoding '
                    'etag=$sent_http_etag';
    access_log {log} naib;
    client_body_temp_path {scratch}/body;
    proxy_temp_path {scratch}/proxy;
    fastcgi_temp_path {scratch}/fastcgi;
    uwsgi_temp_path {scratch}/uwsgi;
    scgi_temp_path {scratch}/scgi;
    sendfile on;
    server {{
        listen 127.0.0.1:{port};
        root {root};
        location / {{
            gzip_static {gzip_static};
        }}
    }}
}}
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", default=os.devnull)
    parser.add_argument("--gzip-static", action="store_true")
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix="naib-nginx-")
    # nginx run by root hands its workers to this user, who can read the tree; run by
    # anyone else it stays that user and ignores the line.
    user = pwd.getpwuid(os.geteuid()).pw_name
    group = grp.getgrgid(os.getegid()).gr_name
    nginx = None
    try:
        for _ in range(20):  # another process may take the free port before nginx does
            port = free_port()
            conf = os.path.join(scratch, "nginx.conf")
            with open(conf, "w", encoding="utf-8") as f:
                f.write(CONFIG.format(user=user, group=group, scratch=scratch,
                                      log=os.path.abspath(args.log), port=port,
                                      root=os.path.abspath(args.root),
                                      gzip_static="always" if args.gzip_static else "off"))
            nginx = subprocess.Popen([NGINX, "-p", scratch, "-e", os.path.join(scratch, "error.log"),
                                      "-c", conf, "-g", "daemon off;"])
            deadline = time.monotonic() + 10
            while nginx.poll() is None and not answers(port) and time.monotonic() < deadline:
                time.sleep(0.02)
            if nginx.poll() is None and answers(port):
                break
            nginx.kill()
            nginx.wait()
            nginx = None
        if nginx is None:
            with open(os.path.join(scratch, "error.log"), encoding="utf-8") as f:
                sys.exit("nginx did not start: " + f.read())
        print(port, flush=True)

        def stop(*_):
            nginx.terminate()

        signal.signal(signal.SIGTERM, stop)
        signal.signal(signal.SIGINT, stop)
        try:
            nginx.wait(args.lifetime)
        except subprocess.TimeoutExpired:
            stop()
        nginx.wait()
    finally:
        if nginx is not None and nginx.poll() is None:
            nginx.kill()
            nginx.wait()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
