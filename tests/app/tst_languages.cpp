// The program in the user's language. CTest starts this suite twice, under LANG=C and under
// LANG=zh_CN.UTF-8; it walks every window, menu and message it can open and reads their texts:
// under C none may hold a Chinese character, under Chinese they are the source texts.
#include "AppDriver.h"
#include "login/LoginDlg.h"
#include "FtpTestServer.h"
#include "platform/DriveList.h"
#include "resources/Language.h"
#include "resources/Texts.h"
#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/MossvaleApp.h"
#include "transfer/InternetSession.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"

#include <QtTest>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QTemporaryDir* g_pHome = nullptr;

bool HasCjk(const QString& strText)
{
    static const QRegularExpression cjk(QStringLiteral("[\\x{2E80}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return strText.contains(cjk);
}

void AddActions(const QList<QAction*>& actions, QStringList& texts)
{
    for (QAction* pAction : actions) {
        texts << pAction->text() << pAction->toolTip() << pAction->statusTip();
        if (QMenu* pMenu = pAction->menu()) {
            texts << pMenu->title();
            AddActions(pMenu->actions(), texts);
        }
    }
}

void AddModel(const QAbstractItemModel* pModel, const QModelIndex& parent, int nDepth,
              QStringList& texts)
{
    for (int nRow = 0; nRow < pModel->rowCount(parent) && nRow < 50; ++nRow) {
        const QModelIndex index = pModel->index(nRow, 0, parent);
        for (int nRole : {Qt::DisplayRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole})
            texts << index.data(nRole).toString();
        if (nDepth > 0)
            AddModel(pModel, index, nDepth - 1, texts);
    }
}

// Everything a user can read in a window, shown or not: titles, labels, buttons, tooltips,
// menus, list items and what a screen reader is told.
QStringList TextsOf(QWidget* pWindow)
{
    QList<QWidget*> widgets = pWindow->findChildren<QWidget*>();
    widgets.prepend(pWindow);
    QStringList texts;
    for (QWidget* pWidget : widgets) {
        texts << pWidget->windowTitle() << pWidget->toolTip() << pWidget->accessibleName()
              << pWidget->accessibleDescription();
        AddActions(pWidget->actions(), texts);
        if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
            texts << pLabel->text();
        if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
            texts << pButton->text();
        if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget))
            texts << pGroup->title();
        if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
            texts << pEdit->placeholderText();
        if (auto* pTabs = qobject_cast<QTabWidget*>(pWidget))
            for (int i = 0; i < pTabs->count(); ++i)
                texts << pTabs->tabText(i) << pTabs->tabToolTip(i);
        if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
            for (int i = 0; i < pCombo->count(); ++i)
                texts << pCombo->itemText(i);
        if (auto* pView = qobject_cast<QAbstractItemView*>(pWidget); pView && pView->model())
            AddModel(pView->model(), pView->rootIndex(), 1, texts);
        if (QAccessibleInterface* pAccessible = QAccessible::queryAccessibleInterface(pWidget))
            for (auto eText : {QAccessible::Name, QAccessible::Description, QAccessible::Value})
                texts << pAccessible->text(eText);
    }
    texts.removeAll(QString());
    return texts;
}

} // namespace

class TestLanguages : public QObject
{
    Q_OBJECT

    CFtpTestServer m_server;
    CMossvaleApp* m_pApp = static_cast<CMossvaleApp*>(QCoreApplication::instance());
    CAppDriver m_driver{m_pApp};
    QString m_strDrive;
    bool m_bEnglish = !CLanguage::IsSource(CLanguage::Choose(QLocale::system().uiLanguages()));

    QTimer m_modalUser;
    std::function<void(QDialog*)> m_fnDialog; // the next dialog that is not a message box
    QStringList m_texts;

    CMainFrame* Frame() { return m_driver.Frame(); }

    // Reads every modal window that comes up; message boxes get their default answer.
    void OnModal()
    {
        auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!pDialog || !pDialog->isVisible())
            return;
        if (auto* pBox = qobject_cast<QMessageBox*>(pDialog)) {
            m_texts << TextsOf(pBox);
            QAbstractButton* pAnswer = pBox->defaultButton();
            if (!pAnswer)
                pAnswer = pBox->escapeButton() ? pBox->escapeButton() : pBox->buttons().value(0);
            QTest::mouseClick(pAnswer, Qt::LeftButton);
        } else if (m_fnDialog) {
            m_texts << TextsOf(pDialog);
            std::exchange(m_fnDialog, nullptr)(pDialog);
        }
    }

    // Opens a dialog through fnOpen (which returns once it has closed), reads it, closes it.
    void Read(const std::function<void()>& fnOpen)
    {
        m_fnDialog = [](QDialog* pDialog) { pDialog->reject(); };
        fnOpen();
        QVERIFY(!m_fnDialog);
    }

    bool Shows(const QString& strPart) const
    {
        return std::any_of(m_texts.begin(), m_texts.end(),
                           [&](const QString& strText) { return strText.contains(strPart); });
    }

    void TypeLogin(QDialog* pLogin, const QString& strServer)
    {
        const QList<QLineEdit*> edits = pLogin->findChildren<QLineEdit*>();
        const QString texts[] = {strServer, m_server.User(), m_server.Password()};
        for (int i = 0; i < 3 && i < edits.size(); ++i) {
            edits[i]->selectAll();
            QTest::keyClicks(edits[i], texts[i]);
        }
        for (QPushButton* pButton : pLogin->findChildren<QPushButton*>())
            if (pButton->isVisible() && pButton->text() == QLatin1String("Login"))
                QTest::mouseClick(pButton, Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        connect(&m_modalUser, &QTimer::timeout, this, &TestLanguages::OnModal);
        m_modalUser.start(20);
        CInternetSession::SetTimeouts({5, 10});
        QVERIFY2(m_server.Start(CFtpTestServer::Pyftpdlib), qPrintable(m_server.LastError()));
        m_strDrive = g_pHome->filePath("disk");
        QVERIFY(CAppDriver::UseOwnMachine(g_pHome->path(), m_strDrive));
        QFile local(m_strDrive + "/local.txt");
        QVERIFY(local.open(QIODevice::WriteOnly) && local.write("local") == 5);
        local.close();
    }

    // LANGUAGE may list several languages: the first the program has wins.
    void choosesTheFirstLanguageItHas_data()
    {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<bool>("bChinese");
        QTest::newRow("C") << QStringList{"C"} << false;
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("zh_CN") << QStringList{"zh-CN", "zh-Hans-CN", "zh"} << true;
        QTest::newRow("zh_TW") << QStringList{"zh-TW", "zh-Hant-TW"} << true;
        QTest::newRow("de only") << QStringList{"de-DE", "de"} << false;
        QTest::newRow("de then zh") << QStringList{"de-DE", "zh-CN"} << true;
        QTest::newRow("en then zh") << QStringList{"en-GB", "zh-CN"} << false;
    }
    void choosesTheFirstLanguageItHas()
    {
        QFETCH(QStringList, languages);
        QFETCH(bool, bChinese);
        QCOMPARE(CLanguage::IsSource(CLanguage::Choose(languages)), bChinese);
    }

    // Qt's own buttons and file chooser come from Qt's translations, loaded beside ours.
    void qtDialogsSpeakTheLanguage()
    {
        QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No);
        QFileDialog chooser;
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        const QStringList texts = TextsOf(&box) + TextsOf(&chooser);
        QVERIFY(!texts.isEmpty());
        for (const QString& strText :
             {box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text()})
            QVERIFY2(HasCjk(strText) != m_bEnglish, qPrintable(strText));
        QVERIFY2(HasCjk(texts.join(' ')) != m_bEnglish, qPrintable(texts.join(" | ")));
    }

    void everyWindowSpeaksTheLanguage()
    {
        QVERIFY(m_pApp->CreateMainWindow());
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
        m_texts << TextsOf(Frame());
        Read([this] { m_pApp->OnAppAbout(); });
        Read([this] { Frame()->Action(ID_VIEW_CUSTOMIZE)->trigger(); });

        // A login that cannot connect, then one that does, to a server with nothing on it.
        m_fnDialog = [this](QDialog* pLogin) {
            TypeLogin(pLogin, QStringLiteral("127.0.0.1:1"));
            // The check runs on a worker; the dialog says how it went once it has ended.
            auto* pDlg = qobject_cast<CLoginDlg*>(pLogin);
            QVERIFY(pDlg);
            QTRY_VERIFY_WITH_TIMEOUT(!pDlg->IsChecking(), 20000);
            m_texts << TextsOf(pLogin);
            TypeLogin(pLogin, m_server.ServerText());
        };
        m_pApp->RunLogin();
        QTRY_VERIFY(Shows(Texts::FolderEmpty()));

        QVERIFY(m_server.PutFile("remote.txt", "remote"));
        QVERIFY(m_driver.ChooseMenu("&View", ID_VIEW_REFRESH));
        QTRY_VERIFY(m_driver.RowOf("remote.txt") >= 0);

        // A backup and a restore that fail, each named in a message with its reason.
        HTREEITEM hDrive = m_driver.Child(m_driver.Tree().GetRootItem(), m_strDrive);
        QVERIFY(hDrive);
        m_driver.OpenItem(hDrive);
        HTREEITEM hLocal = m_driver.Child(hDrive, "local.txt");
        QVERIFY(hLocal);
        m_driver.ClickBox(hLocal);
        m_driver.ClickRow("remote.txt");
        m_texts << TextsOf(Frame());
        m_server.Stop();
        Frame()->CommandView()->m_pfnChooseFolder = [] { return g_pHome->path(); };
        QTest::mouseClick(&Frame()->CommandView()->m_btnRestore, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(Shows(Texts::RestoreFailedHeading()), 20000);
        QVERIFY(m_driver.ChooseMenu("&File", ID_FILE_BACKUP)); // the menu's notice first
        QTRY_VERIFY_WITH_TIMEOUT(Shows(Texts::BackupFailedHeading()), 20000);
        m_texts << TextsOf(Frame());

        // Every reason and notice, also those this walk cannot provoke.
        for (int nFailure = FAILURE_LOGIN_REFUSED; nFailure < 64; ++nFailure) // empty past the last
            m_texts << Texts::FailureReason(static_cast<ETransferFailure>(nFailure));
        m_texts << Texts::SameNameReason("a") << Texts::DeleteFailedHeading()
                << Texts::ListingIncomplete() << Texts::ListingUnreadable()
                << Texts::SizesUnknown(2) << Texts::ReasonWithReply("a", "550 b");

        if (m_bEnglish) {
            QStringList chinese;
            std::copy_if(m_texts.begin(), m_texts.end(), std::back_inserter(chinese), HasCjk);
            QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join(" | ")));
        }
        // What each walk must have met, in the language of its locale: the window templates
        // keep their English, which the translation corrects where it was wrong.
        const QStringList met = m_bEnglish ? QStringList{"BACKUP",
                                                         "Please log in to the server.",
                                                         "Connection failed",
                                                         "The folder is empty",
                                                         "Now running OnButtonBackup",
                                                         "These files could not be backed up:",
                                                         "local.txt (",
                                                         "Could not restore the file:",
                                                         "cannot reach the server"}
                                           : QStringList{"BACKUP",
                                                         "Please login the server.",
                                                         "连接失败",
                                                         "目录为空，没有多余的内容",
                                                         "现在执行OnButtonBackup",
                                                         "以下文件未能备份：",
                                                         "local.txt（",
                                                         "无法恢复文件：",
                                                         "无法连接服务器"};
        for (const QString& strText : met)
            QVERIFY2(Shows(strText), qPrintable(strText));
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir home;
    g_pHome = &home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    CMossvaleApp app(argc, argv);
    TestLanguages test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_languages.moc"
