#!/usr/bin/env python3
"""An FTP relay on 127.0.0.1 that holds every chunk back for a fixed time in each direction,
so that a loopback server answers like a distant one: a round trip costs twice the delay.

    delayproxy.py --target PORT --delay-ms MS

The control connection and every passive data connection go through it: the server's 227
and 229 replies are rewritten to name a data port of the relay's own. Prints its port as its
first line on stdout once it listens."""
import argparse
import asyncio
import re

PASV = re.compile(rb"^227 .*\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)")
EPSV = re.compile(rb"^229 .*\(\|\|\|(\d+)\|\)")


async def delayed_pipe(reader, writer, delay, rewrite=None):
    """Copies reader to writer, each chunk delay seconds after it arrived, in order."""
    queue = asyncio.Queue()
    loop = asyncio.get_running_loop()

    async def read():
        while data := await reader.read(65536):
            await queue.put((loop.time() + delay, data))
        await queue.put((loop.time() + delay, None))

    async def write():
        while True:
            due, data = await queue.get()
            await asyncio.sleep(max(0.0, due - loop.time()))
            if data is None:
                break
            if rewrite:
                data = await rewrite(data)
            writer.write(data)
            await writer.drain()
        writer.close()

    try:
        await asyncio.gather(read(), write())
    except (ConnectionError, asyncio.IncompleteReadError):
        writer.close()


async def relay_to(port, delay, client_reader, client_writer, rewrite=None):
    server_reader, server_writer = await asyncio.open_connection("127.0.0.1", port)
    await asyncio.gather(delayed_pipe(client_reader, server_writer, delay),
                         delayed_pipe(server_reader, client_writer, delay, rewrite))


async def data_relay(port, delay):
    """A one-connection relay to the server's data port; its own port."""
    async def serve(reader, writer):
        server.close()
        await relay_to(port, delay, reader, writer)

    server = await asyncio.start_server(serve, "127.0.0.1", 0)
    return server.sockets[0].getsockname()[1]


def control_rewriter(delay):
    async def rewrite(data):
        lines = data.split(b"\r\n")
        for i, line in enumerate(lines):
            if m := PASV.match(line):
                port = int(m.group(5)) * 256 + int(m.group(6))
                ours = await data_relay(port, delay)
                lines[i] = b"227 Entering Passive Mode (127,0,0,1,%d,%d)." % (ours // 256, ours % 256)
            elif m := EPSV.match(line):
                ours = await data_relay(int(m.group(1)), delay)
                lines[i] = b"229 Entering Extended Passive Mode (|||%d|)." % ours
        return b"\r\n".join(lines)
    return rewrite


async def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--delay-ms", type=float, required=True)
    args = parser.parse_args()
    delay = args.delay_ms / 1000.0

    async def control(reader, writer):
        await relay_to(args.target, delay, reader, writer, control_rewriter(delay))

    server = await asyncio.start_server(control, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
