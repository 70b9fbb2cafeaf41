// The password kept in a real keyring: a GNOME keyring in the suite's own D-Bus session
// (tests/support/with-keyring), and a session without one.
#include "ChildTest.h"
#include "login/PasswordStore.h"

#include <QtTest>

namespace {

struct Answer {
    bool bDone = false;
    CPasswordStore::EResult eResult = CPasswordStore::EResult::NoKeyring;
    QString strPassword;
};

} // namespace

class TestPasswordStore : public QObject
{
    Q_OBJECT

    CPasswordStore m_store;

    // Waits for the store's answer as the window would: the event loop keeps running.
    template <typename TCall> Answer Ask(TCall call)
    {
        Answer answer;
        call([&answer](CPasswordStore::EResult eResult, const QString& strPassword) {
            answer = {true, eResult, strPassword};
        });
        if (!QTest::qWaitFor([&] { return answer.bDone; }, 20000))
            qWarning("the keyring did not answer");
        return answer;
    }
    Answer Read(const QString& strUser)
    {
        return Ask([&](CPasswordStore::Done done) {
            m_store.Read("127.0.0.1:2121", strUser, this, std::move(done));
        });
    }
    Answer Write(const QString& strUser, const QString& strPassword)
    {
        return Ask([&](CPasswordStore::Done done) {
            m_store.Write("127.0.0.1:2121", strUser, strPassword, this, std::move(done));
        });
    }

private slots:
    void keepsAndReplacesAndForgets()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("run through tests/support/with-keyring");
        QCOMPARE(int(Read("alice").eResult), int(CPasswordStore::EResult::NotFound));
        QCOMPARE(int(Write("alice", QString::fromUtf8("pässwörd 1")).eResult),
                 int(CPasswordStore::EResult::Ok));
        Answer answer = Read("alice");
        QCOMPARE(int(answer.eResult), int(CPasswordStore::EResult::Ok));
        QCOMPARE(answer.strPassword, QString::fromUtf8("pässwörd 1"));
        QVERIFY(Write("alice", "second").eResult == CPasswordStore::EResult::Ok);
        QCOMPARE(Read("alice").strPassword, QStringLiteral("second"));
        // Accounts are apart: another user on the same server has none.
        QCOMPARE(int(Read("bob").eResult), int(CPasswordStore::EResult::NotFound));

        answer = Ask([&](CPasswordStore::Done done) {
            m_store.Remove("127.0.0.1:2121", "alice", this, std::move(done));
        });
        QCOMPARE(int(answer.eResult), int(CPasswordStore::EResult::Ok));
        QCOMPARE(int(Read("alice").eResult), int(CPasswordStore::EResult::NotFound));
    }

    // Runs in a child process of withoutAKeyringItSaysSo, on a bus that is not there.
    void readWithoutKeyring()
    {
        if (!qEnvironmentVariableIsSet("MOSSVALE_NO_KEYRING_CHILD"))
            QSKIP("run by withoutAKeyringItSaysSo");
        const Answer answer = Read("alice");
        QVERIFY(answer.bDone);
        QCOMPARE(int(answer.eResult), int(CPasswordStore::EResult::NoKeyring));
    }

    void withoutAKeyringItSaysSo()
    {
        QProcessEnvironment environment;
        environment.insert("MOSSVALE_NO_KEYRING_CHILD", "1");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        const ChildOutcome child = RunTestInChild("readWithoutKeyring", environment);
        QVERIFY(child.bFinished);
        QVERIFY2(child.nExitCode == 0, child.output.constData());
    }
};

QTEST_GUILESS_MAIN(TestPasswordStore)
#include "tst_passwordstore.moc"
