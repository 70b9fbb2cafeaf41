#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that writes every byte it passes, both ways, to a file: what
someone on the network between client and server would see. Or an FTP relay that cuts a
transfer half-way, as a network failure would, in front of a server that cannot do that itself.

    tcprelay.py --target PORT --capture FILE
    tcprelay.py --target PORT --cut-data-at N

With --cut-data-at, the server's 227 and 229 replies are rewritten to name a data port of the
relay's own, and the first data connection that carries N bytes is cut there: its first N bytes
are passed on, then the server's side is reset, and the client's too where it sends (where it
receives, it reads the N bytes, then the end). Each data connection prints "DATA n" (the bytes
it passed) when it ends.

Prints its own port as its first line on stdout once it listens."""
import argparse
import asyncio
import re
import socket
import struct

PASV = re.compile(rb"^227 .*\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)")
EPSV = re.compile(rb"^229 .*\(\|\|\|(\d+)\|\)")


async def pipe(reader, writer, capture):
    try:
        while data := await reader.read(65536):
            capture.write(data)
            capture.flush()
            writer.write(data)
            await writer.drain()
    except ConnectionError:
        pass
    finally:
        writer.close()


def reset(writer):
    """Closes with a reset, not a goodbye: the other side reads an error, never an end."""
    sock = writer.get_extra_info("socket")
    if sock is not None:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    writer.transport.abort()


class CuttingRelay:
    def __init__(self, target, cut_at):
        self.target = target
        self.cut_at = cut_at
        self.cut_done = False

    async def data_relay(self, port):
        """A one-connection relay to the server's data port; its own port."""
        async def serve(client_reader, client_writer):
            server.close()
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", port)
            moved = 0

            async def copy(reader, writer):
                nonlocal moved
                try:
                    while data := await reader.read(65536):
                        room = self.cut_at - moved
                        if not self.cut_done and len(data) >= room:
                            self.cut_done = True
                            writer.write(data[:room])
                            await writer.drain()
                            moved += room
                            reset(server_writer)
                            if writer is client_writer:
                                writer.close()  # what it got arrives, then the end
                            else:
                                reset(client_writer)
                            return
                        moved += len(data)
                        writer.write(data)
                        await writer.drain()
                except ConnectionError:
                    pass
                finally:
                    writer.close()

            await asyncio.gather(copy(client_reader, server_writer),
                                 copy(server_reader, client_writer))
            print("DATA %d" % moved, flush=True)

        server = await asyncio.start_server(serve, "127.0.0.1", 0)
        return server.sockets[0].getsockname()[1]

    async def rewrite_replies(self, reader, writer):
        try:
            while line := await reader.readline():
                if match := PASV.match(line):
                    port = await self.data_relay(int(match[5]) * 256 + int(match[6]))
                    line = b"227 Entering Passive Mode (127,0,0,1,%d,%d).\r\n" % (
                        port // 256, port % 256)
                elif match := EPSV.match(line):
                    port = await self.data_relay(int(match[1]))
                    line = b"229 Entering Extended Passive Mode (|||%d|)\r\n" % port
                writer.write(line)
                await writer.drain()
        except ConnectionError:
            pass
        finally:
            writer.close()

    async def control(self, client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", self.target)
        await asyncio.gather(pipe(client_reader, server_writer, Discard()),
                             self.rewrite_replies(server_reader, client_writer))


class Discard:
    def write(self, data):
        pass

    def flush(self):
        pass


async def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--capture")
    parser.add_argument("--cut-data-at", type=int)
    args = parser.parse_args()

    if args.cut_data_at is not None:
        handler = CuttingRelay(args.target, args.cut_data_at).control
    else:
        capture = open(args.capture, "ab")

        async def handler(client_reader, client_writer):
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", args.target)
            await asyncio.gather(pipe(client_reader, server_writer, capture),
                                 pipe(server_reader, client_writer, capture))

    server = await asyncio.start_server(handler, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
