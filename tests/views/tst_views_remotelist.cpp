// The remote file list against real servers on loopback: what a listing shows, the usage
// meter, superseded listings, and Delete File driven with the mouse.
#include "ViewsTestUtil.h"
#include "views/RightView.h"
#include "views/VersionsDlg.h"
#include "resources/Texts.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QDateTime>
#include <QDir>
#include <QLocale>

#include <algorithm>
#include <memory>

namespace {

// Counts the jobs that end, listings of superseded refreshes included.
class CJobTap : public QObject
{
public:
    CJobTap()
    {
        connect(&CJobPool::Get(), &CJobPool::jobEnded, this, [this] { ++m_nEnded; });
    }
    int m_nEnded = 0;
};

RemoteItem Item(const char* pszName, bool bFolder, qint64 nSize = 0)
{
    RemoteItem item;
    item.name = pszName;
    item.bFolder = bFolder;
    item.nSize = nSize;
    return item;
}

} // namespace

class TestRemoteList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void arrivalOrderAndSupersededListings();
    void refreshShowsTheRoot_data();
    void refreshShowsTheRoot();
    void usageTotals_data();
    void usageTotals();
    void tooltipAndDescription();
    void quickRefreshesGiveOneCopy();
    void deleteRemovesTheDeletedName();
    void failedDeleteLeavesTheRow();
    void incompleteListingsSaySo_data();
    void incompleteListingsSaySo();
    void versionsHiddenListedAndRestored();
    void foldersOpenAndGoUp();
    void folderDeletedAfterItsCount();

private:
    QStringList Labels() const;
    QStringList SortedLabels() const;
    QModelIndex Index(const QString& strLabel) const;
    void Click(const QString& strLabel, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Lists the server and waits until its meter is set.
    bool Refresh();

    std::unique_ptr<CRightView> m_pView;
    std::unique_ptr<CJobTap> m_pTap;
    std::unique_ptr<QAbstractItemModelTester> m_pTester;
};

void TestRemoteList::initTestCase()
{
    OpenSession({5, 5});
}

void TestRemoteList::cleanupTestCase()
{
    CloseSession();
}

void TestRemoteList::init()
{
    m_pView = std::make_unique<CRightView>();
    m_pView->resize(m_pView->sizeHint());
    m_pView->OnInitialUpdate();
    m_pView->m_pfnConfirmDelete = [](const QString&) { return true; };
    m_pView->m_pfnConfirmFolderDelete = [](const QString&, qlonglong) { return true; };
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView.get()));
    m_pTester = std::make_unique<QAbstractItemModelTester>(&m_pView->m_model);
    m_pTap = std::make_unique<CJobTap>();
}

void TestRemoteList::cleanup()
{
    // Wait for the delete jobs and the listings, and let their last reports arrive; a listing
    // left without an account says so in a box, which is answered.
    CBoxReader reader;
    QVERIFY(CJobPool::Get().WaitForAll(20000));
    m_pTester.reset();
    m_pTap.reset();
    m_pView.reset();
}

QStringList TestRemoteList::Labels() const
{
    QStringList labels;
    for (int i = 0; i < m_pView->m_model.rowCount(); ++i)
        labels << m_pView->m_model.Label(i);
    return labels;
}

QStringList TestRemoteList::SortedLabels() const
{
    QStringList labels = Labels();
    labels.sort();
    return labels;
}

QModelIndex TestRemoteList::Index(const QString& strLabel) const
{
    const int nRow = Labels().indexOf(strLabel);
    return nRow < 0 ? QModelIndex() : m_pView->m_model.index(nRow);
}

void TestRemoteList::Click(const QString& strLabel, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex index = Index(strLabel);
    QVERIFY2(index.isValid(), qPrintable(strLabel));
    m_pView->m_lstRemote.scrollTo(index);
    QTest::mouseClick(m_pView->m_lstRemote.viewport(), Qt::LeftButton, modifiers,
                      m_pView->m_lstRemote.visualRect(index).center());
}

bool TestRemoteList::Refresh()
{
    m_pView->m_stcUsage.clear();
    const int nEnded = m_pTap->m_nEnded;
    m_pView->StartListing();
    // Ended, the whole account counted, and any box it brought up read and closed.
    return QTest::qWaitFor(
        [&] {
            return m_pTap->m_nEnded > nEnded && !QApplication::activeModalWidget() &&
                   !m_pView->m_stcUsage.text().isEmpty() && !m_pView->IsCounting();
        },
        20000);
}

void TestRemoteList::arrivalOrderAndSupersededListings()
{
    // Folders go to the top as they come, files to the end; "." and ".." are no rows.
    m_pView->SetSession(nullptr);
    m_pView->StartListing(); // no account: the listing fails, but it is the current one now
    const unsigned nTag = m_pView->m_nListingTag;
    m_pView->OnRemoteItemsAdded(
        {Item(".", true), Item("..", true), Item("A", true), Item("x", false, 2048)}, nTag);
    m_pView->OnRemoteItemsAdded({Item("B", true), Item("y", false, 1000)}, nTag);
    m_pView->OnRemoteItemsAdded({Item("Z", true), Item("z", false, 9000)}, nTag - 1);

    QCOMPARE(Labels(), QStringList({"B", "A", "x", "y"}));
    QCOMPARE(m_pView->m_model.index(0).data(CRemoteListModel::FolderRole).toInt(), 1);
    QCOMPARE(m_pView->m_model.index(3).data(CRemoteListModel::FolderRole).toInt(), 0);

    // A superseded listing's end changes nothing; the current one's sets the meter.
    ListingReport end;
    end.nListingTag = nTag - 1;
    m_pView->OnListingEnded(end);
    QCOMPARE(m_pView->m_stcUsage.text(), QString());
    end.nListingTag = nTag;
    m_pView->OnListingEnded(end);
    QCOMPARE(m_pView->m_stcUsage.text(), QStringLiteral("2KB/100M"));

    // A new listing starts from nothing.
    m_pView->StartListing();
    QCOMPARE(m_pView->m_model.rowCount(), 0);
    QVERIFY(m_pView->m_nListingTag != nTag);
}

void TestRemoteList::refreshShowsTheRoot_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("vsftpd (LIST)") << int(CFtpTestServer::Vsftpd);
    QTest::newRow("pyftpdlib (MLSD)") << int(CFtpTestServer::Pyftpdlib);
}

void TestRemoteList::refreshShowsTheRoot()
{
    QFETCH(int, kind);
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Kind(kind));
    m_pView->SetSession(MakeSession(server));
    for (const char* pszFolder : {"Alpha", "Beta"})
        QVERIFY(server.MakeFolder(pszFolder));
    QVERIFY(server.PutFile("Alpha/inside.txt", "not listed"));
    for (const char* pszFile : {"one.txt", "two.txt", "报告.txt"})
        QVERIFY(server.PutFile(QString::fromUtf8(pszFile), "data"));

    QVERIFY(Refresh());
    const QStringList labels = Labels();
    QCOMPARE(labels.size(), 5);
    QCOMPARE(SortedLabels(),
             QStringList({"Alpha", "Beta", "one.txt", "two.txt", QString::fromUtf8("报告.txt")}));
    for (int i = 0; i < labels.size(); ++i)
        QCOMPARE(m_pView->m_model.index(i).data(CRemoteListModel::FolderRole).toInt(), i < 2);

    // Relisting rebuilds the rows rather than adding to them.
    QVERIFY(Refresh());
    QCOMPARE(SortedLabels().size(), 5);
}

void TestRemoteList::usageTotals_data()
{
    QTest::addColumn<QList<qint64>>("sizes");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("meter");
    const qint64 kKB = 1024;
    QTest::newRow("empty") << QList<qint64>{} << "0KB/100M" << 0;
    QTest::newRow("1023 KB") << QList<qint64>{1023 * kKB} << "1023KB/100M" << 1023;
    QTest::newRow("1024 KB and a folder") << QList<qint64>{-1, 1024 * kKB} << "1.0M/100M" << 1024;
    QTest::newRow("1536 KB") << QList<qint64>{1000 * kKB, 536 * kKB} << "1.5M/100M" << 1536;
    QTest::newRow("204800 KB") << QList<qint64>{204800 * kKB} << "200.0M/100M" << 102400;
    // Small files count by their bytes: 512 + 512 + 100 bytes are 1 KB, not 1124 KB.
    QTest::newRow("small files") << QList<qint64>{512, 512, 100} << "1KB/100M" << 1;
    QTest::newRow("small and large") << QList<qint64>{1024, 1023, 500 * kKB} << "501KB/100M" << 501;
    // Whole-kilobyte texts would lose up to 1023 bytes a file: the meter adds the bytes.
    QTest::newRow("above a kilobyte") << QList<qint64>{1500, 1500, 1500} << "4KB/100M" << 4;
    QTest::newRow("just short of 2 KB") << QList<qint64>{2047, 2047} << "3KB/100M" << 3;
    QTest::newRow("to a megabyte") << QList<qint64>{kKB * kKB - 1, 1} << "1.0M/100M" << 1024;
}

void TestRemoteList::usageTotals()
{
    QFETCH(QList<qint64>, sizes);
    QFETCH(QString, label);
    QFETCH(int, meter);
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    m_pView->SetSession(MakeSession(server));
    for (int i = 0; i < sizes.size(); ++i) {
        const QString strName = QStringLiteral("f%1").arg(i);
        if (sizes[i] < 0) {
            QVERIFY(server.MakeFolder(strName));
            continue;
        }
        QVERIFY(server.PutFile(strName, {}));
        QVERIFY(QFile::resize(server.FilePath(strName), sizes[i])); // sparse: no disk used
    }

    CBoxReader reader;
    QVERIFY(Refresh());
    QCOMPARE(m_pView->m_stcUsage.text(), label);
    QCOMPARE(m_pView->m_prgUsage.value(), meter);
    QCOMPARE(m_pView->m_prgUsage.maximum(), 102400);
    if (sizes.isEmpty()) // the server's folder is empty: the user is told so, once
        QCOMPARE(reader.m_texts, QStringList{QString::fromUtf8("目录为空，没有多余的内容")});
    else
        QCOMPARE(reader.m_texts, QStringList());
}

void TestRemoteList::tooltipAndDescription()
{
    m_pView->SetSession(nullptr);
    m_pView->StartListing();
    RemoteItem item = Item("holiday-2023.jpg", false, 15 * 1024);
    item.tLastWrite = QDateTime(QDate(2026, 7, 12), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    item.eTimeKind = TIME_DAY_ONLY;
    m_pView->OnRemoteItemsAdded({item}, m_pView->m_nListingTag);
    QCOMPARE(m_pView->m_model.index(0).data(Qt::ToolTipRole).toString(),
             QString("holiday-2023.jpg\n15KB\n07/12/26"));
    QCOMPARE(m_pView->m_lstRemote.textElideMode(), Qt::ElideMiddle);
    QVERIFY(!m_pView->m_lstRemote.wordWrap()); // wrapping would cut the extension off anyway

    // A screen reader hears the row's name, then its size and date.
    QAccessibleInterface* pList = QAccessible::queryAccessibleInterface(&m_pView->m_lstRemote);
    QVERIFY(pList);
    QCOMPARE(pList->text(QAccessible::Name), QString("Server files"));
    QAccessibleInterface* pRow = nullptr;
    for (int i = 0; i < pList->childCount() && !pRow; ++i) {
        if (pList->child(i)->text(QAccessible::Name) == "holiday-2023.jpg")
            pRow = pList->child(i);
    }
    QVERIFY(pRow);
    QCOMPARE(pRow->text(QAccessible::Description), QString("15KB\n07/12/26"));

    // The meter is "Space used" and says how much; its label reads as the text it shows.
    m_pView->m_nUsedBytes = 292 * 1024;
    ListingReport listed;
    listed.nListingTag = m_pView->m_nListingTag;
    m_pView->OnListingEnded(listed);
    QAccessibleInterface* pMeter = QAccessible::queryAccessibleInterface(&m_pView->m_prgUsage);
    QCOMPARE(pMeter->text(QAccessible::Name), QString("Space used"));
    QCOMPARE(pMeter->text(QAccessible::Description), QString("292KB/100M"));
    QAccessibleInterface* pLabel = QAccessible::queryAccessibleInterface(&m_pView->m_stcUsage);
    QCOMPARE(pLabel->text(QAccessible::Name), QString("292KB/100M"));
}

void TestRemoteList::quickRefreshesGiveOneCopy()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    m_pView->SetSession(MakeSession(server));
    constexpr int kFiles = 4000;
    for (int i = 0; i < kFiles; ++i)
        QVERIFY(WriteFile(
            server.FilePath(QStringLiteral("file-%1.txt").arg(i, 4, 10, QLatin1Char('0'))),
            QByteArray(2048, 'x')));

    // The second refresh comes while the first listing is still running.
    m_pView->StartListing();
    m_pView->StartListing();
    QTRY_VERIFY_WITH_TIMEOUT(m_pTap->m_nEnded >= 2 && !m_pView->IsCounting(), 20000);

    const QStringList labels = SortedLabels();
    QCOMPARE(labels.size(), kFiles);
    QCOMPARE(labels.first(), QStringLiteral("file-0000.txt"));
    QCOMPARE(labels.last(), QStringLiteral("file-3999.txt"));
    QCOMPARE(std::adjacent_find(labels.begin(), labels.end()), labels.end());
    QCOMPARE(m_pView->m_stcUsage.text(), QStringLiteral("7.8M/100M")); // 4000 x 2 KB
}

void TestRemoteList::deleteRemovesTheDeletedName()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    m_pView->SetSession(MakeSession(server));
    for (const char* pszFile : {"a.txt", "b.txt", "c.txt", "d.txt"})
        QVERIFY(server.PutFile(pszFile, pszFile));
    QVERIFY(Refresh());

    // The selection moves on before the deletion's report arrives.
    Click("b.txt");
    QTest::mouseClick(&m_pView->m_btnDelete, Qt::LeftButton);
    Click("d.txt");
    QTRY_VERIFY_WITH_TIMEOUT(!Index("b.txt").isValid(), 20000);
    QVERIFY(!QFile::exists(server.FilePath("b.txt")));
    QCOMPARE(SortedLabels(), QStringList({"a.txt", "c.txt", "d.txt"}));
    QCOMPARE(m_pView->GetFirstSelectedLabel(), QStringLiteral("d.txt"));

    // Of several selected rows, the first in the list is the one deleted, whatever the
    // order of the clicks.
    const QString strLater = Labels().at(2);
    const QString strEarlier = Labels().at(0);
    Click(strLater);
    Click(strEarlier, Qt::ControlModifier);
    QCOMPARE(m_pView->GetFirstSelectedLabel(), strEarlier);
    QTest::mouseClick(&m_pView->m_btnDelete, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!Index(strEarlier).isValid(), 20000);
    QVERIFY(!QFile::exists(server.FilePath(strEarlier)));
    QVERIFY(QFile::exists(server.FilePath(strLater)));
    QCOMPARE(m_pView->m_model.rowCount(), 2);
}

void TestRemoteList::failedDeleteLeavesTheRow()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    m_pView->SetSession(MakeSession(server));
    QVERIFY(server.PutFile("gone.txt", "x"));
    QVERIFY(server.PutFile("kept.txt", "x"));
    QVERIFY(Refresh());
    QVERIFY(QFile::remove(server.FilePath("gone.txt"))); // vanished since the listing

    // A vanished file cannot be deleted, and with nothing selected there is nothing to
    // delete: each report says the deletion failed and every row stays. The user is told why
    // the server still holds the file.
    CBoxReader reader;
    for (const char* pszLabel : {"gone.txt", ""}) {
        if (*pszLabel)
            Click(pszLabel);
        else
            m_pView->m_lstRemote.clearSelection();
        QTest::mouseClick(&m_pView->m_btnDelete, Qt::LeftButton);
        QVERIFY(CJobPool::Get().WaitForAll(20000));
        QCOMPARE(m_pView->m_model.rowCount(), 2);
    }
    QVERIFY(QFile::exists(server.FilePath("kept.txt")));
    QTRY_COMPARE(reader.m_texts.size(), 1);
    QVERIFY(
        reader.m_texts[0].startsWith(QString::fromUtf8("无法删除文件：gone.txt（服务器拒绝：550")));
}

void TestRemoteList::incompleteListingsSaySo_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");   // the start of the message the user reads
    QTest::addColumn<QString>("label"); // the start of the meter's label
    QTest::addColumn<bool>("rows");     // whether rows that did arrive are shown
    QTest::newRow("cut") << "cut-list" << QString::fromUtf8("服务器文件列表不完整（连接中断")
                         << QString::fromUtf8("≥") << true;
    QTest::newRow("refused") << "refuse-list"
                             << QString::fromUtf8(
                                    "无法读取服务器文件列表（服务器拒绝：451 Listing refused.）")
                             << QStringLiteral("?/100M") << false;
    // Sizes that are no number: the files are there, the meter only knows a lower bound.
    QTest::newRow("unknown sizes")
        << "odd-size-list" << QString() << QString::fromUtf8("≥0KB/100M") << true;
}

void TestRemoteList::incompleteListingsSaySo()
{
    QFETCH(QString, fault);
    QFETCH(QString, box);
    QFETCH(QString, label);
    QFETCH(bool, rows);
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {fault});
    m_pView->SetSession(MakeSession(server));
    for (int i = 0; i < 200; ++i)
        QVERIFY(server.PutFile(QStringLiteral("file-%1.txt").arg(i), "data"));
    CBoxReader reader;
    QVERIFY(Refresh());
    QVERIFY2(m_pView->m_stcUsage.text().startsWith(label), qPrintable(m_pView->m_stcUsage.text()));
    QCOMPARE(m_pView->m_model.rowCount() > 0, rows);
    if (box.isEmpty()) {
        QCOMPARE(m_pView->m_model.rowCount(), 4);
        QCOMPARE(m_pView->m_stcUsage.toolTip(), QString::fromUtf8("3 个文件大小未知"));
        QCOMPARE(reader.m_texts, QStringList());
        return;
    }
    QTRY_COMPARE(reader.m_texts.size(), 1);
    QVERIFY2(reader.m_texts[0].startsWith(box), qPrintable(reader.m_texts[0]));
    QVERIFY(m_pView->m_model.rowCount() < 200);
}

void TestRemoteList::versionsHiddenListedAndRestored()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    m_pView->SetSession(MakeSession(server));
    QVERIFY(server.PutFile("f.txt", "now"));
    QVERIFY(server.PutFile(".mossvale-versions/f.txt~20200913T122640Z", "one"));
    QVERIFY(server.PutFile(".mossvale-versions/f.txt~20231114T221320Z", "two!!"));
    QVERIFY(server.PutFile(".mossvale-versions/g.txt~20231114T221320Z", "g's"));
    QVERIFY(Refresh());
    QCOMPARE(SortedLabels(), QStringList({"f.txt"}));
    // The meter counts the versions with the rest, and says how much of it they are.
    QCOMPARE(m_pView->m_nUsedBytes, std::uint64_t(3 + 3 + 5 + 3));
    QCOMPARE(m_pView->m_stcCounting.text(),
             Texts::VersionsShare(QLocale().formattedDataSize(3 + 5 + 3)));

    // Newest first; the chosen one under the file's name, or beside a different local copy.
    CVersionsDlg dialog(MakeSession(server), "/", "f.txt");
    QSignalSpy listed(&dialog, &CVersionsDlg::listed);
    dialog.StartListing();
    QVERIFY(listed.wait(20000));
    QCOMPARE(dialog.Versions().size(), 2);
    QCOMPARE(dialog.Versions()[0].nSize, qint64(5));
    QTemporaryDir local;
    QSignalSpy restored(&dialog, &CVersionsDlg::restored);
    dialog.Restore(1, QFile::encodeName(local.path()));
    QVERIFY(restored.wait(20000));
    QCOMPARE(ReadFile(local.path() + "/f.txt"), QByteArray("one"));
    dialog.m_pfnAsk = [](const QString&, const auto&, const auto&, int, bool&) {
        return CReplaceQuestionDlg::EAnswer::KeepBoth;
    };
    dialog.Restore(0, QFile::encodeName(local.path()));
    QVERIFY(restored.wait(20000));
    QCOMPARE(ReadFile(local.path() + "/f.txt"), QByteArray("one"));
    QCOMPARE(ReadFile(local.path() + "/f (1).txt"), QByteArray("two!!"));
}

void TestRemoteList::foldersOpenAndGoUp()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    m_pView->SetSession(MakeSession(server));
    QVERIFY(server.PutFile("top.txt", QByteArray(1024, 't')));
    QVERIFY(server.PutFile("Docs/letters/a.txt", QByteArray(2048, 'a')));
    QVERIFY(server.PutFile("Docs/big.bin", QByteArray(4096, 'b')));
    QVERIFY(Refresh());
    // The meter counts every file of the account, not the root's alone.
    QCOMPARE(m_pView->m_stcUsage.text(), QStringLiteral("7KB/100M"));
    QCOMPARE(m_pView->m_stcCounting.text(), QString());
    const auto picture = [&](const QString& strLabel) {
        return Index(strLabel).data(Qt::DecorationRole).value<QIcon>().cacheKey();
    };
    QVERIFY(picture("Docs") != picture("top.txt"));

    // A double-click opens a folder, Enter too; the ".." row comes first below the root.
    const auto folderShown = [&](const char* pszPath) {
        return m_pView->CurrentFolder() == pszPath && Labels().size() > 1 &&
               m_pView->m_stcFolder.text().endsWith(QString::fromUtf8(pszPath));
    };
    QListView& list = m_pView->m_lstRemote;
    const auto doubleClick = [&](const QString& strLabel) {
        const QPoint at = list.visualRect(Index(strLabel)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick("Docs");
    QTRY_VERIFY_WITH_TIMEOUT(folderShown("/Docs"), 20000);
    QCOMPARE(Labels(), QStringList({"..", "letters", "big.bin"}));
    QVERIFY(picture("..") != picture("letters"));
    list.setFocus();
    list.setCurrentIndex(Index("letters"));
    QTest::keyClick(&list, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(folderShown("/Docs/letters"), 20000);
    QCOMPARE(Labels(), QStringList({"..", "a.txt"}));

    // Backspace goes up, to the folder just left; the ".." row as well. The meter stays.
    QTest::keyClick(&list, Qt::Key_Backspace);
    QTRY_VERIFY_WITH_TIMEOUT(folderShown("/Docs"), 20000);
    QCOMPARE(list.currentIndex().data().toString(), QStringLiteral("letters"));
    doubleClick("..");
    QTRY_VERIFY_WITH_TIMEOUT(folderShown("/"), 20000);
    QVERIFY(!Labels().contains(".."));
    QCOMPARE(m_pView->m_stcUsage.text(), QStringLiteral("7KB/100M"));

    // Details: the same rows sorted by a column, folders first either way; the selection
    // goes along.
    Click("top.txt");
    m_pView->SetDetailsView(true);
    QCOMPARE(m_pView->GetFirstSelectedLabel(), QStringLiteral("top.txt"));
    m_pView->m_treeRemote.sortByColumn(CRemoteListModel::SizeColumn, Qt::DescendingOrder);
    const QAbstractItemModel* pSorted = m_pView->m_treeRemote.model();
    QCOMPARE(pSorted->index(0, 0).data().toString(), QStringLiteral("Docs"));
    QCOMPARE(pSorted->index(1, 0).data().toString(), QStringLiteral("top.txt"));
}

void TestRemoteList::folderDeletedAfterItsCount()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    m_pView->SetSession(MakeSession(server));
    QVERIFY(server.PutFile("Old/a.txt", "a"));
    QVERIFY(server.PutFile("Old/sub/b.txt", "b"));
    QVERIFY(server.PutFile("Old/sub/deeper/c.txt", "c"));
    QVERIFY(server.MakeFolder("Old/empty"));
    QVERIFY(server.PutFile("keep.txt", "k"));
    QVERIFY(Refresh());

    // The question names how many files go; No deletes nothing.
    QString strAsked;
    qlonglong nAsked = -1;
    bool bYes = false;
    m_pView->m_pfnConfirmFolderDelete = [&](const QString& strName, qlonglong nFiles) {
        strAsked = strName;
        nAsked = nFiles;
        return bYes;
    };
    Click("Old");
    QTest::mouseClick(&m_pView->m_btnDelete, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(nAsked, qlonglong(3), 20000);
    QCOMPARE(strAsked, QStringLiteral("Old"));
    QVERIFY(CJobPool::Get().WaitForAll(20000));
    QVERIFY(QFile::exists(server.FilePath("Old/sub/deeper/c.txt")));

    // Yes: files, then the folders from the deepest up, then the row.
    bYes = true;
    QTest::mouseClick(&m_pView->m_btnDelete, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!Index("Old").isValid(), 20000);
    QVERIFY(!QFileInfo::exists(server.FilePath("Old")));
    QVERIFY(QFile::exists(server.FilePath("keep.txt")));
}

QTEST_MAIN(TestRemoteList)
#include "tst_views_remotelist.moc"
