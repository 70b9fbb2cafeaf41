#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that writes every byte it passes, both ways, to a file: what
someone on the network between client and server would see.

    tcprelay.py --target PORT --capture FILE

Prints its own port as its first line on stdout once it listens."""
import argparse
import asyncio


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


async def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--capture", required=True)
    args = parser.parse_args()
    capture = open(args.capture, "ab")

    async def relay(client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", args.target)
        await asyncio.gather(pipe(client_reader, server_writer, capture),
                             pipe(server_reader, client_writer, capture))

    server = await asyncio.start_server(relay, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
