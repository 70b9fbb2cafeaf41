#pragma once
// Before a restore replaces a local file that differs from the server's copy, the user
// chooses: replace it, keep both (the restored copy under a free name, "name (1).ext"), or
// skip the file. The question shows both files' sizes and dates. When more such files follow
// in the same restore, "Do this for all" gives the same answer to every one of them.
#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;

class CReplaceQuestionDlg : public QDialog
{
    Q_OBJECT
public:
    enum class EAnswer { Replace, KeepBoth, Skip };
    struct FileFacts {
        qint64 nSize = -1;    // -1: unknown
        qint64 tModified = 0; // UTC seconds since the epoch; 0: unknown
    };
    // What to ask with: the file's name, the local file's facts, the server's, and how many
    // more files of the restore differ; the answer, and bForAll set to give it to them all.
    // Tests replace it.
    using AskFn = std::function<EAnswer(const QString&, const FileFacts&, const FileFacts&,
                                        int nMore, bool& bForAll)>;

    CReplaceQuestionDlg(const QString& strName, const FileFacts& local, const FileFacts& server,
                        int nMore = 0, QWidget* pParent = nullptr);
    EAnswer Answer() const { return m_eAnswer; }
    bool ForAll() const;

    // Whether a local file at path differs from the server's copy by size or, where both
    // are known, by date; local then holds its facts. False when there is none.
    static bool Differs(const QByteArray& path, const FileFacts& server, FileFacts& local);
    // Asks through pfnAsk, or with this dialog when it is null.
    static EAnswer Ask(QWidget* pParent, const QString& strName, const FileFacts& local,
                       const FileFacts& server, const AskFn& pfnAsk, int nMore, bool& bForAll);

    // The restore of name into folder, settled before it starts: true with the local name to
    // write (name itself, or a free one to keep both), false to skip it. Asks only when a
    // local file of that name differs from the server's copy by size or, where both are
    // known, by date; pfnAsk null shows this dialog.
    static bool Settle(QWidget* pParent, const QByteArray& folder, const QByteArray& name,
                       const FileFacts& server, const AskFn& pfnAsk, QByteArray& localName);
    // "name (1).ext", "name (2).ext", ...: the first name that nothing in folder holds.
    static QByteArray FreeName(const QByteArray& folder, const QByteArray& name);

private:
    EAnswer m_eAnswer = EAnswer::Skip;
    QCheckBox* m_pForAll = nullptr;
};
