#pragma once
// Why a transfer or a connection failed, so that a failure report can tell the user more than
// "it failed". 0 means no failure. The windows turn them into texts (Texts::FailureReason).
enum ETransferFailure : int {
    FAILURE_NONE = 0,
    FAILURE_LOGIN_REFUSED = 1,     // the server answered, but refused the user name or password
    FAILURE_NO_CONNECTION = 2,     // the server could not be reached or did not answer in time
    FAILURE_SERVER_REFUSED = 3,    // the server refused the command (a 4xx or 5xx reply)
    FAILURE_LOCAL_UNREADABLE = 4,  // the local file could not be opened or read
    FAILURE_NOT_REGULAR_FILE = 5,  // the local path is a folder, device, pipe or socket
    FAILURE_DISK_FULL = 6,         // no room left for the file, here or on the server
    FAILURE_CONNECTION_BROKEN = 7, // the connection broke or stalled during the transfer
    FAILURE_SIZE_CHECK = 8,        // the server kept another number of bytes than were sent
    FAILURE_FILE_CHANGED = 9,      // the local file grew, shrank or was rewritten while it was read
    FAILURE_LOCAL_UNWRITABLE = 10, // the local folder cannot be written, or a folder is in the way
    FAILURE_SAME_NAME = 11,        // another ticked file of the same name is sent in this backup
    FAILURE_CANCELLED = 12,        // the user stopped it; the old copy on either side is untouched
    FAILURE_RENAME_REFUSED = 13,   // the server renames no file, so the old copy could not be
                                   // replaced safely, and the user has not agreed to less
    FAILURE_DOWNLOAD_SHORT = 14,   // fewer bytes arrived than the server's file has
    FAILURE_UNSAFE_NAME = 15,      // a listed name that would leave the folder ("..", "a/b") or
                                   // hold CR, LF or NUL: never fetched or deleted
    // No failure, a note on a file that arrived: after a break the server would not go on from
    // where it stopped, so the file was moved again from its start.
    FAILURE_RESTARTED = 16,
    // An encrypted connection asked for and not had.
    FAILURE_NO_TLS = 20,                // the server does not offer TLS
    FAILURE_CERTIFICATE_UNTRUSTED = 21, // no authority vouches for it, and the user has not
    FAILURE_CERTIFICATE_CHANGED = 22,   // not the certificate the user trusted for the server
    FAILURE_HOST_KEY_UNKNOWN = 23,      // an SFTP server whose key the user has not trusted yet
    FAILURE_HOST_KEY_CHANGED = 24,      // not the key the user trusted for the SFTP server
    FAILURE_TLS_HANDSHAKE = 25,         // TLS was agreed on, but its handshake failed
    FAILURE_TLS_VERSION = 26,           // the server and we share no TLS version
    FAILURE_KEY_EXCHANGE = 27,          // the SFTP server and we share no key exchange or key
};
