"""Test servers for remote logs, on 127.0.0.1 only: FTP (plain, explicit or implicit TLS)
with pyftpdlib and an HTTP server that honours byte ranges (RangeHTTPServer's handler).

    servers.py ftp ROOT CONTROL [--port N] [--tls CERT] [--implicit] [--user NAME PASSWORD]
    servers.py http ROOT CONTROL

Prints "PORT n" once listening. CONTROL is a folder through which a test steers the server
and reads what it did:
    CONTROL/counts      written after every command: "requests N" and "bytes N" (bytes of
                        file contents sent), for measuring what a run costs
    CONTROL/stale-size  (FTP) SIZE answers this number instead of the file's size
    CONTROL/no-rest     (FTP) REST is refused
    CONTROL/throttle    (FTP) bytes per second the data connection may send
"""
import os
import sys


def control_file(control, name):
    path = os.path.join(control, name)
    try:
        with open(path) as f:
            return f.read().strip()
    except OSError:
        return None


class Counts:
    def __init__(self, control):
        self.control = control
        self.requests = 0
        self.bytes = 0

    def save(self):
        tmp = os.path.join(self.control, "counts.tmp")
        with open(tmp, "w") as f:
            f.write("requests %d\nbytes %d\n" % (self.requests, self.bytes))
        os.replace(tmp, os.path.join(self.control, "counts"))


def run_ftp(root, control, args):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, TLS_FTPHandler
    from pyftpdlib.servers import FTPServer

    counts = Counts(control)
    authorizer = DummyAuthorizer()
    if "--user" in args:
        i = args.index("--user")
        authorizer.add_user(args[i + 1], args[i + 2], root, perm="elr")
    else:
        authorizer.add_anonymous(root)
    tls = "--tls" in args
    base = TLS_FTPHandler if tls else FTPHandler

    class Dtp(ThrottledDTPHandler):
        def send(self, data):
            limit = control_file(control, "throttle")
            self.read_limit = 0
            self.write_limit = int(limit) if limit else 0
            sent = super().send(data)
            counts.bytes += sent
            counts.save()
            return sent

    class Handler(base):
        use_sendfile = False
        dtp_handler = Dtp

        def pre_process_command(self, line, cmd, arg):
            if cmd in ("SIZE", "MDTM", "RETR", "NLST", "LIST", "MLSD"):
                counts.requests += 1
                counts.save()
            if cmd == "REST" and control_file(control, "no-rest") is not None:
                self.respond("502 REST not implemented.")
                return
            if cmd == "SIZE" and control_file(control, "stale-size") is not None:
                self.respond("213 %s" % control_file(control, "stale-size"))
                return
            return super().pre_process_command(line, cmd, arg)

    if tls:
        from pyftpdlib.handlers import TLS_DTPHandler

        class TlsDtp(TLS_DTPHandler):
            def send(self, data):
                sent = super().send(data)
                counts.bytes += sent
                counts.save()
                return sent

        Handler.dtp_handler = TlsDtp
        Handler.certfile = args[args.index("--tls") + 1]
        # Data connections resume the control connection's TLS session, as clients do (and
        # as many servers demand): the context must keep sessions under an id.
        from OpenSSL import SSL
        context = SSL.Context(SSL.TLS_SERVER_METHOD)
        context.use_certificate_chain_file(Handler.certfile)
        context.use_privatekey_file(Handler.certfile)
        context.set_session_id(b"barvik-test")
        context.set_session_cache_mode(SSL.SESS_CACHE_SERVER)
        # TLS 1.2: its sessions are settled in the handshake, whereas TLS 1.3 tickets come
        # after it, which pyftpdlib's event loop does not always hand over before the client
        # opens the data connection.
        context.set_max_proto_version(SSL.TLS1_2_VERSION)
        Handler.ssl_context = context
        if "--implicit" in args:
            class Implicit(Handler):
                # TLS from the first byte: the greeting already goes over it.
                def handle(self):
                    self.secure_connection(self.ssl_context)
                    super().handle()

            Handler = Implicit
        else:
            Handler.tls_control_required = True
            Handler.tls_data_required = True
    Handler.authorizer = authorizer
    Handler.passive_ports = None
    port = int(args[args.index("--port") + 1]) if "--port" in args else 0
    server = FTPServer(("127.0.0.1", port), Handler)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever()


def run_http(root, control):
    import http.server
    from RangeHTTPServer import RangeRequestHandler

    counts = Counts(control)

    class Handler(RangeRequestHandler):
        def __init__(self, *a, **kw):
            super().__init__(*a, directory=root, **kw)

        def copyfile(self, source, outputfile):
            class Counting:
                def write(_, data):
                    counts.bytes += len(data)
                    counts.save()
                    return outputfile.write(data)
            super().copyfile(source, Counting())

        def send_head(self):
            counts.requests += 1
            counts.save()
            return super().send_head()

        def log_message(self, *a):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    kind, root, control = sys.argv[1:4]
    if kind == "ftp":
        run_ftp(root, control, sys.argv[4:])
    else:
        run_http(root, control)
