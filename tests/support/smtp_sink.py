#!/usr/bin/env python3
"""A small SMTP server on loopback for the mailer's tests.

It serves one connection after another until it is killed. It offers
STARTTLS when given a certificate, checks AUTH PLAIN, LOGIN and CRAM-MD5
against the one account it is given (and then wants a login before MAIL),
and can refuse every recipient. Each message it takes is written, before
the server answers the final dot, to a folder of its own under --out
(1, 2, ...), as files the tests read: envelope, message.eml, subject,
from, to, html, attachment-name, attachment.
"""

import argparse
import base64
import email
import email.policy
import hmac
import os
import secrets
import socketserver
import ssl
import sys
import tempfile


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port-file", required=True, help="where to write the port, once listening")
    parser.add_argument("--out", required=True, help="folder for the messages taken")
    parser.add_argument("--user", help="the one account; with it, a login is required")
    parser.add_argument("--password", default="")
    parser.add_argument("--mechanisms", default="PLAIN LOGIN CRAM-MD5")
    parser.add_argument("--cert", help="certificate (PEM) for STARTTLS")
    parser.add_argument("--key", help="its private key (PEM)")
    parser.add_argument("--refuse-recipients", action="store_true")
    parser.add_argument("--echo-auth", action="store_true",
                        help="repeat what the client sent in the reply to a failed login")
    return parser.parse_args()


def write_atomically(path, data):
    folder = os.path.dirname(path)
    fd, temporary = tempfile.mkstemp(dir=folder)
    with os.fdopen(fd, "wb") as file:
        file.write(data)
    os.rename(temporary, path)


class Session(socketserver.StreamRequestHandler):
    def setup(self):
        super().setup()
        self.tls = False
        self.authenticated = None
        self.mail_from = None
        self.recipients = []

    def reply(self, line):
        self.wfile.write(line.encode() + b"\r\n")
        self.wfile.flush()

    def read_line(self):
        line = self.rfile.readline(65536)
        if not line:
            raise ConnectionError("client left")
        return line.rstrip(b"\r\n").decode("utf-8", "replace")

    def handle(self):
        try:
            self.reply("220 sink.test ESMTP ready")
            while self.command(self.read_line()):
                pass
        except (ConnectionError, ssl.SSLError, OSError) as problem:
            print(f"smtp_sink: {problem}", file=sys.stderr)

    def command(self, line):
        verb, _, argument = line.partition(" ")
        verb = verb.upper()
        options = self.server.options
        if verb in ("EHLO", "HELO"):
            lines = ["sink.test"]
            if options.cert and not self.tls:
                lines.append("STARTTLS")
            if options.user:
                lines.append("AUTH " + options.mechanisms)
            lines.append("8BITMIME")
            for line_ in lines[:-1]:
                self.reply("250-" + line_)
            self.reply("250 " + lines[-1])
        elif verb == "STARTTLS" and options.cert and not self.tls:
            self.reply("220 2.0.0 Ready to start TLS")
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(options.cert, options.key)
            self.connection = context.wrap_socket(self.connection, server_side=True)
            self.rfile = self.connection.makefile("rb")
            self.wfile = self.connection.makefile("wb")
            self.tls = True
            self.authenticated = None
        elif verb == "AUTH" and options.user:
            self.authenticate(argument)
        elif verb == "MAIL":
            if options.user and not self.authenticated:
                self.reply("530 5.7.0 Authentication required")
            else:
                self.mail_from = argument.partition("<")[2].partition(">")[0]
                self.recipients = []
                self.reply("250 2.1.0 Sender OK")
        elif verb == "RCPT":
            if self.mail_from is None:
                self.reply("503 5.5.1 MAIL first")
            elif options.refuse_recipients:
                self.reply("550 5.7.1 Relaying denied")
            else:
                self.recipients.append(argument.partition("<")[2].partition(">")[0])
                self.reply("250 2.1.5 Recipient OK")
        elif verb == "DATA":
            if not self.recipients:
                self.reply("503 5.5.1 RCPT first")
            else:
                self.reply("354 End data with <CR><LF>.<CR><LF>")
                self.receive()
        elif verb == "RSET":
            self.mail_from, self.recipients = None, []
            self.reply("250 2.0.0 OK")
        elif verb == "NOOP":
            self.reply("250 2.0.0 OK")
        elif verb == "QUIT":
            self.reply("221 2.0.0 Bye")
            return False
        else:
            self.reply("502 5.5.2 Command not recognised")
        return True

    def authenticate(self, argument):
        options = self.server.options
        mechanism, _, initial = argument.partition(" ")
        received = [initial] if initial else []
        mechanism = mechanism.upper()
        if mechanism not in options.mechanisms.split():
            self.reply("504 5.5.4 Mechanism not offered")
            return
        try:
            if mechanism == "PLAIN":
                if not initial:
                    self.reply("334 ")
                    initial = self.read_line()
                    received.append(initial)
                _, user, password = base64.b64decode(initial).decode().split("\0")
                good = user == options.user and password == options.password
            elif mechanism == "LOGIN":
                if not initial:
                    self.reply("334 " + base64.b64encode(b"Username:").decode())
                    initial = self.read_line()
                    received.append(initial)
                user = base64.b64decode(initial).decode()
                self.reply("334 " + base64.b64encode(b"Password:").decode())
                received.append(self.read_line())
                password = base64.b64decode(received[-1]).decode()
                good = user == options.user and password == options.password
            else:
                challenge = f"<{secrets.token_hex(8)}@sink.test>".encode()
                self.reply("334 " + base64.b64encode(challenge).decode())
                received.append(self.read_line())
                user, _, digest = base64.b64decode(received[-1]).decode().rpartition(" ")
                expected = hmac.new(options.password.encode(), challenge, "md5").hexdigest()
                good = user == options.user and hmac.compare_digest(digest, expected)
        except (ValueError, UnicodeDecodeError):
            good = False
        if good:
            self.authenticated = mechanism
            self.reply("235 2.7.0 Authentication successful")
        elif options.echo_auth:
            self.reply("535 5.7.8 Authentication failed for " + " ".join(received))
        else:
            self.reply("535 5.7.8 Authentication credentials invalid")

    def receive(self):
        lines = []
        while True:
            line = self.rfile.readline(1 << 20)
            if not line:
                raise ConnectionError("client left during DATA")
            if line in (b".\r\n", b".\n"):
                break
            lines.append(line[1:] if line.startswith(b".") else line)
        raw = b"".join(lines)
        self.server.count += 1
        self.record(raw, os.path.join(self.server.options.out, str(self.server.count)))
        self.reply("250 2.0.0 Queued")

    def record(self, raw, folder):
        message = email.message_from_bytes(raw, policy=email.policy.default)
        files = {
            "envelope": "\n".join(
                [f"from={self.mail_from}"]
                + [f"to={recipient}" for recipient in self.recipients]
                + [f"auth={self.authenticated or 'none'}", f"tls={'yes' if self.tls else 'no'}"]
            ).encode() + b"\n",
            "message.eml": raw,
            "subject": str(message.get("Subject", "")).encode(),
            "from": str(message.get("From", "")).encode(),
            "to": str(message.get("To", "")).encode(),
        }
        for part in message.walk():
            if part.is_multipart():
                continue
            if part.get_content_type() == "text/html" and part.get_filename() is None:
                files["html"] = part.get_content().encode()
            elif part.get_filename() is not None:
                files["attachment-name"] = part.get_filename().encode()
                files["attachment"] = part.get_payload(decode=True)
        staging = tempfile.mkdtemp(dir=self.server.options.out, prefix=".")
        for name, data in files.items():
            with open(os.path.join(staging, name), "wb") as file:
                file.write(data)
        os.rename(staging, folder)


class Server(socketserver.TCPServer):
    allow_reuse_address = True


def main():
    options = parse_arguments()
    os.makedirs(options.out, exist_ok=True)
    server = Server(("127.0.0.1", 0), Session)
    server.options = options
    server.count = 0
    write_atomically(options.port_file, str(server.server_address[1]).encode())
    server.serve_forever()


if __name__ == "__main__":
    main()
