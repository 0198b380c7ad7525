// The insert-object dialog: create a new object of a kind the program can make, or take a file,
// embedded or linked, shown by its content or as an icon.
#pragma once

#include "platform/objects/embeddedobject.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace velkora::objects {

class InsertObjectDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MaxFileName = 256;

    explicit InsertObjectDialog(QWidget *parent = nullptr);

    // After OK: the object chosen. Throws std::runtime_error when its file cannot be read.
    EmbeddedObject object() const;
    bool createNew() const;

    // For tests and for the dialog's own controls.
    void chooseNew(int kind);             // row of newObjectKinds()
    void chooseFile(const QString &path, bool link);
    void setAsIcon(bool on);

    // Asks for the file behind "Gözat..."; tests replace it.
    std::function<QString()> browse;

private:
    void updateState();

    QRadioButton *m_new = nullptr;
    QRadioButton *m_file = nullptr;
    QListWidget *m_kinds = nullptr;
    QLineEdit *m_path = nullptr;
    QCheckBox *m_link = nullptr;
    QCheckBox *m_icon = nullptr;
};

} // namespace velkora::objects
