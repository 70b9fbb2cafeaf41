#include "AppDriver.h"

#include "platform/DriveList.h"
#include "resources/Texts.h"
#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/MossvaleApp.h"
#include "tree/LeftView.h"
#include "views/RightView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "backup/BackupSession.h"

namespace {

template <typename T> void WhenModal(std::function<void(T*)> fnAnswer)
{
    auto* pTimer = new QTimer;
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, fnAnswer] {
        if (auto* pDialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            pTimer->stop();
            pTimer->deleteLater();
            fnAnswer(pDialog);
        }
    });
    pTimer->start();
}

QPushButton* VisibleButton(QWidget* pParent, const QString& strText)
{
    for (QPushButton* pButton : pParent->findChildren<QPushButton*>())
        if (pButton->text() == strText && pButton->isVisible())
            return pButton;
    return nullptr;
}

// With no keyring, a successful login asks whether to keep the password in a file: this user
// says no, for as long as the login dialog is up.
void DeclinePasswordFile(QDialog* pLogin)
{
    auto* pTimer = new QTimer;
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, login = QPointer<QDialog>(pLogin)] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (pBox && pBox->text() == Texts::KeepPasswordInFileQuestion())
            QTest::mouseClick(pBox->button(QMessageBox::No), Qt::LeftButton);
        if (!login || !login->isVisible()) {
            pTimer->stop();
            pTimer->deleteLater();
        }
    });
    pTimer->start();
}

} // namespace

CMainFrame* CAppDriver::Frame() const
{
    return m_pApp->MainFrame();
}

CFolderTreeCtrl& CAppDriver::Tree() const
{
    return Frame()->LeftView()->m_treeCtrl;
}

void CAppDriver::WhenMessageBox(std::function<void(QMessageBox*)> fnAnswer)
{
    WhenModal<QMessageBox>(std::move(fnAnswer));
}

void CAppDriver::WhenModalDialog(std::function<void(QDialog*)> fnAnswer)
{
    WhenModal<QDialog>(std::move(fnAnswer));
}

void CAppDriver::PressOk(QMessageBox* pBox)
{
    QTest::mouseClick(pBox->button(QMessageBox::Ok), Qt::LeftButton);
}

bool CAppDriver::LogIn(const QString& strServer, const QString& strUser, const QString& strPassword,
                       bool bFromMenu)
{
    WhenModalDialog([=](QDialog* pLogin) {
        const QList<QLineEdit*> edits = pLogin->findChildren<QLineEdit*>();
        const QString texts[] = {strServer, strUser, strPassword};
        for (int i = 0; i < 3 && i < edits.size(); ++i) {
            edits[i]->setFocus();
            edits[i]->selectAll();
            QTest::keyClicks(edits[i], texts[i]);
        }
        if (QPushButton* pLogin1 = VisibleButton(pLogin, QStringLiteral("Login")))
            QTest::mouseClick(pLogin1, Qt::LeftButton);
        DeclinePasswordFile(pLogin);
    });
    if (!bFromMenu)
        m_pApp->RunLogin();
    else if (!ChooseMenu(QStringLiteral("&File"), ID_FILE_LOGIN))
        return false;
    return m_pApp->Session() && QString::fromStdString(m_pApp->Session()->Server()) == strServer;
}

HTREEITEM CAppDriver::Child(HTREEITEM hParent, const QString& strText) const
{
    for (HTREEITEM h = Tree().GetChildItem(hParent); h; h = Tree().GetNextSiblingItem(h))
        if (Tree().GetItemText(h) == strText)
            return h;
    return nullptr;
}

void CAppDriver::OpenItem(HTREEITEM hItem)
{
    Tree().scrollTo(Tree().IndexFromItem(hItem));
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {},
                      Tree().GetItemRect(hItem, true).center());
    QTest::keyClick(&Tree(), Qt::Key_Right);
    // A slow disk's folder is read in the background; its children come when it ends.
    if (!QTest::qWaitFor([&] { return !Tree().IsReading(hItem); }, 20000))
        qWarning("the folder was still being read");
}

void CAppDriver::ClickBox(HTREEITEM hItem)
{
    Tree().scrollTo(Tree().IndexFromItem(hItem));
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {},
                      Tree().GetStateIconRect(hItem).center());
}

bool CAppDriver::ChooseMenu(const QString& strMenu, unsigned nCommand)
{
    QMenuBar* pBar = Frame()->menuBar();
    QMenu* pMenu = nullptr;
    for (QAction* pAction : pBar->actions())
        if (pAction->text() == strMenu)
            pMenu = pAction->menu();
    QAction* pItem = Frame()->Action(nCommand);
    if (!pMenu || !pItem)
        return false;
    QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->actionGeometry(pMenu->menuAction()).center());
    if (!QTest::qWaitFor([pMenu] { return pMenu->isVisible(); }))
        return false;
    QTest::mouseClick(pMenu, Qt::LeftButton, {}, pMenu->actionGeometry(pItem).center());
    return true;
}

int CAppDriver::RowOf(const QString& strName) const
{
    QAbstractItemModel* pModel = Frame()->RightView()->m_lstRemote.model();
    for (int i = 0; i < pModel->rowCount(); ++i)
        if (pModel->index(i, 0).data().toString() == strName)
            return i;
    return -1;
}

void CAppDriver::ClickRow(const QString& strName)
{
    QListView& list = Frame()->RightView()->m_lstRemote;
    const QModelIndex index = list.model()->index(RowOf(strName), 0);
    list.scrollTo(index);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(index).center());
}

bool CAppDriver::UseOwnMachine(const QString& strHome, const QString& strDrive)
{
    QFile table(strHome + QStringLiteral("/mounts"));
    if (!QDir().mkpath(strDrive) || !table.open(QIODevice::WriteOnly))
        return false;
    table.write(QStringLiteral("/dev/vdz %1 ext4 rw 0 0\n").arg(strDrive).toUtf8());
    table.close();
    SetMountTable(table.fileName());
    CMainFrame::SetLayoutFolders(strHome + QStringLiteral("/program"),
                                 strHome + QStringLiteral("/user"));
    return true;
}
