"""What a run costs on a remote log: a 100 MB log served by the test servers on 127.0.0.1
(pyftpdlib FTP, the ranges HTTP server), fetched once, then run unchanged, then after a
growth of N bytes. The servers count the requests and file bytes they send; the spool's
state counts what the client received.

    /usr/bin/python3 bench/measure-remote.py BUILD_DIR [MEGABYTES] [GROWTH_BYTES]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "remote"))
from remote_test import PYTHON, Server  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1])
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    growth = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    work = tempfile.mkdtemp(prefix="barvik-measure-remote-")
    try:
        root, control = os.path.join(work, "root"), os.path.join(work, "control")
        os.makedirs(root)
        os.makedirs(control)
        log = os.path.join(root, "games_mp.log")
        with open(os.path.join(HERE, "..", "samples", "sample.log"), "rb") as f:
            sample = f.read()
        with open(log, "wb") as f:
            while f.tell() < megabytes << 20:
                f.write(sample)
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"), HOME=work)

        def counts():
            with open(os.path.join(control, "counts")) as f:
                return {k: int(v) for k, v in (line.split() for line in f)}

        def run(url):
            before = counts() if os.path.exists(os.path.join(control, "counts")) else \
                {"requests": 0, "bytes": 0}
            subprocess.run([os.path.join(build, "barvik-cli"), "tables", url], env=env,
                           stdout=subprocess.DEVNULL, check=True, timeout=600)
            after = counts()
            spool = os.path.join(work, "cache", "barvik", "spool")
            state = ""
            for name in os.listdir(spool):
                with open(os.path.join(spool, name, "state")) as f:
                    text = f.read()
                if url.split("://")[0] in text.split("\n")[1]:
                    state = text
            client = re.search(r"last-run requests (\d+) bytes (\d+)", state)
            return (after["requests"] - before["requests"], after["bytes"] - before["bytes"],
                    int(client.group(1)), int(client.group(2)))

        size = os.path.getsize(log)
        print("log: %d bytes; growth: %d bytes" % (size, growth))
        for kind in ("ftp", "http"):
            for name in ("counts",):
                if os.path.exists(os.path.join(control, name)):
                    os.remove(os.path.join(control, name))
            server = Server([PYTHON, os.path.join(HERE, "..", "tests", "remote", "servers.py"),
                             kind, root, control])
            try:
                url = "%s://127.0.0.1:%d/games_mp.log" % (kind, server.port)
                rows = [("first copy", run(url)), ("unchanged", run(url))]
                with open(log, "ab") as f:
                    f.write(sample[:growth])
                rows.append(("grown", run(url)))
                for label, (requests, sent, client_requests, received) in rows:
                    print("%-5s %-10s server: %d commands, %d file bytes sent; client: %d "
                          "requests, %d bytes received" % (kind, label, requests, sent,
                                                           client_requests, received))
            finally:
                server.stop()
            with open(log, "rb+") as f:
                f.truncate(size)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
