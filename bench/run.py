#!/usr/bin/env python3
"""Side-by-side benchmark of the engine against the servers a PHP developer
would otherwise run locally. Every peer serves the same generated folder on a
loopback port of its own; each workload runs against each server in turn and
the table gives requests per second, p50/p99 latency and the ratio to nginx,
all from this one run. Everything started here is stopped here.

Usage: bench/run.py BUILD_DIR [--seconds N] [--only WORKLOAD,...]
"""

import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

AMBREL_PORT = 80
PORTS = {"nginx": 8081, "lighttpd": 8082, "php -S": 8083, "http.server": 8084}

BROWSER_HEADERS = [
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36",
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,image/webp,"
    "image/apng,*/*;q=0.8,application/signed-exchange;v=b3;q=0.7",
    "Accept-Encoding: gzip, deflate, br",
    "Accept-Language: en-GB,en-US;q=0.9,en;q=0.8,de;q=0.7",
    "Cache-Control: max-age=0",
    "Upgrade-Insecure-Requests: 1",
    "Sec-Fetch-Dest: document",
    "Sec-Fetch-Mode: navigate",
    "Sec-Fetch-Site: none",
    "Cookie: PHPSESSID=0123456789abcdef0123456789; theme=dark",
]


def make_site(root):
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, "1k.html"), "wb") as f:
        f.write((b"<p>Ambrel benchmark page.</p>\n" * 40)[:1024])
    with open(os.path.join(root, "100k.bin"), "wb") as f:
        f.write(os.urandom(100 * 1024))
    with open(os.path.join(root, "10m.bin"), "wb") as f:
        f.write(os.urandom(10 * 1024 * 1024))
    with open(os.path.join(root, "hello.php"), "w") as f:
        f.write("<?php echo 'Hello from PHP ', PHP_VERSION, \"\\n\";\n")
    with open(os.path.join(root, "post.php"), "w") as f:
        f.write("<?php $b = file_get_contents('php://input'); echo strlen($b), \"\\n\";\n")


def wait_port(port, deadline_s=10.0):
    end = time.time() + deadline_s
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def port_taken(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


class Server:
    def __init__(self, name, port, argv, env=None, cwd=None):
        self.name, self.port = name, port
        # Something else on the port would be measured in our server's place.
        if port_taken(port):
            raise RuntimeError(f"port {port} is taken already; stop what listens there")
        self.proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.PIPE,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     start_new_session=True)
        if not wait_port(port) or self.proc.poll() is not None:
            self.stop()
            raise RuntimeError(f"{name} did not start on port {port}")

    def pids(self):
        """The server's process and its children (nginx workers, php-cgi)."""
        out = subprocess.run(["ps", "-o", "pid=", "--ppid", str(self.proc.pid)],
                             capture_output=True, text=True).stdout.split()
        return [self.proc.pid] + [int(p) for p in out]

    def rss_kib(self):
        total = 0
        for pid in self.pids():
            try:
                with open(f"/proc/{pid}/status") as f:
                    m = re.search(r"VmRSS:\s+(\d+)", f.read())
                    total += int(m.group(1)) if m else 0
            except OSError:
                pass
        return total

    def stop(self):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()


def start_ambrel(build, root, logdir=None, program="ambrel_bench_server"):
    argv = [os.path.join(build, "bench", program), root,
            "--php", "/usr/bin/", "--cgi"]
    if logdir:
        argv += ["--log", logdir]
    return Server("ambrel", AMBREL_PORT, argv)


def start_nginx(root, work):
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""worker_processes auto;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 4096; }}
http {{
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  client_body_temp_path {work}/nginx-body;
  proxy_temp_path {work}/nginx-proxy;
  fastcgi_temp_path {work}/nginx-fastcgi;
  uwsgi_temp_path {work}/nginx-uwsgi;
  scgi_temp_path {work}/nginx-scgi;
  server {{ listen 127.0.0.1:{PORTS['nginx']}; root {root}; }}
}}
""")
    return Server("nginx", PORTS["nginx"], ["nginx", "-c", conf, "-p", work, "-g", "daemon off;"])


def start_lighttpd(root, work):
    conf = os.path.join(work, "lighttpd.conf")
    with open(conf, "w") as f:
        f.write(f"""server.document-root = "{root}"
server.port = {PORTS['lighttpd']}
server.bind = "127.0.0.1"
server.modules = ("mod_cgi")
server.max-keep-alive-requests = 1000000
cgi.assign = (".php" => "/usr/bin/php-cgi")
""")
    return Server("lighttpd", PORTS["lighttpd"], ["lighttpd", "-D", "-f", conf])


def start_php_builtin(root):
    env = dict(os.environ, PHP_CLI_SERVER_WORKERS="1")
    return Server("php -S", PORTS["php -S"],
                  ["php", "-S", f"127.0.0.1:{PORTS['php -S']}", "-t", root], env=env)


def start_python(root):
    return Server("http.server", PORTS["http.server"],
                  [sys.executable, "-m", "http.server", str(PORTS["http.server"]),
                   "--bind", "127.0.0.1", "--directory", root])


def run_ab(url, seconds, keepalive=False, headers=(), post_file=None, concurrency=10):
    argv = ["ab", "-q", "-t", str(seconds), "-n", "10000000", "-c", str(concurrency), "-s", "30"]
    if keepalive:
        argv.append("-k")
    for h in headers:
        argv += ["-H", h]
    if post_file:
        argv += ["-p", post_file, "-T", "application/x-www-form-urlencoded"]
    argv.append(url)
    out = subprocess.run(argv, capture_output=True, text=True, timeout=seconds + 60)
    text = out.stdout + out.stderr

    def grab(pattern, cast=float):
        m = re.search(pattern, text)
        return cast(m.group(1)) if m else None

    rps = grab(r"Requests per second:\s+([\d.]+)")
    return {
        "rps": rps,
        "p50": grab(r"\n\s+50%\s+(\d+)", int),
        "p99": grab(r"\n\s+99%\s+(\d+)", int),
        "failed": (grab(r"Failed requests:\s+(\d+)", int) or 0)
        + (grab(r"Non-2xx responses:\s+(\d+)", int) or 0),
        "kbps": grab(r"Transfer rate:\s+([\d.]+)"),
        "error": None if rps else text.strip().splitlines()[-1:] or ["no output"],
    }


def to_ms(text):
    m = re.match(r"([\d.]+)(us|ms|s)", text)
    if not m:
        return None
    return float(m.group(1)) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[m.group(2)]


def run_wrk(url, seconds, headers=(), connections=10, threads=2):
    """Keep-alive load with wrk (ab is single-threaded and tops out first).
    The Keep-Alive header is needed: without it the engine rightly closes."""
    argv = ["wrk", "-t", str(min(threads, connections)), "-c", str(connections), "-d", f"{seconds}s", "--latency",
            "-H", "Connection: Keep-Alive"]
    for h in headers:
        argv += ["-H", h]
    argv.append(url)
    out = subprocess.run(argv, capture_output=True, text=True, timeout=seconds + 60)
    text = out.stdout + out.stderr
    rps = re.search(r"Requests/sec:\s+([\d.]+)", text)
    p50 = re.search(r"\n\s+50%\s+(\S+)", text)
    p99 = re.search(r"\n\s+99%\s+(\S+)", text)
    bad = re.search(r"Non-2xx or 3xx responses:\s+(\d+)", text)
    errors = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", text)
    failed = (int(bad.group(1)) if bad else 0)
    if errors:
        # A read error is how wrk sees a server close a connection; count the rest.
        failed += int(errors.group(1)) + int(errors.group(3)) + int(errors.group(4))
    return {
        "rps": float(rps.group(1)) if rps else None,
        "p50": to_ms(p50.group(1)) if p50 else None,
        "p99": to_ms(p99.group(1)) if p99 else None,
        "failed": failed,
        "error": None if rps else text.strip().splitlines()[-1:] or ["no output"],
    }


def hold_idle(port, count):
    """Opens `count` keep-alive connections, each answered once, left idle."""
    conns = []
    request = b"GET /1k.html HTTP/1.1\r\nHost: x\r\nConnection: Keep-Alive\r\n\r\n"
    for _ in range(count):
        s = socket.create_connection(("127.0.0.1", port), timeout=5)
        s.sendall(request)
        s.recv(65536)
        conns.append(s)
    return conns


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--seconds", type=int, default=4)
    ap.add_argument("--only", default="")
    args = ap.parse_args()
    secs = args.seconds
    work = tempfile.mkdtemp(prefix="ambrel-bench-")
    os.chmod(work, 0o755)  # nginx and lighttpd workers may run as another user
    root = os.path.join(work, "site")
    make_site(root)
    post_file = os.path.join(work, "post.txt")
    with open(post_file, "wb") as f:
        f.write(b"field=" + b"x" * (10 * 1024 - 6))

    static = ["ambrel", "nginx", "lighttpd", "php -S", "http.server"]
    php = ["ambrel", "lighttpd", "php -S"]
    workloads = [
        ("1k keep-alive", static, dict(path="/1k.html", keepalive=True)),
        ("1k keep-alive, browser headers", static,
         dict(path="/1k.html", keepalive=True, headers=BROWSER_HEADERS)),
        ("1k keep-alive, 1 client", ["ambrel", "nginx"],
         dict(path="/1k.html", keepalive=True, clients=1)),
        ("1k new connection", static, dict(path="/1k.html")),
        ("1k new connection, browser headers", static,
         dict(path="/1k.html", headers=BROWSER_HEADERS)),
        ("100k keep-alive", static, dict(path="/100k.bin", keepalive=True)),
        ("100k new connection", static, dict(path="/100k.bin")),
        ("10M (MB/s, 20 downloads)", static, dict(path="/10m.bin", big=True)),
        ("hello.php", php, dict(path="/hello.php")),
        ("10k POST to PHP", php, dict(path="/post.php", post=True)),
    ]
    only = [w for w in args.only.split(",") if w]
    servers = {}
    rows = []
    try:
        servers["ambrel"] = start_ambrel(args.build, root)
        servers["nginx"] = start_nginx(root, work)
        servers["lighttpd"] = start_lighttpd(root, work)
        servers["php -S"] = start_php_builtin(root)
        servers["http.server"] = start_python(root)
        for name, peers, w in workloads:
            if only and not any(o in name for o in only):
                continue
            for peer in peers:
                port = servers[peer].port
                url = f"http://127.0.0.1:{port}{w['path']}"
                if w.get("big"):
                    r = run_big(url)
                elif w.get("keepalive") and not w.get("post"):
                    r = run_wrk(url, secs, headers=w.get("headers", ()),
                                connections=w.get("clients", 10))
                else:
                    r = run_ab(url, secs, keepalive=w.get("keepalive", False),
                               headers=w.get("headers", ()),
                               post_file=post_file if w.get("post") else None)
                rows.append((name, peer, r))
                print_row(name, peer, r, rows)
        if not only or any(o in "log" for o in only):
            rows += bench_logging(args.build, root, work, secs, servers)
        if not only or any(o in "stack" for o in only):
            rows += bench_stacks(args.build, root, secs, servers)
        if not only or any(o in "php-cgi" for o in only):
            rows.append(("php-cgi start alone (runs/s)", "php-cgi", bench_php_start(root)))
            rows += bench_php_overhead(root, servers)
        if not only or any(o in "idle" for o in only):
            rows += bench_idle(servers)
        if not only or any(o in "syscalls" for o in only):
            rows += bench_syscalls(servers)
    finally:
        for s in servers.values():
            s.stop()
        shutil.rmtree(work, ignore_errors=True)
    print_table(rows)
    print_targets(rows)


def run_big(url, downloads=20):
    start = time.time()
    total = 0
    for _ in range(downloads):
        out = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{size_download}", url],
                             capture_output=True, text=True, timeout=120)
        total += int(out.stdout or 0)
    elapsed = time.time() - start
    mbs = total / elapsed / 1e6
    return {"rps": mbs, "p50": None, "p99": None, "failed": 0 if total == downloads * 10485760
            else 1, "unit": "MB/s", "error": None}


def cpu_seconds(pid):
    """User and system time the process has used so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def bench_logging(build, root, work, secs, servers, rounds=5):
    """The same keep-alive load with the access log off and on, in
    alternating rounds (the machine's noise moves single runs by more than
    the log costs); each row is the round with the median rate. The engine's
    own CPU time per request is kept too (cpu_us), a second view of the cost
    that does not depend on how the load generator shares the cores."""
    url = f"http://127.0.0.1:{AMBREL_PORT}/1k.html"
    logdir = os.path.join(work, "logs")
    runs = {"off": [], "on": []}
    for _ in range(rounds):
        for mode in ("off", "on"):
            servers["ambrel"].stop()
            shutil.rmtree(logdir, ignore_errors=True)
            servers["ambrel"] = start_ambrel(build, root, logdir if mode == "on" else None)
            pid = servers["ambrel"].proc.pid
            before = cpu_seconds(pid)
            r = run_wrk(url, secs)
            if r["rps"]:
                r["cpu_us"] = (cpu_seconds(pid) - before) * 1e6 / (r["rps"] * secs)
            runs[mode].append(r)
    servers["ambrel"].stop()
    servers["ambrel"] = start_ambrel(build, root)

    def median(results):
        ok = sorted((r for r in results if r["rps"]), key=lambda r: r["rps"])
        return ok[len(ok) // 2] if ok else results[0]

    rows = [("1k keep-alive, log off", "ambrel", median(runs["off"])),
            ("1k keep-alive, log on", "ambrel", median(runs["on"]))]
    for label, mode in (("log off", "off"), ("log on", "on")):
        cpu = sorted(r["cpu_us"] for r in runs[mode] if r.get("cpu_us"))
        if cpu:
            rows.append((f"1k keep-alive, {label} (engine CPU us/request)", "ambrel",
                         {"rps": cpu[len(cpu) // 2], "unit": "us", "failed": 0}))
    return rows


def bench_stacks(build, root, secs, servers):
    """New connections per second with the engine's 64 KiB thread stacks
    against the same server built with 256 KiB and the 8 MiB default."""
    rows = []
    url = f"http://127.0.0.1:{AMBREL_PORT}/1k.html"
    servers["ambrel"].stop()
    for label, program in (("64 KiB", "ambrel_bench_server"),
                           ("256 KiB", "ambrel_bench_server_stack256k"),
                           ("8 MiB", "ambrel_bench_server_stack8192k")):
        servers["ambrel"] = start_ambrel(build, root, program=program)
        rows.append((f"1k new connection, stack {label}", "ambrel", run_ab(url, secs)))
        servers["ambrel"].stop()
    servers["ambrel"] = start_ambrel(build, root)
    return rows


def php_cgi_direct_ms(root, runs):
    """Milliseconds per run of php-cgi started directly on hello.php, one
    run after another, with a CGI environment and its output read through a
    pipe, as a server does it."""
    env = dict(os.environ, REDIRECT_STATUS="200", REQUEST_METHOD="GET", GATEWAY_INTERFACE="CGI/1.1",
               SCRIPT_FILENAME=os.path.join(root, "hello.php"), SCRIPT_NAME="/hello.php",
               SERVER_PROTOCOL="HTTP/1.0", QUERY_STRING="")
    start = time.time()
    for _ in range(runs):
        subprocess.run(["/usr/bin/php-cgi"], env=env, cwd=root, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, check=False)
    return (time.time() - start) * 1000.0 / runs


def bench_php_start(root, runs=20):
    """php-cgi started alone, one run after another: the ceiling of every
    server that starts it per request (mod_cgi, the engine's gateway)."""
    per_second = 1000.0 / php_cgi_direct_ms(root, runs)
    return {"rps": per_second, "p50": None, "p99": None, "failed": 0, "error": None}


def bench_php_overhead(root, servers, rounds=7, runs=20):
    """hello.php at one client through the engine and lighttpd+mod_cgi
    against php-cgi run directly: milliseconds per request, measured in
    alternating rounds so that the shared machine's drift hits all alike.
    Each server's row is php-cgi's median plus the median of its per-round
    difference to php-cgi."""
    samples = {"php-cgi": [], "ambrel": [], "lighttpd": []}
    for _ in range(rounds):
        samples["php-cgi"].append(php_cgi_direct_ms(root, runs))
        for peer in ("ambrel", "lighttpd"):
            url = f"http://127.0.0.1:{servers[peer].port}/hello.php"
            start = time.time()
            out = subprocess.run(["ab", "-q", "-n", str(runs), "-c", "1", "-s", "30", url],
                                 capture_output=True, text=True, timeout=120)
            done = re.search(r"Complete requests:\s+(\d+)", out.stdout)
            ok = done and int(done.group(1)) == runs
            samples[peer].append((time.time() - start) * 1000.0 / runs if ok else None)

    def median(values):
        values = sorted(v for v in values if v is not None)
        return values[len(values) // 2] if values else None

    direct = median(samples["php-cgi"])
    rows = [("hello.php, 1 client (ms/request)", "php-cgi",
             {"rps": direct, "unit": "ms", "p50": None, "p99": None, "failed": 0, "error": None})]
    for peer in ("ambrel", "lighttpd"):
        extra = median([None if v is None else v - d
                        for v, d in zip(samples[peer], samples["php-cgi"])])
        ms = None if extra is None or direct is None else direct + extra
        rows.append(("hello.php, 1 client (ms/request)", peer,
                     {"rps": ms, "unit": "ms", "p50": None, "p99": None,
                      "failed": 0 if ms else 1, "error": None}))
    return rows


def bench_idle(servers, count=500):
    rows = []
    for peer in ("ambrel", "nginx", "lighttpd"):
        srv = servers[peer]
        before = srv.rss_kib()
        conns = hold_idle(srv.port, count)
        time.sleep(0.5)
        after = srv.rss_kib()
        for c in conns:
            c.close()
        rows.append((f"idle keep-alive x{count} (KiB/conn)", peer,
                     {"rps": (after - before) / count, "unit": "KiB", "p50": None, "p99": None,
                      "failed": 0, "error": None}))
    return rows


def count_syscalls(srv, url, requests, keepalive):
    """System calls per request of a running server (every process and
    thread of it), counted by strace while ab sends `requests` requests from
    one client. None when strace is missing or the count failed."""
    if not shutil.which("strace"):
        return None
    out = os.path.join(tempfile.gettempdir(), f"ambrel-strace-{os.getpid()}-{srv.port}.txt")
    argv = ["strace", "-f", "-c", "-o", out]
    for pid in srv.pids():
        argv += ["-p", str(pid)]
    tracer = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.0)  # strace attaches to every thread first
        ab = ["ab", "-q", "-n", str(requests), "-c", "1", "-s", "30"]
        if keepalive:
            ab.append("-k")
        subprocess.run(ab + [url], capture_output=True, timeout=120)
    finally:
        tracer.send_signal(signal.SIGINT)
        try:
            tracer.wait(timeout=20)
        except subprocess.TimeoutExpired:
            tracer.kill()
            tracer.wait()
    try:
        with open(out) as f:
            text = f.read()
        os.unlink(out)
    except OSError:
        return None
    calls = {}
    for line in text.splitlines():
        fields = line.split()
        # % time, seconds, usecs/call, calls, [errors], syscall
        if len(fields) >= 5 and fields[0][0].isdigit() and fields[-1] != "total":
            try:
                calls[fields[-1]] = int(fields[3])
            except ValueError:
                pass
    total = sum(calls.values())
    if not total:
        return None
    return total / requests, {k: v / requests for k, v in calls.items()}


def bench_syscalls(servers, requests=2000):
    """System calls per request, 1k file, one client: keep-alive and a new
    connection per request. The engine against nginx."""
    rows = []
    for label, keepalive in (("keep-alive", True), ("new connection", False)):
        for peer in ("ambrel", "nginx"):
            srv = servers[peer]
            counted = count_syscalls(srv, f"http://127.0.0.1:{srv.port}/1k.html", requests,
                                     keepalive)
            if counted is None:
                continue
            per_request, calls = counted
            detail = ", ".join(f"{k} {v:.2f}" for k, v in sorted(calls.items(), key=lambda kv: -kv[1])
                               if v >= 0.05)
            print(f"  syscalls/request {label:<15} {peer:<8} {per_request:.2f}: {detail}",
                  file=sys.stderr, flush=True)
            rows.append((f"syscalls/request, 1k {label}", peer,
                         {"rps": per_request, "unit": "calls", "p50": None, "p99": None,
                          "failed": 0, "error": None}))
    return rows


def print_row(name, peer, r, rows):
    value = f"{r['rps']:.1f}" if r.get("rps") is not None else f"error {r.get('error')}"
    print(f"  {name:<38} {peer:<12} {value}", file=sys.stderr, flush=True)


def print_table(rows):
    nginx = {name: r["rps"] for name, peer, r in rows if peer == "nginx" and r.get("rps")}
    header = f"{'workload':<38} {'server':<12} {'req/s':>10} {'p50 ms':>7} {'p99 ms':>7} " \
             f"{'vs nginx':>9} {'failed':>7}"
    print(header)
    print("-" * len(header))
    for name, peer, r in rows:
        unit = r.get("unit")
        value = "-" if r.get("rps") is None else f"{r['rps']:.1f}"
        if unit:
            value += f" {unit}"
        ratio = "-"
        if r.get("rps") and nginx.get(name) and unit in (None, "MB/s"):
            ratio = f"{r['rps'] / nginx[name]:.2f}x"
        p50 = "-" if r.get("p50") is None else f"{r['p50']:.2f}".rstrip("0").rstrip(".")
        p99 = "-" if r.get("p99") is None else f"{r['p99']:.2f}".rstrip("0").rstrip(".")
        print(f"{name:<38} {peer:<12} {value:>10} {p50:>7} {p99:>7} {ratio:>9} "
              f"{r.get('failed', 0):>7}")



TARGETS = [
    # (workload, peer, wanted ratio of the engine to the peer)
    ("1k keep-alive", "nginx", 1.0),
    ("1k keep-alive", "php -S", 2.0),
    ("1k keep-alive, browser headers", "nginx", 1.0),
    ("1k keep-alive, browser headers", "php -S", 2.0),
    ("1k keep-alive, 1 client", "nginx", 1.0),
    ("1k new connection", "nginx", 0.8),
    ("1k new connection", "php -S", 1.0),
    ("1k new connection, browser headers", "nginx", 0.8),
    ("1k new connection, browser headers", "php -S", 1.0),
    ("10M (MB/s, 20 downloads)", "nginx", 1.0),
    ("hello.php", "lighttpd", 1.0),
    ("10k POST to PHP", "lighttpd", 1.0),
]


def verdict(ok):
    return "met" if ok else "NOT met"


def print_targets(rows):
    """Each target as the engine's ratio to its peer in this run."""
    value = {(name, peer): r.get("rps") for name, peer, r in rows}
    print()
    print("targets (engine / peer, same run):")
    for name, peer, wanted in TARGETS:
        mine, theirs = value.get((name, "ambrel")), value.get((name, peer))
        if not mine or not theirs:
            print(f"  {name:<38} vs {peer:<9} -")
            continue
        ratio = mine / theirs
        print(f"  {name:<38} vs {peer:<9} {ratio:5.2f}x (target >= {wanted}x) {verdict(ratio >= wanted)}")
    off = value.get(("1k keep-alive, log off", "ambrel"))
    on = value.get(("1k keep-alive, log on", "ambrel"))
    if off and on:
        cost = 1 - on / off
        print(f"  {'access log cost, 1k keep-alive':<38}    {'':<9} {cost * 100:5.1f}% "
              f"(target <= 15%) {verdict(cost <= 0.15)}")
    cpu_off = value.get(("1k keep-alive, log off (engine CPU us/request)", "ambrel"))
    cpu_on = value.get(("1k keep-alive, log on (engine CPU us/request)", "ambrel"))
    if cpu_off and cpu_on:
        print(f"  {'access log, engine CPU per request':<38}    {'':<9} {cpu_off:.2f} -> "
              f"{cpu_on:.2f} us (+{(cpu_on / cpu_off - 1) * 100:.1f}%)")
    through = value.get(("hello.php, 1 client (ms/request)", "ambrel"))
    direct = value.get(("hello.php, 1 client (ms/request)", "php-cgi"))
    if through and direct:
        extra = through - direct
        print(f"  {'PHP overhead over php-cgi alone':<38}    {'':<9} {extra:5.2f} ms "
              f"({extra / direct * 100:.1f}%, target <= 5%) {verdict(extra <= 0.05 * direct)}")
    idle = value.get(("idle keep-alive x500 (KiB/conn)", "ambrel"))
    if idle is not None:
        print(f"  {'idle kept-alive connection':<38}    {'':<9} {idle:5.1f} KiB "
              f"(target <= 64 KiB) {verdict(idle <= 64)}")


if __name__ == "__main__":
    main()
