#!/usr/bin/env python3
"""A mail server on the loopback address for the mail tests.

Each mail it accepts is written to FOLDER as NNNN.eml, headed by the envelope's sender and
recipients. It asks for a user name and password when --user is given (a wrong one gets 535),
offers STARTTLS or speaks TLS from the start with a certificate the test made, and with
--hold-data N keeps the client waiting N seconds after a mail's data before accepting it (a
kill in that time leaves the mail delivered but unconfirmed). Prints "READY" once it listens.
"""
import argparse
import asyncio
import os
import ssl
import sys
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Keeper:
    def __init__(self, folder, hold):
        self.folder = folder
        self.hold = hold

    async def handle_DATA(self, server, session, envelope):
        count = len([n for n in os.listdir(self.folder) if n.endswith(".eml")])
        head = "X-Envelope-From: %s\r\nX-Envelope-To: %s\r\n" % (
            envelope.mail_from, ", ".join(envelope.rcpt_tos))
        path = os.path.join(self.folder, "%04d.eml" % count)
        with open(path + ".part", "wb") as f:
            f.write(head.encode() + envelope.original_content)
        os.rename(path + ".part", path)
        if self.hold:
            await asyncio.sleep(self.hold)
        return "250 Message accepted for delivery"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--starttls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--hold-data", type=float, default=0)
    args = parser.parse_args()

    def authenticate(server, session, envelope, mechanism, data):
        ok = (isinstance(data, LoginPassword) and data.login.decode() == args.user
              and data.password.decode() == args.password)
        return AuthResult(success=ok, handled=False)

    options = {}
    if args.user:
        options.update(authenticator=authenticate, auth_required=True,
                       auth_require_tls=bool(args.starttls or args.tls))
    if args.starttls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*args.starttls)
        options.update(tls_context=context, require_starttls=True)
    controller_options = {}
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*args.tls)
        controller_options["ssl_context"] = context
    os.makedirs(args.folder, exist_ok=True)
    controller = Controller(Keeper(args.folder, args.hold_data), hostname="127.0.0.1",
                            port=args.port, ready_timeout=10, **controller_options, **options)
    controller.start()
    print("READY", flush=True)
    try:
        while sys.stdin.read(1):
            pass
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
