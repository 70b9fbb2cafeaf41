#pragma once
// The rows of the remote file list: one per entry of the server's folder, folders at the top
// in the reverse of their arrival, files at the end in arrival order. Below the root an "up"
// row ("..") comes first, leading back to the folder above. A row keeps the name as the
// server sent its bytes, so a name that is not UTF-8 is still fetched and deleted under its
// own name, and decodes it for display only. Columns: name, size, date (the icon view shows
// the name only).
//
// Entries arrive in batches; each batch is one insert at the top and one at the end, so a
// folder of tens of thousands of entries costs a few hundred inserts, not one per entry.
// Folders are kept in arrival order and shown from the last, so a folder that goes to the
// top is an append. Folders share one picture, files another.
#include "transfer/JobReports.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QIcon>
#include <QSize>
#include <QVector>

class CRemoteListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum {
        FolderRole = Qt::UserRole, // the item value: 1 folder (and the up row), 0 file
        SortRole                   // what a column sorts by: the name, the bytes, the time
    };
    enum EColumn { NameColumn, SizeColumn, DateColumn, ColumnCount };

    explicit CRemoteListModel(QObject* pParent = nullptr);

    void SetIcons(const QIcon& folder, const QIcon& file, const QIcon& up);
    // Every row's size in the icon view: the view then never measures a label, and no row's
    // label decides the size of the others.
    void SetItemSize(const QSize& size) { m_itemSize = size; }
    // Empties the list; with bUpRow, the "up" row stays as its only row.
    void Clear(bool bUpRow = false);
    // Adds the entries except "." and ".."; O(count).
    void AddEntries(const RemoteItems& items);
    // The row of this name, or -1; never the up row. O(rows).
    int FindName(const QByteArray& name) const;
    void RemoveRow(int nRow);

    bool IsUpRow(int nRow) const { return m_bUpRow && nRow == 0; }
    const QByteArray& Name(int nRow) const { return RowAt(nRow).name; }
    QString Label(int nRow) const { return QString::fromUtf8(RowAt(nRow).name); }
    bool IsFolder(int nRow) const { return RowAt(nRow).bFolder; }
    qint64 Size(int nRow) const { return RowAt(nRow).nSize; }
    qint64 LastWrite(int nRow) const { return RowAt(nRow).tLastWrite; }
    ETimeKind TimeKind(int nRow) const { return RowAt(nRow).eTimeKind; }
    const RemoteItem& Item(int nRow) const { return RowAt(nRow); }

    QModelIndex index(int nRow, int nColumn = 0,
                      const QModelIndex& parent = QModelIndex()) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole) const override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation,
                        int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    using Row = RemoteItem; // its texts are formed when shown
    QString SizeText(int nRow) const;
    QString DateText(int nRow) const;
    const Row& RowAt(int nRow) const
    {
        if (m_bUpRow) {
            if (nRow == 0)
                return m_upRow;
            --nRow;
        }
        return nRow < m_folders.size() ? m_folders[m_folders.size() - 1 - nRow]
                                       : m_files[nRow - m_folders.size()];
    }
    int FirstEntryRow() const { return m_bUpRow ? 1 : 0; }

    QVector<Row> m_folders; // rows after the up row, the first arrived at the bottom
    QVector<Row> m_files;   // the rows after them, in arrival order
    bool m_bUpRow = false;
    Row m_upRow;
    QIcon m_folderIcon;
    QIcon m_fileIcon;
    QIcon m_upIcon;
    QSize m_itemSize;
};
