#include "TreeModel.h"

#include "TreeCtrl.h"
#include "resources/Texts.h"

#include <QTimer>

namespace {

std::unique_ptr<TreeNode> MakeNode(TreeInsertItem& item, TreeNode* pParent, int nRow)
{
    auto pNode = std::make_unique<TreeNode>();
    pNode->strText = std::move(item.strText);
    pNode->name = std::move(item.name);
    pNode->pParent = pParent;
    pNode->nRow = nRow;
    pNode->nImage = item.nImage;
    pNode->nSelectedImage = item.nSelectedImage;
    pNode->nState = item.nState;
    pNode->children.reserve(item.children.size());
    for (size_t i = 0; i < item.children.size(); ++i)
        pNode->children.push_back(MakeNode(item.children[i], pNode.get(), int(i)));
    return pNode;
}

void MarkRemoved(TreeNode* pNode)
{
    pNode->bRemoved = true;
    for (auto& pChild : pNode->children)
        MarkRemoved(pChild.get());
}

} // namespace

CTreeModel::CTreeModel(QObject* pParent) : QAbstractItemModel(pParent) {}

CTreeModel::~CTreeModel() = default;

TreeNode* CTreeModel::NodeFromIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<TreeNode*>(index.internalPointer());
}

QModelIndex CTreeModel::IndexFromNode(const TreeNode* pNode) const
{
    if (!pNode || pNode == &m_root || pNode->bRemoved)
        return {};
    return createIndex(pNode->nRow, 0, const_cast<TreeNode*>(pNode));
}

const TreeNode* CTreeModel::NodeOrRoot(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<const TreeNode*>(index.internalPointer()) : &m_root;
}

TreeNode* CTreeModel::InsertNodes(TreeNode* pParent, int nRow, std::vector<TreeInsertItem>& items)
{
    if (items.empty() || !pParent || pParent->bRemoved)
        return nullptr;
    FlushBatch();
    auto& children = pParent->children;
    nRow = std::clamp(nRow, 0, int(children.size()));
    const int nCount = int(items.size());

    std::vector<std::unique_ptr<TreeNode>> nodes;
    nodes.reserve(items.size());
    for (int i = 0; i < nCount; ++i)
        nodes.push_back(MakeNode(items[i], pParent, nRow + i));

    beginInsertRows(IndexFromNode(pParent), nRow, nRow + nCount - 1);
    children.insert(children.begin() + nRow, std::make_move_iterator(nodes.begin()),
                    std::make_move_iterator(nodes.end()));
    for (int i = nRow + nCount; i < int(children.size()); ++i)
        children[i]->nRow = i;
    endInsertRows();
    return children[nRow].get();
}

void CTreeModel::RemoveNodes(TreeNode* pParent, int nRow, int nCount)
{
    auto& children = pParent->children;
    if (nRow < 0 || nCount <= 0 || nRow + nCount > int(children.size()))
        return;
    FlushBatch();
    beginRemoveRows(IndexFromNode(pParent), nRow, nRow + nCount - 1);
    for (int i = nRow; i < nRow + nCount; ++i)
        Retire(std::move(children[i]));
    children.erase(children.begin() + nRow, children.begin() + nRow + nCount);
    for (int i = nRow; i < int(children.size()); ++i)
        children[i]->nRow = i;
    endRemoveRows();
}

void CTreeModel::Retire(std::unique_ptr<TreeNode> pNode)
{
    MarkRemoved(pNode.get());
    m_removed.push_back(std::move(pNode));
    if (!m_bPurgeQueued) {
        m_bPurgeQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_bPurgeQueued = false;
            m_removed.clear();
        });
    }
}

void CTreeModel::SetState(TreeNode* pNode, UINT nState, UINT nMask)
{
    const UINT nNew = (pNode->nState & ~nMask) | (nState & nMask);
    if (nNew == pNode->nState)
        return;
    pNode->nState = nNew;
    if (m_nBatchDepth == 0) {
        const QModelIndex index = IndexFromNode(pNode);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return;
    }
    auto [it, bNew] = m_dirtyRows.try_emplace(pNode->pParent, pNode->nRow, pNode->nRow);
    if (!bNew) {
        it->second.first = std::min(it->second.first, pNode->nRow);
        it->second.second = std::max(it->second.second, pNode->nRow);
    }
}

void CTreeModel::BeginBatch()
{
    ++m_nBatchDepth;
}

void CTreeModel::EndBatch()
{
    if (m_nBatchDepth > 0 && --m_nBatchDepth == 0)
        FlushBatch();
}

void CTreeModel::FlushBatch()
{
    if (m_dirtyRows.empty())
        return;
    auto dirtyRows = std::move(m_dirtyRows);
    m_dirtyRows.clear();
    for (const auto& [pParent, rows] : dirtyRows) {
        const int nLast = std::min(rows.second, int(pParent->children.size()) - 1);
        if (pParent->bRemoved || rows.first > nLast)
            continue;
        const QModelIndex parent = IndexFromNode(pParent);
        emit dataChanged(index(rows.first, 0, parent), index(nLast, 0, parent),
                         {Qt::CheckStateRole});
    }
}

QModelIndex CTreeModel::index(int nRow, int nColumn, const QModelIndex& parent) const
{
    const TreeNode* pParent = NodeOrRoot(parent);
    if (nColumn != 0 || nRow < 0 || pParent->bRemoved || nRow >= int(pParent->children.size()))
        return {};
    return createIndex(nRow, 0, pParent->children[nRow].get());
}

QModelIndex CTreeModel::parent(const QModelIndex& child) const
{
    const TreeNode* pNode = NodeFromIndex(child);
    if (!pNode || pNode->bRemoved)
        return {};
    return IndexFromNode(pNode->pParent);
}

int CTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const TreeNode* pNode = NodeOrRoot(parent);
    return pNode->bRemoved ? 0 : int(pNode->children.size());
}

int CTreeModel::columnCount(const QModelIndex& parent) const
{
    Q_UNUSED(parent);
    return 1;
}

bool CTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant CTreeModel::data(const QModelIndex& index, int nRole) const
{
    const TreeNode* pNode = NodeFromIndex(index);
    if (!pNode || pNode->bRemoved)
        return {};
    switch (nRole) {
    case Qt::DisplayRole:
        return pNode->strText;
    case Qt::CheckStateRole:
        // For accessibility and item-model clients; the tree paints its own boxes.
        switch (pNode->nState & TVIS_STATEIMAGEMASK) {
        case INDEXTOSTATEIMAGEMASK(CHECK_UNCHECKED):
            return Qt::Unchecked;
        case INDEXTOSTATEIMAGEMASK(CHECK_PARTLY):
            return Qt::PartiallyChecked;
        case INDEXTOSTATEIMAGEMASK(CHECK_CHECKED):
            return Qt::Checked;
        default:
            return {};
        }
    case Qt::AccessibleDescriptionRole:
        // Qt's accessible cells report checked or not, never partly: say it in words too.
        switch (pNode->nState & TVIS_STATEIMAGEMASK) {
        case INDEXTOSTATEIMAGEMASK(CHECK_UNCHECKED):
            return Texts::Unchecked();
        case INDEXTOSTATEIMAGEMASK(CHECK_PARTLY):
            return Texts::PartlyChecked();
        case INDEXTOSTATEIMAGEMASK(CHECK_CHECKED):
            return Texts::Checked();
        default:
            return {};
        }
    default:
        return {};
    }
}

QVariant CTreeModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const
{
    // The header is hidden, but a screen reader still reads it: not as the column's number.
    if (nSection == 0 && orientation == Qt::Horizontal && nRole == Qt::DisplayRole)
        return Texts::NameColumn();
    return {};
}

Qt::ItemFlags CTreeModel::flags(const QModelIndex& index) const
{
    const TreeNode* pNode = NodeFromIndex(index);
    if (!pNode || pNode->bRemoved)
        return Qt::NoItemFlags;
    const bool bHasBox = (pNode->nState & TVIS_STATEIMAGEMASK) != 0;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable |
           (bHasBox ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);
}

bool CTreeModel::setData(const QModelIndex& index, const QVariant& value, int nRole)
{
    TreeNode* pNode = NodeFromIndex(index);
    if (nRole != Qt::CheckStateRole || !pNode || pNode->bRemoved ||
        !(pNode->nState & TVIS_STATEIMAGEMASK))
        return false;
    // A partly ticked box has no meaning of its own to set: it is drawn, never given.
    const bool bChecked = value.toInt() != Qt::Unchecked;
    if (!m_fnCheck) {
        SetState(pNode, INDEXTOSTATEIMAGEMASK(bChecked ? CHECK_CHECKED : CHECK_UNCHECKED),
                 TVIS_STATEIMAGEMASK);
        return true;
    }
    m_fnCheck(pNode, bChecked);
    return true;
}
