#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that delays every byte by a fixed time in each direction, standing in
for a distant mirror: delay_relay.py LISTEN_PORT TARGET_PORT DELAY_MS. Runs until killed."""
import asyncio
import sys


async def pipe(reader, writer, delay):
    # Each piece leaves `delay` seconds after it arrived, in order, whatever the pace of arrival.
    queue = asyncio.Queue()

    async def receive():
        loop = asyncio.get_running_loop()
        while True:
            data = await reader.read(65536)
            await queue.put((loop.time() + delay, data))
            if not data:
                return

    async def send():
        loop = asyncio.get_running_loop()
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                writer.close()
                return
            writer.write(data)
            await writer.drain()

    try:
        await asyncio.gather(receive(), send())
    except (ConnectionError, asyncio.CancelledError):
        writer.close()


async def main(listen_port, target_port, delay):
    async def handle(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(pipe(client_reader, server_writer, delay), pipe(server_reader, client_writer, delay))

    server = await asyncio.start_server(handle, "127.0.0.1", listen_port)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main(int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]) / 1000.0))
