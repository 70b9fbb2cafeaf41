#include "RemoteListModel.h"

#include "resources/Texts.h"
#include "transfer/EntryDate.h"
#include "transfer/RemoteName.h"

CRemoteListModel::CRemoteListModel(QObject* pParent) : QAbstractTableModel(pParent)
{
    m_upRow.name = "..";
    m_upRow.bFolder = true;
}

void CRemoteListModel::SetIcons(const QIcon& folder, const QIcon& file, const QIcon& up)
{
    m_folderIcon = folder;
    m_fileIcon = file;
    m_upIcon = up;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
}

void CRemoteListModel::Clear(bool bUpRow)
{
    if (rowCount() == 0 && !bUpRow)
        return;
    beginResetModel();
    m_folders.clear();
    m_files.clear();
    m_bUpRow = bUpRow;
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
        const int nFirst = FirstEntryRow();
        beginInsertRows(QModelIndex(), nFirst, nFirst + folders.size() - 1);
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
    for (int i = FirstEntryRow(); i < rowCount(); ++i)
        if (RowAt(i).name == name)
            return i;
    return -1;
}

void CRemoteListModel::RemoveRow(int nRow)
{
    if (nRow < FirstEntryRow() || nRow >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), nRow, nRow);
    const int nEntry = nRow - FirstEntryRow();
    if (nEntry < m_folders.size())
        m_folders.removeAt(m_folders.size() - 1 - nEntry);
    else
        m_files.removeAt(nEntry - m_folders.size());
    endRemoveRows();
}

QModelIndex CRemoteListModel::index(int nRow, int nColumn, const QModelIndex& parent) const
{
    return QAbstractTableModel::index(nRow, nColumn, parent);
}

int CRemoteListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FirstEntryRow() + m_folders.size() + m_files.size();
}

int CRemoteListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CRemoteListModel::data(const QModelIndex& index, int nRole) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int nRow = index.row();
    const Row& row = RowAt(nRow);
    const bool bUp = IsUpRow(nRow);
    switch (nRole) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case SizeColumn:
            return bUp ? QString() : SizeText(nRow);
        case DateColumn:
            return bUp ? QString() : DateText(nRow);
        default:
            return Label(nRow);
        }
    case Qt::ToolTipRole:
        return bUp ? Texts::UpFolderTip()
                   : Label(nRow) + QLatin1Char('\n') + SizeText(nRow) + QLatin1Char('\n') +
                         DateText(nRow);
    case Qt::AccessibleDescriptionRole:
        return bUp ? Texts::UpFolderTip() : SizeText(nRow) + QLatin1Char('\n') + DateText(nRow);
    case Qt::DecorationRole:
        if (index.column() != NameColumn)
            return {};
        return bUp ? m_upIcon : row.bFolder ? m_folderIcon : m_fileIcon;
    case Qt::TextAlignmentRole:
        return index.column() == SizeColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                            : QVariant();
    case Qt::SizeHintRole:
        return m_itemSize.isValid() && index.column() == NameColumn ? QVariant(m_itemSize)
                                                                    : QVariant();
    case FolderRole:
        return row.bFolder ? 1 : 0;
    case SortRole:
        switch (index.column()) {
        case SizeColumn:
            return row.nSize;
        case DateColumn:
            return row.tLastWrite;
        default:
            return Label(nRow);
        }
    default:
        return {};
    }
}

QVariant CRemoteListModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const
{
    if (eOrientation != Qt::Horizontal || nRole != Qt::DisplayRole)
        return QAbstractTableModel::headerData(nSection, eOrientation, nRole);
    switch (nSection) {
    case NameColumn:
        return Texts::ListNameColumn();
    case SizeColumn:
        return Texts::SizeColumn();
    case DateColumn:
        return Texts::DateColumn();
    default:
        return {};
    }
}

QString CRemoteListModel::SizeText(int nRow) const
{
    const Row& row = RowAt(nRow);
    char szSize[20];
    FormatEntrySize(row.bFolder, row.nSize, szSize, sizeof szSize);
    return QString::fromUtf8(szSize);
}

QString CRemoteListModel::DateText(int nRow) const
{
    const Row& row = RowAt(nRow);
    char szDate[20];
    FormatEntryDate(static_cast<std::time_t>(row.tLastWrite), row.eTimeKind, szDate, sizeof szDate);
    return QString::fromUtf8(szDate);
}

Qt::ItemFlags CRemoteListModel::flags(const QModelIndex& index) const
{
    // Selection only: the list is rebuilt from the server, never edited or dragged.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}
