// The main window's controls that have a "ReadOnly" property, found by that name at run time.
#pragma once

#include <QComboBox>
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

// The topic selector; while read-only it neither opens its list nor steps through topics.
class TopicSelector : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)
public:
    using QComboBox::QComboBox;
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void showPopup() override
    {
        if (!m_readOnly)
            QComboBox::showPopup();
    }

private:
    bool m_readOnly = false;
};

} // namespace velkora::ui
