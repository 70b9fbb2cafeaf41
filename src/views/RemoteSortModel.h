#pragma once
// The remote list as the Details view sorts it: by the clicked column, the "up" row always
// first and folders before files whichever way the column runs, as file managers sort. Until
// a column is clicked the rows keep the list's own order.
#include <QSortFilterProxyModel>

class CRemoteSortModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit CRemoteSortModel(QObject* pParent = nullptr);

    // The icon view's fixed item size is no row height for a table.
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};
