// The overflow of a toolbar that stands in a window's layout: a menu of what does not fit.
#include "toolbaroverflow.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMouseEvent>
#include <QToolBar>
#include <QToolButton>

namespace velkora::ui {

namespace {

// A control's name: its command's text, else its tooltip, else the short part of its hint.
QString nameOf(const QWidget *w)
{
    if (const auto *command = qobject_cast<QAction *>(w->property("command").value<QObject *>()); command && !command->text().isEmpty())
        return command->text();
    if (!w->toolTip().isEmpty())
        return w->toolTip().trimmed();
    return w->property("hint").toString().section(u'|', 0, 0).trimmed();
}

} // namespace

QList<QWidget *> overflowControls(QToolBar *bar)
{
    QList<QWidget *> out;
    for (QAction *item : bar->actions()) {
        QWidget *w = bar->widgetForAction(item);
        // An item hidden on purpose (its place switched off) is not overflow.
        if (w && item->isVisible() && (qobject_cast<QToolButton *>(w) || qobject_cast<QComboBox *>(w)) && !w->isVisibleTo(bar))
            out.append(w);
    }
    return out;
}

void fillOverflowMenu(QToolBar *bar, QMenu *menu)
{
    for (QWidget *w : overflowControls(bar)) {
        if (auto *button = qobject_cast<QToolButton *>(w)) {
            QAction *entry = menu->addAction(button->icon(), nameOf(button));
            entry->setEnabled(button->isEnabled());
            entry->setCheckable(button->isCheckable());
            entry->setChecked(button->isChecked());
            QObject::connect(entry, &QAction::triggered, button, [button] { button->click(); });
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            // A list box becomes a submenu of its entries, the current one checked.
            QMenu *sub = menu->addMenu(nameOf(combo));
            sub->setEnabled(combo->isEnabled());
            for (int i = 0; i < combo->count(); ++i) {
                QAction *entry = sub->addAction(combo->itemText(i));
                entry->setCheckable(true);
                entry->setChecked(i == combo->currentIndex());
                QObject::connect(entry, &QAction::triggered, combo, [combo, i] {
                    combo->setCurrentIndex(i);
                    Q_EMIT combo->activated(i);
                });
            }
        }
    }
}

namespace {

// Shows the overflow menu in place of whatever Qt would do with the extension button: widen the
// toolbar (which a layout does not let it) or pop up a menu that cannot hold the hidden widgets.
class OverflowFilter : public QObject
{
public:
    OverflowFilter(QToolBar *bar, QToolButton *extension) : QObject(extension), m_bar(bar), m_extension(extension) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            QMenu menu(m_bar);
            fillOverflowMenu(m_bar, &menu);
            if (!menu.isEmpty())
                menu.exec(m_extension->mapToGlobal(QPoint(0, m_extension->height())));
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick)
            return true;
        return false;
    }

private:
    QToolBar *m_bar;
    QToolButton *m_extension;
};

} // namespace

void installOverflowMenu(QToolBar *bar)
{
    if (auto *extension = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        extension->installEventFilter(new OverflowFilter(bar, extension));
}

} // namespace velkora::ui
