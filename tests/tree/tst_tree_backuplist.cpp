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
    QCOMPARE(list.RemoveTail(), QByteArray()); // draining an empty list is harmless
    for (const char* psz : {"/a", "/b", "/a", "/c"})
        list.AddTail(QByteArray(psz));
    QCOMPARE(list.GetCount(), 4);
    QCOMPARE(list.CountOf("/a"), 2);

    // Unticking removes the oldest equal entry; the younger copy keeps its place.
    QVERIFY(list.RemoveFirstEqual("/a"));
    QCOMPARE(list.ToStringList(), QStringList({"/b", "/a", "/c"}));
    QVERIFY(!list.RemoveFirstEqual("/missing"));
    QVERIFY(!list.RemoveFirstEqual("/A")); // exact bytes
    QCOMPARE(list.GetCount(), 3);

    // The tail goes first, and the index forgets it.
    QCOMPARE(list.GetTail(), QByteArray("/c"));
    QCOMPARE(list.RemoveTail(), QByteArray("/c"));
    list.AddTail(QString("/b"));
    QCOMPARE(list.RemoveTail(), QByteArray("/b"));
    QVERIFY(list.RemoveFirstEqual("/b"));
    QCOMPARE(list.ToStringList(), QStringList({"/a"}));
    QCOMPARE(list.RemoveTail(), QByteArray("/a"));
    QVERIFY(list.IsEmpty());
    QVERIFY(!list.RemoveFirstEqual("/a"));

    // Names that are not UTF-8 are told apart by their bytes, and shown readably.
    list.AddTail(QByteArray("/caf\xE9"));
    list.AddTail(QByteArray("/caf\xEA"));
    QCOMPARE(list.CountOf("/caf\xE9"), 1);
    QVERIFY(list.RemoveFirstEqual("/caf\xEA"));
    QCOMPARE(list.ToStringList(), QStringList({"/caf\\xE9"}));
    QCOMPARE(list.RemoveTail(), QByteArray("/caf\xE9"));
}

// Random appends, removals and tail takes against a plain list doing the same slowly.
void TestBackupList::matchesPlainList()
{
    QRandomGenerator random(20240611);
    CBackupList list;
    QList<QByteArray> expected;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray path = "/f" + QByteArray::number(random.bounded(12));
        switch (random.bounded(4)) {
        case 0:
        case 1:
            list.AddTail(path);
            expected.append(path);
            break;
        case 2:
            QCOMPARE(list.RemoveFirstEqual(path), expected.removeOne(path));
            break;
        default:
            QCOMPARE(list.RemoveTail(), expected.isEmpty() ? QByteArray() : expected.takeLast());
            break;
        }
        QCOMPARE(list.GetCount(), int(expected.size()));
        QCOMPARE(list.CountOf(path), int(expected.count(path)));
    }
    QCOMPARE(list.ToList(), expected);
    list.RemoveAll();
    QVERIFY(list.IsEmpty());
    QCOMPARE(list.CountOf("/f1"), 0);
}

QTEST_APPLESS_MAIN(TestBackupList)
#include "tst_tree_backuplist.moc"
