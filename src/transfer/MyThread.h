#pragma once
// A transfer job: one account, one FTP connection, a local and a remote folder and the
// items to work on. A launcher constructs it on the window thread (which connects at once)
// and hands it to a worker thread through one of the entry functions below; from then on
// only that worker touches it, and the job frees itself, its request and its items.
//
// Entry jobs (upload, download, delete) meet at an end barrier: each lowers
// g_nPendingJobs when its items are done and waits until the count has read 0, so running
// entry jobs finish together. The listing job takes no part in the count.
#include "JobRecords.h"
#include "TransferFailure.h"

#include <functional>
#include <string>

class CFtpConnection;

// The remote folder of a job that only proves a login (the login dialog's check): a single
// space, which names no folder we would list, so a listing run with it stays in the folder
// the login starts in.
constexpr char LOGIN_CHECK_FOLDER[] = " ";

class CMyThread
{
public:
    // Connects when bConnect is set (every launcher sets it); m_hConnect is null when the
    // connection or login failed. A null local folder is taken as empty.
    CMyThread(const char* pszLocalDir, const std::string& strServer, const std::string& strUserName,
              const std::string& strPassword, int nPort, const std::string& strRemoteDir,
              bool bConnect, int nItemCount);
    virtual ~CMyThread(); // closes the connection
    CMyThread(const CMyThread&) = delete;
    CMyThread& operator=(const CMyThread&) = delete;

    // The operations; each frees the job (and request) before it returns 0.
    virtual unsigned DeleteEntries(JobRequest* pRequest);
    virtual unsigned DownloadEntries(JobRequest* pRequest);
    virtual unsigned UploadEntries(JobRequest* pRequest);
    virtual unsigned ListRemoteFolder();

    std::string m_strServer;
    std::string m_strUserName;
    std::string m_strPassword;
    std::string m_strRemoteDir;
    std::string m_strLocalDir;
    int m_nPort = 0;
    int m_nItemCount = 0;
    CFtpConnection* m_hConnect = nullptr;
    // Set by a listing's launcher and echoed in the listing's reports, so a list that was
    // refreshed again can tell the entries of a superseded listing from the current ones.
    unsigned m_nListingTag = 0;
    // Set by an entry job's launcher and echoed in its WM_TRANSFER_DONE and
    // WM_TRANSFER_PROGRESS, so reports of overlapping jobs are told apart (0: none).
    unsigned m_nJobId = 0;
    // Why the connect failed; FAILURE_NONE while connected or never asked to connect.
    ETransferFailure m_eConnectFailure = FAILURE_NONE;

    // Frees the items, the job and the request: the last thing an entry job does, and what
    // a launcher does with a request no thread took.
    static void Release(JobRequest* pRequest);

private:
    struct LoopResult {
        bool bConnected = false;
        bool bFailed = false;                     // a step failed and ended the loop
        ETransferFailure eFailure = FAILURE_NONE; // why it failed or could not connect
    };
    // One item's work: its local path (empty for delete) and remote path. True on success.
    using EntryStep = std::function<bool(const JobItem& item, const std::string& strLocal,
                                         const std::string& strRemote)>;
    LoopResult RunEntryLoop(const JobRequest* pRequest, bool bLocalPaths, const EntryStep& step);
    // Posts WM_REMOTE_DELETED for one name; a failure leaves the server's words in g_replyLines.
    void ReportDeletion(const char* pszName, bool bDeleted, ETransferFailure eFailure);
};

// Worker-thread entry points: a JobRequest* for the entry jobs, the CMyThread* for listing.
unsigned DeleteThreadProc(void* pParam);
unsigned DownloadThreadProc(void* pParam);
unsigned UploadThreadProc(void* pParam);
unsigned ListThreadProc(void* pParam);
