// The properties of an object in a body: "%s Properties" with its type name; a general page, a
// view page (content or icon, no scaling) and, for a link, a link page without "cancel link".
#include "objectpropertiesdialog.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace velkora::objects {

QString ObjectPropertiesDialog::title(const QString &typeName)
{
    return QStringLiteral("%1 Properties").arg(typeName);
}

ObjectPropertiesDialog::ObjectPropertiesDialog(const EmbeddedObject &object, QWidget *parent)
    : QDialog(parent), m_object(object)
{
    setObjectName(QStringLiteral("ObjectPropertiesDialog"));
    setWindowTitle(title(object.typeName()));
    auto *tabs = new QTabWidget(this);

    auto *general = new QWidget(tabs);
    general->setObjectName(QStringLiteral("GeneralPage"));
    auto *form = new QFormLayout(general);
    form->addRow(QStringLiteral("Tür:"), new QLabel(object.typeName(), general));
    form->addRow(QStringLiteral("Boyut:"), new QLabel(QLocale(QLocale::Turkish).formattedDataSize(object.content().size()), general));
    form->addRow(object.linked ? QStringLiteral("Kaynak:") : QStringLiteral("Dosya:"),
                 new QLabel(object.linked ? object.fileName : QFileInfo(object.fileName).fileName(), general));
    tabs->addTab(general, QStringLiteral("Genel"));

    auto *view = new QWidget(tabs);
    view->setObjectName(QStringLiteral("ViewPage"));
    auto *viewLayout = new QVBoxLayout(view);
    m_content = new QRadioButton(QStringLiteral("İçerik olarak görüntüle"), view);
    m_content->setObjectName(QStringLiteral("AsContent"));
    m_icon = new QRadioButton(QStringLiteral("Simge olarak görüntüle"), view);
    m_icon->setObjectName(QStringLiteral("AsIcon"));
    (object.asIcon ? m_icon : m_content)->setChecked(true);
    viewLayout->addWidget(m_content);
    viewLayout->addWidget(m_icon);
    viewLayout->addStretch(1);
    tabs->addTab(view, QStringLiteral("Görünüm"));

    if (object.linked) {
        auto *link = new QWidget(tabs);
        link->setObjectName(QStringLiteral("LinkPage"));
        auto *linkForm = new QFormLayout(link);
        linkForm->addRow(QStringLiteral("Kaynak:"), new QLabel(object.fileName, link));
        const QFileInfo source(object.fileName);
        linkForm->addRow(QStringLiteral("Durum:"),
                         new QLabel(source.exists() ? QLocale(QLocale::Turkish).toString(source.lastModified(), QLocale::ShortFormat)
                                                    : QStringLiteral("Kaynak bulunamadı"),
                                    link));
        tabs->addTab(link, QStringLiteral("Bağlantı"));
    }

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Tamam"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("OkButton"));
    buttons->addButton(QStringLiteral("İptal"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    // Wide enough for the whole caption beside the window's own buttons, and for the pages' texts:
    // the layout alone would make the window its smallest size, with the caption cut.
    const int caption = QFontMetrics(font()).horizontalAdvance(windowTitle()) + CaptionRoom;
    resize(std::max({MinimumWidth, caption, sizeHint().width()}), std::max(MinimumHeight, sizeHint().height()));
}

EmbeddedObject ObjectPropertiesDialog::object() const
{
    EmbeddedObject o = m_object;
    o.asIcon = m_icon->isChecked();
    return o;
}

void ObjectPropertiesDialog::setAsIcon(bool on)
{
    (on ? m_icon : m_content)->setChecked(true);
}

} // namespace velkora::objects
