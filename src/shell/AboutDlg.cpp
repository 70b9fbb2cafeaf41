#include "AboutDlg.h"

#include "widgets/DialogUnits.h"
#include "resources/Texts.h"
#include "HelpFile.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    const CDialogUnits units(QStringLiteral("MS Sans Serif"), 8);
    setWindowTitle(Texts::AboutTitle());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QSize size = units.ToPixels(QSize(235, 118));

    auto* pIcon = new QLabel(this);
    pIcon->setObjectName(QStringLiteral("aboutIcon"));
    const QRect iconRect = units.ToPixels(11, 17, 0, 0);
    pIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    pIcon->setGeometry(iconRect.x(), iconRect.y(), 32, 32);

    // Shown as it stands: no "&" is taken as a mnemonic.
    auto* pVersion = new QLabel(Texts::VersionLine(), this);
    pVersion->setTextFormat(Qt::PlainText);
    units.Place(pVersion, 40, 10, 119, 8);

    auto* pOk = new QPushButton(Texts::OkButton(), this);
    pOk->setDefault(true);
    units.Place(pOk, 178, 7, 50, 14);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

    // Where the program keeps what the user would look for or back up by hand; the box grows
    // to the longest path, which does not wrap.
    auto* pPlaces = new QLabel(CHelpFile::PlacesText(), this);
    pPlaces->setObjectName(QStringLiteral("aboutPlaces"));
    pPlaces->setTextFormat(Qt::PlainText);
    pPlaces->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pPlaces->setFont(units.Font());
    const QRect placesRect = units.ToPixels(11, 36, 0, 0);
    const QSize text = pPlaces->sizeHint();
    pPlaces->setGeometry(placesRect.x(), placesRect.y(), text.width(), text.height());
    // Wide enough for the longest path, and no taller than the text needs.
    size.setWidth(qMax(size.width(), pPlaces->geometry().right() + placesRect.x()));
    size.setHeight(pPlaces->geometry().bottom() + units.ToPixelsY(7));
    setFixedSize(size);
}
