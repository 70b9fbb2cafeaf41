#pragma once
// Window templates give positions in dialog units, which scale with the template's font:
// a horizontal unit is a quarter of the font's average character width, a vertical unit
// an eighth of its height. One helper converts them, so every dialog and form lays out
// its controls the same way. CTemplateLayout keeps controls at these positions while the
// window has room for them.
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

class CDialogUnits
{
public:
    // strFace and nPointSize as the template names them ("MS Sans Serif", 8). Windows
    // faces are mapped to the desktop's own sans-serif family at the same size.
    CDialogUnits(const QString& strFace, int nPointSize);
    explicit CDialogUnits(const QFont& font);

    const QFont& Font() const { return m_font; }

    int ToPixelsX(int nUnits) const;
    int ToPixelsY(int nUnits) const;
    QRect ToPixels(int x, int y, int cx, int cy) const;
    QSize ToPixels(const QSize& units) const;

    // Places a control at its template rectangle and gives it the template's font.
    void Place(QWidget* pControl, int x, int y, int cx, int cy) const;

    // The font a Windows face name stands for here.
    static QFont MapFont(const QString& strFace, int nPointSize);

private:
    void Measure();

    QFont m_font;
    int m_nBaseWidth = 0;
    int m_nBaseHeight = 0;
};
