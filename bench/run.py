#!/usr/bin/env python3
"""Side-by-side benchmark of the engine against the servers a PHP developer
would otherwise run locally. Every peer serves the same generated folder on a
loopback port of its own; each workload runs against each server in turn and
the table gives requests per second, p50/p99 latency and the ratio to the
best peer, all from this one run. Everything started here is stopped here.

Every row runs its servers in alternating rounds (the order turned each
round) and reports the median round, with the spread of the rounds and the
ratio to the best peer of this run; the targets are checked against that.

Usage: bench/run.py BUILD_DIR [--rounds N] [--seconds N] [--only WORKLOAD,...]
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


STATIC = ["ambrel", "nginx", "lighttpd", "php -S", "http.server"]
PHP_SERVERS = ["ambrel", "lighttpd", "php -S"]

# (row, servers, how to load them). Every small-file row is held to the best
# peer, so each comes in all four kinds: keep-alive or a new connection per
# request, with a bare request or a browser's headers.
WORKLOADS = [
    ("1k keep-alive", STATIC, dict(path="/1k.html", keepalive=True)),
    ("1k keep-alive, browser headers", STATIC,
     dict(path="/1k.html", keepalive=True, headers=BROWSER_HEADERS)),
    ("1k keep-alive, 1 client", STATIC, dict(path="/1k.html", keepalive=True, clients=1)),
    ("1k new connection", STATIC, dict(path="/1k.html")),
    ("1k new connection, browser headers", STATIC, dict(path="/1k.html", headers=BROWSER_HEADERS)),
    ("100k keep-alive", STATIC, dict(path="/100k.bin", keepalive=True)),
    ("100k keep-alive, browser headers", STATIC,
     dict(path="/100k.bin", keepalive=True, headers=BROWSER_HEADERS)),
    ("100k new connection", STATIC, dict(path="/100k.bin")),
    ("100k new connection, browser headers", STATIC,
     dict(path="/100k.bin", headers=BROWSER_HEADERS)),
    ("10M (MB/s, 20 downloads)", STATIC, dict(path="/10m.bin", big=True)),
    # A PHP request takes tens of milliseconds: longer runs for a count
    # worth a median.
    ("hello.php", PHP_SERVERS, dict(path="/hello.php", min_seconds=3)),
    ("10k POST to PHP", PHP_SERVERS, dict(path="/post.php", post=True, min_seconds=3)),
]
# Peers that are no measure on a row: `php -S` keeps PHP loaded, while the
# engine and lighttpd start php-cgi per request.
NOT_COMPARED = {"hello.php": {"php -S"}, "10k POST to PHP": {"php -S"}}


def median_run(results):
    """The run with the median rate (the lower middle of an even count), so
    that its latencies come from the same run; failures of all runs add up
    and the spread of the rates is kept: (highest - lowest) / median."""
    ok = sorted((r for r in results if r.get("rps")), key=lambda r: r["rps"])
    if not ok:
        return dict(results[0], failed=sum(r.get("failed", 0) or 0 for r in results))
    mid = dict(ok[(len(ok) - 1) // 2])
    mid["failed"] = sum(r.get("failed", 0) or 0 for r in results) + len(results) - len(ok)
    mid["spread"] = (ok[-1]["rps"] - ok[0]["rps"]) / mid["rps"]
    # Every round's rate in round order, for ratios taken round by round.
    mid["series"] = [r.get("rps") for r in results]
    return mid


def median(values):
    values = sorted(v for v in values if v is not None)
    return values[(len(values) - 1) // 2] if values else None


def paired_ratio(mine, theirs):
    """The median over rounds of the ratio of two servers' rates in the same
    round: what both met in one round cancels, unlike in a ratio of two
    medians that may come from different rounds."""
    a, b = mine.get("series"), theirs.get("series")
    if a and b:
        ratio = median([x / y for x, y in zip(a, b) if x and y])
        if ratio is not None:
            return ratio
    return mine["rps"] / theirs["rps"] if mine.get("rps") and theirs.get("rps") else None


def alternate(names, rounds, measure):
    """Measures every name once per round, the order turned by one each
    round, so that a slow spell of the shared machine falls on all alike.
    The median run of each name."""
    results = {name: [] for name in names}
    for r in range(rounds):
        k = r % len(names)
        for name in names[k:] + names[:k]:
            results[name].append(measure(name))
    return {name: median_run(results[name]) for name in names}


def load_once(url, w, secs, post_file):
    if w.get("big"):
        return run_big(url)
    if w.get("keepalive") and not w.get("post"):
        return run_wrk(url, secs, headers=w.get("headers", ()), connections=w.get("clients", 10))
    return run_ab(url, secs, keepalive=w.get("keepalive", False), headers=w.get("headers", ()),
                  post_file=post_file if w.get("post") else None)


def wanted(only, *names):
    return not only or any(o in name for o in only for name in names)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--seconds", type=int, default=2, help="length of one measured run")
    ap.add_argument("--rounds", type=int, default=5,
                    help="alternating rounds per row (at least 3); each row is the median")
    ap.add_argument("--only", default="")
    args = ap.parse_args()
    if args.rounds < 3:
        ap.error("--rounds must be at least 3: a median of fewer runs is one run")
    secs = args.seconds
    rounds = args.rounds
    began = time.time()
    work = tempfile.mkdtemp(prefix="ambrel-bench-")
    os.chmod(work, 0o755)  # nginx and lighttpd workers may run as another user
    root = os.path.join(work, "site")
    make_site(root)
    post_file = os.path.join(work, "post.txt")
    with open(post_file, "wb") as f:
        f.write(b"field=" + b"x" * (10 * 1024 - 6))

    only = [w for w in args.only.split(",") if w]
    servers = {}
    rows = []
    print(f"  {rounds} alternating rounds of {secs:g} s per server and row; medians",
          file=sys.stderr, flush=True)
    try:
        servers["ambrel"] = start_ambrel(args.build, root)
        servers["nginx"] = start_nginx(root, work)
        servers["lighttpd"] = start_lighttpd(root, work)
        servers["php -S"] = start_php_builtin(root)
        servers["http.server"] = start_python(root)
        for name, peers, w in WORKLOADS:
            if not wanted(only, name):
                continue

            def measure(peer):
                url = f"http://127.0.0.1:{servers[peer].port}{w['path']}"
                return load_once(url, w, max(secs, w.get("min_seconds", 0)), post_file)

            medians = alternate(peers, rounds, measure)
            for peer in peers:
                rows.append((name, peer, medians[peer]))
                print_row(name, peer, medians[peer])
        if wanted(only, "log"):
            rows += bench_logging(args.build, root, work, secs, servers, rounds)
        if wanted(only, "stack"):
            rows += bench_stacks(args.build, root, secs, servers, rounds)
        if wanted(only, "php-cgi"):
            rows.append(("php-cgi start alone (runs/s)", "php-cgi", bench_php_start(root)))
            rows += bench_php_overhead(root, servers, rounds=2 * rounds + 1, runs=10)
        if wanted(only, "idle"):
            rows += bench_idle(servers)
        if wanted(only, "syscalls"):
            rows += bench_syscalls(servers)
    finally:
        for s in servers.values():
            s.stop()
        shutil.rmtree(work, ignore_errors=True)
    print_table(rows)
    print_targets(rows)
    print(f"\n{rounds} rounds of {secs:g} s; the bench took {time.time() - began:.0f} s")


def run_big(url, downloads=20):
    """MB/s of `downloads` sequential downloads by one curl process, timed
    by curl per transfer, so that starting curl is not counted."""
    argv = ["curl", "-s", "-w", "%{size_download} %{time_total}\n"]
    for _ in range(downloads):
        argv += ["-o", "/dev/null", url]
    out = subprocess.run(argv, capture_output=True, text=True, timeout=300)
    total, elapsed = 0, 0.0
    for line in out.stdout.splitlines():
        size, seconds = line.split()
        total += int(size)
        elapsed += float(seconds)
    mbs = total / elapsed / 1e6 if elapsed > 0 else None
    return {"rps": mbs, "p50": None, "p99": None, "failed": 0 if total == downloads * 10485760
            else 1, "unit": "MB/s", "error": None if mbs else ["no download"]}


def cpu_seconds(pid):
    """User and system time the process has used so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def bench_logging(build, root, work, secs, servers, rounds):
    """The same keep-alive load with the access log off and on, in
    alternating rounds (the machine's noise moves single runs by more than
    the log costs); each row is the round with the median rate. The engine's
    own CPU time per request is kept too (cpu_us), a second view of the cost
    that does not depend on how the load generator shares the cores."""
    url = f"http://127.0.0.1:{AMBREL_PORT}/1k.html"
    logdir = os.path.join(work, "logs")
    runs = {"off": [], "on": []}
    for round_ in range(rounds):
        for mode in (("off", "on") if round_ % 2 == 0 else ("on", "off")):
            servers["ambrel"].stop()
            shutil.rmtree(logdir, ignore_errors=True)
            servers["ambrel"] = start_ambrel(build, root, logdir if mode == "on" else None)
            pid = servers["ambrel"].proc.pid
            before = cpu_seconds(pid)
            run = run_wrk(url, secs)
            if run["rps"]:
                run["cpu_us"] = (cpu_seconds(pid) - before) * 1e6 / (run["rps"] * secs)
            runs[mode].append(run)
    servers["ambrel"].stop()
    servers["ambrel"] = start_ambrel(build, root)

    off, on = median_run(runs["off"]), median_run(runs["on"])
    on["vs_log_off"] = paired_ratio(on, off)
    rows = [("1k keep-alive, log off", "ambrel", off), ("1k keep-alive, log on", "ambrel", on)]
    for label, mode in (("log off", "off"), ("log on", "on")):
        cpu = sorted(r["cpu_us"] for r in runs[mode] if r.get("cpu_us"))
        if cpu:
            rows.append((f"1k keep-alive, {label} (engine CPU us/request)", "ambrel",
                         {"rps": cpu[(len(cpu) - 1) // 2], "unit": "us", "failed": 0}))
    return rows


STACK_PROGRAMS = {"64 KiB": "ambrel_bench_server", "256 KiB": "ambrel_bench_server_stack256k",
                  "8 MiB": "ambrel_bench_server_stack8192k"}


def bench_stacks(build, root, secs, servers, rounds):
    """New connections per second with the engine's 64 KiB thread stacks
    against the same server built with 256 KiB and the 8 MiB default, in
    alternating rounds; and the memory of an idle connection with each."""
    url = f"http://127.0.0.1:{AMBREL_PORT}/1k.html"
    servers["ambrel"].stop()

    def measure(label):
        server = start_ambrel(build, root, program=STACK_PROGRAMS[label])
        try:
            return run_ab(url, secs)
        finally:
            server.stop()

    medians = alternate(list(STACK_PROGRAMS), rounds, measure)
    rows = [(f"1k new connection, stack {label}", "ambrel", medians[label]) for label in STACK_PROGRAMS]
    for label, program in STACK_PROGRAMS.items():
        server = start_ambrel(build, root, program=program)
        try:
            rows.append((f"idle keep-alive x500, stack {label} (KiB/conn)", "ambrel",
                         idle_kib(server, 500)))
        finally:
            server.stop()
    servers["ambrel"] = start_ambrel(build, root)
    return rows


def php_cgi_direct_ms(root, runs):
    """Milliseconds per run of php-cgi started directly on hello.php, one
    run after another, with a CGI environment and its output read through a
    pipe, as a server does it. Only the CGI variables: the engine hands its
    own environment on to no script either, and PHP takes every variable
    into its request arrays."""
    env = dict(REDIRECT_STATUS="200", REQUEST_METHOD="GET", GATEWAY_INTERFACE="CGI/1.1",
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


def ab_ms_per_request(url, runs):
    """Milliseconds per request of `runs` requests from one client, as ab
    times them (its own start-up left out); None unless all were answered."""
    out = subprocess.run(["ab", "-q", "-n", str(runs), "-c", "1", "-s", "30", url],
                         capture_output=True, text=True, timeout=120)
    done = re.search(r"Complete requests:\s+(\d+)", out.stdout)
    taken = re.search(r"Time taken for tests:\s+([\d.]+)", out.stdout)
    if not done or int(done.group(1)) != runs or not taken:
        return None
    return float(taken.group(1)) * 1000.0 / runs


def bench_php_overhead(root, servers, rounds=7, runs=20):
    """hello.php at one client through the engine and lighttpd+mod_cgi
    against php-cgi run directly: milliseconds per request, measured in
    alternating rounds (the order turned each round) so that the shared
    machine's drift hits all alike. Each server's row is php-cgi's median
    plus the median of its per-round difference to php-cgi."""
    names = ["php-cgi", "ambrel", "lighttpd"]
    samples = {name: [] for name in names}
    for r in range(rounds):
        k = r % len(names)
        for name in names[k:] + names[:k]:
            if name == "php-cgi":
                samples[name].append(php_cgi_direct_ms(root, runs))
            else:
                url = f"http://127.0.0.1:{servers[name].port}/hello.php"
                samples[name].append(ab_ms_per_request(url, runs))

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


def kernel_stack_kib():
    with open("/proc/meminfo") as f:
        m = re.search(r"KernelStack:\s+(\d+)", f.read())
    return int(m.group(1)) if m else 0


def idle_kib(srv, count):
    """Resident memory a server adds per idle kept-alive connection; the
    kernel stacks the machine gained meanwhile (a thread per connection has
    one of its own; the machine's other work blurs it a little) go along as
    kernel_kib."""
    before, kernel_before = srv.rss_kib(), kernel_stack_kib()
    conns = hold_idle(srv.port, count)
    time.sleep(0.5)
    after, kernel_after = srv.rss_kib(), kernel_stack_kib()
    for c in conns:
        c.close()
    return {"rps": (after - before) / count, "unit": "KiB", "p50": None, "p99": None,
            "failed": 0, "error": None, "kernel_kib": (kernel_after - kernel_before) / count}


def bench_idle(servers, count=500):
    rows = []
    for peer in ("ambrel", "nginx", "lighttpd"):
        r = idle_kib(servers[peer], count)
        rows.append((f"idle keep-alive x{count} (KiB/conn)", peer, r))
        rows.append((f"idle keep-alive x{count}, kernel stacks (KiB/conn)", peer,
                     {"rps": r["kernel_kib"], "unit": "KiB", "failed": 0}))
    return rows


def while_traced(tracer_argv, url, requests, keepalive):
    """Runs a tracer attached to a server while ab sends `requests`
    requests from one client, then stops it with SIGINT (which makes both
    strace and perf write their counts)."""
    tracer = subprocess.Popen(tracer_argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.0)  # the tracer attaches to every thread first
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


def read_and_remove(path):
    try:
        with open(path) as f:
            text = f.read()
        os.unlink(path)
        return text
    except OSError:
        return None


def count_syscalls(srv, url, requests, keepalive):
    """System calls per request of a running server (every process and
    thread of it), counted by strace. None when strace is missing or the
    count failed."""
    if not shutil.which("strace"):
        return None
    out = os.path.join(tempfile.gettempdir(), f"ambrel-strace-{os.getpid()}-{srv.port}.txt")
    argv = ["strace", "-f", "-c", "-o", out]
    for pid in srv.pids():
        argv += ["-p", str(pid)]
    while_traced(argv, url, requests, keepalive)
    text = read_and_remove(out)
    if text is None:
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


def count_switches(srv, url, requests, keepalive):
    """Context switches and CPU microseconds per request of a running
    server (every process and thread of it, threads started meanwhile
    included), counted by perf stat. None when perf is missing or failed."""
    if not shutil.which("perf"):
        return None
    out = os.path.join(tempfile.gettempdir(), f"ambrel-perf-{os.getpid()}-{srv.port}.txt")
    argv = ["perf", "stat", "-x", ",", "-e", "task-clock,context-switches", "-o", out,
            "-p", ",".join(str(p) for p in srv.pids())]
    while_traced(argv, url, requests, keepalive)
    text = read_and_remove(out) or ""
    counts = {}
    for line in text.splitlines():
        fields = line.split(",")
        if len(fields) >= 3 and fields[2] in ("task-clock", "context-switches"):
            try:
                counts[fields[2]] = float(fields[0])
            except ValueError:
                pass
    if len(counts) != 2:
        return None
    # task-clock comes in milliseconds.
    return counts["context-switches"] / requests, counts["task-clock"] * 1000.0 / requests


SYSCALL_LOADS = [
    # (label, path, keep-alive, requests)
    ("1k keep-alive", "/1k.html", True, 2000),
    ("1k new connection", "/1k.html", False, 2000),
    ("100k keep-alive", "/100k.bin", True, 1000),
]


def bench_syscalls(servers):
    """Per request from one client: system calls (strace), then in a run of
    its own, context switches and CPU time (perf stat). The engine against
    nginx and lighttpd; the per-call breakdown goes to standard error."""
    rows = []
    for label, path, keepalive, requests in SYSCALL_LOADS:
        for peer in ("ambrel", "nginx", "lighttpd"):
            srv = servers[peer]
            url = f"http://127.0.0.1:{srv.port}{path}"
            counted = count_syscalls(srv, url, requests, keepalive)
            if counted is not None:
                per_request, calls = counted
                detail = ", ".join(f"{k} {v:.2f}"
                                   for k, v in sorted(calls.items(), key=lambda kv: -kv[1])
                                   if v >= 0.05)
                print(f"  syscalls/request {label:<17} {peer:<8} {per_request:.2f}: {detail}",
                      file=sys.stderr, flush=True)
                rows.append((f"syscalls/request, {label}", peer,
                             {"rps": per_request, "unit": "calls", "failed": 0}))
            switched = count_switches(srv, url, requests, keepalive)
            if switched is not None:
                rows.append((f"context switches/request, {label}", peer,
                             {"rps": switched[0], "unit": "cs", "failed": 0}))
                rows.append((f"server CPU us/request, 1 client, {label}", peer,
                             {"rps": switched[1], "unit": "us", "failed": 0}))
    return rows


def print_row(name, peer, r):
    value = f"{r['rps']:.1f}" if r.get("rps") is not None else f"error {r.get('error')}"
    spread = f" (spread {r['spread'] * 100:.0f}%)" if r.get("spread") is not None else ""
    print(f"  {name:<40} {peer:<12} {value}{spread}", file=sys.stderr, flush=True)


# Rows whose value is a rate: higher is better, and a best peer exists.
RATE_UNITS = (None, "MB/s")


def best_peers(rows):
    """For every rate row, the name and result of the best server other than
    the engine in this run (the highest median)."""
    best = {}
    for name, peer, r in rows:
        if peer == "ambrel" or peer in NOT_COMPARED.get(name, ()) or \
                r.get("unit") not in RATE_UNITS or not r.get("rps"):
            continue
        if name not in best or r["rps"] > best[name][1]["rps"]:
            best[name] = (peer, r)
    return best


def print_table(rows):
    best = best_peers(rows)
    header = f"{'workload':<52} {'server':<12} {'value':>13} {'p50 ms':>7} {'p99 ms':>7} " \
             f"{'spread':>7} {'vs best':>8} {'failed':>7}"
    print(header)
    print("-" * len(header))
    for name, peer, r in rows:
        unit = r.get("unit")
        value = "-" if r.get("rps") is None else f"{r['rps']:.1f}" if unit not in ("calls", "cs") \
            else f"{r['rps']:.2f}"
        if unit:
            value += f" {unit}"
        ratio = "-"
        if r.get("rps") and name in best and unit in RATE_UNITS and \
                peer not in NOT_COMPARED.get(name, ()):
            paired = paired_ratio(r, best[name][1])
            ratio = "-" if paired is None else f"{paired:.2f}x"
        p50 = "-" if r.get("p50") is None else f"{r['p50']:.2f}".rstrip("0").rstrip(".")
        p99 = "-" if r.get("p99") is None else f"{r['p99']:.2f}".rstrip("0").rstrip(".")
        spread = "-" if r.get("spread") is None else f"{r['spread'] * 100:.0f}%"
        print(f"{name:<52} {peer:<12} {value:>13} {p50:>7} {p99:>7} {spread:>7} {ratio:>8} "
              f"{r.get('failed', 0):>7}")


# Rows the engine must match the best peer of the same run on, and how
# closely: every small file, kept-alive or not, bare or with a browser's
# headers; the large download a little below.
RATIO_TARGETS = [
    ("1k keep-alive", 1.0),
    ("1k keep-alive, browser headers", 1.0),
    ("1k keep-alive, 1 client", 1.0),
    ("1k new connection", 1.0),
    ("1k new connection, browser headers", 1.0),
    ("100k keep-alive", 1.0),
    ("100k keep-alive, browser headers", 1.0),
    ("100k new connection", 1.0),
    ("100k new connection, browser headers", 1.0),
    ("10M (MB/s, 20 downloads)", 0.95),
]
# Against the one peer that runs PHP the same way (php-cgi started per
# request); shown, not held.
PHP_COMPARISONS = ["hello.php", "10k POST to PHP"]
LOG_COST_LIMIT = 0.10
IDLE_KIB_LIMIT = 8.0
PHP_OVERHEAD_LIMIT = 0.02


def verdict(ok):
    return "met" if ok else "MISSED"


def print_targets(rows):
    """Each target as the engine's ratio to the best peer of this run."""
    value = {(name, peer): r.get("rps") for name, peer, r in rows}
    rows_by_key = {(name, peer): r for name, peer, r in rows}
    best = best_peers(rows)
    print()
    print("targets (engine against the best peer of this same run):")
    for name, wanted_ratio in RATIO_TARGETS:
        mine = value.get((name, "ambrel"))
        if not mine or name not in best:
            print(f"  {name:<40} -")
            continue
        peer, theirs = best[name]
        ratio = paired_ratio(rows_by_key[(name, "ambrel")], theirs)
        if ratio is None:
            print(f"  {name:<40} -")
            continue
        print(f"  {name:<40} {ratio:5.2f}x {peer:<12} (target >= {wanted_ratio:.2f}x) "
              f"{verdict(ratio >= wanted_ratio)}")
    on = rows_by_key.get(("1k keep-alive, log on", "ambrel"), {}).get("vs_log_off")
    if on:
        cost = 1 - on
        print(f"  {'access log cost, 1k keep-alive':<40} {cost * 100:5.1f}% "
              f"{'':<12} (target <= {LOG_COST_LIMIT * 100:.0f}%) {verdict(cost <= LOG_COST_LIMIT)}")
    cpu_off = value.get(("1k keep-alive, log off (engine CPU us/request)", "ambrel"))
    cpu_on = value.get(("1k keep-alive, log on (engine CPU us/request)", "ambrel"))
    if cpu_off and cpu_on:
        print(f"  {'access log, engine CPU per request':<40} {cpu_off:.2f} -> "
              f"{cpu_on:.2f} us (+{(cpu_on / cpu_off - 1) * 100:.1f}%)")
    idle = value.get(("idle keep-alive x500 (KiB/conn)", "ambrel"))
    if idle is not None:
        print(f"  {'idle kept-alive connection':<40} {idle:5.1f} KiB {'':<8} "
              f"(target <= {IDLE_KIB_LIMIT:.0f} KiB) {verdict(idle <= IDLE_KIB_LIMIT)}")
        kernel = value.get(("idle keep-alive x500, kernel stacks (KiB/conn)", "ambrel"))
        if kernel is not None:
            print(f"  {'':<40} plus {kernel:.1f} KiB of kernel stack, not resident memory")
    through = value.get(("hello.php, 1 client (ms/request)", "ambrel"))
    direct = value.get(("hello.php, 1 client (ms/request)", "php-cgi"))
    if through and direct:
        extra = through - direct
        print(f"  {'PHP overhead over php-cgi alone':<40} {extra / direct * 100:5.1f}% "
              f"{'':<12} (target <= {PHP_OVERHEAD_LIMIT * 100:.0f}%, {extra:.2f} ms of "
              f"{direct:.2f}) {verdict(extra <= PHP_OVERHEAD_LIMIT * direct)}")
    for name in PHP_COMPARISONS:
        mine, theirs = rows_by_key.get((name, "ambrel")), rows_by_key.get((name, "lighttpd"))
        ratio = mine and theirs and paired_ratio(mine, theirs)
        if ratio:
            print(f"  {name + ' (shown, not held)':<40} {ratio:5.2f}x lighttpd")


if __name__ == "__main__":
    main()
