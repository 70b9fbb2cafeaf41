#pragma once
// Before a restore replaces a local file that differs from the server's copy, the user
// chooses: replace it, keep both (the restored copy under a free name, "name (1).ext"), or
// skip the file. The question shows both files' sizes and dates. One question per file; the
// answer is a value of its own so that a later "the same for every file" box fits beside it.
#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;

class CReplaceQuestionDlg : public QDialog
{
    Q_OBJECT
public:
    enum class EAnswer { Replace, KeepBoth, Skip };
    struct FileFacts {
        qint64 nSize = -1;    // -1: unknown
        qint64 tModified = 0; // UTC seconds since the epoch; 0: unknown
    };
    // What to ask with: the file's name, the local file's facts, the server's. Tests replace it.
    using AskFn = std::function<EAnswer(const QString&, const FileFacts&, const FileFacts&)>;

    CReplaceQuestionDlg(const QString& strName, const FileFacts& local, const FileFacts& server,
                        QWidget* pParent = nullptr);
    EAnswer Answer() const { return m_eAnswer; }

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
};
