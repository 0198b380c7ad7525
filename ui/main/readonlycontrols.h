// The main window's controls that have a "ReadOnly" property, found by that name at run time.
#pragma once

#include <QLineEdit>

namespace velkora::ui {

// An edit box whose read-only flag is published as "ReadOnly".
class ReadOnlyLineEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
public:
    using QLineEdit::QLineEdit;
};

} // namespace velkora::ui
