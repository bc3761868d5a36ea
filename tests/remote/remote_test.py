"""Remote logs against real servers started here on 127.0.0.1: pyftpdlib (FTP, FTPS), sshd
(SFTP), RangeHTTPServer's handler and plain `python3 -m http.server` (no ranges). Each
server is stopped by the test; every run of barvik-cli is bounded in time. A server that
cannot start fails the test: CI installs them (scripts/setup.sh).

    remote_test.py BUILD_DIR [unittest arguments, e.g. FtpTest]
"""
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = None
HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "..", "..", "samples", "sample.log")
PYTHON = "/usr/bin/python3"  # Debian's, which sees Debian's server modules
PASSWORD = "p@:!$%w0rd"


def sample_lines():
    with open(SAMPLE, "rb") as f:
        return f.read().splitlines(keepends=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """A server process; its port comes from its "PORT n" line (or is given)."""

    def __init__(self, args, port=None, cwd=None):
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     cwd=cwd, start_new_session=True)
        self.port = port
        deadline = time.time() + 15
        if port is None:
            ready, _, _ = select.select([self.proc.stdout], [], [], 15)
            line = self.proc.stdout.readline().decode() if ready else ""
            if not line.startswith("PORT "):
                self.stop()
                raise AssertionError("server %s did not start: %s %s" % (
                    args, line, self.proc.stderr.read().decode()[-2000:]))
            self.port = int(line.split()[1])
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                break
            except OSError:
                if time.time() > deadline or self.proc.poll() is not None:
                    self.stop()
                    raise AssertionError("server %s does not listen on %d" % (args, self.port))
                time.sleep(0.1)

    def stop(self):
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
        self.proc.wait(timeout=10)
        for stream in (self.proc.stdout, self.proc.stderr):
            stream.close()


class RemoteCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="barvik-remote-")
        self.root = os.path.join(self.dir, "root")
        self.control = os.path.join(self.dir, "control")
        self.home = os.path.join(self.dir, "home")
        for d in (self.root, self.control, self.home):
            os.makedirs(d)
        self.servers = []

    def tearDown(self):
        for s in self.servers:
            s.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def start(self, args, port=None, cwd=None):
        server = Server(args, port, cwd)
        self.servers.append(server)
        return server

    def ftp(self, *extra, port=None):
        args = [PYTHON, os.path.join(HERE, "servers.py"), "ftp", self.root, self.control]
        if port is not None:
            args += ["--port", str(port)]
        return self.start(args + list(extra), port)

    def write(self, name, data, mode="wb"):
        path = os.path.join(self.root, name)
        with open(path, mode) as f:
            f.write(data)
        return path

    def local(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def cli(self, *args, timeout=60, check=None):
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(self.dir, "cache"), HOME=self.home)
        env.pop("CREDENTIALS_DIRECTORY", None)
        result = subprocess.run([os.path.join(BUILD, "barvik-cli")] + list(args),
                                capture_output=True, timeout=timeout, env=env)
        out, err = result.stdout.decode("latin-1"), result.stderr.decode("latin-1")
        if check is not None:
            self.assertEqual(result.returncode, check, err)
        return result.returncode, out, err

    def tables(self, *logs, extra=(), check=0):
        return self.cli("tables", *extra, *logs, check=check)[1]

    def counts(self):
        with open(os.path.join(self.control, "counts")) as f:
            return {k: int(v) for k, v in (line.split() for line in f)}

    def spool_states(self):
        spool = os.path.join(self.dir, "cache", "barvik", "spool")
        states = {}
        for name in os.listdir(spool):
            with open(os.path.join(spool, name, "state")) as f:
                states[name] = f.read()
        return states

    def generations(self):
        (state,) = self.spool_states().values()
        return len(re.findall(r"^generation ", state, re.M))

    def assert_same_tables(self, url, *local_bytes, extra=()):
        """The tables of the fetched log are those of the same bytes read locally."""
        paths = [self.local("expected-%d.log" % i, b) for i, b in enumerate(local_bytes)]
        self.assertEqual(self.tables(url, extra=extra), self.tables(*paths))


class FtpTest(RemoteCase):
    def test_growth_no_change_cut_line_completed(self):
        lines = sample_lines()
        first = b"".join(lines[:400])
        cut = lines[400][:10]  # a line cut mid-way: it waits for its end
        self.write("games_mp.log", first + cut)
        server = self.ftp()
        url = "ftp://127.0.0.1:%d/games_mp.log" % server.port
        self.assert_same_tables(url, first)
        before = self.counts()
        self.tables(url)  # unchanged: one size/time query, nothing transferred
        after = self.counts()
        self.assertEqual(after["bytes"], before["bytes"])
        self.assertEqual(after["requests"] - before["requests"], 2)  # SIZE and MDTM
        rest = lines[400][10:] + b"".join(lines[401:])
        self.write("games_mp.log", rest, "ab")
        self.assert_same_tables(url, first + lines[400] + b"".join(lines[401:]))
        grown = self.counts()["bytes"] - after["bytes"]
        self.assertEqual(grown, len(rest) + min(4096, len(first + cut)))
        self.assertEqual(self.generations(), 1)

    def test_truncation_and_rotation_to_a_larger_file_start_generations(self):
        lines = sample_lines()
        old = b"".join(lines[:600])
        self.write("games_mp.log", old)
        url = "ftp://127.0.0.1:%d/games_mp.log" % self.ftp().port
        self.tables(url)
        smaller = b"".join(lines[600:700])  # truncated and restarted
        self.write("games_mp.log", smaller)
        self.assert_same_tables(url, old, smaller)
        larger = b"".join(lines[700:2000])  # replaced by a larger file
        self.write("games_mp.log", larger)
        self.assert_same_tables(url, old, smaller, larger)
        self.assertEqual(self.generations(), 3)

    def test_stale_size_still_fetches_growth(self):
        lines = sample_lines()
        first = b"".join(lines[:300])
        path = self.write("games_mp.log", first)
        os.utime(path, (time.time() - 100, time.time() - 100))
        url = "ftp://127.0.0.1:%d/games_mp.log" % self.ftp().port
        self.tables(url)
        with open(os.path.join(self.control, "stale-size"), "w") as f:
            f.write(str(len(first)))  # the host keeps telling the old size
        self.write("games_mp.log", b"".join(lines[300:500]), "ab")
        self.assert_same_tables(url, b"".join(lines[:500]))

    def test_refused_resume_reads_whole_file_once(self):
        lines = sample_lines()
        self.write("games_mp.log", b"".join(lines[:300]))
        url = "ftp://127.0.0.1:%d/games_mp.log" % self.ftp().port
        self.tables(url)
        open(os.path.join(self.control, "no-rest"), "w").close()
        self.write("games_mp.log", b"".join(lines[300:800]), "ab")
        code, out, err = self.cli("tables", url, check=0)
        self.assertIn("refuses to resume", err)
        self.assertEqual(out, self.tables(self.local("all.log", b"".join(lines[:800]))))
        self.assertEqual(self.generations(), 1)

    def test_server_dies_mid_transfer_keeps_what_came_and_goes_on(self):
        data = b"".join(sample_lines())
        self.write("games_mp.log", data)
        with open(os.path.join(self.control, "throttle"), "w") as f:
            f.write("65536")
        server = self.ftp(port=free_port())
        url = "ftp://127.0.0.1:%d/games_mp.log" % server.port
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(self.dir, "cache"), HOME=self.home)
        proc = subprocess.Popen([os.path.join(BUILD, "barvik-cli"), "tables", url],
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
        deadline = time.time() + 20
        while time.time() < deadline:
            if os.path.exists(os.path.join(self.control, "counts")) and \
                    self.counts()["bytes"] > 100000:
                break
            time.sleep(0.05)
        server.stop()
        err = proc.communicate(timeout=60)[1].decode()
        self.assertEqual(proc.returncode, 4, err)
        self.assertIn("cannot fetch " + url, err)
        os.remove(os.path.join(self.control, "throttle"))
        self.ftp(port=server.port)
        self.assert_same_tables(url, data)
        self.assertEqual(self.generations(), 1)

    def test_remote_folder_read_like_a_local_one_across_a_rotation(self):
        lines = sample_lines()
        self.write("games_mp.log.1", b"".join(lines[:500]))
        self.write("games_mp.log", b"".join(lines[500:900]))
        self.write("server.cfg", b"set x 1\n")
        url = "ftp://127.0.0.1:%d/" % self.ftp().port
        self.assert_same_tables(url, b"".join(lines[:900]))
        # Rotation: .1 -> .2, the live log (grown a little) -> .1, a new live log.
        os.rename(os.path.join(self.root, "games_mp.log.1"), os.path.join(self.root, "games_mp.log.2"))
        self.write("games_mp.log", b"".join(lines[900:950]), "ab")
        os.rename(os.path.join(self.root, "games_mp.log"), os.path.join(self.root, "games_mp.log.1"))
        self.write("games_mp.log", b"".join(lines[950:1200]))
        self.assert_same_tables(url, b"".join(lines[:1200]))
        self.assertEqual(self.generations(), 3)

    def test_two_sources_in_one_run_and_one_failing(self):
        lines = sample_lines()
        self.write("a.log", b"".join(lines[:400]))
        self.write("b.log", b"".join(lines[400:900]))
        port = self.ftp().port
        a = "ftp://127.0.0.1:%d/a.log" % port
        b = "ftp://127.0.0.1:%d/b.log" % port
        self.assertEqual(self.tables(a, b), self.tables(os.path.join(self.root, "a.log"),
                                                        os.path.join(self.root, "b.log")))
        dead = "ftp://127.0.0.1:%d/c.log" % free_port()
        code, out, err = self.cli("tables", a, dead)
        self.assertEqual(code, 4, err)
        self.assertIn("cannot fetch " + dead, err)
        self.assertIn("cannot connect", err)
        self.assertEqual(out, self.tables(os.path.join(self.root, "a.log")))

    def test_max_fetch_spreads_the_first_copy_over_runs(self):
        data = b"".join(sample_lines()) * 4  # about 2.5 MB
        self.write("games_mp.log", data)
        url = "ftp://127.0.0.1:%d/games_mp.log" % self.ftp().port
        held = []
        for run in range(3):
            self.cli("tables", "--max-fetch", "1", url, check=0)
            (state,) = self.spool_states().values()
            held.append(int(re.search(r" mirrored (\d+)", state).group(1)))
        self.assertEqual(held, [1 << 20, 2 << 20, len(data)])
        self.assertEqual(self.tables(url), self.tables(self.local("all.log", data)))


class ReportTest(RemoteCase):
    def report(self, log, name):
        folder = os.path.join(self.dir, name)
        self.cli("export", log, folder, check=0, timeout=120)
        files = {}
        for base, _, names in os.walk(folder):
            for n in names:
                if n == ".barvik.lock":
                    continue
                path = os.path.join(base, n)
                with open(path, "rb") as f:
                    data = f.read()
                # The time of the run, in the footers, is all that may differ.
                for pattern in (rb"Statistics generated [^<]*<br>",
                                rb"<footer>Generated [^<]* with Barvik build",
                                rb'"generated":"[^"]*"'):
                    data = re.sub(pattern, b"#", data)
                files[os.path.relpath(path, folder)] = data
        return files

    def test_report_of_a_fetched_log_equals_that_of_the_local_file(self):
        data = b"".join(sample_lines())
        self.write("games_mp.log", data)
        url = "ftp://127.0.0.1:%d/games_mp.log" % self.ftp().port
        fetched = self.report(url, "fetched")
        local = self.report(self.local("games_mp.log", data), "local")
        self.assertGreater(len(local), 10)
        self.assertEqual(sorted(fetched), sorted(local))
        for name in local:
            self.assertEqual(fetched[name], local[name], name)

    def test_watch_goes_on_when_the_source_fails(self):
        lines = sample_lines()
        self.write("games_mp.log", b"".join(lines[:300]))
        server = self.ftp()
        url = "ftp://127.0.0.1:%d/games_mp.log" % server.port
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(self.dir, "cache"), HOME=self.home)
        proc = subprocess.Popen([os.path.join(BUILD, "barvik-cli"), "watch", "--every", "1", url,
                                 os.path.join(self.dir, "report")], stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, env=env)
        try:
            err = b""
            deadline = time.time() + 60
            while b"lines read" not in err and time.time() < deadline:
                err += os.read(proc.stderr.fileno(), 4096)
            self.assertIn(b"lines read", err)
            server.stop()
            while b"cannot fetch" not in err and time.time() < deadline:
                err += os.read(proc.stderr.fileno(), 4096)
            self.assertIn(("cannot fetch " + url).encode(), err)
            self.assertIsNone(proc.poll())  # still watching
        finally:
            proc.send_signal(signal.SIGTERM)
            proc.communicate(timeout=30)
        self.assertEqual(proc.returncode, 0)


class FtpsTest(RemoteCase):
    # pyftpdlib now and then resets a TLS data connection as it accepts it (it logs nothing;
    # the same client sequence passes on the next try), so a run that failed on its data
    # connection is made again, as the next run of a real source would be. Any other failure still
    # fails the test; eight such resets in a row skip it.
    def cli(self, *args, timeout=60, check=None):
        for attempt in range(8):
            code, out, err = super().cli(*args, timeout=timeout)
            flaky = "PASV" in out + err or "Connection reset" in out + err
            if not flaky:
                break
            if attempt == 7:
                # The same server instance can stay in that state: the test server's fault, said
                # as a skip rather than taken for the client's.
                raise unittest.SkipTest("the FTPS test server kept resetting its data connection")
        if check is not None:
            self.assertEqual(code, check, out + err)
        return code, out, err

    def make_cert(self):
        cert = os.path.join(self.dir, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", cert, "-out", cert], check=True, capture_output=True,
                       timeout=60)
        return cert

    def test_explicit_tls_required_and_never_plain(self):
        cert = self.make_cert()
        lines = sample_lines()
        self.write("games_mp.log", b"".join(lines[:300]))
        port = self.ftp("--tls", cert).port
        url = "ftp://127.0.0.1:%d/games_mp.log" % port
        extra = ("--ftp-tls", "require", "--ca-file", cert)
        self.assert_same_tables(url, b"".join(lines[:300]), extra=extra)
        self.write("games_mp.log", b"".join(lines[300:600]), "ab")
        self.assert_same_tables(url, b"".join(lines[:600]), extra=extra)
        # Without the certificate trusted: refused, not read in plain.
        code, out, err = self.cli("tables", "--ftp-tls", "require", url)
        self.assertEqual(code, 4, err)
        self.assertIn("not trusted", err)
        # A plain server asked for TLS: no fallback.
        plain = self.ftp().port
        code, out, err = self.cli("tables", "--ftp-tls", "require", "--ca-file", cert,
                                  "ftp://127.0.0.1:%d/games_mp.log" % plain)
        self.assertEqual(code, 4, err)
        self.assertIn("TLS", err)

    def test_implicit_tls(self):
        cert = self.make_cert()
        data = b"".join(sample_lines()[:500])
        self.write("games_mp.log", data)
        port = self.ftp("--tls", cert, "--implicit").port
        url = "ftps://127.0.0.1:%d/games_mp.log" % port
        self.assert_same_tables(url, data, extra=("--ca-file", cert))
        code, out, err = self.cli("remote", "check", "--ca-file", cert, url)
        self.assertEqual(code, 0, out + err)
        self.assertIn(", TLS,", out)


class SftpTest(RemoteCase):
    def setUp(self):
        super().setUp()
        keygen = lambda path: subprocess.run(
            ["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", path], check=True, timeout=30)
        self.host_key = os.path.join(self.dir, "host_key")
        self.user_key = os.path.join(self.dir, "user_key")
        keygen(self.host_key)
        keygen(self.user_key)
        shutil.copy(self.user_key + ".pub", os.path.join(self.dir, "authorized_keys"))
        self.port = free_port()
        config = os.path.join(self.dir, "sshd_config")
        with open(config, "w") as f:
            f.write("Port %d\nListenAddress 127.0.0.1\nHostKey %s\nAuthorizedKeysFile %s\n"
                    "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                    "Subsystem sftp internal-sftp\nStrictModes no\nUsePAM no\nPidFile %s\n" % (
                        self.port, self.host_key, os.path.join(self.dir, "authorized_keys"),
                        os.path.join(self.dir, "sshd.pid")))
        os.makedirs("/run/sshd", exist_ok=True)
        self.start(["/usr/sbin/sshd", "-f", config, "-D", "-e"], port=self.port)
        with open(self.host_key + ".pub") as f:
            key = " ".join(f.read().split()[:2])
        self.known_hosts = os.path.join(self.dir, "known_hosts")
        with open(self.known_hosts, "w") as f:
            f.write("[127.0.0.1]:%d %s\n" % (self.port, key))
        self.fingerprint = subprocess.run(
            ["ssh-keygen", "-lf", self.host_key + ".pub", "-E", "sha256"], check=True,
            capture_output=True, text=True).stdout.split()[1]
        self.user = subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()

    def url(self, name="games_mp.log"):
        return "sftp://%s@127.0.0.1:%d%s/%s" % (self.user, self.port, self.root, name)

    def test_growth_with_key_and_known_host(self):
        lines = sample_lines()
        self.write("games_mp.log", b"".join(lines[:500]) + lines[500][:7])
        extra = ("--ssh-key", self.user_key, "--known-hosts", self.known_hosts)
        self.assert_same_tables(self.url(), b"".join(lines[:500]), extra=extra)
        self.write("games_mp.log", lines[500][7:] + b"".join(lines[501:900]), "ab")
        self.assert_same_tables(self.url(), b"".join(lines[:900]), extra=extra)
        folder = self.url("")
        self.assert_same_tables(folder, b"".join(lines[:900]), extra=extra)

    def test_unknown_and_wrong_host_keys_refused_with_fingerprint(self):
        self.write("games_mp.log", b"".join(sample_lines()[:100]))
        empty = os.path.join(self.dir, "empty_known_hosts")
        open(empty, "w").close()
        code, out, err = self.cli("tables", "--ssh-key", self.user_key, "--known-hosts", empty,
                                  self.url())
        self.assertEqual(code, 4, err)
        self.assertIn("host key unknown (%s)" % self.fingerprint, err)
        other = os.path.join(self.dir, "other_key")
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", other], check=True)
        wrong = os.path.join(self.dir, "wrong_known_hosts")
        with open(other + ".pub") as f, open(wrong, "w") as out_file:
            out_file.write("[127.0.0.1]:%d %s\n" % (self.port, " ".join(f.read().split()[:2])))
        code, out, err = self.cli("tables", "--ssh-key", self.user_key, "--known-hosts", wrong,
                                  self.url())
        self.assertEqual(code, 4, err)
        self.assertIn("host key does not match (%s)" % self.fingerprint, err)
        code, out, err = self.cli("remote", "check", "--ssh-key", self.user_key,
                                  "--known-hosts", self.known_hosts, self.url(), check=0)
        self.assertIn("host key %s known" % self.fingerprint, out)


class HttpTest(RemoteCase):
    def test_ranges_growth_no_change_and_416(self):
        lines = sample_lines()
        self.write("games_mp.log", b"".join(lines[:800]))
        server = self.start([PYTHON, os.path.join(HERE, "servers.py"), "http", self.root,
                             self.control])
        url = "http://127.0.0.1:%d/games_mp.log" % server.port
        self.assert_same_tables(url, b"".join(lines[:800]))
        before = self.counts()
        self.tables(url)
        after = self.counts()
        self.assertEqual((after["requests"] - before["requests"], after["bytes"]),
                         (1, before["bytes"]))  # one HEAD, no body
        grown = b"".join(lines[800:900])
        self.write("games_mp.log", grown, "ab")
        self.tables(url)
        self.assertEqual(self.counts()["bytes"] - after["bytes"], len(grown) + 4096)
        small = b"".join(lines[900:950])
        self.write("games_mp.log", small)  # shorter: a range beyond the end
        self.assert_same_tables(url, b"".join(lines[:900]), small)

    def test_server_without_ranges_is_said_once_and_checked(self):
        lines = sample_lines()
        self.write("games_mp.log", b"".join(lines[:300]))
        port = free_port()
        server = self.start([PYTHON, "-m", "http.server", "--bind", "127.0.0.1", "--directory",
                             self.root, str(port)], port=port)
        url = "http://127.0.0.1:%d/games_mp.log" % server.port
        self.tables(url)
        self.write("games_mp.log", b"".join(lines[300:400]), "ab")
        code, out, err = self.cli("tables", url, check=0)
        self.assertIn("ignores byte ranges", err)
        self.assertEqual(out, self.tables(self.local("a.log", b"".join(lines[:400]))))
        self.write("games_mp.log", b"".join(lines[400:500]), "ab")
        code, out, err = self.cli("tables", url, check=0)
        self.assertNotIn("ignores byte ranges", err)
        # Replaced by another file of the same size class: its body differs from the spool.
        other = b"".join(lines[1000:1600])
        self.write("games_mp.log", other)
        self.assert_same_tables(url, b"".join(lines[:500]), other)


class CredentialsTest(RemoteCase):
    def netrc(self, mode=0o600):
        path = os.path.join(self.dir, "netrc")
        with open(path, "w") as f:
            f.write("machine 127.0.0.1 login alice password %s\n" % PASSWORD)
        os.chmod(path, mode)
        return path

    def test_password_with_specials_from_netrc_never_shown(self):
        data = b"".join(sample_lines())
        self.write("games_mp.log", data)
        with open(os.path.join(self.control, "throttle"), "w") as f:
            f.write("200000")
        port = self.ftp("--user", "alice", PASSWORD).port
        url = "ftp://alice@127.0.0.1:%d/games_mp.log" % port
        netrc = self.netrc()
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(self.dir, "cache"), HOME=self.home)
        proc = subprocess.Popen([os.path.join(BUILD, "barvik-cli"), "tables", "--netrc", netrc,
                                 url], stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        cmdlines = []
        while proc.poll() is None:
            try:
                with open("/proc/%d/cmdline" % proc.pid, "rb") as f:
                    cmdlines.append(f.read())
            except OSError:
                pass
            time.sleep(0.05)
        out, err = proc.communicate(timeout=60)
        self.assertEqual(proc.returncode, 0, err)
        self.assertTrue(cmdlines)
        for line in cmdlines:
            self.assertNotIn(PASSWORD.encode(), line)
        self.assertEqual(out.decode("latin-1"), self.tables(self.local("a.log", data)))
        # A wrong password: the failure is told, no password in it or in any spool file.
        with open(netrc, "w") as f:
            f.write("machine 127.0.0.1 login alice password %sX\n" % PASSWORD)
        self.write("games_mp.log", b"more\n", "ab")
        code, out, err = self.cli("tables", "--netrc", netrc, url)
        self.assertEqual(code, 4, err)
        self.assertIn("login refused", err)
        self.assertNotIn(PASSWORD, err)
        for state in self.spool_states().values():
            self.assertNotIn(PASSWORD, state)

    def test_unsafe_netrc_and_password_in_url_are_usage_errors(self):
        url = "ftp://alice@127.0.0.1:1/games_mp.log"
        code, out, err = self.cli("tables", "--netrc", self.netrc(0o644), url)
        self.assertEqual(code, 2, err)
        self.assertIn("chmod 600", err)
        code, out, err = self.cli("tables", "ftp://alice:%s@127.0.0.1:1/games_mp.log" % PASSWORD)
        self.assertEqual(code, 2, err)
        self.assertIn("holds a password", err)
        self.assertIn("--netrc", err)
        self.assertNotIn("w0rd", err)


if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
