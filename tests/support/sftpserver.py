#!/usr/bin/python3
"""An SFTP server on loopback for Mossvale's tests (asyncssh), serving one folder as "/".

    sftpserver.py --root DIR --host-key FILE [--user U] [--password P] [--port N]

Logs in one user by password and offers nothing but SFTP inside DIR. The host key is read from
FILE, or made there (ed25519) when FILE does not exist yet, so a test can keep a server's key
across restarts or replace it. Prints the listening port as its first line on stdout, then
serves until killed.
"""

import argparse
import asyncio
import os
import sys
import warnings

# Debian's asyncssh imports ciphers that cryptography has deprecated; that is noise here.
warnings.simplefilter("ignore")

import asyncssh  # noqa: E402


class PasswordServer(asyncssh.SSHServer):
    def __init__(self, user, password):
        self._user = user
        self._password = password

    def begin_auth(self, username):
        return True

    def password_auth_supported(self):
        return True

    def validate_password(self, username, password):
        return username == self._user and password == self._password


def host_key(path):
    if not os.path.exists(path):
        key = asyncssh.generate_private_key("ssh-ed25519")
        key.write_private_key(path)
    return asyncssh.read_private_key(path)


async def serve(args):
    root = os.path.realpath(args.root)
    server = await asyncssh.listen(
        "127.0.0.1", args.port, server_host_keys=[host_key(args.host_key)],
        server_factory=lambda: PasswordServer(args.user, args.password),
        sftp_factory=lambda channel: asyncssh.SFTPServer(channel, chroot=root),
        allow_scp=False)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.wait_closed()


def main():
    parser = argparse.ArgumentParser(description="asyncssh SFTP test server on 127.0.0.1")
    parser.add_argument("--root", required=True)
    parser.add_argument("--host-key", required=True)
    parser.add_argument("--user", default="mossvale")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    try:
        asyncio.run(serve(args))
    except KeyboardInterrupt:
        sys.exit(0)


if __name__ == "__main__":
    main()
