#!/usr/bin/env python3
"""A TCP relay in front of a web server that drops one transfer halfway, as a network that
loses a connection would: the end-to-end suite puts it between the program and nginx.

It listens on 127.0.0.1 on a free port, printed as the first line of standard output, and
passes every connection through to --upstream unchanged, except the first whose first
request line holds --cut: that response is passed on until --at (a fraction, 0 to 1) of
its announced body has gone through, then both connections are reset. Later requests for
the same path pass whole. It stops after --lifetime seconds.
"""

import argparse
import socket
import struct
import sys
import threading

CHUNK = 64 * 1024


def reset(sock):
    # A close with a zero linger time sends RST: the client sees a broken connection. The
    # relay's other thread may be reading the socket; shutting its reading down first
    # wakes it, so the close is not held back until that read ends.
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        sock.shutdown(socket.SHUT_RD)
    except OSError:
        pass
    sock.close()


def content_length(head):
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            return int(value.strip())
    return None


class Relay:
    def __init__(self, upstream, cut, at):
        host, _, port = upstream.rpartition(":")
        self.upstream = (host, int(port))
        self.cut = cut.encode()
        self.at = at
        self.lock = threading.Lock()
        self.cut_done = False

    def serve(self, listener):
        while True:
            client, _ = listener.accept()
            threading.Thread(target=self.connection, args=(client,), daemon=True).start()

    def connection(self, client):
        server = socket.create_connection(self.upstream)
        first = client.recv(CHUNK)
        request_line = first.split(b"\r\n", 1)[0]
        with self.lock:
            cutting = not self.cut_done and self.cut in request_line
            self.cut_done = self.cut_done or cutting
        server.sendall(first)
        threading.Thread(target=self.pipe, args=(client, server), daemon=True).start()
        if cutting:
            self.cut_response(server, client)
        else:
            self.pipe(server, client)

    @staticmethod
    def pipe(source, sink):
        try:
            while True:
                data = source.recv(CHUNK)
                if not data:
                    break
                sink.sendall(data)
        except OSError:
            pass
        for sock in (sink, source):
            try:
                sock.shutdown(socket.SHUT_WR)
            except OSError:
                pass

    def cut_response(self, server, client):
        received = b""
        while b"\r\n\r\n" not in received:
            data = server.recv(CHUNK)
            if not data:
                client.sendall(received)
                return reset(client)
            received += data
        head, _, body = received.partition(b"\r\n\r\n")
        length = content_length(head) or 0
        allowed = int(length * self.at)
        sent = min(len(body), allowed)
        client.sendall(head + b"\r\n\r\n" + body[:sent])
        while sent < allowed:
            data = server.recv(min(CHUNK, allowed - sent))
            if not data:
                break
            client.sendall(data)
            sent += len(data)
        reset(client)
        reset(server)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--upstream", required=True, help="host:port of the web server")
    parser.add_argument("--cut", required=True, help="text of the request line to cut")
    parser.add_argument("--at", type=float, default=0.5)
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    relay = Relay(args.upstream, args.cut, args.at)
    threading.Thread(target=relay.serve, args=(listener,), daemon=True).start()
    print(listener.getsockname()[1], flush=True)
    threading.Event().wait(args.lifetime)
    sys.exit(0)


if __name__ == "__main__":
    main()
