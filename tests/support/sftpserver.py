#!/usr/bin/python3
"""An SFTP server on loopback for Mossvale's tests (asyncssh), serving one folder as "/".

    sftpserver.py --root DIR --host-key FILE [--user U] [--password P] [--port N]
                  [--journal FILE] [--fault NAME]...

Logs in one user by password and offers nothing but SFTP inside DIR. The host key is read from
FILE, or made there (ed25519) when FILE does not exist yet, so a test can keep a server's key
across restarts or replace it. Prints the listening port as its first line on stdout, then
serves until killed. --journal appends "PASSWORD" per password received and "LOGIN" per
accepted login, so a test can tell that a client sent none. Faults on request:

  refuse-rename-part  renames of an upload temporary (".mossvale-[<run>-]<16 hex>.part") fail, every
                      other rename works.
  refuse-rename-versions  renames to a path below "/.mossvale-versions/" fail.
  stall-write         writes past a file's first MiB are never answered; other requests are.
  cut-once=N          the first write or read that reaches a file's byte N is cut there: the
                      bytes before N are written (or read), then the connection is dropped
                      without a word. Later transfers are whole.

With --journal, a write or read at a file's byte 0 also appends "FROM-START", so a test can
tell a transfer that went on after a break from one that started again.
"""

import argparse
import asyncio
import os
import re
import sys
import warnings

# Debian's asyncssh imports ciphers that cryptography has deprecated; that is noise here.
warnings.simplefilter("ignore")

import asyncssh  # noqa: E402


class PasswordServer(asyncssh.SSHServer):
    def __init__(self, user, password, journal):
        self._user = user
        self._password = password
        self._journal = journal

    def _note(self, text):
        if self._journal:
            with open(self._journal, "a") as journal:
                journal.write(text + "\n")

    def begin_auth(self, username):
        return True

    def password_auth_supported(self):
        return True

    def validate_password(self, username, password):
        self._note("PASSWORD")
        accepted = username == self._user and password == self._password
        if accepted:
            self._note("LOGIN")
        return accepted


UPLOAD_TEMPORARY = re.compile(rb"\.mossvale-([0-9a-f]{16}-)?[0-9a-f]{16}\.part")


class FaultySFTPServer(asyncssh.SFTPServer):
    cut_done = False

    def __init__(self, channel, root, faults, journal):
        super().__init__(channel, chroot=root)
        self._faults = faults
        self._journal = journal
        self._cut_at = next((int(f.split("=", 1)[1]) for f in faults
                             if f.startswith("cut-once=")), None)

    def _cut_due(self, offset, size):
        return (self._cut_at is not None and not FaultySFTPServer.cut_done
                and offset + size >= self._cut_at)

    def _note_start(self, offset):
        if self._journal and offset == 0:
            with open(self._journal, "a") as journal:
                journal.write("FROM-START\n")

    def _drop(self):
        FaultySFTPServer.cut_done = True
        self.channel.get_extra_info("connection").abort()

    def read(self, file_obj, offset, size):
        self._note_start(offset)
        if self._cut_due(offset, size):
            self._drop()
            return asyncio.sleep(3600)
        return super().read(file_obj, offset, size)

    def _refuse_rename(self, oldpath, newpath):
        if ("refuse-rename-part" in self._faults
                and UPLOAD_TEMPORARY.fullmatch(os.path.basename(oldpath))):
            raise asyncssh.SFTPFailure("rename refused on request")
        if ("refuse-rename-versions" in self._faults
                and b"/.mossvale-versions/" in b"/" + newpath.lstrip(b"/")):
            raise asyncssh.SFTPFailure("rename into the versions refused on request")

    def rename(self, oldpath, newpath):
        self._refuse_rename(oldpath, newpath)
        return super().rename(oldpath, newpath)

    def posix_rename(self, oldpath, newpath):
        self._refuse_rename(oldpath, newpath)
        return super().posix_rename(oldpath, newpath)

    def write(self, file_obj, offset, data):
        self._note_start(offset)
        if self._cut_due(offset, len(data)):
            if offset < self._cut_at:
                super().write(file_obj, offset, data[:self._cut_at - offset])
            file_obj.flush()
            self._drop()
            return asyncio.sleep(3600)
        if "stall-write" in self._faults and offset >= 1 << 20:
            return asyncio.sleep(3600)
        return super().write(file_obj, offset, data)


def fault_argument(text):
    name, _, value = text.partition("=")
    if (name == "cut-once" and value.isdigit()) or (
            not value and name in ("refuse-rename-part", "refuse-rename-versions",
                                  "stall-write")):
        return text
    raise argparse.ArgumentTypeError("unknown fault: " + text)


def host_key(path):
    if not os.path.exists(path):
        key = asyncssh.generate_private_key("ssh-ed25519")
        key.write_private_key(path)
    return asyncssh.read_private_key(path)


async def serve(args):
    root = os.path.realpath(args.root)
    server = await asyncssh.listen(
        "127.0.0.1", args.port, server_host_keys=[host_key(args.host_key)],
        server_factory=lambda: PasswordServer(args.user, args.password, args.journal),
        sftp_factory=lambda channel: FaultySFTPServer(channel, root, args.fault, args.journal),
        allow_scp=False,
        # A restart on the same port must not wait for the old connections to die out.
        reuse_address=True)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.wait_closed()


def main():
    parser = argparse.ArgumentParser(description="asyncssh SFTP test server on 127.0.0.1")
    parser.add_argument("--root", required=True)
    parser.add_argument("--host-key", required=True)
    parser.add_argument("--user", default="mossvale")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--journal")
    parser.add_argument("--fault", action="append", default=[], type=fault_argument)
    args = parser.parse_args()
    try:
        asyncio.run(serve(args))
    except KeyboardInterrupt:
        sys.exit(0)


if __name__ == "__main__":
    main()
