#!/usr/bin/python3
"""A pyftpdlib server on loopback for Mossvale's tests, with misbehaviours to order.

    ftpserver.py --root DIR [--user U] [--password P] [--port N] [--fault NAME]...
                 [--journal FILE] [--tls PEM [--tls-required]]

Prints the listening port as its first line on stdout, then serves until killed.
--journal appends one line per command received (its verb) and "LOGIN" per accepted login,
so a test can count what a client sent.
Both MLSD and LIST are served; passive data connections stay on 127.0.0.1.
--tls offers explicit TLS (AUTH TLS, PROT P) with the certificate and key in PEM; with
--tls-required the server refuses a login and data transfers that are not protected.

Faults (repeatable, combinable):
  drop-retr      a download sends half the file (rounded down), then the server closes the data
                 connection and answers 426. An empty file is sent whole.
  stall-retr     a download sends min(half the file, 16 KiB), then sends nothing more while
                 keeping the data connection open.
  drop-stor      an upload is read up to 64 KiB or to its end, whichever comes first; the first
                 half of what arrived is written to the file, then the server closes the data
                 connection and answers 426. The partial file is left in place.
  stall-stor     an upload's first chunk is read and written, then the server stops reading and
                 never answers, so the client stalls (while sending, or waiting for the reply).
  short-stor     an upload is answered 226, but the server keeps only the first half of it
                 (rounded down); SIZE then tells the truth about what was kept.
  stall-list     a listing (LIST or MLSD) sends its first 4 KiB, then sends nothing more while
                 keeping the data connection open.
  list-option-as-name  LIST with an option ("LIST -a") answers 550, as servers do that take
                 the option for a name.
  refuse-rename  RNFR and RNTO answer 550.
  drop-rnto      RNTO closes the control connection without an answer.
  refuse-size    SIZE answers 550.
  no-mlsd        MLSD and MLST answer 500 and FEAT does not offer MLST.
  crafted-list   LIST and MLSD of "/" send the fixed listing below instead of the folder's.
  slow-login     connections are accepted but the 220 greeting never comes.
  cut-list       a listing (LIST or MLSD) sends its first 4 KiB, then the server closes the data
                 connection and answers 426.
  refuse-list    LIST and MLSD answer 451.
  odd-size-list  LIST and MLSD of "/" list four files: "good.txt" of 10 bytes, and "minus.txt",
                 "letters.txt", "huge.txt" whose sizes read -5, 12abc and 2^64.
  stor-quota     as drop-stor, but the server answers 452 (no room left), as a server whose disk
                 fills up during the upload does.
  rnfr-busy=N    the first N RNFRs answer 550 (a file in use, as a server with a virus scanner does).
  slow-rnto      RNTO renames at once but answers only 3 seconds later.
  mlsd-offset=SEC  MLSD and MLST times read SEC seconds later than the file's (a server clock
                 that is off); LIST and MDTM are left alone.
  size-502       SIZE answers 502 (not implemented); FEAT still names it.
  size-550-once  the first SIZE answers 550; later ones tell the truth.
  size-garbage   SIZE answers "213 abc".
  stor-grow      an upload is answered 226, and the server keeps 7 bytes more than it received.
  stor-notrunc   STOR over an existing file overwrites its start and keeps its tail.
  retr-short-226 a download sends half the file (rounded down) and then answers 226.
  retr-nosize150 SIZE answers 502 and the 150 reply names no size (pyftpdlib's never does), so
                 a client learns a download's size only from a listing.
  cut-once=N     the first file transfer (either way) that reaches N bytes is cut there: its first
                 N bytes are sent or kept, then the server closes the data connection and answers
                 426. Every later transfer is whole. With --journal, every file transfer's bytes
                 are noted ("RECEIVED n", "SENT n").
  refuse-resume  REST and APPE answer 502, so a transfer can only start from the beginning.
  slow           file transfers, both ways, move at about 160 KiB a second, with small socket
                 buffers so an upload cannot vanish into the kernel at once (other clients
                 are served meanwhile).

Faults of the connection and its encryption:
  greeting-flood the greeting is an endless stream of "220-" lines that never ends.
  auth-garbage   (with --tls) AUTH TLS is answered 234, then bytes that are no TLS handshake
                 follow and the connection closes.
  tls-optional   (with --tls) TLS is offered but not required: a client may log in in clear.
  tls13-only     (with --tls) TLS 1.2 and older are refused with a protocol-version alert.

The crafted listing (name bytes, size, folder), each dated 2021-03-05 00:00:00 UTC
(MLSD modify=20210305000000, LIST "Mar 05  2021"):
  "zero.bin"                      0  file
  "one-kib.bin"                1024  file
  "one-kib-plus-one.bin"       1025  file
  "two-kib-minus-one.bin"      2047  file
  "four-gib-plus-2048.bin"  4294969344  file
  "folder"                        0  folder
  "."                             0  folder   (sent as type=dir, not cdir)
  ".."                            0  folder   (sent as type=dir, not pdir)
  "a/b.txt"                    1024  file
  "../escape.txt"              1024  file
  "cr\\rinside.txt"             1024  file     (a bare CR inside the name)
  "lf\\nDELE zero.bin"          1024  file     (an LF inside the name: a line-based client sees
                                               an entry "lf" followed by the non-entry line
                                               "DELE zero.bin")
  "x" * 251 + ".txt"           1024  file     (255 bytes, the longest usual name)
  "y" * 252 + ".txt"           1024  file     (256 bytes, one too many)
CFtpTestServer::CraftedEntries() returns the same list as a correct parser reads it.
"""

import argparse
import calendar
import logging
import os
import re
import time
import socket
import sys
import warnings

# pyftpdlib 1.5 still uses asyncore/asynchat; their deprecation notices are noise here.
warnings.simplefilter("ignore", DeprecationWarning)

from pyftpdlib.authorizers import DummyAuthorizer  # noqa: E402
from pyftpdlib.filesystems import AbstractedFS  # noqa: E402
from pyftpdlib.handlers import (DTPHandler, FTPHandler, ThrottledDTPHandler, TLS_DTPHandler,  # noqa: E402
                                TLS_FTPHandler)
from pyftpdlib.ioloop import RetryError  # noqa: E402
from pyftpdlib.servers import FTPServer  # noqa: E402

FAULTS = (
    "drop-retr", "stall-retr", "drop-stor", "stall-stor", "refuse-rename",
    "refuse-size", "no-mlsd", "crafted-list", "slow-login", "short-stor", "drop-rnto",
    "stall-list", "list-option-as-name", "cut-list", "refuse-list", "odd-size-list", "stor-quota",
    "slow", "slow-rnto", "size-502", "size-550-once", "size-garbage", "stor-grow", "stor-notrunc",
    "retr-short-226", "retr-nosize150", "refuse-resume",
)
FAULTS += ("greeting-flood", "auth-garbage", "tls-optional", "tls13-only")
# Faults that take a number: "name=N".
VALUED_FAULTS = ("rnfr-busy", "mlsd-offset", "cut-once", "max-cons")

STALL_RETR_BYTES = 16 * 1024
SLOW_BYTES_PER_SECOND = 160 * 1024
DROP_STOR_BYTES = 64 * 1024
STALL_LIST_BYTES = 4 * 1024

CRAFTED = [
    (b"zero.bin", 0, False),
    (b"one-kib.bin", 1024, False),
    (b"one-kib-plus-one.bin", 1025, False),
    (b"two-kib-minus-one.bin", 2047, False),
    (b"four-gib-plus-2048.bin", 4 * 1024 ** 3 + 2048, False),
    (b"folder", 0, True),
    (b".", 0, True),
    (b"..", 0, True),
    (b"a/b.txt", 1024, False),
    (b"../escape.txt", 1024, False),
    (b"cr\rinside.txt", 1024, False),
    (b"lf\nDELE zero.bin", 1024, False),
    (b"x" * 251 + b".txt", 1024, False),
    (b"y" * 252 + b".txt", 1024, False),
]


def crafted_mlsd():
    lines = []
    for name, size, folder in CRAFTED:
        kind = b"dir" if folder else b"file"
        lines.append(b"type=%s;size=%d;modify=20210305000000; %s\r\n" % (kind, size, name))
    return b"".join(lines)


def crafted_list():
    lines = []
    for name, size, folder in CRAFTED:
        mode = b"drwxr-xr-x" if folder else b"-rw-r--r--"
        lines.append(b"%s   1 owner    group    %12d Mar 05  2021 %s\r\n" % (mode, size, name))
    return b"".join(lines)


ODD_SIZES = [(b"good.txt", "10"), (b"minus.txt", "-5"), (b"letters.txt", "12abc"),
             (b"huge.txt", str(2 ** 64))]


def odd_size_mlsd():
    return b"".join(b"type=file;size=%s;modify=20210305000000; %s\r\n" % (size.encode(), name)
                    for name, size in ODD_SIZES)


def odd_size_list():
    return b"".join(b"-rw-r--r--    1 ftp      ftp      %s Mar 05  2021 %s\r\n"
                    % (size.encode().rjust(8), name) for name, size in ODD_SIZES)


class FaultyDTPHandler(DTPHandler):
    """Data channel that can cut or stall transfers."""

    def __init__(self, sock, cmd_channel):
        self._retr_limit = None
        self._held = bytearray()
        super().__init__(sock, cmd_channel)

    def _faults(self):
        return self.cmd_channel.faults

    def _sending_file(self):
        return not self.receive and self.file_obj is not None

    def use_sendfile(self):
        # sendfile would push the whole file past our send() below.
        if self._faults() & {"drop-retr", "stall-retr", "retr-short-226"} or self._cut_pending():
            return False
        return super().use_sendfile()

    def _cut_pending(self):
        return "cut-once" in self.cmd_channel.fault_values and not FaultyHandler.cut_done

    def _cut(self):
        FaultyHandler.cut_done = True
        self.transfer_finished = False
        self._resp = ("426 Connection closed; transfer aborted.", logging.info)
        self.close()

    def close(self):
        if self.file_obj is not None and not self._closed:
            if self.receive:
                self.cmd_channel._note("RECEIVED %d" % self.tot_bytes_received)
            else:
                self.cmd_channel._note("SENT %d" % self.tot_bytes_sent)
        super().close()

    def send(self, data):
        faults = self._faults()
        if self._sending_file() and self._cut_pending():
            room = self.cmd_channel.fault_values["cut-once"] - self.tot_bytes_sent
            if room <= 0:
                self._cut()
                return 0
            data = data[:room]
        if not self.receive and not self._sending_file() and "cut-list" in faults:
            room = STALL_LIST_BYTES - self.tot_bytes_sent
            if room <= 0:
                self._resp = ("426 Connection closed; transfer aborted.", logging.info)
                self.close()
                return 0
            data = data[:room]
        if not self.receive and not self._sending_file() and "stall-list" in faults:
            room = STALL_LIST_BYTES - self.tot_bytes_sent
            if room <= 0:
                self.del_channel()  # never written to again; the socket stays open
                return 0
            data = data[:room]
        if self._sending_file() and "retr-short-226" in faults:
            if self._retr_limit is None:
                self._retr_limit = os.fstat(self.file_obj.fileno()).st_size // 2
            room = self._retr_limit - self.tot_bytes_sent
            if room <= 0:
                self._resp = ("226 Transfer complete.", logging.info)
                self.transfer_finished = True
                self.close()
                return 0
            data = data[:room]
        if self._sending_file() and faults & {"drop-retr", "stall-retr"}:
            if self._retr_limit is None:
                half = os.fstat(self.file_obj.fileno()).st_size // 2
                self._retr_limit = half if "drop-retr" in faults else min(half, STALL_RETR_BYTES)
            room = self._retr_limit - self.tot_bytes_sent
            if room <= 0:
                if "drop-retr" in faults:
                    self._resp = ("426 Connection closed; transfer aborted.", logging.info)
                    self.close()
                else:
                    self.del_channel()  # never written to again; the socket stays open
                return 0
            data = data[:room]
        return super().send(data)

    def _drop_upload(self):
        self.file_obj.write(bytes(self._held[: len(self._held) // 2]))
        self.transfer_finished = False
        if "stor-quota" in self._faults():
            self._resp = ("452 Insufficient storage space.", logging.info)
        else:
            self._resp = ("426 Connection closed; transfer aborted.", logging.info)
        self.close()

    def handle_read(self):
        faults = self._faults()
        if self.receive and self.file_obj is not None and self._cut_pending():
            try:
                chunk = self.recv(self.ac_in_buffer_size)
            except RetryError:
                return
            except socket.error:
                self.handle_error()
                return
            room = self.cmd_channel.fault_values["cut-once"] - self.tot_bytes_received
            self.tot_bytes_received += min(len(chunk), room)
            self.file_obj.write(chunk[:room])
            if len(chunk) >= room:
                self.file_obj.flush()
                self._cut()
            return
        if self.receive and faults & {"drop-stor", "stor-quota"}:
            try:
                chunk = self.recv(self.ac_in_buffer_size)
            except RetryError:
                return
            except socket.error:
                self.handle_error()
                return
            if self._closed:
                return  # the end of the upload arrived and handle_close() dropped it
            self.tot_bytes_received += len(chunk)
            self._held += chunk
            if len(self._held) >= DROP_STOR_BYTES:
                self._drop_upload()
            return
        super().handle_read()
        if self.receive and "stall-stor" in faults and not self._closed:
            self.del_channel()

    # The base class binds handle_read_event to its own handle_read; the event loop calls that.
    handle_read_event = handle_read

    def handle_close(self):
        faults = self._faults()
        if self.receive and not self._closed:
            if faults & {"drop-stor", "stor-quota"}:
                self._drop_upload()
                return
            if "stall-stor" in faults:
                self.del_channel()  # the client finished sending; it will wait for a reply
                return
        super().handle_close()


class SlowDTPHandler(FaultyDTPHandler, ThrottledDTPHandler):
    """Data channel of the "slow" fault."""

    read_limit = SLOW_BYTES_PER_SECOND // 2
    write_limit = SLOW_BYTES_PER_SECOND // 2

    def __init__(self, sock, cmd_channel):
        # Small buffers both ways, so the kernel cannot take a whole upload at once and the
        # sender sees the server's pace. pyftpdlib's throttle moves twice its limit a second.
        for option in (socket.SO_RCVBUF, socket.SO_SNDBUF):
            sock.setsockopt(socket.SOL_SOCKET, option, 16 * 1024)
        super().__init__(sock, cmd_channel)


class FaultyFS(AbstractedFS):
    """The file system as the faults see it: MLSx times off, STOR that does not truncate."""

    def format_mlsx(self, basedir, listing, perms, facts, ignore_err=True):
        lines = super().format_mlsx(basedir, listing, perms, facts, ignore_err)
        offset = self.cmd_channel.fault_values.get("mlsd-offset")
        if not offset:
            return lines
        return (self._shifted(line, offset) for line in lines)

    @staticmethod
    def _shifted(line, offset):
        def shift(match):
            when = calendar.timegm(time.strptime(match.group(1).decode(), "%Y%m%d%H%M%S"))
            return b"modify=" + time.strftime("%Y%m%d%H%M%S", time.gmtime(when + offset)).encode()
        return re.sub(rb"modify=(\d{14})", shift, line)

    def open(self, filename, mode):
        if (mode == "wb" and "stor-notrunc" in self.cmd_channel.faults
                and os.path.isfile(filename)):
            return open(filename, "r+b")
        return super().open(filename, mode)


class FaultyHandler(FTPHandler):
    dtp_handler = FaultyDTPHandler
    abstracted_fs = FaultyFS
    faults = frozenset()
    fault_values = {}
    size_550_given = False
    cut_done = False
    journal = None
    # Names are bytes on the disk, as on vsftpd: a name that is not UTF-8 (GBK, Latin-1) is
    # stored, listed and quoted as it came, not with U+FFFD in place of its bytes.
    unicode_errors = "surrogateescape"

    def push(self, s):
        super(FTPHandler, self).push(s.encode("utf8", self.unicode_errors))

    def _note(self, text):
        if self.journal:
            with open(self.journal, "a") as journal:
                journal.write(text + "\n")

    def pre_process_command(self, line, cmd, arg):
        self._note(cmd)
        if cmd == "LIST" and arg.startswith("-") and "list-option-as-name" in self.faults:
            self.respond("550 No such file or directory.")
            return None
        return super().pre_process_command(line, cmd, arg)

    def on_login(self, username):
        self._note("LOGIN")

    def on_file_received(self, file):
        # The 226 is already on its way; the SIZE that follows sees what was kept.
        if "short-stor" in self.faults:
            os.truncate(file, os.path.getsize(file) // 2)
        if "stor-grow" in self.faults:
            with open(file, "ab") as grown:
                grown.write(b"X" * 7)

    def handle(self):
        if "slow-login" in self.faults:
            return
        super().handle()

    def _is_root(self, path):
        return os.path.realpath(path) == os.path.realpath(self.fs.root)

    def _listing(self, path, cmd, crafted, odd):
        """Answers a listing that a fault replaces; False when none does."""
        if "refuse-list" in self.faults:
            self.respond("451 Listing refused.")
        elif "crafted-list" in self.faults and self._is_root(path):
            self.push_dtp_data(crafted, cmd=cmd)
        elif "odd-size-list" in self.faults and self._is_root(path):
            self.push_dtp_data(odd, cmd=cmd)
        else:
            return False
        return True

    def ftp_LIST(self, path):
        if self._listing(path, "LIST", crafted_list(), odd_size_list()):
            return path
        return super().ftp_LIST(path)

    def ftp_MLSD(self, path):
        if self._listing(path, "MLSD", crafted_mlsd(), odd_size_mlsd()):
            return path
        return super().ftp_MLSD(path)

    def ftp_REST(self, line):
        if "refuse-resume" in self.faults:
            self.respond("502 REST not implemented.")
            return None
        return super().ftp_REST(line)

    def ftp_APPE(self, file):
        if "refuse-resume" in self.faults:
            self.respond("502 APPE not implemented.")
            return None
        return super().ftp_APPE(file)

    def ftp_RNFR(self, path):
        if "refuse-rename" in self.faults:
            self.respond("550 Rename refused.")
            return None
        if self.fault_values.get("rnfr-busy", 0) > 0:
            self.fault_values["rnfr-busy"] -= 1
            self.respond("550 The process cannot access the file because it is being used by "
                         "another process.")
            return None
        return super().ftp_RNFR(path)

    def ftp_RNTO(self, path):
        if "drop-rnto" in self.faults:
            self.close()
            return None
        if "refuse-rename" in self.faults:
            self.respond("550 Rename refused.")
            return None
        if "slow-rnto" in self.faults:
            return self._slow_rnto(path)
        return super().ftp_RNTO(path)

    def _slow_rnto(self, path):
        # Renamed now, said later: a client that gives up meanwhile cannot know from the reply.
        held = []
        respond = self.respond
        self.respond = lambda text, logfun=logging.debug: held.append((text, logfun))
        try:
            result = super().ftp_RNTO(path)
        finally:
            del self.respond
        def answer():
            if not self._closed:
                for text, logfun in held:
                    respond(text, logfun)
        self.ioloop.call_later(3, answer, _errback=self.handle_error)
        return result

    def ftp_SIZE(self, path):
        if "refuse-size" in self.faults:
            self.respond("550 SIZE refused.")
            return None
        if "size-502" in self.faults or "retr-nosize150" in self.faults:
            self.respond("502 Command not implemented.")
            return None
        if "size-550-once" in self.faults and not FaultyHandler.size_550_given:
            FaultyHandler.size_550_given = True
            self.respond("550 Could not get file size.")
            return None
        if "size-garbage" in self.faults:
            self.respond("213 abc")
            return None
        return super().ftp_SIZE(path)


class TlsDTPHandler(FaultyDTPHandler, TLS_DTPHandler):
    """Protected data channel. pyftpdlib 1.5.7 stops reading a data connection whose TLS
    handshake is not finished yet when nothing is queued to send, and resets it; staying readable
    while the handshake runs lets libcurl's handshake complete."""

    def readable(self):
        return self._ssl_accepting or super().readable()


class FloodProducer:
    """An endless multi-line greeting: more() never runs dry."""

    def __init__(self):
        self.count = 0

    def more(self):
        self.count += 1
        return b"220-%d Welcome. This greeting goes on for ever.\r\n" % self.count


class ConnectionFaultsHandler:
    """The connection and encryption faults, in front of FaultyHandler."""

    def handle(self):
        if "greeting-flood" in self.faults:
            self.push_with_producer(FloodProducer())
            return
        super().handle()

    def ftp_AUTH(self, line):
        if "auth-garbage" in self.faults:
            self.respond("234 AUTH TLS successful.")
            self.push("This is no TLS handshake.\r\n" * 8)
            self.close_when_done()
            return
        super().ftp_AUTH(line)


def tls_attributes(faults, attributes):
    if "tls13-only" in faults:
        from OpenSSL import SSL
        attributes = dict(attributes, ssl_options=TLS_FTPHandler.ssl_options | SSL.OP_NO_TLSv1
                          | SSL.OP_NO_TLSv1_1 | SSL.OP_NO_TLSv1_2)
    return attributes


def handler_class(faults, attributes, tls_pem, tls_required):
    if tls_pem:
        tls_required = tls_required and "tls-optional" not in faults
        attributes = dict(tls_attributes(faults, attributes), certfile=tls_pem,
                          dtp_handler=TlsDTPHandler, tls_control_required=tls_required,
                          tls_data_required=tls_required)
        return type("TestTlsHandler", (ConnectionFaultsHandler, FaultyHandler, TLS_FTPHandler),
                    attributes)
    return type("TestHandler", (ConnectionFaultsHandler, FaultyHandler), attributes)


def fault_argument(text):
    name, _, value = text.partition("=")
    if name in VALUED_FAULTS and value.lstrip("-").isdigit():
        return name, int(value)
    if name in FAULTS and not value:
        return name, None
    raise argparse.ArgumentTypeError("unknown fault: " + text)


def main():
    parser = argparse.ArgumentParser(description="pyftpdlib test server on 127.0.0.1")
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="mossvale")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--fault", action="append", default=[], type=fault_argument)
    parser.add_argument("--journal")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--tls", metavar="PEM")
    parser.add_argument("--tls-required", action="store_true")
    args = parser.parse_args()

    logging.basicConfig(stream=sys.stderr, level=logging.DEBUG if args.verbose else logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.realpath(args.root), perm="elradfmwMT")

    faults = frozenset(name for name, _ in args.fault)
    values = {name: value for name, value in args.fault if value is not None}
    attributes = {"authorizer": authorizer, "faults": faults, "fault_values": values,
                  "journal": args.journal,
                  "banner": "Mossvale test server ready."}
    if "no-mlsd" in faults:
        attributes["proto_cmds"] = {name: value for name, value in FTPHandler.proto_cmds.items()
                                    if name not in ("MLSD", "MLST")}
    if "slow" in faults:
        attributes["dtp_handler"] = SlowDTPHandler
    handler = handler_class(faults, attributes, args.tls, args.tls_required)

    server = FTPServer(("127.0.0.1", args.port), handler)
    if "max-cons" in values:  # as a server that takes only so many connections from one address
        server.max_cons_per_ip = int(values["max-cons"])
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
