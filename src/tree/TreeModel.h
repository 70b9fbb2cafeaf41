#pragma once
// The item store behind CTreeCtrl: a plain tree of nodes that a QTreeView shows through
// the item-model interface. A node stands for a tree-control item (HTREEITEM) with its
// text, two image indices, state bits and item data, and the name it stands for: the text
// is only what is shown, the name is the exact bytes (a file name as the disk holds it).
//
// Children are kept in a vector with each node's row stored in it, so parent() is O(1);
// new children go in as one batch with one notification, which keeps folders of
// 100,000 entries fast. Removed nodes stay allocated until the event loop turns again,
// since the view may still hold plain indexes to them for the rest of the event that
// removed them (a folder found missing while the Right key expands it, for instance).
#include "platform/WinTypes.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

struct TreeNode {
    QString strText;
    QByteArray name;
    TreeNode* pParent = nullptr;
    std::vector<std::unique_ptr<TreeNode>> children;
    int nRow = 0;
    int nImage = 0;
    int nSelectedImage = 0;
    UINT nState = 0;
    LPARAM lParam = 0;
    bool bRemoved = false;
};

// One item of a batch insertion, with the children it brings along.
struct TreeInsertItem {
    QString strText;
    QByteArray name;
    int nImage = 0;
    int nSelectedImage = 0;
    UINT nState = 0;
    std::vector<TreeInsertItem> children;
};

class CTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit CTreeModel(QObject* pParent = nullptr);
    ~CTreeModel() override;

    // The invisible node above the top-level items.
    TreeNode* Root() { return &m_root; }
    const TreeNode* Root() const { return &m_root; }

    TreeNode* NodeFromIndex(const QModelIndex& index) const;
    QModelIndex IndexFromNode(const TreeNode* pNode) const;

    // Inserts the items as children of pParent starting at nRow, with one notification.
    // Returns the first new node (null when items is empty).
    TreeNode* InsertNodes(TreeNode* pParent, int nRow, std::vector<TreeInsertItem>& items);
    // Removes nCount children of pParent from nRow on, with their descendants.
    void RemoveNodes(TreeNode* pParent, int nRow, int nCount);

    void SetState(TreeNode* pNode, UINT nState, UINT nMask);

    // Who decides what a tick given through setData(Qt::CheckStateRole) means: the mouse, the
    // space bar and a screen reader all tick through the model, and the handler sets the
    // boxes it touches. Without one, the item's box simply takes the new state.
    using CheckHandler = std::function<void(TreeNode* pNode, bool bChecked)>;
    void SetCheckHandler(CheckHandler fnHandler) { m_fnCheck = std::move(fnHandler); }

    // Between BeginBatch and EndBatch, state changes are collected and reported as one
    // change per parent whose children changed, instead of one per item.
    void BeginBatch();
    void EndBatch();

    QModelIndex index(int nRow, int nColumn, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation,
                        int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int nRole) override;

private:
    void Retire(std::unique_ptr<TreeNode> pNode);
    void FlushBatch();
    const TreeNode* NodeOrRoot(const QModelIndex& index) const;

    TreeNode m_root;
    std::vector<std::unique_ptr<TreeNode>> m_removed;
    bool m_bPurgeQueued = false;

    CheckHandler m_fnCheck;
    int m_nBatchDepth = 0;
    std::unordered_map<TreeNode*, std::pair<int, int>> m_dirtyRows; // parent -> first, last
};
