#!/usr/bin/env python3
"""Development installation service: HTTPS (TLS 1.2) on 127.0.0.1 with a throwaway CA.

    tools/dev_service/dev_service.py [--port 443] [--state DIR] [--code 1234] [--grant HEX] [--script FILE]
                         [--control DIR]
    tools/dev_service/dev_service.py --export-ca PATH [--state DIR]     # the CA in DER form, then exit

POST /install/windows/authorize exchanges the code for the grant; GET /install/bootstrap.ps1
returns the script when the X-VAQ-Install-Grant header carries the grant.

With --control DIR, tests steer the service through files there:
  reply.json     (read at every connection and request; without "status", or absent, the
                 normal reply is sent)
                 {"status": 302, "body": "text" | "body_size": N, "headers": {"Location": "..."},
                  "delay": seconds, "tls_min": "TLSv1", "tls_max": "TLSv1_1",
                  "certificate": "untrusted", "framing": "chunked" | "close", "cut_after": N,
                  "transfer_encoding": "identity, chunked"}
                 framing "chunked" sends the body in chunks instead of with a Content-Length,
                 under the Transfer-Encoding transfer_encoding names ("chunked" by default);
                 "close" sends neither, so that only the connection's close ends the body.
                 cut_after closes the connection after N bytes of the body (a chunked one before
                 its last chunk), while the headers still promise all of it.
  close          while this file exists the port is closed; port-closed then exists too
  hold           while this file exists, replies wait (each request is recorded first), so
                 that a test sees the state a slow answer leaves before the answer comes
  received.jsonl one line per request: method, path, request_line, header_lines (raw, in order,
                 without line ends), body_hex. Written before the reply is sent.
"""
import argparse
import datetime
import http.server
import json
import secrets
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import warnings
from pathlib import Path

AUTHORIZE_PATH = "/install/windows/authorize"
HOLD_LIMIT = 300  # seconds
BOOTSTRAP_PATH = "/install/bootstrap.ps1"
GRANT_HEADER = "X-VAQ-Install-Grant"
CHUNK = 1000
DEFAULT_SCRIPT = b"Write-Output 'VAQ development bootstrap'\r\nexit 0\r\n"
AUTHORITIES = {"trusted": "VAQ Development CA", "untrusted": "VAQ Untrusted Development CA"}
# Tests ask for old protocol versions on purpose.
warnings.filterwarnings("ignore", category=DeprecationWarning)
TLS_VERSIONS = {name: getattr(ssl.TLSVersion, name) for name in ("TLSv1", "TLSv1_1", "TLSv1_2", "TLSv1_3")}


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# Whoever holds a trusted CA's key can sign for any site the machine then accepts: the CA signs
# only for this machine's own address (CryptoAPI and OpenSSL honour name constraints) and lives
# for days.
NAME_CONSTRAINTS = "critical,permitted;DNS:localhost,permitted;IP:127.0.0.1/255.255.255.255"
VALID_DAYS = 7
NOT_AFTER = "not-after.txt"  # the CA's end as YYYY-MM-DD HH:MM:SS UTC, readable without openssl


def authority_expired(folder):
    try:
        not_after = datetime.datetime.strptime((folder / NOT_AFTER).read_text().strip(), "%Y-%m-%d %H:%M:%S")
    except (OSError, ValueError):
        return True
    return not_after - datetime.timedelta(days=1) < datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)


def make_authority(state, kind):
    """A CA and a certificate for localhost signed by it, made again when the CA ends within a day."""
    folder = state / kind
    if (folder / "localhost.pem").exists() and not authority_expired(folder):
        return folder
    folder.mkdir(parents=True, exist_ok=True)
    days = str(VALID_DAYS)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", days,
            "-keyout", str(folder / "ca.key"), "-out", str(folder / "ca.pem"),
            "-subj", f"/CN={AUTHORITIES[kind]}",
            "-addext", "basicConstraints=critical,CA:TRUE,pathlen:0",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-addext", "nameConstraints=" + NAME_CONSTRAINTS)
    openssl("x509", "-in", str(folder / "ca.pem"), "-outform", "DER", "-out", str(folder / "ca.der"))
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
            "-keyout", str(folder / "localhost.key"), "-out", str(folder / "localhost.csr"))
    with tempfile.NamedTemporaryFile("w", suffix=".ext") as extensions:
        extensions.write("basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n"
                         "subjectAltName=DNS:localhost,IP:127.0.0.1\n")
        extensions.flush()
        openssl("x509", "-req", "-days", days, "-in", str(folder / "localhost.csr"),
                "-CA", str(folder / "ca.pem"), "-CAkey", str(folder / "ca.key"), "-CAcreateserial",
                "-extfile", extensions.name, "-out", str(folder / "localhost.pem"))
    end = subprocess.run(["openssl", "x509", "-in", str(folder / "ca.pem"), "-noout", "-enddate"], check=True,
                         capture_output=True, text=True).stdout.strip().split("=", 1)[1]
    not_after = datetime.datetime.strptime(end, "%b %d %H:%M:%S %Y GMT")
    (folder / NOT_AFTER).write_text(not_after.strftime("%Y-%m-%d %H:%M:%S") + "\n")
    return folder


def serving_only(folder):
    """Leaves what the service serves with (its certificate and key) and what a machine trusts
    (the CA's certificate); the CA's key and the signing leftovers go."""
    for name in ("ca.key", "ca.srl", "localhost.csr"):
        (folder / name).unlink(missing_ok=True)


class Settings:
    def __init__(self, args):
        self.state = Path(args.state)
        self.code = args.code
        self.grant = args.grant
        self.script = Path(args.script).read_bytes() if args.script else DEFAULT_SCRIPT
        self.control = Path(args.control) if args.control else None
        self.folders = {kind: make_authority(self.state, kind) for kind in AUTHORITIES}
        self.contexts = {}
        self.lock = threading.Lock()

    def override(self):
        if self.control is None:
            return {}
        try:
            return json.loads((self.control / "reply.json").read_text())
        except FileNotFoundError:
            return {}

    def bootstrap_script(self):
        try:
            return (self.control / "bootstrap.ps1").read_bytes() if self.control else self.script
        except FileNotFoundError:
            return self.script

    def context(self, override):
        key = (override.get("certificate", "trusted"), override.get("tls_min", "TLSv1_2"),
               override.get("tls_max", "TLSv1_2"))
        with self.lock:
            if key not in self.contexts:
                context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                if TLS_VERSIONS[key[1]] < ssl.TLSVersion.TLSv1_2:
                    context.set_ciphers("DEFAULT:@SECLEVEL=0")  # OpenSSL 3 refuses old TLS otherwise
                context.minimum_version = TLS_VERSIONS[key[1]]
                context.maximum_version = TLS_VERSIONS[key[2]]
                folder = self.folders[key[0]]
                context.load_cert_chain(folder / "localhost.pem", folder / "localhost.key")
                self.contexts[key] = context
            return self.contexts[key]

    def control_file(self, name):
        return self.control / name if self.control else None

    def wait_while_held(self):
        # Bounded, so that a test that died holding cannot hang the service.
        deadline = time.monotonic() + HOLD_LIMIT
        while self.control is not None and (self.control / "hold").exists() and time.monotonic() < deadline:
            time.sleep(0.05)

    def record(self, entry):
        if self.control is None:
            return
        with self.lock, open(self.control / "received.jsonl", "a", encoding="utf-8") as log:
            log.write(json.dumps(entry) + "\n")


class RecordingReader:
    """Keeps every line the request parser reads, exactly as it arrived."""

    def __init__(self, stream):
        self.stream = stream
        self.lines = []

    def readline(self, *args):
        line = self.stream.readline(*args)
        self.lines.append(line)
        return line

    def read(self, *args):
        return self.stream.read(*args)

    def close(self):
        self.stream.close()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, settings):
        super().__init__(address, Handler)
        self.settings = settings

    def get_request(self):
        sock, address = super().get_request()
        context = self.settings.context(self.settings.override())
        # The handshake runs in the handler's thread, so a failing client blocks nobody.
        return context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False), address

    def run(self):
        """Serves until interrupted; closes and reopens the port as the control folder asks."""
        self.timeout = 0.1
        listening = True
        while True:
            close = self.settings.control_file("close")
            wanted = not (close and close.exists())
            marker = self.settings.control_file("port-closed")
            if wanted and not listening:
                self.reopen()
                marker.unlink()
            elif listening and not wanted:
                self.socket.close()
                marker.touch()
            listening = wanted
            if listening:
                self.handle_request()
            else:
                time.sleep(self.timeout)

    def reopen(self):
        self.socket = socket.socket(self.address_family, self.socket_type)
        self.server_bind()
        self.server_activate()

    def handle_error(self, request, client_address):
        print(f"connection from {client_address[0]} ended: {sys.exc_info()[1]}", file=sys.stderr)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VAQDevService/1.0"

    def setup(self):
        super().setup()
        self.rfile = RecordingReader(self.rfile)

    def do_GET(self):
        self.answer()

    def do_POST(self):
        self.answer()

    def answer(self):
        settings = self.server.settings
        length = int(self.headers.get("Content-Length", 0) or 0)
        body = self.rfile.read(length) if length else b""
        raw = [line.decode("latin-1").rstrip("\r\n") for line in self.rfile.lines]
        settings.record({"method": self.command, "path": self.path, "request_line": raw[0],
                         "header_lines": [line for line in raw[1:] if line], "body_hex": body.hex()})
        override = settings.override()
        if override.get("path", self.path) != self.path:
            override = {}
        if "status" in override:
            status = override["status"]
            reply = (b"x" * override["body_size"] if "body_size" in override
                     else override.get("body", "").encode("utf-8"))
        else:
            status, reply = self.normal_reply(body)
        time.sleep(override.get("delay", 0))
        settings.wait_while_held()
        self.send_response(status)
        for name, value in override.get("headers", {}).items():
            self.send_header(name, value)
        framing = override.get("framing", "length")
        chunked = framing == "chunked"
        if chunked:
            self.send_header("Transfer-Encoding", override.get("transfer_encoding", "chunked"))
        elif framing == "length":
            self.send_header("Content-Length", str(len(reply)))
        self.send_header("Connection", "close")
        self.end_headers()
        cut = override.get("cut_after")
        sent = reply if cut is None else reply[:cut]
        if chunked:
            for start in range(0, len(sent), CHUNK):
                piece = sent[start:start + CHUNK]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            if cut is None:
                self.wfile.write(b"0\r\n\r\n")
        else:
            self.wfile.write(sent)
        self.close_connection = True

    def normal_reply(self, body):
        settings = self.server.settings
        if self.command == "POST" and self.path == AUTHORIZE_PATH:
            try:
                code = json.loads(body).get("code")
            except (ValueError, AttributeError):
                code = None
            if code == settings.code:
                return 200, json.dumps({"grant": settings.grant}).encode()
            return 403, json.dumps({"error": "安装授权码不正确或已过期。"}, ensure_ascii=False).encode()
        if self.command == "GET" and self.path == BOOTSTRAP_PATH:
            if self.headers.get(GRANT_HEADER) == settings.grant:
                return 200, settings.bootstrap_script()
            return 403, b""
        return 404, b""

    def log_message(self, format, *args):
        print(f"{self.address_string()} {format % args}", file=sys.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--state", default=str(Path.home() / ".cache" / "vaq-dev-service"),
                        help="where the throwaway CAs and certificates live (made when missing)")
    parser.add_argument("--code", default="1234", help="the four-digit install authorization code")
    parser.add_argument("--grant", default=secrets.token_hex(32), help="64 lowercase hex digits")
    parser.add_argument("--script", help="file served as the bootstrap script")
    parser.add_argument("--control", help="folder through which tests steer the service")
    parser.add_argument("--export-ca", help="write the trusted CA in DER form here and exit")
    args = parser.parse_args()

    if args.export_ca:
        shutil.copyfile(make_authority(Path(args.state), "trusted") / "ca.der", args.export_ca)
        return
    settings = Settings(args)
    try:
        server = Server(("127.0.0.1", args.port), settings)
    except OSError as error:
        sys.exit(f"cannot listen on 127.0.0.1:{args.port}: {error.strerror}")
    print(f"VAQ development installation service on https://localhost:{args.port}/ "
          f"- code to type: {settings.code} - CA: {settings.folders['trusted'] / 'ca.der'} "
          f"- Ctrl+C stops it", flush=True)
    try:
        server.run()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
