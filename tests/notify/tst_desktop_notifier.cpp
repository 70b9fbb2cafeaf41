// What a scheduled backup tells the desktop, received by python3-dbusmock's notification
// service on a private session bus, and what a click on it does.
#include "notify/DesktopNotifier.h"
#include "resources/Texts.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class CTestDesktopNotifier : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_busDaemon;
    QProcess m_service;
    QString m_strAddress;

    QString Log() const
    {
        QFile file(m_dir.filePath(QStringLiteral("notify.log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    void initTestCase()
    {
        m_busDaemon.start(QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address")});
        if (!m_busDaemon.waitForStarted())
            QSKIP("dbus-daemon is not installed");
        QTRY_VERIFY(m_busDaemon.canReadLine());
        m_strAddress = QString::fromUtf8(m_busDaemon.readLine()).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(m_strAddress, QStringLiteral("test"));
        QVERIFY(bus.isConnected());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_strAddress);
        m_service.setProcessEnvironment(env);
        m_service.setProcessChannelMode(QProcess::ForwardedChannels);
        m_service.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                         QStringLiteral("--template"), QStringLiteral("notification_daemon"),
                         QStringLiteral("-l"), m_dir.filePath(QStringLiteral("notify.log"))});
        QVERIFY(m_service.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")),
            20000);
    }

    void cleanupTestCase()
    {
        for (QProcess* pProcess : {&m_service, &m_busDaemon}) {
            pProcess->terminate();
            pProcess->waitForFinished();
        }
    }

    void failedRunToldAndClickedOpensHistory()
    {
        QDBusConnection bus(QStringLiteral("test"));
        CDesktopNotifier notifier(bus);
        // A success is told only when asked for.
        QVERIFY(!notifier.ShowRunEnd(CDesktopNotifier::RUN_SUCCEEDED, QStringLiteral("3"), false));
        const QString strReason = QStringLiteral("530 Login incorrect");
        QVERIFY(notifier.ShowRunEnd(CDesktopNotifier::RUN_FAILED, strReason, false));

        QTRY_VERIFY(Log().contains(QStringLiteral("Notify ")));
        const QString strLog = Log();
        QCOMPARE(strLog.count(QStringLiteral("Notify ")), 1);
        QVERIFY2(
            strLog.contains(
                QStringLiteral("\"%1\" \"%2\"").arg(Texts::ScheduledBackupFailed(), strReason)),
            qPrintable(strLog));
        QVERIFY(strLog.contains(QStringLiteral("[\"default\", ")));

        // The service says which notification was clicked; another one's click is not ours.
        QSignalSpy activated(&notifier, &CDesktopNotifier::activated);
        for (uint nID : {uint(999), uint(1)}) {
            QDBusMessage click = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.Notifications"),
                QStringLiteral("/org/freedesktop/Notifications"),
                QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"));
            click << QString() << QStringLiteral("ActionInvoked") << QStringLiteral("us")
                  << QVariantList{QVariant::fromValue(QDBusVariant(nID)),
                                  QVariant::fromValue(QDBusVariant(QStringLiteral("default")))};
            QCOMPARE(bus.call(click).type(), QDBusMessage::ReplyMessage);
        }
        QVERIFY(activated.wait());
        // Whatever the service sent before its answer to this call has been seen after it.
        QDBusMessage info =
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                           QStringLiteral("/org/freedesktop/Notifications"),
                                           QStringLiteral("org.freedesktop.Notifications"),
                                           QStringLiteral("GetServerInformation"));
        QCOMPARE(bus.call(info).type(), QDBusMessage::ReplyMessage);
        QCoreApplication::processEvents();
        QCOMPARE(activated.count(), 1);
    }
};

QTEST_GUILESS_MAIN(CTestDesktopNotifier)
#include "tst_desktop_notifier.moc"
