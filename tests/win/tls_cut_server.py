#!/usr/bin/env python3
"""A TLS server that answers every request with a 200 and part of a body,
then ends the TCP connection without close_notify, as a stream cut on the
way looks to the client.
    tls_cut_server.py PORT CERTIFICATE KEY"""

import socket
import ssl
import sys

port, certificate, key = int(sys.argv[1]), sys.argv[2], sys.argv[3]
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(certificate, key)
listener = socket.create_server(("127.0.0.1", port))
while True:
    raw, _ = listener.accept()
    try:
        connection = context.wrap_socket(raw, server_side=True)
    except (OSError, ssl.SSLError):
        raw.close()
        continue
    try:
        request = b""
        while b"\r\n\r\n" not in request:
            piece = connection.recv(4096)
            if not piece:
                break
            request += piece
        connection.sendall(b"HTTP/1.0 200 OK\r\n\r\n" + b"x" * 1000)
    except (OSError, ssl.SSLError):
        pass
    # A close without unwrap() sends no close_notify.
    connection.close()
