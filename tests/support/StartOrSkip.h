#pragma once
// Starting a test server in a test function: skipped where vsftpd cannot run (not root),
// failed when the server does not come up. A macro, because QSKIP and QVERIFY only leave the
// function they are written in. Extra arguments go to CFtpTestServer::Start (the faults).
#include "FtpTestServer.h"

#include <QtTest>

#define START_OR_SKIP(server, kind, ...)                                                           \
    do {                                                                                           \
        if (((kind) == CFtpTestServer::Vsftpd || (kind) == CFtpTestServer::VsftpdTls) &&           \
            !CFtpTestServer::CanRunVsftpd())                                                       \
            QSKIP("vsftpd needs root");                                                            \
        if (((kind) == CFtpTestServer::OpenSsh || (kind) >= CFtpTestServer::ProFtpd) &&            \
            !CFtpTestServer::CanRunSshd())                                                         \
            QSKIP("sshd, ProFTPD and Pure-FTPd need root");                                        \
        QVERIFY2((server).Start((kind), ##__VA_ARGS__), qPrintable((server).LastError()));         \
    } while (false)
