#!/usr/bin/env python3
"""Takes one HTTP request on 127.0.0.1 and writes its body and Content-Type, so a real client's
upload can be replayed to a CGI program. Prints the port it listens on, then serves one request
(or gives up after 20 s). Usage: capture.py BODY_OUT CONTENT_TYPE_OUT"""
import socket
import sys

body_out, type_out = sys.argv[1:3]
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
server.settimeout(20)
print(server.getsockname()[1], flush=True)
conn, _ = server.accept()
conn.settimeout(20)
data = b""
while b"\r\n\r\n" not in data:
    chunk = conn.recv(65536)
    if not chunk:
        sys.exit("connection closed before the headers ended")
    data += chunk
head, body = data.split(b"\r\n\r\n", 1)
fields = {}
for line in head.split(b"\r\n")[1:]:
    name, _, value = line.partition(b":")
    fields[name.strip().lower()] = value.strip()
length = int(fields[b"content-length"])
while len(body) < length:
    chunk = conn.recv(65536)
    if not chunk:
        sys.exit("connection closed before the body ended")
    body += chunk
conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
conn.close()
with open(body_out, "wb") as f:
    f.write(body)
with open(type_out, "wb") as f:
    f.write(fields[b"content-type"])
