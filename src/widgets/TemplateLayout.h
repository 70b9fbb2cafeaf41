#pragma once
// A form laid out as its window template draws it, that still fits any window: every control
// stands at its template rectangle (pixels) while the form has at least the template's size,
// and each axis of a control says what happens when the form is larger or smaller:
//   FIXED    keeps its place and size;
//   STRETCH  keeps its place and its distances to both edges, so it grows and shrinks with
//            the form, never below its minimum size;
//   FOLLOW   keeps its size and its distance to the far edge (right or bottom);
//   YIELD    keeps its template place while there is room, else moves back with the far edge.
// A control is never smaller than its minimum size (a button's text, a label's text), so it
// stays readable; the form's minimum size is where the next step would cut or overlap one.
#include <QLayout>
#include <QRect>
#include <QSize>

#include <vector>

class CTemplateLayout : public QLayout
{
    Q_OBJECT
public:
    enum EAnchor { FIXED, STRETCH, FOLLOW, YIELD };

    // sizeTemplate: the form's size in the template, in pixels.
    CTemplateLayout(QWidget* pForm, const QSize& sizeTemplate);
    ~CTemplateLayout() override;

    // Adds a child of the form at its template rectangle.
    void AddControl(QWidget* pControl, const QRect& rect, EAnchor eHorizontal = FIXED,
                    EAnchor eVertical = FIXED);

    // QLayout
    void addItem(QLayoutItem* pItem) override;
    QLayoutItem* itemAt(int nIndex) const override;
    QLayoutItem* takeAt(int nIndex) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    Qt::Orientations expandingDirections() const override;

private:
    struct Control {
        QLayoutItem* pItem;
        QRect rect;
        EAnchor eAnchor[2];
    };
    // The span of a control on one axis (0 across, 1 down) in a form of length nLength.
    struct Span {
        int nPos;
        int nLength;
    };
    Span Place(const Control& control, int nAxis, int nLength) const;
    int MinimumLength(int nAxis) const;
    static int Along(const QRect& rect, int nAxis, bool bEnd);
    static int Length(const QSize& size, int nAxis);

    QSize m_sizeTemplate;
    std::vector<Control> m_controls;
};
