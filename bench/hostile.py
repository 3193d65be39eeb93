#!/usr/bin/env python3
"""What a hostile network does to a running Horaline, measured on the real program.

    bench/hostile.py [path/to/Horaline] [seconds]      (default build/release/Horaline, 20 s)

storm  a server-mode Horaline while one host connects and closes in four loops: how fast its log grows.
flood  a server-mode Horaline while one client sends as fast as it can: the share of a core it takes.
lost   a client-mode Horaline under a server that says "Srv lost" at every connection and keeps it open:
       how fast the client's log grows.
split  a client-mode Horaline under a server that splits, joins and trickles its 8-byte messages:
       how many frames on the display line carry a time that was never sent, or step back in time.

Each run has its own settings folder, pseudo-terminals and free loopback ports; the operator's
settings, devices and a relay running on this machine are never touched.
"""
import os, random, re, signal, socket, subprocess, sys, tempfile, threading, time

BINARY = sys.argv[1] if len(sys.argv) > 1 else "build/release/Horaline"
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 20.0


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start(mode, device, port, log):
    config = tempfile.mkdtemp()
    os.makedirs(os.path.join(config, "Remote Tickview System"))
    name = "InComName" if mode == 1 else "OutComName"
    with open(os.path.join(config, "Remote Tickview System", "Horaline.ini"), "w") as ini:
        ini.write(f"[Ports]\nCOM250={device}\n\n[Settaggi]\n{name}=COM250\nInComSpeed=38400\n"
                  f"OutComSpeed=38400\nServerName=127.0.0.1\nServerPort={port}\nProgMode={mode}\nProgRun=1\n")
    environment = dict(os.environ, XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=config, QT_QPA_PLATFORM="offscreen")
    return subprocess.Popen([BINARY, "--headless"], env=environment, stderr=log, stdout=subprocess.DEVNULL)


def connect(port, deadline=10.0):
    end = time.monotonic() + deadline
    while True:
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=2)
        except OSError:
            if time.monotonic() > end:
                raise
            time.sleep(0.05)


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def stop(process):
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def storm():
    master, slave = os.openpty()
    port = free_port()
    with tempfile.TemporaryFile() as log:
        relay = start(1, os.ttyname(slave), port, log)
        connect(port).close()
        time.sleep(1)
        before = os.fstat(log.fileno()).st_size
        counts, end = [0] * 4, time.monotonic() + SECONDS

        def loop(slot):
            while time.monotonic() < end:
                try:
                    socket.create_connection(("127.0.0.1", port), timeout=2).close()
                    counts[slot] += 1
                except OSError:
                    pass

        threads = [threading.Thread(target=loop, args=(slot,)) for slot in range(len(counts))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        count = sum(counts)
        grown = os.fstat(log.fileno()).st_size - before
        stop(relay)
    os.close(master)
    print(f"storm  {count / SECONDS:8.0f} connections/s from one host; log grew {grown / SECONDS / 1000:8.2f} KB/s")


def flood():
    master, slave = os.openpty()
    port = free_port()
    relay = start(1, os.ttyname(slave), port, subprocess.DEVNULL)
    sender = connect(port)
    sender.setblocking(False)
    chunk, sent = b"x" * 65536, 0
    start_cpu, end = cpu_seconds(relay.pid), time.monotonic() + SECONDS
    while time.monotonic() < end:
        try:
            sent += sender.send(chunk)
        except BlockingIOError:
            time.sleep(0.001)
    used = cpu_seconds(relay.pid) - start_cpu
    stop(relay)
    sender.close()
    os.close(master)
    print(f"flood  {100 * used / SECONDS:8.2f} % of a core while a client sent; {sent / 1e6:.1f} MB taken from it")


def lost():
    master, slave = os.openpty()
    listener = socket.create_server(("127.0.0.1", 0))
    port = listener.getsockname()[1]
    listener.settimeout(0.2)
    held = []
    with tempfile.TemporaryFile() as log:
        relay = start(0, os.ttyname(slave), port, log)
        end, measured, before = time.monotonic() + SECONDS + 3, None, 0
        while time.monotonic() < end:
            if measured is None and time.monotonic() > end - SECONDS:
                measured, before = time.monotonic(), os.fstat(log.fileno()).st_size
            try:
                connection, _ = listener.accept()
                connection.sendall(b"Srv lost")
                held.append(connection)
            except socket.timeout:
                pass
        grown = os.fstat(log.fileno()).st_size - before
        stop(relay)
    for connection in held:
        connection.close()
    os.close(master)
    print(f"lost   {len(held)} connections told \"Srv lost\"; the client's log grew {grown / SECONDS:8.0f} B/s "
          f"({grown / SECONDS * 86400 / 1e6:.1f} MB a day)")


def split():
    master, slave = os.openpty()
    os.set_blocking(master, False)
    listener = socket.create_server(("127.0.0.1", 0))
    port = listener.getsockname()[1]
    relay = start(0, os.ttyname(slave), port, subprocess.DEVNULL)
    listener.settimeout(10)
    connection, _ = listener.accept()
    connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    time.sleep(0.5)
    values, stream, rng = [], b"", random.Random(1)
    for n in range(int(SECONDS * 20)):
        clock = time.strftime("%H:%M:%S", time.gmtime(36000 + n)).encode()
        values.append(clock)
        stream += clock
        # Whatever a pause or a slow network makes of the writes: pieces, whole, or several together.
        while len(stream) >= 8 and rng.random() < 0.7:
            cut = rng.randint(1, len(stream))
            connection.sendall(stream[:cut])
            stream = stream[cut:]
            time.sleep(rng.choice([0, 0.001, 0.02]))
        time.sleep(0.03)
    connection.sendall(stream)
    time.sleep(1)
    display = b""
    while True:
        try:
            display += os.read(master, 65536)
        except BlockingIOError:
            break
    stop(relay)
    connection.close()
    frames = re.findall(rb"\x02(.{6})\x03\x00\x00", display, re.S)
    digits = [v.replace(b":", b"") for v in values]
    wrong = sum(1 for f in frames if f not in digits)
    order = [digits.index(f) for f in frames if f in digits]
    back = sum(1 for a, b in zip(order, order[1:]) if b < a)
    print(f"split  {len(values)} values sent, {len(frames)} frames on the display: {wrong} never sent, "
          f"{back} back in time")


if __name__ == "__main__":
    for measure in (storm, flood, lost, split):
        measure()
