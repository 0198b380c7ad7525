// The program's name with its shadow: a grey copy behind a dark one, offset by two pixels.
#include "shadowedname.h"

#include <QLabel>
#include <QPalette>

namespace velkora::ui {

ShadowedName addShadowedName(QWidget *parent, const QString &text, const QFont &font, QPoint namePosition,
                             const QString &shadowObjectName, const QString &nameObjectName)
{
    auto *shadow = new QLabel(text, parent);
    shadow->setObjectName(shadowObjectName);
    shadow->setFont(font);
    shadow->setAutoFillBackground(true); // opaque, in the window's own colour
    QPalette grey = shadow->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    shadow->setPalette(grey);
    shadow->adjustSize();
    shadow->move(namePosition + QPoint(2, 2));
    auto *name = new QLabel(text, parent);
    name->setObjectName(nameObjectName);
    name->setFont(font);
    name->setAttribute(Qt::WA_TranslucentBackground);
    name->adjustSize();
    name->move(namePosition);
    name->raise();
    return {shadow, name};
}

} // namespace velkora::ui
