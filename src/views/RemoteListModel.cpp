#include "RemoteListModel.h"

#include "transfer/EntryDate.h"
#include "transfer/RemoteName.h"

CRemoteListModel::CRemoteListModel(QObject* pParent) : QAbstractListModel(pParent) {}

void CRemoteListModel::SetIcon(const QIcon& icon)
{
    m_icon = icon;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
}

void CRemoteListModel::Clear()
{
    if (rowCount() == 0)
        return;
    beginResetModel();
    m_folders.clear();
    m_files.clear();
    endResetModel();
}

void CRemoteListModel::AddEntries(const RemoteItems& items)
{
    QVector<Row> folders;
    QVector<Row> files;
    files.reserve(items.size());
    for (const RemoteItem& item : items) {
        if (IsFolderLink(std::string_view(item.name.constData(), size_t(item.name.size()))))
            continue;
        (item.bFolder ? folders : files).append(item);
    }
    if (!folders.isEmpty()) {
        beginInsertRows(QModelIndex(), 0, folders.size() - 1);
        m_folders.append(folders);
        endInsertRows();
    }
    if (!files.isEmpty()) {
        const int nFirst = rowCount();
        beginInsertRows(QModelIndex(), nFirst, nFirst + files.size() - 1);
        m_files.append(files);
        endInsertRows();
    }
}

int CRemoteListModel::FindName(const QByteArray& name) const
{
    for (int i = 0; i < rowCount(); ++i)
        if (RowAt(i).name == name)
            return i;
    return -1;
}

void CRemoteListModel::RemoveRow(int nRow)
{
    if (nRow < 0 || nRow >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), nRow, nRow);
    if (nRow < m_folders.size())
        m_folders.removeAt(m_folders.size() - 1 - nRow);
    else
        m_files.removeAt(nRow - m_folders.size());
    endRemoveRows();
}

int CRemoteListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_folders.size() + m_files.size();
}

QVariant CRemoteListModel::data(const QModelIndex& index, int nRole) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (nRole) {
    case Qt::DisplayRole:
        return Label(index.row());
    case Qt::ToolTipRole:
        return Label(index.row()) + QLatin1Char('\n') + Details(index.row());
    case Qt::AccessibleDescriptionRole:
        return Details(index.row());
    case Qt::DecorationRole:
        return m_icon;
    case Qt::SizeHintRole:
        return m_itemSize.isValid() ? QVariant(m_itemSize) : QVariant();
    case FolderRole:
        return RowAt(index.row()).bFolder ? 1 : 0;
    default:
        return {};
    }
}

QString CRemoteListModel::Details(int nRow) const
{
    const Row& row = RowAt(nRow);
    char szSize[20];
    char szDate[20];
    FormatEntrySize(row.bFolder, row.nSize, szSize, sizeof szSize);
    FormatEntryDate(static_cast<std::time_t>(row.tLastWrite), row.eTimeKind, szDate, sizeof szDate);
    return QString::fromUtf8(szSize) + QLatin1Char('\n') + QString::fromUtf8(szDate);
}

Qt::ItemFlags CRemoteListModel::flags(const QModelIndex& index) const
{
    // Selection only: the list is rebuilt from the server, never edited or dragged.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}
