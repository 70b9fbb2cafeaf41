#pragma once
// What jobs tell the windows, as values: each report travels by a queued signal from the job's
// worker thread to the window thread, so nothing in it points into the worker's memory.
#include "CertificateProbe.h"
#include "FtpFileInfo.h"
#include "HostKeyProbe.h"
#include "TransferFailure.h"

#include <QByteArray>
#include <QMetaType>
#include <QVector>

enum class ETransferDirection { Upload, Download };

enum class EJobOutcome {
    Succeeded,
    Failed,   // eFailure says why
    Cancelled // stopped by the user; the old copy on either side is untouched
};

// The end of one upload or download job (transferDone).
struct TransferReport {
    unsigned nJobId = 0;
    QByteArray file; // the item's name as the server knows it
    ETransferDirection eDirection = ETransferDirection::Upload;
    EJobOutcome eOutcome = EJobOutcome::Succeeded;
    ETransferFailure eFailure = FAILURE_NONE;
    QByteArray replyLine; // the server's own words when it refused, else empty
    qint64 nBytes = 0;    // bytes moved by this job
    // Succeeded after a break, but the server would not go on from where it stopped: a file was
    // moved again from its start; replyLine then holds the server's refusal, if it gave one.
    bool bRestarted = false;
    // Succeeded, but the server offered no way to read the file's size, so the bytes it kept
    // could not be checked: the window says so rather than "backed up".
    bool bUnchecked = false;
    // Succeeded, and the server copy it replaced was moved among the versions.
    bool bVersionKept = false;
};

// One entry of a remote folder (remoteItemsAdded hands them over in batches).
struct RemoteItem {
    QByteArray name;       // the server's bytes
    qint64 nSize = 0;      // bytes; -1 when the server's figure could not be read
    qint64 tLastWrite = 0; // UTC seconds since the epoch; 0 when unknown
    ETimeKind eTimeKind = TIME_UNKNOWN;
    bool bFolder = false;
};
using RemoteItems = QVector<RemoteItem>;

enum class EListingOutcome {
    Complete,
    Empty,       // the folder holds nothing we show
    Cut,         // entries arrived, then the listing broke: the list is incomplete
    Refused,     // nothing could be read
    NotConnected // the server could not be reached or refused the login
};

// The end of a listing (listingEnded), after its last batch of entries.
struct ListingReport {
    unsigned nListingTag = 0;
    EListingOutcome eOutcome = EListingOutcome::Complete;
    ETransferFailure eFailure = FAILURE_NONE;
    QByteArray replyLine;
    // Bytes the account may still write, where the server tells (SFTP); else -1.
    qint64 nFreeBytes = -1;
};

// The end of one deletion (remoteDeleted).
struct DeletionReport {
    unsigned nJobId = 0;
    QByteArray name;
    bool bDeleted = false;
    ETransferFailure eFailure = FAILURE_NONE;
    QByteArray replyLine;
};

// The login check's answer (loginChecked).
struct LoginReport {
    bool bConnected = false;
    bool bEncrypted = false;                  // the FTP login ran over TLS
    ETransferFailure eFailure = FAILURE_NONE; // FAILURE_CANCELLED when the user gave up
    QByteArray replyLine;
    // With FAILURE_CERTIFICATE_UNTRUSTED or _CHANGED, the certificate the server showed, for
    // the user to judge; its fingerprint is empty when it could not be fetched again.
    CertificateInfo certificate;
    // With FAILURE_HOST_KEY_UNKNOWN or _CHANGED, the SFTP server's key, likewise.
    HostKeyInfo hostKey;
};

Q_DECLARE_METATYPE(TransferReport)
Q_DECLARE_METATYPE(RemoteItems)
Q_DECLARE_METATYPE(ListingReport)
Q_DECLARE_METATYPE(DeletionReport)
Q_DECLARE_METATYPE(LoginReport)
