#include "LeftView.h"

#include "widgets/TemplateLayout.h"

#include <QImage>
#include <QPainter>
#include <QStyle>

namespace {

// The check-box pictures, 13 pixels each: blank, empty box, box with a red bar (partly
// checked: a dash, as desktops draw it, so that it never passes for a tick), box with a red
// tick (checked). White is the transparent colour.
QImage MakeCheckBoxStrip()
{
    constexpr int kSize = 13;
    QImage strip(CHECK_IMAGE_COUNT * kSize, kSize, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing, false); // keep the mask colour exact
    for (int i = CHECK_UNCHECKED; i < CHECK_IMAGE_COUNT; ++i) {
        const QRect box(i * kSize, 0, kSize - 1, kSize - 1);
        painter.setPen(QColor(0x1C, 0x1C, 0x1C));
        painter.drawRect(box);
        const int x = box.left();
        if (i == CHECK_PARTLY) {
            painter.fillRect(x + 3, 5, 7, 3, QColor(0xE0, 0x10, 0x10));
            continue;
        }
        if (i == CHECK_UNCHECKED)
            continue;
        painter.setPen(QColor(0xE0, 0x10, 0x10));
        for (int dy = 0; dy < 3; ++dy) {
            painter.drawLine(x + 3, 5 + dy, x + 5, 7 + dy);
            painter.drawLine(x + 5, 7 + dy, x + 9, 3 + dy);
        }
    }
    return strip;
}

} // namespace

namespace {
// The tree's place in the view, and the view it was drawn for: a margin of 10 all round.
const QRect kTreeRect(10, 10, 290, 490);
const QSize kViewSize(310, 510);
// A few rows of a few names, beside the scroll bars.
const QSize kMinTreeSize(150, 100);
} // namespace

CLeftView::CLeftView(QWidget* pParent) : QWidget(pParent), m_treeCtrl(this)
{
    m_treeCtrl.hide(); // until the first initial update creates it
    m_treeCtrl.setMinimumSize(kMinTreeSize);
    m_pLayout = new CTemplateLayout(this, kViewSize);
    m_treeCtrl.setAccessibleName(QString::fromLatin1(CFolderTreeCtrl::ROOT_NAME));
}

CLeftView::~CLeftView() = default;

void CLeftView::OnInitialUpdate()
{
    if (m_imageList.IsCreated())
        return;

    m_treeCtrl.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                          TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                      kTreeRect, this, IDC_FOLDER_TREE);
    m_pLayout->AddControl(&m_treeCtrl, kTreeRect, CTemplateLayout::STRETCH,
                          CTemplateLayout::STRETCH);

    // The order fixes the image indices the tree uses.
    m_imageList.Create(16, 16, 9, 9);
    for (QStyle::StandardPixmap icon :
         {QStyle::SP_DriveCDIcon, QStyle::SP_DirClosedIcon, QStyle::SP_DriveHDIcon,
          QStyle::SP_DriveFDIcon, QStyle::SP_ComputerIcon, QStyle::SP_DirOpenIcon,
          QStyle::SP_FileIcon})
        m_imageList.Add(style()->standardIcon(icon));
    m_stateImageList.Create(MakeCheckBoxStrip(), 13, 1, Qt::white);
    m_treeCtrl.SetImageList(&m_imageList, TVSIL_NORMAL);
    m_treeCtrl.SetImageList(&m_stateImageList, TVSIL_STATE);

    HTREEITEM hRoot =
        m_treeCtrl.InsertItem(QString::fromLatin1(CFolderTreeCtrl::ROOT_NAME),
                              CFolderTreeCtrl::IMAGE_COMPUTER, CFolderTreeCtrl::IMAGE_COMPUTER);
    m_treeCtrl.InsertDrives(hRoot);
    m_treeCtrl.Expand(hRoot, TVE_EXPAND);
}
