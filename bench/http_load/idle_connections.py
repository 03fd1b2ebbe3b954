#!/usr/bin/env python3
"""Holds idle keep-alive connections to a server and measures what they cost.

usage: idle_connections.py PORT PID COUNT ADDRESSES SAMPLES

Opens COUNT connections spread over ADDRESSES loopback source addresses
(127.0.0.1, 127.0.0.2, ...), sends one request on each so that every one
has its connection thread, and keeps them open. Prints the server's RSS
before and after (per idle connection), then the latency of SAMPLES fresh
requests on new connections made while the idle ones are held.
"""
import socket
import sys
import time


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def request(sock):
    sock.sendall(b"GET /info HTTP/1.1\r\nHost: bench\r\n\r\n")
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(65536)
        if not chunk:
            raise RuntimeError("closed")
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":")[1])
    while len(body) < length:
        body += sock.recv(65536)


def connect(port, source):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind((source, 0))
    s.connect(("127.0.0.1", port))
    return s


def main():
    port, pid, count, addresses, samples = (int(a) for a in sys.argv[1:6])
    before = rss_kib(pid)
    held = []
    for i in range(count):
        s = connect(port, f"127.0.0.{1 + i % addresses}")
        request(s)
        held.append(s)
    time.sleep(0.5)  # let the server settle; this is a measurement, not a test
    after = rss_kib(pid)
    print(f"idle connections: {count} over {addresses} addresses")
    print(f"server RSS: {before} KiB before, {after} KiB after, "
          f"{(after - before) / count:.1f} KiB per idle connection")
    latencies = []
    for i in range(samples):
        start = time.perf_counter()
        s = connect(port, "127.0.0.200")
        request(s)
        latencies.append((time.perf_counter() - start) * 1000)
        s.close()
    latencies.sort()
    print(f"new request while they are held (connect + GET /info, {samples} samples): "
          f"median {latencies[len(latencies) // 2]:.2f} ms, max {latencies[-1]:.2f} ms")
    for s in held:
        s.close()


if __name__ == "__main__":
    main()
