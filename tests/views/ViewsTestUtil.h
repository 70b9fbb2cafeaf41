#pragma once
// What the view suites share: a real server with the account set as a login would set it,
// and a user who answers message boxes.
#include "FtpTestServer.h"
#include "StartOrSkip.h"
#include "TestFiles.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "transfer/TransferGlobals.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

// The session a login opens, with the suite's time-outs; for a suite's whole run.
inline void OpenSession(const CInternetSession::Timeouts& timeouts)
{
    CInternetSession::SetTimeouts(timeouts);
    g_hInternet = std::make_shared<CInternetSession>();
}

inline void CloseSession()
{
    g_hInternet.reset();
}

// The account of the server, as a login would set it.
inline void LogIn(const CFtpTestServer& server)
{
    g_strServer = server.ServerText().toStdString();
    g_strUserName = server.User().toStdString();
    g_strPassword = server.Password().toStdString();
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
