// The overflow of a toolbar that stands in a window's layout rather than in a main window's
// toolbar area: Qt's "»" button cannot widen such a toolbar, so it opens a menu instead.
#pragma once

#include <QList>

class QToolBar;
class QMenu;
class QWidget;

namespace velkora::ui {

// Makes the toolbar's extension button open a menu of the controls that do not fit: each button
// with its glyph and name, enabled and checked like the button, running the button when chosen;
// each list box as a submenu of its entries.
void installOverflowMenu(QToolBar *bar);

// The toolbar's buttons and list boxes that do not fit, in their order.
QList<QWidget *> overflowControls(QToolBar *bar);
// Puts what the overflow offers into menu.
void fillOverflowMenu(QToolBar *bar, QMenu *menu);

} // namespace velkora::ui
