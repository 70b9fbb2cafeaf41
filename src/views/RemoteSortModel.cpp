#include "RemoteSortModel.h"

#include "RemoteListModel.h"

#include <QCollator>

CRemoteSortModel::CRemoteSortModel(QObject* pParent) : QSortFilterProxyModel(pParent)
{
    setSortRole(CRemoteListModel::SortRole);
}

QVariant CRemoteSortModel::data(const QModelIndex& index, int nRole) const
{
    return nRole == Qt::SizeHintRole ? QVariant() : QSortFilterProxyModel::data(index, nRole);
}

bool CRemoteSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    // The up row and the folders keep their places however the column runs: a descending
    // sort swaps the answer, so it is swapped here first.
    const bool bDescending = sortOrder() == Qt::DescendingOrder;
    const auto* pSource = static_cast<const CRemoteListModel*>(sourceModel());
    if (pSource->IsUpRow(left.row()) || pSource->IsUpRow(right.row()))
        return pSource->IsUpRow(left.row()) != bDescending;
    const bool bLeftFolder = pSource->IsFolder(left.row());
    if (bLeftFolder != pSource->IsFolder(right.row()))
        return bLeftFolder != bDescending;
    const QVariant leftValue = left.data(sortRole());
    const QVariant rightValue = right.data(sortRole());
    if (leftValue.typeId() == QMetaType::QString) {
        static const QCollator collator = [] {
            QCollator c;
            c.setNumericMode(true);
            c.setCaseSensitivity(Qt::CaseInsensitive);
            return c;
        }();
        return collator.compare(leftValue.toString(), rightValue.toString()) < 0;
    }
    return leftValue.toLongLong() < rightValue.toLongLong();
}
