// The backup selection: an ordered list with duplicates, drained from its tail.
#include "tree/BackupList.h"

#include <QRandomGenerator>
#include <QtTest>

class TestBackupList : public QObject
{
    Q_OBJECT
private slots:
    void orderAndDuplicates();
    void matchesPlainList();
};

void TestBackupList::orderAndDuplicates()
{
    CBackupList list;
    QVERIFY(list.IsEmpty());
    QCOMPARE(list.RemoveTail(), QString()); // draining an empty list is harmless
    for (const char* psz : {"/a", "/b", "/a", "/c"})
        list.AddTail(psz);
    QCOMPARE(list.GetCount(), 4);
    QCOMPARE(list.CountOf("/a"), 2);

    // Unticking removes the oldest equal entry; the younger copy keeps its place.
    QVERIFY(list.RemoveFirstEqual("/a"));
    QCOMPARE(list.ToStringList(), QStringList({"/b", "/a", "/c"}));
    QVERIFY(!list.RemoveFirstEqual("/missing"));
    QVERIFY(!list.RemoveFirstEqual("/A")); // exact strings
    QCOMPARE(list.GetCount(), 3);

    // The tail goes first, and the index forgets it.
    QCOMPARE(list.GetTail(), QString("/c"));
    QCOMPARE(list.RemoveTail(), QString("/c"));
    list.AddTail("/b");
    QCOMPARE(list.RemoveTail(), QString("/b"));
    QVERIFY(list.RemoveFirstEqual("/b"));
    QCOMPARE(list.ToStringList(), QStringList({"/a"}));
    QCOMPARE(list.RemoveTail(), QString("/a"));
    QVERIFY(list.IsEmpty());
    QVERIFY(!list.RemoveFirstEqual("/a"));
}

// Random appends, removals and tail takes against a plain list doing the same slowly.
void TestBackupList::matchesPlainList()
{
    QRandomGenerator random(20240611);
    CBackupList list;
    QStringList expected;
    for (int i = 0; i < 5000; ++i) {
        const QString strPath = QStringLiteral("/f%1").arg(random.bounded(12));
        switch (random.bounded(4)) {
        case 0:
        case 1:
            list.AddTail(strPath);
            expected.append(strPath);
            break;
        case 2:
            QCOMPARE(list.RemoveFirstEqual(strPath), expected.removeOne(strPath));
            break;
        default:
            QCOMPARE(list.RemoveTail(), expected.isEmpty() ? QString() : expected.takeLast());
            break;
        }
        QCOMPARE(list.GetCount(), int(expected.size()));
        QCOMPARE(list.CountOf(strPath), int(expected.count(strPath)));
    }
    QCOMPARE(list.ToStringList(), expected);
    list.RemoveAll();
    QVERIFY(list.IsEmpty());
    QCOMPARE(list.CountOf("/f1"), 0);
}

QTEST_APPLESS_MAIN(TestBackupList)
#include "tst_tree_backuplist.moc"
