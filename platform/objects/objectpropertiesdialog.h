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

    // After OK: the object with the view the user chose.
    EmbeddedObject object() const;
    void setAsIcon(bool on);

private:
    EmbeddedObject m_object;
    QRadioButton *m_content = nullptr;
    QRadioButton *m_icon = nullptr;
};

} // namespace velkora::objects
