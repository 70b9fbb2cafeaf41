#pragma once
// What the view suites share: a real server with the account set as a login would set it,
// and a user who answers message boxes.
#include "FtpTestServer.h"
#include "StartOrSkip.h"
#include "TestFiles.h"
#include "backup/BackupSession.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

// The connections a login opens, with the suite's time-outs; for a suite's whole run.
inline std::shared_ptr<CInternetSession>& SuiteInternet()
{
    static std::shared_ptr<CInternetSession> pInternet;
    return pInternet;
}

inline void OpenSession(const CInternetSession::Timeouts& timeouts)
{
    CInternetSession::SetTimeouts(timeouts);
    SuiteInternet() = std::make_shared<CInternetSession>();
}

inline void CloseSession()
{
    SuiteInternet().reset();
}

// The account of the server, as a login makes it (with another password when one is given).
inline std::shared_ptr<CBackupSession> MakeSession(const CFtpTestServer& server,
                                                   const QString& strPassword = QString())
{
    return std::make_shared<CBackupSession>(
        server.ServerText().toStdString(), server.User().toStdString(),
        (strPassword.isEmpty() ? server.Password() : strPassword).toStdString(), SuiteInternet());
}

// A user who reads each message box that comes up and presses its OK button.
class CBoxReader : public QObject
{
public:
    CBoxReader()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(20);
    }
    // Runs when a box is seen, before it is answered: lets a test look at the windows then.
    std::function<void()> m_onBox;
    QStringList m_titles;
    QStringList m_texts;

private:
    void Poll()
    {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox || !pBox->isVisible())
            return;
        m_titles << pBox->windowTitle();
        m_texts << pBox->text();
        if (m_onBox)
            m_onBox();
        QTest::mouseClick(pBox->button(QMessageBox::Ok), Qt::LeftButton);
    }
    QTimer m_timer;
};
