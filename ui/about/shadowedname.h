// The program's name as the splash window and the about box show it: a grey copy two pixels to
// the right of and below a dark one, so the grey shows as the dark name's shadow.
#pragma once

#include <QFont>
#include <QPoint>
#include <QString>

class QLabel;
class QWidget;

namespace velkora::ui {

struct ShadowedName
{
    QLabel *shadow; // grey and opaque, behind
    QLabel *name;   // in the window-text colour, transparent, in front
};

// Puts both copies into parent: the name at namePosition, its shadow 2 pixels right and down.
ShadowedName addShadowedName(QWidget *parent, const QString &text, const QFont &font, QPoint namePosition,
                             const QString &shadowObjectName, const QString &nameObjectName);

} // namespace velkora::ui
