// The main window's controls that have a "ReadOnly" property, found by that name at run time.
#pragma once

#include <QLineEdit>
#include <QSpinBox>

namespace velkora::ui {

// An edit box whose read-only flag is published as "ReadOnly".
class ReadOnlyLineEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
public:
    using QLineEdit::QLineEdit;
};

// The font size box: read-only refuses typing.
class ReadOnlySpinBox : public QSpinBox
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
public:
    using QSpinBox::QSpinBox;
};

} // namespace velkora::ui
