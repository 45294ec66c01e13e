#!/usr/bin/env python3
"""A SIP registrar over TLS on the loopback address, for the tests: it accepts every REGISTER
(200 OK, the contact kept for the asked time), prints each request line it gets, and says READY
once it listens. It stops when its standard input closes."""

import argparse
import asyncio
import ssl
import sys


def answer(head: str) -> bytes:
    lines = head.split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers.setdefault(name.strip().lower(), []).append(value.strip())
    keep = []
    for name in ("via", "from", "to", "call-id", "cseq"):
        for value in headers.get(name, []):
            if name == "to" and ";tag=" not in value:
                value += ";tag=registrar"
            keep.append(f"{name.title()}: {value}")
    for contact in headers.get("contact", []) + headers.get("m", []):
        keep.append(f"Contact: {contact};expires={headers.get('expires', ['3600'])[0]}")
    return ("SIP/2.0 200 OK\r\n" + "\r\n".join(keep) + "\r\nContent-Length: 0\r\n\r\n").encode()


async def serve(reader: asyncio.StreamReader, writer: asyncio.StreamWriter) -> None:
    try:
        while True:
            head = (await reader.readuntil(b"\r\n\r\n")).decode("utf-8", "replace")
            head = head.lstrip("\r\n")  # keep-alive line breaks between messages
            length = 0
            for line in head.split("\r\n"):
                name, _, value = line.partition(":")
                if name.strip().lower() in ("content-length", "l"):
                    length = int(value.strip() or 0)
            if length:
                await reader.readexactly(length)
            request = head.split("\r\n", 1)[0]
            print(request, flush=True)
            if request.startswith("REGISTER "):
                writer.write(answer(head.rstrip("\r\n")))
                await writer.drain()
    except (asyncio.IncompleteReadError, ConnectionError, ssl.SSLError):
        pass
    finally:
        writer.close()


async def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    options = parser.parse_args()
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(options.cert, options.key)
    server = await asyncio.start_server(serve, "127.0.0.1", options.port, ssl=context)
    print("READY", flush=True)
    loop = asyncio.get_running_loop()
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


asyncio.run(main())
