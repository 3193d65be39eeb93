#!/usr/bin/env python3
"""What the web port costs a running relay, measured on the real program.

    bench/web.py [path/to/horaline-relay] [seconds]      (default build/release/horaline-relay, 60 s)

Each run is a server on a pseudo-terminal with one frame a second to five clients, for the seconds given:
quiet    no [Web] group: the relay as it was;
watched  [Web] on: a Prometheus scrape of /metrics every 15 s and the page open (/status.json each second);
hostile  the same, and a host (127.0.0.2) that sends 200 KB request lines in a loop while it opens 20
         connections that send nothing, over and over; the scrapes and the page come from 127.0.0.1.
Printed: the share of a core the relay took, its resident memory at the end and at its peak, and what
the page and the scrapes were answered. Settings, devices and ports are its own, in temporary places.
"""
import os, pty, socket, subprocess, sys, tempfile, threading, time

BINARY = sys.argv[1] if len(sys.argv) > 1 else "build/release/horaline-relay"
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def memory_kib(pid, field):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith(field + ":"):
            return int(line.split()[1])
    return 0


def get(port, path):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as peer:
        peer.sendall(f"GET {path} HTTP/1.1\r\nHost: x\r\n\r\n".encode())
        answer = b""
        while b"\r\n\r\n" not in answer:
            chunk = peer.recv(65536)
            if not chunk:
                return "closed"
            answer += chunk
        head, body = answer.split(b"\r\n\r\n", 1)
        length = int([l for l in head.split(b"\r\n") if l.lower().startswith(b"content-length")][0].split(b":")[1])
        while len(body) < length:
            body += peer.recv(65536)
        return head.split(b" ")[1].decode()


def hostile(port, stop):
    while not stop.is_set():
        silent = []
        for _ in range(20):
            try:
                silent.append(socket.create_connection(("127.0.0.1", port), timeout=2, source_address=("127.0.0.2", 0)))
            except OSError:
                pass
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2, source_address=("127.0.0.2", 0)) as peer:
                peer.sendall(b"GET /" + b"a" * 200000 + b" HTTP/1.1\r\n\r\n")
        except OSError:
            pass
        time.sleep(0.2)
        for peer in silent:
            peer.close()


def run(kind):
    folder = tempfile.mkdtemp()
    master, slave = pty.openpty()
    port, web = free_port(), free_port()
    settings = os.path.join(folder, "relay.ini")
    with open(settings, "w") as ini:
        ini.write(f"[Settaggi]\nProgMode=1\nInComName=COM250\nInComSpeed=9600\nServerPort={port}\n"
                  f"[Ports]\nCOM250={os.ttyname(slave)}\n")
        if kind != "quiet":
            ini.write(f"[Web]\nListen=127.0.0.1:{web}\n")
    relay = subprocess.Popen([BINARY, "--settings", settings], stderr=subprocess.DEVNULL,
                             env=dict(os.environ, RUNTIME_DIRECTORY=folder))
    time.sleep(1.0)
    clients = [socket.create_connection(("127.0.0.1", port)) for _ in range(5)]
    stop = threading.Event()
    if kind == "hostile":
        threading.Thread(target=hostile, args=(web, stop), daemon=True).start()
    answers, peak = {}, 0
    start_cpu, start = cpu_seconds(relay.pid), time.monotonic()
    second = 0
    while time.monotonic() - start < SECONDS:
        os.write(master, b"\x02" + time.strftime("%H%M%S").encode())
        for client in clients:
            client.recv(64)
        if kind != "quiet":
            for path in ["/status.json"] + (["/metrics"] if second % 15 == 0 else []):
                try:
                    status = get(web, path)
                except OSError:
                    status = "refused"
                answers[status] = answers.get(status, 0) + 1
        peak = max(peak, memory_kib(relay.pid, "VmRSS"))
        second += 1
        time.sleep(max(0.0, start + second - time.monotonic()))
    share = (cpu_seconds(relay.pid) - start_cpu) / (time.monotonic() - start) * 100
    if kind != "quiet":
        stop.set()
        time.sleep(1.0)
        answers["after: " + get(web, "/metrics")] = 1
    resident = memory_kib(relay.pid, "VmRSS")
    stop.set()
    relay.terminate()
    relay.wait(10)
    print(f"{kind:8} {share:6.3f} % of a core, resident {resident / 1024:.1f} MiB (peak {peak / 1024:.1f} MiB)"
          + (f", answers {answers}" if answers else ""))


for kind in ("quiet", "watched", "hostile"):
    run(kind)
