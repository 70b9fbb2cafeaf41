// The backup plan: how ticks nest, and that it comes back from the profile byte for byte.
#include "backup/BackupPlan.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestBackupPlan : public QObject
{
    Q_OBJECT
private slots:
    void ticksNest();
    void savedAndLoaded();
};

void TestBackupPlan::ticksNest()
{
    CBackupPlan plan;
    QVERIFY(plan.IsEmpty());
    plan.TickFile("/home/u/notes.txt");
    plan.TickFile("/home/u/docs/a.txt");
    plan.TickFolder("/home/u/docs/"); // the file below it is now said by the folder
    QCOMPARE(plan.Files(), QList<QByteArray>{"/home/u/notes.txt"});
    QCOMPARE(plan.Folders(), QList<QByteArray>{"/home/u/docs"});
    QVERIFY(plan.Contains("/home/u/docs/new/later.txt")); // files added later belong too
    QVERIFY(!plan.Contains("/home/u/docsx"));
    QCOMPARE(plan.TickOf("/home"), CBackupPlan::ETick::Partly);
    QCOMPARE(plan.TickOf("/home/u/docs"), CBackupPlan::ETick::Whole);

    // Unticked inside a ticked folder: left out, and the folder reads as partly ticked.
    plan.Untick("/home/u/docs/private");
    QCOMPARE(plan.LeftOut(), QList<QByteArray>{"/home/u/docs/private"});
    QVERIFY(!plan.Contains("/home/u/docs/private/key"));
    QCOMPARE(plan.TickOf("/home/u/docs"), CBackupPlan::ETick::Partly);
    // A file ticked inside what was left out is taken in again by itself.
    plan.TickFile("/home/u/docs/private/ok.txt");
    QVERIFY(plan.Contains("/home/u/docs/private/ok.txt"));
    QVERIFY(!plan.Contains("/home/u/docs/private/key"));
    QCOMPARE(plan.TickOf("/home/u/docs/private"), CBackupPlan::ETick::Partly);
    // Ticking the folder again drops what was said below it.
    plan.TickFolder("/home/u/docs/private");
    QVERIFY(plan.LeftOut().isEmpty());
    QCOMPARE(plan.Files(), QList<QByteArray>{"/home/u/notes.txt"});
    QCOMPARE(plan.TickOf("/home/u/docs"), CBackupPlan::ETick::Whole);

    // Unticking a folder takes it and everything below it out; nothing is left out of nothing.
    plan.Untick("/home/u/docs/private");
    plan.Untick("/home/u/docs");
    QCOMPARE(plan.Folders(), QList<QByteArray>{});
    QVERIFY(plan.LeftOut().isEmpty());
    plan.Untick("/home/u/notes.txt");
    QVERIFY(plan.IsEmpty());
    QCOMPARE(plan.TickOf("/home"), CBackupPlan::ETick::None);

    // The root as a ticked folder.
    plan.TickFolder("/");
    QVERIFY(plan.Contains("/etc/hosts"));
    plan.Untick("/proc");
    QCOMPARE(plan.TickOf("/"), CBackupPlan::ETick::Partly);
}

void TestBackupPlan::savedAndLoaded()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QStandardPaths::setTestModeEnabled(false);

    CBackupPlan plan;
    const QByteArray latin1("/home/u/caf\xe9 \"x\"=y;z");
    plan.TickFile(latin1);
    plan.TickFolder("/home/u/Docs");
    plan.Untick("/home/u/Docs/tmp");
    plan.SetPatterns({"*.tmp", " node_modules/ ", "", "*.tmp", "caf\u00e9/"});
    QCOMPARE(plan.Patterns(), QStringList({"*.tmp", "node_modules/", "caf\u00e9/"}));
    QVERIFY(plan.SaveToProfile());
    QCOMPARE(CBackupPlan::LoadFromProfile(), plan);

    // The window's other profile values are kept, and an emptied plan stays empty.
    CBackupPlan::OpenProfile()->setValue(QStringLiteral("Settings/ParallelUploads"), 3);
    QVERIFY(CBackupPlan().SaveToProfile());
    QVERIFY(CBackupPlan::LoadFromProfile().IsEmpty());
    QCOMPARE(CBackupPlan::OpenProfile()->value(QStringLiteral("Settings/ParallelUploads")).toInt(),
             3);
    QVERIFY(QFile::exists(config.path() + "/Local AppWizard-Generated Applications/Mossvale.ini"));
}

QTEST_GUILESS_MAIN(TestBackupPlan)
#include "tst_backupplan.moc"
