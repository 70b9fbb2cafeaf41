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

void CRemoteListModel::AddEntries(const RemoteEntry* pEntries, const RemoteEntryValues* pValues,
                                  int nCount)
{
    QVector<Row> folders;
    QVector<Row> files;
    files.reserve(nCount);
    for (int i = 0; i < nCount; ++i) {
        const RemoteEntry& entry = pEntries[i];
        if (IsFolderLink(entry.szName))
            continue;
        // The texts are formed when shown: most rows never are, and a folder may hold
        // tens of thousands.
        Row row{QByteArray(entry.szName),
                entry.bFolder,
                pValues != nullptr,
                pValues ? pValues[i] : RemoteEntryValues{},
                QByteArray(),
                QByteArray()};
        if (!pValues) {
            row.size = QByteArray(entry.szSize);
            row.date = QByteArray(entry.szDate);
        }
        if (entry.bFolder == 1)
            folders.append(row);
        else
            files.append(row);
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

int CRemoteListModel::FindNameKey(std::uint64_t nKey) const
{
    for (int i = 0; i < rowCount(); ++i)
        if (RemoteNameKey(RowAt(i).name.constData()) == nKey)
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
        return RowAt(index.row()).bFolder;
    default:
        return {};
    }
}

QString CRemoteListModel::Details(int nRow) const
{
    const Row& row = RowAt(nRow);
    if (!row.bHasValues)
        return QString::fromUtf8(row.size) + QLatin1Char('\n') + QString::fromUtf8(row.date);
    char szSize[sizeof RemoteEntry::szSize];
    char szDate[sizeof RemoteEntry::szDate];
    FormatEntrySize(row.bFolder == 1, row.values.nSize, szSize, sizeof szSize);
    FormatEntryDate(static_cast<std::time_t>(row.values.tLastWrite),
                    static_cast<ETimeKind>(row.values.eTimeKind), szDate, sizeof szDate);
    return QString::fromUtf8(szSize) + QLatin1Char('\n') + QString::fromUtf8(szDate);
}

Qt::ItemFlags CRemoteListModel::flags(const QModelIndex& index) const
{
    // Selection only: the list is rebuilt from the server, never edited or dragged.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}
