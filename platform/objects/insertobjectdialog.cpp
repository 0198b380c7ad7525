// The insert-object dialog: create a new object of a kind the program can make, or take a file,
// embedded or linked, shown by its content or as an icon.
#include "insertobjectdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velkora::objects {

InsertObjectDialog::InsertObjectDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("InsertObjectDialog"));
    setWindowTitle(QStringLiteral("Nesne Ekle"));
    m_new = new QRadioButton(QStringLiteral("&Yeni oluştur"), this);
    m_new->setObjectName(QStringLiteral("CreateNew"));
    m_file = new QRadioButton(QStringLiteral("&Dosyadan oluştur"), this);
    m_file->setObjectName(QStringLiteral("CreateFromFile"));
    m_kinds = new QListWidget(this);
    m_kinds->setObjectName(QStringLiteral("ObjectKinds"));
    for (const NewObjectKind &k : newObjectKinds())
        m_kinds->addItem(k.typeName);
    m_kinds->setCurrentRow(0);
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("FileName"));
    m_path->setMaxLength(MaxFileName);
    auto *browseButton = new QPushButton(QStringLiteral("&Gözat..."), this);
    browseButton->setObjectName(QStringLiteral("Browse"));
    m_link = new QCheckBox(QStringLiteral("&Bağlantı"), this);
    m_link->setObjectName(QStringLiteral("Link"));
    m_icon = new QCheckBox(QStringLiteral("&Simge olarak görüntüle"), this);
    m_icon->setObjectName(QStringLiteral("AsIcon"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Tamam"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("OkButton"));
    buttons->addButton(QStringLiteral("İptal"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("CancelButton"));

    auto *grid = new QGridLayout;
    grid->addWidget(m_new, 0, 0);
    grid->addWidget(m_kinds, 0, 1, 1, 2);
    grid->addWidget(m_file, 1, 0);
    grid->addWidget(m_path, 1, 1);
    grid->addWidget(browseButton, 1, 2);
    grid->addWidget(m_link, 2, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_icon);
    layout->addWidget(buttons);

    browse = [this] { return QFileDialog::getOpenFileName(this, QStringLiteral("Gözat")); };
    connect(browseButton, &QPushButton::clicked, this, [this] {
        const QString path = browse ? browse() : QString();
        if (!path.isEmpty())
            chooseFile(path, m_link->isChecked());
    });
    connect(m_new, &QRadioButton::toggled, this, &InsertObjectDialog::updateState);
    connect(m_path, &QLineEdit::textChanged, this, &InsertObjectDialog::updateState);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        // A file that is not there is not taken: the dialog stays for another choice.
        if (m_file->isChecked() && !QFileInfo(m_path->text()).isFile())
            return;
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_new->setChecked(true); // creating a new object is chosen at the start
    updateState();
}

void InsertObjectDialog::updateState()
{
    const bool fromFile = m_file->isChecked();
    m_kinds->setEnabled(!fromFile);
    m_path->setEnabled(fromFile);
    m_link->setEnabled(fromFile);
}

bool InsertObjectDialog::createNew() const
{
    return m_new->isChecked();
}

void InsertObjectDialog::chooseNew(int kind)
{
    m_new->setChecked(true);
    m_kinds->setCurrentRow(kind);
}

void InsertObjectDialog::chooseFile(const QString &path, bool link)
{
    m_file->setChecked(true);
    m_path->setText(path.left(MaxFileName));
    m_link->setChecked(link);
}

void InsertObjectDialog::setAsIcon(bool on)
{
    m_icon->setChecked(on);
}

EmbeddedObject InsertObjectDialog::object() const
{
    EmbeddedObject o = createNew() ? createBlank(newObjectKinds().value(std::max(0, m_kinds->currentRow())).className)
                                   : fromFile(m_path->text(), m_link->isChecked());
    o.asIcon = m_icon->isChecked();
    return o;
}

} // namespace velkora::objects
