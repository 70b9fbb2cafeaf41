#pragma once
// Starting an upload, download or delete job as every launcher must: the job is constructed
// first (it connects, on the window thread), then its one item and the request; the worker
// thread is created suspended, g_nPendingJobs is raised while it still is, then it runs.
// Split in two so that a launcher can wait for its previous thread in between.
#include "platform/JobThreads.h"
#include "transfer/JobRecords.h"

#include <QByteArray>

// A request for one item named strName (bytes as the server knows them) in the root "/",
// with a connected (or failed) job of the logged-in account. Null, and nothing connected,
// when the name does not fit a JobItem: a shortened name would name another file. The job
// gets an id of its own (m_nJobId) that its reports echo.
JobRequest* NewEntryRequest(const QByteArray& strLocalDir, const QByteArray& strName);

// Starts the request's job on a thread of CJobThreads and gives that thread's number, for
// a launcher that waits for it; 0, with the request freed and the count untouched, when the
// thread cannot be created.
unsigned StartEntryJob(AFX_THREADPROC pfnProc, JobRequest* pRequest, int nPriority);
