// Where the main window's three toolbars stand, and the formatting toolbar's items as the settings
// keep them.
#include "tform1.h"

#include <QBoxLayout>

namespace velkora::ui {

namespace {

// A toolbar turned to stand along an edge: across the bar it keeps its thickness.
void turn(QToolBar *bar, Qt::Orientation orientation, int thickness)
{
    bar->setOrientation(orientation);
    if (orientation == Qt::Horizontal) {
        bar->setMinimumWidth(0);
        bar->setMaximumWidth(QWIDGETSIZE_MAX);
        bar->setFixedHeight(thickness);
    } else {
        bar->setMinimumHeight(0);
        bar->setMaximumHeight(QWIDGETSIZE_MAX);
        bar->setFixedWidth(thickness);
    }
}

} // namespace

bool TForm1::toolBar1Left() const
{
    return toolBarArea(ToolBar1) == Qt::LeftToolBarArea;
}

void TForm1::alignToolBar1(bool left)
{
    if (left == toolBar1Left())
        return;
    const bool shown = ToolBar1->isVisibleTo(this);
    addToolBar(left ? Qt::LeftToolBarArea : Qt::TopToolBarArea, ToolBar1);
    turn(ToolBar1, left ? Qt::Vertical : Qt::Horizontal, 34);
    ToolBar1->setVisible(shown);
}

bool TForm1::toolBar2Top() const
{
    return Panel3->layout()->indexOf(ToolBar2) == 0;
}

void TForm1::alignToolBar2(bool top)
{
    if (top == toolBar2Top())
        return;
    auto *layout = static_cast<QBoxLayout *>(Panel3->layout());
    layout->removeWidget(ToolBar2);
    layout->insertWidget(top ? 0 : layout->count(), ToolBar2);
}

bool TForm1::toolBar3Left() const
{
    return ToolBar3->orientation() == Qt::Vertical;
}

void TForm1::alignToolBar3(bool left)
{
    if (left == toolBar3Left())
        return;
    auto *row = static_cast<QBoxLayout *>(Panel2->layout());
    if (left) {
        m_leftColumn->removeWidget(ToolBar3);
        row->insertWidget(0, ToolBar3);
    } else {
        row->removeWidget(ToolBar3);
        m_leftColumn->addWidget(ToolBar3);
    }
    turn(ToolBar3, left ? Qt::Vertical : Qt::Horizontal, 25);
}

QList<QAction *> TForm1::formattingItems() const
{
    const QWidget *items[] = {BtnKalin, BtnItalic, BtnCizgi, BtnSol, BtnOrta, BtnSag, BtnYasla, BtnMadde, BtnUst,
                              BtnAlt, BtnRenk, BtnGeri, BtnIleri, BtnKes, BtnKopya, BtnYapistir, ComboBox1, Edit1};
    QList<QAction *> out;
    for (const QWidget *item : items) {
        for (QAction *place : ToolBar2->actions()) {
            if (ToolBar2->widgetForAction(place) == item) {
                out.append(place);
                break;
            }
        }
    }
    Q_ASSERT(out.size() == 18);
    return out;
}

} // namespace velkora::ui
