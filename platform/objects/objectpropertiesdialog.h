// The properties of an object in a body: "%s Properties" with its type name; a general page, a
// view page (content or icon, no scaling) and, for a link, a link page without "cancel link".
#pragma once

#include "platform/objects/embeddedobject.h"

#include <QDialog>

class QRadioButton;

namespace velkora::objects {

class ObjectPropertiesDialog : public QDialog
{
    Q_OBJECT
public:
    ObjectPropertiesDialog(const EmbeddedObject &object, QWidget *parent = nullptr);
    static QString title(const QString &typeName);

    // The smallest size it opens at, and the room beside the caption for the icon and the buttons
    // of the window's title bar.
    static constexpr int MinimumWidth = 360, MinimumHeight = 220, CaptionRoom = 140;

    // After OK: the object with the view the user chose.
    EmbeddedObject object() const;
    void setAsIcon(bool on);

private:
    EmbeddedObject m_object;
    QRadioButton *m_content = nullptr;
    QRadioButton *m_icon = nullptr;
};

} // namespace velkora::objects
