#pragma once
// The lower-left pane of the main window: it holds the folder tree and the tree's two
// image lists, and builds the tree's first level when it is first updated. Whoever needs
// the backup plan is handed the view (m_treeCtrl.Plan()).
// The tree stands at 10,10 and fills the pane but for a margin of 10 pixels.
#include "FolderTreeCtrl.h"
#include "ImageList.h"

#include <QWidget>

class CTemplateLayout;

class CLeftView : public QWidget
{
    Q_OBJECT
public:
    explicit CLeftView(QWidget* pParent = nullptr);
    ~CLeftView() override;

    // Builds the tree on the first call; later calls (the framework's New and Open) keep
    // the one tree and its ticks.
    virtual void OnInitialUpdate();

    // Declared in this order so that the tree, which draws from the lists, goes first.
    CImageList m_stateImageList;
    CImageList m_imageList;
    CFolderTreeCtrl m_treeCtrl;

    static constexpr UINT IDC_FOLDER_TREE = 32494;

private:
    CTemplateLayout* m_pLayout; // owned by the view
};
