#include "ReplaceQuestionDlg.h"

#include "platform/Path.h"
#include "resources/Texts.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

QString FactsText(const CReplaceQuestionDlg::FileFacts& facts)
{
    const QString strSize =
        facts.nSize >= 0 ? QLocale().formattedDataSize(facts.nSize) : QStringLiteral("?");
    const QString strDate = facts.tModified > 0
                                ? QLocale().toString(QDateTime::fromSecsSinceEpoch(facts.tModified),
                                                     QLocale::ShortFormat)
                                : QStringLiteral("?");
    return Texts::FileFacts(strSize, strDate);
}

bool LocalFacts(const QByteArray& path, CReplaceQuestionDlg::FileFacts& facts)
{
    struct stat info;
    if (::stat(path.constData(), &info) != 0)
        return false;
    facts.nSize = S_ISREG(info.st_mode) ? qint64(info.st_size) : -1;
    facts.tModified = qint64(info.st_mtime);
    return true;
}

} // namespace

CReplaceQuestionDlg::CReplaceQuestionDlg(const QString& strName, const FileFacts& local,
                                         const FileFacts& server, int nMore, QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(Texts::AppName());
    auto* pLayout = new QVBoxLayout(this);
    auto* pText =
        new QLabel(Texts::ReplaceQuestion(strName, FactsText(local), FactsText(server)), this);
    pText->setTextFormat(Qt::PlainText);
    pText->setWordWrap(true);
    pLayout->addWidget(pText);
    if (nMore > 0) {
        m_pForAll = new QCheckBox(Texts::DoThisForAll(nMore), this);
        pLayout->addWidget(m_pForAll);
    }
    auto* pButtons = new QDialogButtonBox(this);
    QPushButton* pReplace =
        pButtons->addButton(Texts::ReplaceButton(), QDialogButtonBox::AcceptRole);
    QPushButton* pKeepBoth =
        pButtons->addButton(Texts::KeepBothButton(), QDialogButtonBox::AcceptRole);
    QPushButton* pSkip = pButtons->addButton(Texts::SkipButton(), QDialogButtonBox::RejectRole);
    pLayout->addWidget(pButtons);
    // Keeping both loses nothing: the safe choice for Enter.
    pKeepBoth->setDefault(true);
    connect(pReplace, &QPushButton::clicked, this, [this] {
        m_eAnswer = EAnswer::Replace;
        accept();
    });
    connect(pKeepBoth, &QPushButton::clicked, this, [this] {
        m_eAnswer = EAnswer::KeepBoth;
        accept();
    });
    connect(pSkip, &QPushButton::clicked, this, &QDialog::reject); // Esc too: Skip
}

bool CReplaceQuestionDlg::ForAll() const
{
    return m_pForAll && m_pForAll->isChecked();
}

bool CReplaceQuestionDlg::Differs(const QByteArray& path, const FileFacts& server, FileFacts& local)
{
    if (!LocalFacts(path, local))
        return false; // nothing there to replace
    const bool bSameSize = local.nSize >= 0 && local.nSize == server.nSize;
    const bool bSameTime = local.tModified == server.tModified || server.tModified <= 0;
    return !(bSameSize && bSameTime);
}

CReplaceQuestionDlg::EAnswer CReplaceQuestionDlg::Ask(QWidget* pParent, const QString& strName,
                                                      const FileFacts& local,
                                                      const FileFacts& server, const AskFn& pfnAsk,
                                                      int nMore, bool& bForAll)
{
    bForAll = false;
    if (pfnAsk)
        return pfnAsk(strName, local, server, nMore, bForAll);
    CReplaceQuestionDlg dlg(strName, local, server, nMore, pParent);
    dlg.exec();
    bForAll = dlg.ForAll();
    return dlg.Answer();
}

bool CReplaceQuestionDlg::Settle(QWidget* pParent, const QByteArray& folder, const QByteArray& name,
                                 const FileFacts& server, const AskFn& pfnAsk,
                                 QByteArray& localName)
{
    localName = name;
    FileFacts local;
    if (!Differs(JoinPath(folder, name), server, local))
        return true;
    bool bForAll = false;
    const EAnswer eAnswer =
        Ask(pParent, QString::fromUtf8(name), local, server, pfnAsk, 0, bForAll);
    if (eAnswer == EAnswer::KeepBoth)
        localName = FreeName(folder, name);
    return eAnswer != EAnswer::Skip;
}

QByteArray CReplaceQuestionDlg::FreeName(const QByteArray& folder, const QByteArray& name)
{
    // The number goes before the last extension; a leading dot (".bashrc") is no extension.
    const int nDot = name.lastIndexOf('.');
    const QByteArray stem = nDot > 0 ? name.left(nDot) : name;
    const QByteArray extension = nDot > 0 ? name.mid(nDot) : QByteArray();
    for (int n = 1;; ++n) {
        const QByteArray candidate = stem + " (" + QByteArray::number(n) + ")" + extension;
        struct stat info;
        if (::lstat(JoinPath(folder, candidate).constData(), &info) != 0)
            return candidate;
    }
}
