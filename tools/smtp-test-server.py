#!/usr/bin/env python3
"""A local SMTP server (aiosmtpd) for the mail tests and the benchmark.

Listens on 127.0.0.1 on a free port, which it writes to --port-file once it
listens. Every message it accepts is written to --dir as N.eml (as received)
with N.envelope (MAIL FROM, then one RCPT TO per line), N.headers (the header
block), N.subject and N.from (decoded), N.body (the text part, decoded) and
N.att.K (the K-th attachment, decoded, K from 1) with N.att.K.name.

Options:
  --tls CERT KEY       offer STARTTLS with that certificate
  --login USER PASS    accept AUTH with these credentials only (over TLS or not)
  --refuse ADDRESS     refuse that recipient (550), may be repeated
  --stop-after N       stop listening after accepting N messages (the server goes away)
  --close-after-ehlo   a bare server that answers EHLO and closes the
                       connection at the next command
  --no-files           count messages but write nothing (benchmark)
  --nntp               an NNTP server instead: POST answered by 340, the
                       article (as sent, dot-stuffed) written to N.article,
                       240 after the final "."; with --refuse-posting the
                       greeting is 201 (no posting)
"""
import argparse
import asyncio
import email
import email.policy
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def parse():
    p = argparse.ArgumentParser()
    p.add_argument("--dir", required=True)
    p.add_argument("--port-file", required=True)
    p.add_argument("--tls", nargs=2)
    p.add_argument("--login", nargs=2)
    p.add_argument("--refuse", action="append", default=[])
    p.add_argument("--stop-after", type=int, default=0)
    p.add_argument("--close-after-ehlo", action="store_true")
    p.add_argument("--no-files", action="store_true")
    p.add_argument("--nntp", action="store_true")
    p.add_argument("--refuse-posting", action="store_true")
    return p.parse_args()


class Handler:
    def __init__(self, args):
        self.args = args
        self.count = 0
        self.listener = None

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in (a.lower() for a in self.args.refuse):
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        n = self.count
        if not self.args.no_files:
            self.write(n, envelope)
        if self.args.stop_after and n >= self.args.stop_after and self.listener:
            self.listener.close()  # this message completes; later connections are refused
        return "250 Message accepted for delivery"

    def write(self, n, envelope):
        base = os.path.join(self.args.dir, str(n))
        raw = envelope.original_content
        with open(base + ".eml", "wb") as f:
            f.write(raw)
        with open(base + ".envelope", "w") as f:
            f.write(envelope.mail_from + "\n")
            for r in envelope.rcpt_tos:
                f.write(r + "\n")
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        head = raw.split(b"\r\n\r\n", 1)[0]
        with open(base + ".headers", "wb") as f:
            f.write(head)
        with open(base + ".subject", "w", encoding="utf-8") as f:
            f.write(str(msg.get("Subject", "")))
        with open(base + ".from", "w", encoding="utf-8") as f:
            f.write(str(msg.get("From", "")))
        with open(base + ".to", "w", encoding="utf-8") as f:
            f.write(str(msg.get("To", "")))
        k = 0
        body = ""
        for part in msg.walk():
            if part.is_multipart():
                continue
            if part.get_filename():
                k += 1
                with open("%s.att.%d" % (base, k), "wb") as f:
                    f.write(part.get_payload(decode=True))
                with open("%s.att.%d.name" % (base, k), "w", encoding="utf-8") as f:
                    f.write(part.get_filename())
            elif not body:
                body = part.get_content()
        with open(base + ".body", "w", encoding="utf-8", newline="") as f:
            f.write(body)


class CloseAfterEhlo(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport
        self.seen = 0
        transport.write(b"220 test server ready\r\n")

    def data_received(self, data):
        self.seen += 1
        if self.seen == 1:
            self.transport.write(b"250 test server\r\n")
        else:
            self.transport.close()


class Nntp(asyncio.Protocol):
    count = 0

    def __init__(self, args):
        self.args = args
        self.buffer = b""
        self.article = None

    def connection_made(self, transport):
        self.transport = transport
        transport.write(b"201 no posting\r\n" if self.args.refuse_posting else b"200 test news server\r\n")

    def data_received(self, data):
        self.buffer += data
        while b"\r\n" in self.buffer:
            line, self.buffer = self.buffer.split(b"\r\n", 1)
            self.line(line)

    def line(self, line):
        if self.article is not None:
            if line == b".":
                Nntp.count += 1
                path = os.path.join(self.args.dir, "%d.article" % Nntp.count)
                with open(path, "wb") as f:
                    f.write(b"".join(l + b"\r\n" for l in self.article))
                self.article = None
                self.transport.write(b"240 article received\r\n")
            else:
                self.article.append(line)
            return
        word = line.split(b" ", 1)[0].upper()
        if word == b"POST":
            self.article = []
            self.transport.write(b"340 send article\r\n")
        elif word == b"QUIT":
            self.transport.write(b"205 bye\r\n")
            self.transport.close()
        else:
            self.transport.write(b"500 unknown command\r\n")


async def main():
    args = parse()
    loop = asyncio.get_running_loop()
    if args.nntp:
        def factory():
            return Nntp(args)
    elif args.close_after_ehlo:
        factory = CloseAfterEhlo
    else:
        handler = Handler(args)
        kwargs = {"hostname": "test.invalid", "auth_require_tls": False}
        if args.tls:
            ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
            ctx.load_cert_chain(args.tls[0], args.tls[1])
            kwargs["tls_context"] = ctx
        if args.login:
            user, password = args.login[0].encode(), args.login[1].encode()

            def authenticator(server, session, envelope, mechanism, data):
                ok = data.login == user and data.password == password
                # handled=False: the server itself answers 535 on a refusal.
                return AuthResult(success=ok, handled=False)

            kwargs["authenticator"] = authenticator
            kwargs["auth_required"] = True

        def factory():
            return SMTP(handler, **kwargs)

    server = await loop.create_server(factory, "127.0.0.1", 0)
    if not args.nntp and not args.close_after_ehlo:
        handler.listener = server
    port = server.sockets[0].getsockname()[1]
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.rename(tmp, args.port_file)
    await asyncio.Event().wait()  # until stopped; the listener may close before


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
