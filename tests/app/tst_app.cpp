// The whole program as a user meets it: start it, log in through the dialog, tick two files,
// back them up from the menu, see them on the server and in the list, restore one, delete the
// other, and close the window while a listing is still running.
#include "AppDriver.h"
#include "backup/BackupPlan.h"
#include "FtpTestServer.h"
#include "platform/DriveList.h"
#include "resources/Texts.h"
#include "shell/CommandIds.h"
#include "shell/HistoryDlg.h"
#include "shell/MainFrame.h"
#include "shell/StatusBar.h"
#include "shell/MossvaleApp.h"
#include "shell/ScheduleStatus.h"
#include "transfer/ClearTextAccounts.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "transfer/TrustStore.h"
#include "tree/LeftView.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"

#include <QtTest>

#include <QProcess>

#include <cstdio>

#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>

namespace {

// Settings, layout and the local files of this run; a restart's runs share one.
QString g_strHome;

QString HomePath(const QString& strName)
{
    return QDir(g_strHome).filePath(strName);
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

    CFtpTestServer m_server;
    CMossvaleApp* m_pApp = static_cast<CMossvaleApp*>(QCoreApplication::instance());
    QString m_strDrive; // the test's own "drive", in the fixture mount table

    CAppDriver m_driver{m_pApp};

    CMainFrame* Frame() { return m_driver.Frame(); }
    CFolderTreeCtrl& Tree() { return m_driver.Tree(); }

private slots:
    void initTestCase()
    {
        CInternetSession::SetTimeouts({5, 10});
        QVERIFY2(m_server.Start(CFtpTestServer::Pyftpdlib), qPrintable(m_server.LastError()));
        QVERIFY(m_server.PutFile("already-there.txt", "old"));

        m_strDrive = HomePath("disk");
        QVERIFY(CAppDriver::UseOwnMachine(g_strHome, m_strDrive));
        QVERIFY(QDir().mkpath(m_strDrive + "/Documents"));
    }

    void logInBackUpRestoreDeleteAndClose()
    {
        QFile a(m_strDrive + "/Documents/a report.txt");
        QVERIFY(a.open(QIODevice::WriteOnly) && a.write("report") == 6);
        a.close();
        QFile b(m_strDrive + "/Documents/b.bin");
        QVERIFY(b.open(QIODevice::WriteOnly) && b.write(QByteArray(3000, 'b')) == 3000);
        b.close();

        QVERIFY(m_pApp->CreateMainWindow());
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));

        // Esc in the login dialog: BACKUP says to log in first, and File > Log In opens the
        // dialog again, where the user logs in as typed.
        CAppDriver::WhenModalDialog(
            [](QDialog* pLogin) { QTest::keyClick(pLogin, Qt::Key_Escape); });
        m_pApp->RunLogin();
        QString strSaid;
        CAppDriver::WhenMessageBox([&](QMessageBox* pBox) {
            strSaid = pBox->text();
            CAppDriver::PressOk(pBox);
        });
        QTest::mouseClick(&Frame()->CommandView()->m_btnBackup, Qt::LeftButton);
        QTRY_COMPARE(strSaid, Texts::LogInFirst());
        QVERIFY(!Frame()->CommandView()->m_dlgWait.IsOpen());
        QVERIFY(m_driver.LogIn(m_server.ServerText(), m_server.User(), m_server.Password(), true));
        QTRY_VERIFY(m_driver.RowOf("already-there.txt") >= 0);

        // Tick the two files in the tree.
        HTREEITEM hDrive = m_driver.Child(Tree().GetRootItem(), m_strDrive);
        QVERIFY(hDrive);
        m_driver.OpenItem(hDrive);
        HTREEITEM hDocuments = m_driver.Child(hDrive, "Documents");
        QVERIFY(hDocuments);
        m_driver.OpenItem(hDocuments);
        HTREEITEM hA = m_driver.Child(hDocuments, "a report.txt");
        HTREEITEM hB = m_driver.Child(hDocuments, "b.bin");
        QVERIFY(hA && hB);
        m_driver.ClickBox(hA);
        m_driver.ClickBox(hB);
        QCOMPARE(Tree().Plan().Files().size(), 2);

        // File > Backup: the message box first, then the backup, then the relisting.
        bool bAsked = false;
        CAppDriver::WhenMessageBox([&](QMessageBox* pBox) {
            bAsked = pBox->text() == Texts::BackupCommandNotice();
            CAppDriver::PressOk(pBox);
        });
        QVERIFY(m_driver.ChooseMenu("&File", ID_FILE_BACKUP));
        QTRY_VERIFY(bAsked);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_driver.RowOf("a report.txt") >= 0 && m_driver.RowOf("b.bin") >= 0, 20000);
        QCOMPARE(m_server.ReadFile("a report.txt"), QByteArray("report"));
        QCOMPARE(m_server.ReadFile("b.bin"), QByteArray(3000, 'b'));
        QTRY_COMPARE(Frame()->RightView()->m_stcUsage.text(), QString("2KB/100M"));
        QCOMPARE(Tree().Plan().Files().size(), 2); // kept for the next backup
        QCOMPARE(Frame()->GetStatusBar()->MessageText(), Texts::FilesBackedUp(2));

        // Restore "a report.txt" into a folder of the user's choice.
        const QString strRestore = HomePath("restored");
        QVERIFY(QDir().mkpath(strRestore));
        Frame()->CommandView()->m_pfnChooseFolder = [strRestore] { return strRestore; };
        m_driver.ClickRow("a report.txt");
        CAppDriver::WhenMessageBox(CAppDriver::PressOk);
        QVERIFY(m_driver.ChooseMenu("&File", ID_FILE_RESTORE));
        QTRY_COMPARE(QFile(strRestore + "/a report.txt").size(), qint64(6));
        QTRY_VERIFY(!Frame()->CommandView()->m_dlgWait.isVisible());
        QCOMPARE(Frame()->GetStatusBar()->MessageText(), Texts::FileRestored("a report.txt"));

        // Delete "b.bin" on the server: the Delete key asks first, and No (Enter) keeps it.
        Frame()->activateWindow(); // back from the last box, as a window manager does
        QVERIFY(QTest::qWaitForWindowActive(Frame()));
        m_driver.ClickRow("b.bin");
        QTRY_VERIFY(Frame()->RightView()->m_lstRemote.hasFocus());
        QString strAsked;
        CAppDriver::WhenMessageBox([&](QMessageBox* pBox) {
            strAsked = pBox->text();
            QTest::keyClick(pBox, Qt::Key_Return);
        });
        QTest::keyClick(&Frame()->RightView()->m_lstRemote, Qt::Key_Delete);
        QCOMPARE(strAsked, Texts::ConfirmDelete("b.bin"));
        QVERIFY(QFile::exists(m_server.FilePath("b.bin")));
        CAppDriver::WhenMessageBox([](QMessageBox* pBox) {
            QTest::mouseClick(pBox->button(QMessageBox::Yes), Qt::LeftButton);
        });
        QTest::mouseClick(&Frame()->RightView()->m_btnDelete, Qt::LeftButton);
        QTRY_VERIFY(m_driver.RowOf("b.bin") < 0);
        QVERIFY(!QFile::exists(m_server.FilePath("b.bin")));
        QVERIFY(m_driver.RowOf("a report.txt") >= 0);
        // The latest action's outcome replaces the restore's.
        QCOMPARE(Frame()->GetStatusBar()->MessageText(),
                 QCoreApplication::translate("CRightView", "已删除 %1").arg("b.bin"));
    }

    void planSurvivesARestart()
    {
        // The program is started twice, each time in a process of its own, with one home.
        const QByteArray step = qgetenv("MOSSVALE_RESTART_STEP");
        if (step.isEmpty()) {
            QVERIFY(CBackupPlan().SaveToProfile()); // nothing ticked yet
            QDir disk(m_strDrive);
            QVERIFY(disk.mkpath("Photos") && disk.mkpath("Notes"));
            for (const char* pszFile :
                 {"Photos/a.jpg", "Photos/b.jpg", "Notes/n.txt", "Notes/o.txt"}) {
                QFile file(disk.filePath(pszFile));
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
            }
            for (const char* pszStep : {"1", "2"}) {
                QProcess child;
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert("MOSSVALE_RESTART_STEP", pszStep);
                environment.insert("MOSSVALE_RESTART_HOME", g_strHome);
                child.setProcessEnvironment(environment);
                // An option first: the program takes a first plain argument for a document.
                child.start(QCoreApplication::applicationFilePath(),
                            {"-maxwarnings", "0", "planSurvivesARestart"});
                QVERIFY(child.waitForFinished(120000));
                QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
            }
            return;
        }
        QVERIFY(m_pApp->CreateMainWindow());
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
        HTREEITEM hDrive = m_driver.Child(Tree().GetRootItem(), m_strDrive);
        QVERIFY(hDrive);
        if (step == "1") {
            // A folder ticked before it was ever opened, and one file of another.
            QCOMPARE(Tree().GetCheckIndex(hDrive), int(CHECK_UNCHECKED));
            m_driver.OpenItem(hDrive);
            m_driver.ClickBox(m_driver.Child(hDrive, "Photos"));
            HTREEITEM hNotes = m_driver.Child(hDrive, "Notes");
            m_driver.OpenItem(hNotes);
            m_driver.ClickBox(m_driver.Child(hNotes, "n.txt"));
            QVERIFY(Frame()->close());
            return;
        }
        // The same ticks, the drive and the folder of the one file partly ticked, before a
        // folder is read; the ticked folder's files once it is opened.
        QCOMPARE(Tree().GetCheckIndex(hDrive), int(CHECK_PARTLY));
        m_driver.OpenItem(hDrive);
        HTREEITEM hPhotos = m_driver.Child(hDrive, "Photos");
        HTREEITEM hNotes = m_driver.Child(hDrive, "Notes");
        QCOMPARE(Tree().GetCheckIndex(hPhotos), int(CHECK_CHECKED));
        QCOMPARE(Tree().GetCheckIndex(hNotes), int(CHECK_PARTLY));
        QCOMPARE(Tree().GetItemData(hPhotos), LPARAM(0));
        m_driver.OpenItem(hNotes);
        QCOMPARE(Tree().GetCheckIndex(m_driver.Child(hNotes, "n.txt")), int(CHECK_CHECKED));
        QCOMPARE(Tree().GetCheckIndex(m_driver.Child(hNotes, "o.txt")), int(CHECK_UNCHECKED));
        m_driver.OpenItem(hPhotos);
        QCOMPARE(Tree().GetCheckIndex(m_driver.Child(hPhotos, "b.jpg")), int(CHECK_CHECKED));
        QVERIFY(Frame()->close());
    }

    void cancelAndQuitDuringALargeUploadEndsTheProcess()
    {
        // The program runs in a child, as main runs it, so that its end can be watched.
        const QByteArray serverText = qgetenv("MOSSVALE_QUIT_SERVER");
        if (serverText.isEmpty()) {
            CFtpTestServer slow;
            QVERIFY2(slow.Start(CFtpTestServer::Pyftpdlib, {"slow"}), qPrintable(slow.LastError()));
            QVERIFY(slow.PutFile("big.bin", "old copy"));
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("MOSSVALE_QUIT_SERVER", slow.ServerText());
            environment.insert("MOSSVALE_QUIT_USER", slow.User());
            environment.insert("MOSSVALE_QUIT_PASSWORD", slow.Password());
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(),
                        {"-maxwarnings", "0", "cancelAndQuitDuringALargeUploadEndsTheProcess"});
            QByteArray output;
            const bool bAsked = QTest::qWaitFor(
                [&] {
                    output += child.readAllStandardOutput();
                    return output.contains("quit asked") || child.state() == QProcess::NotRunning;
                },
                120000);
            QVERIFY2(bAsked && output.contains("quit asked"), output.constData());
            QElapsedTimer sinceQuit;
            sinceQuit.start();
            // Generous against a loaded machine; an upload left running takes minutes.
            QVERIFY2(child.waitForFinished(15000), output.constData());
            qInfo("the process ended %lld ms after Cancel and quit", sinceQuit.elapsed());
            output += child.readAllStandardOutput();
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                     output.constData());
            QCOMPARE(slow.ReadFile("big.bin"), QByteArray("old copy"));
            return;
        }
        QFile big(m_strDrive + "/Documents/big.bin");
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(64 << 20));
        big.close();
        QVERIFY(m_pApp->CreateMainWindow());
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
        // The test server offers no TLS; its account goes in clear, as the user agreed.
        CClearTextAccounts::Allow(
            CTrustStore::ServerKey("127.0.0.1", serverText.split(':').last().toInt()),
            qgetenv("MOSSVALE_QUIT_USER").toStdString());
        QVERIFY(m_driver.LogIn(serverText, qEnvironmentVariable("MOSSVALE_QUIT_USER"),
                               qEnvironmentVariable("MOSSVALE_QUIT_PASSWORD")));
        HTREEITEM hDrive = m_driver.Child(Tree().GetRootItem(), m_strDrive);
        QVERIFY(hDrive);
        m_driver.OpenItem(hDrive);
        HTREEITEM hDocuments = m_driver.Child(hDrive, "Documents");
        m_driver.OpenItem(hDocuments);
        m_driver.ClickBox(m_driver.Child(hDocuments, "big.bin"));
        QTest::mouseClick(&Frame()->CommandView()->m_btnBackup, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(Frame()->CommandView()->Run() &&
                                     Frame()->CommandView()->Run()->Progress().nCurrentBytes > 0,
                                 20000);
        CAppDriver::WhenMessageBox([](QMessageBox* pBox) {
            for (QAbstractButton* pButton : pBox->buttons())
                if (pButton->text() == Texts::CancelAndQuitButton())
                    QTest::mouseClick(pButton, Qt::LeftButton);
        });
        std::printf("quit asked\n");
        std::fflush(stdout);
        QVERIFY(Frame()->close());
        // main ends the process from here, as the program's own does.
    }

    void closingWhileAListingRunsEndsCleanly()
    {
        for (int i = 0; i < 4000; ++i)
            QVERIFY(m_server.PutFile(QString("many-%1.txt").arg(i), "x"));
        // A refresh lists the server; the window closes at once.
        Frame()->RightView()->StartListing();
        Frame()->close();
        QVERIFY(!Frame()->isVisible());
        QVERIFY(!m_pApp->Session());
        // The listing finishes on its own, talking to windows that are gone.
        QVERIFY(CJobPool::Get().WaitForAll(20000));
        QVERIFY(QFile::exists(HomePath("program/pane.dxl")) ||
                QFile::exists(HomePath("user/pane.dxl")));
    }

    void startShowsTheHistoryAndAnOverdueBackup()
    {
        QVERIFY(m_pApp->CreateMainWindow());
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
        QVERIFY(m_driver.LogIn(m_server.ServerText(), m_server.User(), m_server.Password()));
        // No schedule: a week without a successful backup is overdue.
        CScheduleStatus* pStatus = Frame()->GetScheduleStatus();
        pStatus->SetLastSuccess(QDateTime::currentDateTime().addDays(-8));
        QVERIFY(pStatus->IsWarning());

        bool bHistory = false;
        CAppDriver::WhenModalDialog([&](QDialog* pDialog) {
            bHistory = qobject_cast<CHistoryDlg*>(pDialog) != nullptr;
            pDialog->reject();
        });
        m_pApp->ShowStartNotices(true);
        QTRY_VERIFY(bHistory);
        // The warning stays up without holding the window.
        QMessageBox* pNotice = nullptr;
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            if (auto* pBox = qobject_cast<QMessageBox*>(pWidget); pBox && pBox->isVisible())
                pNotice = pBox;
        QVERIFY(pNotice);
        QCOMPARE(pNotice->text(), pStatus->WarningText());
        QVERIFY(!pNotice->isModal());
        pNotice->close();
        QVERIFY(Frame()->close());
    }
};

int main(int argc, char** argv)
{
    // The runs of a restart use the home of the run that started them.
    QTemporaryDir home;
    g_strHome = qEnvironmentVariable("MOSSVALE_RESTART_HOME", home.path());
    qputenv("XDG_CONFIG_HOME", HomePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", HomePath("data").toUtf8());
    qputenv("XDG_STATE_HOME", HomePath("state").toUtf8());
    CMossvaleApp app(argc, argv);
    TestApp test;
    return FinishJobsForExit(QTest::qExec(&test, argc, argv));
}

#include "tst_app.moc"
