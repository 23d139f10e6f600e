#!/usr/bin/env python3
"""A TCP proxy on 127.0.0.1 in front of a local port that cuts the connection in the
middle of a transfer at a moment fixed by bytes: once CUT_AFTER bytes have gone from
the clients to the server, every connection is closed and the proxy stops listening,
so that any retry is refused. It prints "port:<port>" when it listens.

usage: cutting-proxy.py SERVER_PORT CUT_AFTER
"""
import selectors
import socket
import sys


def main():
    server_port, cut_after = int(sys.argv[1]), int(sys.argv[2])
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print("port:%d" % listener.getsockname()[1], flush=True)
    sel = selectors.DefaultSelector()
    sel.register(listener, selectors.EVENT_READ, None)
    sent = 0
    sockets = []
    while True:
        for key, _ in sel.select():
            if key.data is None:
                client, _ = listener.accept()
                upstream = socket.create_connection(("127.0.0.1", server_port))
                sockets += [client, upstream]
                sel.register(client, selectors.EVENT_READ, (upstream, True))
                sel.register(upstream, selectors.EVENT_READ, (client, False))
                continue
            peer, from_client = key.data
            try:
                data = key.fileobj.recv(65536)
            except OSError:
                data = b""
            if not data:
                for s in (key.fileobj, peer):
                    try:
                        sel.unregister(s)
                    except (KeyError, ValueError):
                        pass
                    s.close()
                continue
            if from_client:
                if sent + len(data) >= cut_after:
                    # The bytes up to the cut still go through, then everything ends.
                    try:
                        peer.sendall(data[: max(cut_after - sent, 0)])
                    except OSError:
                        pass
                    for s in sockets + [listener]:
                        s.close()
                    return
                sent += len(data)
            try:
                peer.sendall(data)
            except OSError:
                pass


if __name__ == "__main__":
    main()
