// BACKUP and RESTORE as the user works them: the three views in one window against a real
// server on loopback, the buttons clicked, the wait dialog and the message boxes answered.
#include "ViewsTestUtil.h"
#include "resources/Texts.h"
#include "tree/LeftView.h"
#include "views/MossvaleView.h"
#include "widgets/ReportDlg.h"
#include "views/RightView.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QSplitter>
#include <QTemporaryDir>

#include <memory>

namespace {

// Counts how often a widget was shown, however briefly.
class CShowCounter : public QObject
{
public:
    explicit CShowCounter(QWidget* pWidget) { pWidget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        m_nShown += pEvent->type() == QEvent::Show;
        return false;
    }
    int m_nShown = 0;
};

} // namespace

class TestCommandView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void backupWithNothingTicked();
    void backupSendsThePlanEachTime();
    void problemsAreNamed();
    void manyFailuresFitTheScreen();
    void anotherBackupOfTheAccountRuns();
    void restoreWritesIntoTheChosenFolder_data();
    void restoreWritesIntoTheChosenFolder();
    void restoreAsksBeforeReplacingADifferentFile();
    void failedRestoreSaysSo();
    void cancelledRestoreDoesNothing();
    void overlappingRestoresNameTheirOwnFile();
    void waitDialog();
    void cancelButtonStopsARestore();
    void restoreBesideABackup();
    void theWindowNeverWaits_data();
    void theWindowNeverWaits();
    void namesThatAreNotUtf8_data();
    void namesThatAreNotUtf8();
    void restoreOfAFolderKeepsItsTreeAndTimes();
    void forAllAnswersEveryClash();

private:
    int m_nReplaceAsked = 0;
    CMossvaleView& Command() { return *m_pCommand; }
    CWaitDlg& Wait() { return m_pCommand->m_dlgWait; }
    // Ticks as the tree does: files one by one, folders whole.
    void TickFile(const QString& strPath) { Tick(QFile::encodeName(strPath), false); }
    void TickFile(const QByteArray& path) { Tick(path, false); }
    void TickFolder(const QString& strPath) { Tick(QFile::encodeName(strPath), true); }
    void Tick(const QByteArray& path, bool bFolder);
    // The account of the server, as the login hands it to the views.
    void LogIn(const CFtpTestServer& server, const QString& strPassword = QString());
    void SelectRemote(const QString& strLabel);
    // Notes the listing the remote list shows; Relisted() then waits until a later listing
    // has ended.
    void MarkListing();
    bool Relisted();
    bool Refresh();
    QString Local(const QString& strName) const { return m_pLocal->filePath(strName); }

    std::unique_ptr<QSplitter> m_pWindow;
    CMossvaleView* m_pCommand = nullptr;
    CLeftView* m_pLeft = nullptr;
    CRightView* m_pRight = nullptr;
    unsigned m_nMarkedListing = 0;
    std::unique_ptr<QTemporaryDir> m_pLocal;
    CFtpTestServer m_server;
    std::shared_ptr<CBackupSession> m_pSession;
};

void TestCommandView::Tick(const QByteArray& path, bool bFolder)
{
    CBackupPlan plan = m_pLeft->m_treeCtrl.Plan();
    if (bFolder)
        plan.TickFolder(path);
    else
        plan.TickFile(path);
    m_pLeft->m_treeCtrl.SetPlan(plan);
}

void TestCommandView::LogIn(const CFtpTestServer& server, const QString& strPassword)
{
    m_pSession = MakeSession(server, strPassword);
    m_pCommand->SetSession(m_pSession);
    m_pRight->SetSession(m_pSession);
}

void TestCommandView::initTestCase()
{
    // As the program names its application object: box titles are taken from it.
    QCoreApplication::setApplicationName(QLatin1String(Texts::APP_NAME));
    OpenSession({5, 2});
    CInternetSession::SetResume({0, 10, 100, 1 << 20}); // a broken transfer fails at once
}

void TestCommandView::cleanupTestCase()
{
    CloseSession();
}

void TestCommandView::init()
{
    m_pLocal = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pLocal->isValid());
    QVERIFY(m_server.Start(CFtpTestServer::Pyftpdlib));
    QVERIFY(m_server.PutFile("on-server.txt", "already there"));

    // As the main window arranges them: the command view on top, the two panes below.
    m_pWindow = std::make_unique<QSplitter>(Qt::Vertical);
    m_pCommand = new CMossvaleView(m_pWindow.get());
    auto* pLower = new QSplitter(m_pWindow.get());
    m_pLeft = new CLeftView(pLower);
    m_pRight = new CRightView(pLower);
    m_pCommand->SetRemoteView(m_pRight);
    // A local file that differs is replaced after a question; the tests say yes unless they
    // ask otherwise.
    m_nReplaceAsked = 0;
    m_pCommand->m_pfnAskReplace = [this](const QString&, const CReplaceQuestionDlg::FileFacts&,
                                         const CReplaceQuestionDlg::FileFacts&, int, bool&) {
        ++m_nReplaceAsked;
        return CReplaceQuestionDlg::EAnswer::Replace;
    };
    m_pCommand->SetLeftView(m_pLeft);
    LogIn(m_server);
    m_pWindow->resize(1200, 760);
    m_pCommand->OnInitialUpdate();
    m_pLeft->OnInitialUpdate();
    m_pRight->OnInitialUpdate();
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    QVERIFY(Refresh());
}

void TestCommandView::cleanup()
{
    // A relisting still running when a test's own server went says so in a box, answered here.
    CBoxReader reader;
    QVERIFY(CJobPool::Get().WaitForAll(20000));
    m_pWindow.reset();
    m_pSession.reset();
    m_server.Stop();
    m_pLocal.reset();
}

void TestCommandView::MarkListing()
{
    m_nMarkedListing = m_pRight->m_nListingTag;
    m_pRight->m_stcUsage.clear();
}

bool TestCommandView::Relisted()
{
    // Only the current listing's end sets the usage label.
    return QTest::qWaitFor(
        [&] {
            return m_pRight->m_nListingTag != m_nMarkedListing &&
                   !m_pRight->m_stcUsage.text().isEmpty();
        },
        20000);
}

// Lists the server as the login does.
bool TestCommandView::Refresh()
{
    MarkListing();
    m_pRight->StartListing();
    return Relisted();
}

void TestCommandView::SelectRemote(const QString& strLabel)
{
    QListView& list = m_pRight->m_lstRemote;
    for (int i = 0; i < m_pRight->m_model.rowCount(); ++i) {
        if (m_pRight->m_model.Label(i) != strLabel)
            continue;
        const QModelIndex index = m_pRight->m_model.index(i);
        list.scrollTo(index);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(index).center());
        QCOMPARE(m_pRight->GetFirstSelectedLabel(), strLabel);
        return;
    }
    QFAIL(qPrintable("no row " + strLabel));
}

void TestCommandView::backupWithNothingTicked()
{
    // It says so, and starts nothing.
    CShowCounter shown(&Wait());
    CBoxReader reader;
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QTRY_COMPARE(reader.m_texts, QStringList({Texts::NothingToBackUp()}));
    QCOMPARE(shown.m_nShown, 0);
    QCOMPARE(CJobPool::Get().RunningTransfers(), 0);

    // A report that names no job of this view changes nothing.
    MarkListing();
    TransferReport stray;
    stray.nJobId = 0xFFFFu;
    Command().OnTransferDone(stray);
    QCoreApplication::processEvents();
    QCOMPARE(m_pRight->m_nListingTag, m_nMarkedListing);
}

void TestCommandView::backupSendsThePlanEachTime()
{
    // A folder ticked whole before it was ever opened, and a file ticked by itself.
    QVERIFY(QDir().mkpath(Local("docs/sub")));
    QVERIFY(WriteFile(Local("docs/a.txt"), "alpha"));
    QVERIFY(WriteFile(Local("docs/sub/b.txt"), "beta"));
    QVERIFY(WriteFile(Local("c.txt"), "gamma"));
    TickFolder(Local("docs"));
    TickFile(Local("c.txt"));
    const CBackupPlan plan = m_pLeft->m_treeCtrl.Plan();

    CBoxReader reader;
    MarkListing();
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QVERIFY(Wait().isVisible());
    QVERIFY(Relisted());
    QTRY_VERIFY(!Wait().isVisible());
    QCOMPARE(m_server.ReadFile("docs/a.txt"), QByteArray("alpha"));
    QCOMPARE(m_server.ReadFile("docs/sub/b.txt"), QByteArray("beta"));
    QCOMPARE(m_server.ReadFile("c.txt"), QByteArray("gamma"));
    QCOMPARE(reader.m_texts, QStringList());
    QVERIFY(m_pLeft->m_treeCtrl.Plan() == plan); // a backup uses nothing up

    // The next press sends the plan again: a file added to the folder since, and a change.
    QVERIFY(WriteFile(Local("docs/sub/new.txt"), "added later"));
    QVERIFY(WriteFile(Local("c.txt"), "gamma, changed"));
    MarkListing();
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QVERIFY(Relisted());
    QTRY_VERIFY(!Command().HasRunningWork());
    QCOMPARE(m_server.ReadFile("docs/sub/new.txt"), QByteArray("added later"));
    QCOMPARE(m_server.ReadFile("c.txt"), QByteArray("gamma, changed"));
    QCOMPARE(reader.m_texts, QStringList());
}

void TestCommandView::problemsAreNamed()
{
    // A ticked file and a ticked folder that have gone since are missing, not failures of the
    // server; a same-named file is named with the one that was sent.
    QVERIFY(QDir().mkpath(Local("a")) && QDir().mkpath(Local("b")));
    QVERIFY(WriteFile(Local("a/same.txt"), "first"));
    QVERIFY(WriteFile(Local("b/same.txt"), "second"));
    TickFile(Local("a/same.txt"));
    TickFile(Local("b/same.txt"));
    TickFile(Local("missing.txt"));
    TickFolder(Local("gone"));

    CBoxReader reader;
    bool bWaitShownWithBox = true;
    reader.m_onBox = [&] { bWaitShownWithBox = Wait().isVisible(); };
    MarkListing();
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reader.m_texts.size(), 1, 20000);
    QCOMPARE(reader.m_titles.first(), QStringLiteral("Mossvale"));
    QVERIFY(!bWaitShownWithBox);
    QStringList lines = reader.m_texts.first().split('\n');
    QCOMPARE(lines.takeFirst(), QString::fromUtf8("以下文件未能备份："));
    const QString strSent = ReadFile(m_server.FilePath("same.txt")) == "first"
                                ? Local("a/same.txt")
                                : Local("b/same.txt");
    const QString strOther =
        strSent == Local("a/same.txt") ? Local("b/same.txt") : Local("a/same.txt");
    lines.sort();
    QStringList expected = {
        Local("gone") + QString::fromUtf8("（已不存在）"),
        Local("missing.txt") + QString::fromUtf8("（已不存在）"),
        strOther + QString::fromUtf8("（另一个选中的文件同名，已备份的是 %1）").arg(strSent)};
    expected.sort();
    QCOMPARE(lines, expected);
    QVERIFY(Relisted());
}

void TestCommandView::manyFailuresFitTheScreen()
{
    // More than a message box holds: a report window with the heading and every file.
    QStringList missing;
    for (int i = 0; i < 25; ++i) {
        missing << Local(QStringLiteral("missing%1.txt").arg(i, 2, 10, QLatin1Char('0')));
        TickFile(missing.last());
    }
    QString strSummary;
    QStringList listed;
    QTimer reader;
    connect(&reader, &QTimer::timeout, this, [&] {
        auto* pReport = qobject_cast<CReportDlg*>(QApplication::activeModalWidget());
        if (!pReport || !pReport->isVisible())
            return;
        strSummary = pReport->m_pSummary->text();
        for (int i = 0; i < pReport->m_pList->count(); ++i)
            listed << pReport->m_pList->item(i)->text();
        QVERIFY(pReport->frameGeometry().height() <=
                Command().screen()->availableGeometry().height());
        pReport->accept();
    });
    reader.start(20);
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!listed.isEmpty(), 60000);
    QCOMPARE(strSummary, Texts::BackupFailedHeading());
    listed.sort();
    QStringList expected;
    for (const QString& strPath : missing)
        expected << strPath + QString::fromUtf8("（已不存在）");
    QCOMPARE(listed, expected);
}

void TestCommandView::anotherBackupOfTheAccountRuns()
{
    // A backup of the same account already runs (the command line's, or a timer's): BACKUP
    // says so and starts nothing; the one running goes on.
    CFtpTestServer stalling;
    QVERIFY(stalling.Start(CFtpTestServer::Pyftpdlib, {"stall-stor"}));
    LogIn(stalling);
    QVERIFY(WriteFile(Local("big.bin"), QByteArray(1 << 20, 'b')));
    TickFile(Local("big.bin"));
    CBackupRun other(m_pLeft->m_treeCtrl.Plan(), MakeSession(stalling), {});
    QCOMPARE(other.Start(), CBackupRun::EStart::Started);
    CShowCounter shown(&Wait());
    CBoxReader reader;
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QTRY_COMPARE(reader.m_texts, QStringList({Texts::BackupAlreadyRunning()}));
    QCOMPARE(shown.m_nShown, 0);
    QVERIFY(other.IsRunning());
    QSignalSpy ended(&other, &CBackupRun::finished);
    other.Cancel(); // may end at once, while the server's folder is still being listed
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
}

void TestCommandView::restoreWritesIntoTheChosenFolder_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::newRow("new file") << QByteArray();
    QTest::newRow("over an older copy") << QByteArray("an older, longer copy of the file");
}

void TestCommandView::restoreWritesIntoTheChosenFolder()
{
    QFETCH(QByteArray, existing);
    const QString strName = QString::fromUtf8("报告 2024.txt");
    QVERIFY(m_server.PutFile(strName, "restored content"));
    QVERIFY(Refresh());
    QVERIFY(QDir().mkpath(Local("restore")));
    if (!existing.isEmpty())
        QVERIFY(WriteFile(Local("restore/" + strName), existing));

    SelectRemote(strName);
    Command().m_pfnChooseFolder = [&] { return Local("restore"); };
    MarkListing();
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QVERIFY(Wait().isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!Wait().isVisible(), 20000);
    QCOMPARE(ReadFile(Local("restore/" + strName)), QByteArray("restored content"));
    QCOMPARE(m_nReplaceAsked, existing.isEmpty() ? 0 : 1);
    QVERIFY(CJobPool::Get().WaitForAll(20000));
    QCoreApplication::processEvents();
    QCOMPARE(m_pRight->m_nListingTag, m_nMarkedListing); // a restore does not relist
}

void TestCommandView::restoreAsksBeforeReplacingADifferentFile()
{
    QVERIFY(m_server.PutFile("doc.txt", "the server's copy"));
    QVERIFY(Refresh());
    QVERIFY(WriteFile(Local("doc.txt"), "mine"));
    QVERIFY(WriteFile(Local("doc (1).txt"), "taken"));
    SelectRemote("doc.txt");
    Command().m_pfnChooseFolder = [&] { return m_pLocal->path(); };
    CReplaceQuestionDlg::FileFacts local;
    CReplaceQuestionDlg::FileFacts server;
    auto answer = CReplaceQuestionDlg::EAnswer::Skip;
    Command().m_pfnAskReplace = [&](const QString&, const CReplaceQuestionDlg::FileFacts& here,
                                    const CReplaceQuestionDlg::FileFacts& there, int, bool&) {
        local = here;
        server = there;
        return answer;
    };
    // Skip: nothing starts, nothing changes; the question had both sizes.
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QCOMPARE(local.nSize, qint64(4));
    QCOMPARE(server.nSize, qint64(17));
    QVERIFY(server.tModified > 0); // MLSD's time
    QCOMPARE(CJobPool::Get().RunningTransfers(), 0);
    QVERIFY(!Wait().isVisible());

    // Keep both: the restored copy under the first free name.
    answer = CReplaceQuestionDlg::EAnswer::KeepBoth;
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!Wait().isVisible(), 20000);
    QCOMPARE(ReadFile(Local("doc (2).txt")), QByteArray("the server's copy"));
    QCOMPARE(ReadFile(Local("doc.txt")), QByteArray("mine"));
    QCOMPARE(ReadFile(Local("doc (1).txt")), QByteArray("taken"));
}

void TestCommandView::failedRestoreSaysSo()
{
    QVERIFY(m_server.PutFile("vanishing.txt", "soon gone"));
    QVERIFY(Refresh());
    QVERIFY(QFile::remove(m_server.FilePath("vanishing.txt")));
    SelectRemote("vanishing.txt");
    Command().m_pfnChooseFolder = [&] { return m_pLocal->path(); };

    CBoxReader reader;
    bool bWaitShownWithBox = true;
    reader.m_onBox = [&] { bWaitShownWithBox = Wait().isVisible(); };
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reader.m_texts.size(), 1, 20000);
    QCOMPARE(reader.m_titles.first(), QStringLiteral("Mossvale"));
    // The reason, then the server's own words.
    QCOMPARE(reader.m_texts.first(),
             QString::fromUtf8("无法恢复文件：vanishing.txt（服务器拒绝：550 /vanishing.txt is not "
                               "retrievable.）"));
    QVERIFY(!bWaitShownWithBox);
    QVERIFY(!Wait().isVisible());
    QVERIFY(!QFile::exists(Local("vanishing.txt")));
}

void TestCommandView::cancelledRestoreDoesNothing()
{
    SelectRemote("on-server.txt");
    bool bAsked = false;
    Command().m_pfnChooseFolder = [&] {
        bAsked = true;
        return QString();
    };
    CShowCounter shown(&Wait());
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QVERIFY(bAsked);
    QCOMPARE(shown.m_nShown, 0);
    QCOMPARE(CJobPool::Get().RunningTransfers(), 0);
}

void TestCommandView::overlappingRestoresNameTheirOwnFile()
{
    // A restore that stalls, and a second one that runs beside it and fails at once: each
    // failure names its own file, in the order they end.
    CFtpTestServer stalling;
    QVERIFY(stalling.Start(CFtpTestServer::Pyftpdlib, {"stall-retr"}));
    QVERIFY(stalling.PutFile("slow.bin", QByteArray(1 << 20, 's')));
    QVERIFY(stalling.PutFile("vanishing.txt", "soon gone"));
    LogIn(stalling);
    QVERIFY(Refresh());
    Command().m_pfnChooseFolder = [&] { return m_pLocal->path(); };
    CBoxReader reader;

    SelectRemote("slow.bin");
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QVERIFY(QFile::remove(stalling.FilePath("vanishing.txt")));
    SelectRemote("vanishing.txt");
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reader.m_texts.size(), 2, 30000);
    const QString strFailed = QString::fromUtf8("无法恢复文件：");
    QVERIFY(reader.m_texts[0].startsWith(strFailed +
                                         QString::fromUtf8("vanishing.txt（服务器拒绝：550")));
    QCOMPARE(reader.m_texts[1], strFailed + QString::fromUtf8("slow.bin（连接中断）"));
    QVERIFY(!QFile::exists(Local("slow.bin")));
}

void TestCommandView::waitDialog()
{
    // A backup whose upload stalls: the dialog stays up with its file, a second BACKUP only
    // shows it, and Esc stops the backup.
    Command().SetParallelUploads(1); // the second file waits its turn
    CFtpTestServer stalling;
    QVERIFY(stalling.Start(CFtpTestServer::Pyftpdlib, {"stall-stor"}));
    QVERIFY(stalling.PutFile("big.bin", "the old copy"));
    LogIn(stalling);
    QVERIFY(WriteFile(Local("big.bin"), QByteArray(4 << 20, 'b')));
    QVERIFY(WriteFile(Local("queued.txt"), "never sent"));
    TickFile(Local("big.bin"));
    TickFile(Local("queued.txt"));
    CBoxReader reader;
    MarkListing();
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QVERIFY(Wait().isVisible());
    QCOMPARE(Wait().windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QCOMPARE(Wait().parentWidget(), m_pWindow.get());
    QVERIFY(
        (Wait().frameGeometry().center() - m_pWindow->frameGeometry().center()).manhattanLength() <=
        2);                                                        // centred, give or take rounding
    QTRY_VERIFY_WITH_TIMEOUT(Wait().m_prgFile.value() > 0, 20000); // bytes went out
    QVERIFY(Wait().m_stcBytes.text().contains(QStringLiteral(" / 4.0 MB")));
    QVERIFY(Wait().m_stcBackup.text().startsWith(QStringLiteral("1 / 2")));
    QCOMPARE(Wait().m_stcFile.text(), QStringLiteral("big.bin"));

    // Pressed again, and the dialog opened again: the one backup goes on, the dialog stays.
    CBackupRun* pRun = Command().Run();
    const QPoint where = Wait().pos();
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    Wait().Open(m_pCommand);
    QCOMPARE(Command().Run(), pRun);
    QVERIFY(Wait().isVisible());
    QCOMPARE(Wait().pos(), where);

    // Esc cancels: the upload stops long before the server's stall would end it, and one box
    // names the stopped file and the one never sent.
    QTest::keyClick(&Wait(), Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(reader.m_texts.size(), 1, 5000);
    QStringList lines = reader.m_texts.first().split('\n');
    QCOMPARE(lines.takeFirst(), QString::fromUtf8("以下文件已取消："));
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.join('\n').contains(Local("big.bin") + QString::fromUtf8("（")),
             qPrintable(reader.m_texts.first()));
    QVERIFY(lines.contains(Local("queued.txt") + QString::fromUtf8("（未发送）")));
    QVERIFY(!Wait().isVisible());
    QCOMPARE(stalling.ReadFile("big.bin"), QByteArray("the old copy"));
    QVERIFY(!QFile::exists(stalling.FilePath("queued.txt")));
    QVERIFY(Relisted());
}

void TestCommandView::cancelButtonStopsARestore()
{
    CFtpTestServer stalling;
    QVERIFY(stalling.Start(CFtpTestServer::Pyftpdlib, {"stall-retr"}));
    QVERIFY(stalling.PutFile("slow.bin", QByteArray(1 << 20, 's')));
    LogIn(stalling);
    QVERIFY(Refresh());
    QVERIFY(WriteFile(Local("slow.bin"), "my own copy"));
    Command().m_pfnChooseFolder = [&] { return m_pLocal->path(); };
    CBoxReader reader;
    SelectRemote("slow.bin");
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Wait().m_prgFile.value() > 0, 20000);
    QTest::mouseClick(&Wait().m_btnCancel, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reader.m_texts.size(), 1, 5000);
    QCOMPARE(reader.m_texts.first(), QString::fromUtf8("以下文件已取消：\nslow.bin（已取消）"));
    QVERIFY(!Wait().isVisible());
    QCOMPARE(ReadFile(Local("slow.bin")), QByteArray("my own copy"));
    QCOMPARE(QDir(m_pLocal->path()).entryList({".mossvale*"}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestCommandView::restoreBesideABackup()
{
    // A slow server: a backup of two files, and a restore pressed while the first goes out.
    // The restore runs at once, beside it; the dialog shows the restore's own progress while
    // it runs, then the backup's again, and stays up until the backup has ended.
    CFtpTestServer slow;
    QVERIFY(slow.Start(CFtpTestServer::Pyftpdlib, {"slow"}));
    QVERIFY(slow.PutFile("wanted.bin", QByteArray(480 << 10, 'w')));
    // An upload's last bytes wait in the kernel while the slow server reads them: the reply
    // may take longer than this suite's stall time.
    CInternetSession::SetTimeouts({5, 10});
    const auto restore = qScopeGuard([] { CInternetSession::SetTimeouts({5, 2}); });
    LogIn(slow);
    QVERIFY(Refresh());
    Command().SetParallelUploads(1);
    for (const char* pszName : {"one.bin", "two.bin"}) {
        QVERIFY(WriteFile(Local(pszName), QByteArray(320 << 10, pszName[0])));
        TickFile(Local(pszName));
    }
    QVERIFY(QDir().mkpath(Local("restore")));
    Command().m_pfnChooseFolder = [&] { return Local("restore"); };
    SelectRemote("wanted.bin");
    CBoxReader reader;
    MarkListing();
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Wait().m_prgFile.value() > 0, 20000);
    QTRY_VERIFY(Wait().m_stcBackup.text().startsWith(QStringLiteral("1 / 2")));
    QTRY_VERIFY(Wait().m_stcBackup.text().contains(QStringLiteral(" / 640.0 KB")));

    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QCOMPARE(CJobPool::Get().RunningTransfers(), 2);
    QCOMPARE(Wait().m_stcFile.text(), QStringLiteral("wanted.bin"));
    QTRY_VERIFY(Wait().m_stcBytes.text().contains(QStringLiteral(" / 480.0 KB")));
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(Local("restore/wanted.bin")), QByteArray(480 << 10, 'w'),
                              20000);
    QVERIFY(Wait().isVisible());
    QTRY_VERIFY(Wait().m_stcBytes.text().contains(QStringLiteral(" / 320.0 KB")));
    QVERIFY(Wait().m_stcBytes.text().endsWith(QStringLiteral("/s")));
    QVERIFY(Wait().m_stcFile.text().endsWith(QStringLiteral(".bin")));
    QTRY_VERIFY_WITH_TIMEOUT(Wait().m_stcBackup.text().contains(QString::fromUtf8("剩余")), 20000);
    QVERIFY(Relisted());
    QVERIFY(!Wait().isVisible());
    QCOMPARE(reader.m_texts, QStringList());
    QCOMPARE(slow.ReadFile("one.bin"), QByteArray(320 << 10, 'o'));
    QCOMPARE(slow.ReadFile("two.bin"), QByteArray(320 << 10, 't'));
}

void TestCommandView::theWindowNeverWaits_data()
{
    QTest::addColumn<bool>("serverStopped");
    QTest::newRow("a second restore during a slow first") << false;
    QTest::newRow("a backup whose server stopped answering") << true;
}

void TestCommandView::theWindowNeverWaits()
{
    // No connect, login or transfer holds the window thread: each click returns while the
    // server has not yet answered, and the window goes on handling events meanwhile. (How long
    // the window may go without answering is measured in bench/, not here.)
    QFETCH(bool, serverStopped);
    CFtpTestServer server;
    QVERIFY(server.Start(CFtpTestServer::Pyftpdlib, {"slow"}));
    QVERIFY(server.PutFile("first.bin", QByteArray(320 << 10, 'f')));
    QVERIFY(server.PutFile("second.bin", QByteArray(160 << 10, 's')));
    LogIn(server);
    QVERIFY(Refresh());
    CInternetSession::SetTimeouts({20, 20});
    const auto restore = qScopeGuard([] { CInternetSession::SetTimeouts({5, 2}); });
    Command().m_pfnChooseFolder = [&] { return m_pLocal->path(); };
    CBoxReader reader;
    int nTicks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&nTicks] { ++nTicks; });
    ticker.start(10);
    if (serverStopped) {
        QVERIFY(WriteFile(Local("up.bin"), "up"));
        TickFile(Local("up.bin"));
        QVERIFY(server.Freeze(true));
        QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
        nTicks = 0;
        QTRY_VERIFY_WITH_TIMEOUT(nTicks >= 20, 20000);
        QVERIFY(reader.m_texts.isEmpty()); // still waiting on the server, and not on us
        QTest::mouseClick(&Wait().m_btnCancel, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(reader.m_texts.size(), 1, 5000);
        QVERIFY(server.Freeze(false));
    } else {
        SelectRemote("first.bin");
        QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
        SelectRemote("second.bin");
        QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
        QVERIFY(!QFile::exists(Local("first.bin")) || !QFile::exists(Local("second.bin")));
        nTicks = 0;
        QTRY_VERIFY_WITH_TIMEOUT(!Wait().isVisible(), 20000);
        QVERIFY(nTicks > 0);
        QCOMPARE(ReadFile(Local("first.bin")), QByteArray(320 << 10, 'f'));
        QCOMPARE(ReadFile(Local("second.bin")), QByteArray(160 << 10, 's'));
    }
}

void TestCommandView::namesThatAreNotUtf8_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("vsftpd") << int(CFtpTestServer::Vsftpd);
    QTest::newRow("pyftpdlib") << int(CFtpTestServer::Pyftpdlib);
}

void TestCommandView::namesThatAreNotUtf8()
{
    QFETCH(int, kind);
    if (kind == CFtpTestServer::Vsftpd) {
        m_server.Stop();
        START_OR_SKIP(m_server, CFtpTestServer::Vsftpd);
        LogIn(m_server);
    }
    // GBK (你好) and Latin-1 names, as ticking queues them, one that went missing, and one
    // that holds a line break, which must never reach the server.
    const QByteArray local = QFile::encodeName(m_pLocal->path()) + '/';
    const QByteArray gbk = "\xC4\xE3\xBA\xC3.txt";
    const QByteArray latin1 = "caf\xE9.txt";
    const auto cleanup = qScopeGuard([&] {
        RemoveRawContents(local);
        RemoveRawContents(QFile::encodeName(m_server.Root()));
    });
    QVERIFY(WriteRawFile(local + gbk) && WriteRawFile(local + latin1));
    QVERIFY(WriteRawFile(local + "new\nline.txt"));
    for (const QByteArray& name :
         {QByteArray("gone\xE9.txt"), QByteArray("new\nline.txt"), gbk, latin1})
        TickFile(local + name);

    CBoxReader reader;
    MarkListing();
    QTest::mouseClick(&Command().m_btnBackup, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reader.m_texts.size(), 1, 20000);
    // The file that has gone is missing; the line break never reaches the server.
    QStringList lines = reader.m_texts.first().split('\n');
    QCOMPARE(lines.takeFirst(), QString::fromUtf8("以下文件未能备份："));
    lines.sort();
    QCOMPARE(lines, QStringList({Local("gone\\xE9.txt") + QString::fromUtf8("（已不存在）"),
                                 Local("new\\x0Aline.txt") + QString::fromUtf8("（服务器拒绝）")}));
    // The server holds them under their own bytes.
    QList<QByteArray> names = RawNames(QFile::encodeName(m_server.Root()));
    names.removeAll("on-server.txt");
    QCOMPARE(names, QList<QByteArray>({latin1, gbk}));
    QVERIFY(Relisted());
}

namespace {

QStringList TreeFiles()
{
    return {"Tree/a.txt", "Tree/sub/b.bin", "Tree/sub/deeper/c.txt"};
}

// A tree of two levels on the server, each file with a time of its own.
bool PutTree(CFtpTestServer& server)
{
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1600000000, Qt::UTC);
    const QList<QPair<QString, QByteArray>> files = {{"Tree/a.txt", "alpha"},
                                                     {"Tree/sub/b.bin", QByteArray(300000, 'b')},
                                                     {"Tree/sub/deeper/c.txt", "gamma"}};
    for (int i = 0; i < files.size(); ++i) {
        if (!server.PutFile(files[i].first, files[i].second))
            return false;
        QFile file(server.FilePath(files[i].first));
        if (!file.open(QIODevice::ReadWrite) ||
            !file.setFileTime(when.addDays(i), QFileDevice::FileModificationTime))
            return false;
    }
    return server.MakeFolder("Tree/empty");
}

} // namespace

void TestCommandView::restoreOfAFolderKeepsItsTreeAndTimes()
{
    QVERIFY(PutTree(m_server));
    QVERIFY(Refresh());
    // A folder and a file of the root, both selected.
    SelectRemote("Tree");
    QListView& list = m_pRight->m_lstRemote;
    const QModelIndex file = m_pRight->m_model.index(m_pRight->m_model.FindName("on-server.txt"));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list.visualRect(file).center());
    QCOMPARE(m_pRight->SelectedItems().size(), 2);
    Command().m_pfnChooseFolder = [&] { return Local("restore"); };
    QVERIFY(QDir().mkpath(Local("restore")));
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!Wait().isVisible(), 20000);

    for (const QString& strPath : TreeFiles()) {
        QCOMPARE(ReadFile(Local("restore/" + strPath)), m_server.ReadFile(strPath));
        QCOMPARE(QFileInfo(Local("restore/" + strPath)).lastModified(),
                 QFileInfo(m_server.FilePath(strPath)).lastModified());
    }
    QVERIFY(QDir(Local("restore/Tree/empty")).exists());
    QCOMPARE(ReadFile(Local("restore/on-server.txt")), QByteArray("already there"));
    QCOMPARE(m_nReplaceAsked, 0);
    // The next restore's folder browser opens where this one went.
    QCOMPARE(Command().RestoreStartFolder(), Local("restore"));
}

void TestCommandView::forAllAnswersEveryClash()
{
    QVERIFY(PutTree(m_server));
    QVERIFY(Refresh());
    for (const QString& strPath : TreeFiles())
        QVERIFY(QDir().mkpath(QFileInfo(Local(strPath)).path()) &&
                WriteFile(Local(strPath), "mine"));
    // Keep both, for all: asked once, told of the two files after the first.
    QList<int> more;
    Command().m_pfnAskReplace = [&](const QString&, const CReplaceQuestionDlg::FileFacts&,
                                    const CReplaceQuestionDlg::FileFacts&, int nMore,
                                    bool& bForAll) {
        more << nMore;
        bForAll = true;
        return CReplaceQuestionDlg::EAnswer::KeepBoth;
    };
    SelectRemote("Tree");
    Command().m_pfnChooseFolder = [&] { return m_pLocal->path(); };
    QTest::mouseClick(&Command().m_btnRestore, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!Wait().isVisible(), 20000);
    QCOMPARE(more, QList<int>{2});
    for (const QString& strPath : TreeFiles()) {
        QCOMPARE(ReadFile(Local(strPath)), QByteArray("mine"));
        const QFileInfo info(strPath);
        const QString strKept =
            info.path() + "/" + info.completeBaseName() + " (1)." + info.suffix();
        QCOMPARE(ReadFile(Local(strKept)), m_server.ReadFile(strPath));
    }
}

QTEST_MAIN(TestCommandView)
#include "tst_views_command.moc"
