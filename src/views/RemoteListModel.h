#pragma once
// The rows of the remote file list: one per entry of the server's folder, folders at the top
// in the reverse of their arrival, files at the end in arrival order. A row keeps the name
// as the server sent its bytes, so a name that is not UTF-8 is still fetched and deleted
// under its own name, and decodes it for display only.
//
// Entries arrive in batches; each batch is one insert at the top and one at the end, so a
// folder of tens of thousands of entries costs a few hundred inserts, not one per entry.
// Folders are kept in arrival order and shown from the last, so a folder that goes to the
// top is an append. Every row shows the same icon.
#include "transfer/JobReports.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QIcon>
#include <QSize>
#include <QVector>

class CRemoteListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum { FolderRole = Qt::UserRole }; // the item value: 1 folder, 0 file

    explicit CRemoteListModel(QObject* pParent = nullptr);

    void SetIcon(const QIcon& icon);
    // Every row's size: the view then never measures a label, and no row's label decides
    // the size of the others.
    void SetItemSize(const QSize& size) { m_itemSize = size; }
    void Clear();
    // Adds the entries except "." and ".."; O(count).
    void AddEntries(const RemoteItems& items);
    // The row of this name, or -1. O(rows).
    int FindName(const QByteArray& name) const;
    void RemoveRow(int nRow);

    const QByteArray& Name(int nRow) const { return RowAt(nRow).name; }
    QString Label(int nRow) const { return QString::fromUtf8(RowAt(nRow).name); }
    bool IsFolder(int nRow) const { return RowAt(nRow).bFolder; }
    qint64 Size(int nRow) const { return RowAt(nRow).nSize; }
    qint64 LastWrite(int nRow) const { return RowAt(nRow).tLastWrite; }
    ETimeKind TimeKind(int nRow) const { return RowAt(nRow).eTimeKind; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    using Row = RemoteItem; // its texts are formed when shown
    // The row's size and date, for its tooltip and for screen readers.
    QString Details(int nRow) const;
    const Row& RowAt(int nRow) const
    {
        return nRow < m_folders.size() ? m_folders[m_folders.size() - 1 - nRow]
                                       : m_files[nRow - m_folders.size()];
    }

    QVector<Row> m_folders; // rows 0 .. size-1, the first arrived at the bottom
    QVector<Row> m_files;   // the rows after them, in arrival order
    QIcon m_icon;
    QSize m_itemSize;
};
