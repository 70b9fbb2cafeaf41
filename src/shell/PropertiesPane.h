#pragma once
// The Properties pane's content: the facts of the item chosen last, in the folder tree (where
// it is, its size and time as the disk tells them, whether it is ticked, when it was last
// sent and what the last backup made of it) or in the server's list (its name, size and time
// as the server listed them). Read only; the disk is read off the window thread, so a hung
// mount never stops the window.
#include <QByteArray>
#include <QDateTime>
#include <QWidget>

class CBackupPlan;
class CBackupSession;
class CRemoteListModel;
class QFormLayout;
class QLabel;

class CPropertiesPane : public QWidget
{
    Q_OBJECT
public:
    explicit CPropertiesPane(QWidget* pParent = nullptr);

    // A local file or folder; with a session, its backups as the account's history has them.
    void ShowLocal(const QByteArray& path, const CBackupPlan& plan, const CBackupSession* pSession);
    // An entry of the server's list.
    void ShowRemote(const CRemoteListModel& model, int nRow);
    // Whether a local item is shown.
    bool IsLocal() const { return m_bLocal; }

    QLabel* m_pName = nullptr;
    QLabel* m_pWhere = nullptr;
    QLabel* m_pSize = nullptr;
    QLabel* m_pModified = nullptr;
    QLabel* m_pTicked = nullptr;
    QLabel* m_pLastSent = nullptr;
    QLabel* m_pLastOutcome = nullptr;

private:
    // What the disk said of the path; dropped when another item is shown meanwhile.
    void OnRead(const QByteArray& path, bool bThere, bool bFolder, qint64 nSize,
                const QDateTime& modified);
    void ShowRows(bool bLocal);

    QFormLayout* m_pForm = nullptr;
    QLabel* m_pHint = nullptr;
    QByteArray m_path;
    bool m_bLocal = false;
};
