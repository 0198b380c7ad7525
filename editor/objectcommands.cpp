// Objects in the body: "Obje" (insert a new object, or a file embedded or linked), "Resim
// Özellikleri" (the selected object's properties), the context menu's items for a selected object
// and its verbs, and the sessions in which another program edits an embedded object.
#include "objectcommands.h"

#include "editor/picturefile.h"
#include "platform/objects/insertobjectdialog.h"
#include "platform/objects/objectpropertiesdialog.h"
#include "platform/objects/objectsession.h"
#include "platform/richedit/richtextproperties.h"
#include "platform/richedit/rtfreader.h"

#include <QBuffer>
#include <QImageWriter>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QTextBlock>
#include <QTextDocumentFragment>

namespace velkora::editor {

using objects::EmbeddedObject;

ObjectCommands::ObjectCommands(TJvDBRichEdit *editor) : QObject(editor), m_editor(editor)
{
    askInsertObject = [this]() -> std::optional<EmbeddedObject> {
        objects::InsertObjectDialog dialog(m_editor);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        try {
            return dialog.object();
        } catch (const std::runtime_error &e) {
            throw EditorError(QString::fromUtf8(e.what()));
        }
    };
    askProperties = [this](const EmbeddedObject &object) -> std::optional<EmbeddedObject> {
        objects::ObjectPropertiesDialog dialog(object, m_editor);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.object();
    };
    openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

bool ObjectCommands::objectSelected() const
{
    // A single object is one character; asked after every change, this must not walk a whole body
    // that is selected.
    int start = 0, end = 0;
    m_editor->selection(&start, &end);
    return end - start == 1 && m_editor->selectionType() == richedit::SelectionObject;
}

QUrl ObjectCommands::objectDataAt(int position) const
{
    QTextCursor c(m_editor->document());
    c.setPosition(position + 1);
    const QTextCharFormat f = c.charFormat();
    if (!f.isImageFormat() || !f.hasProperty(richedit::property::ObjectData))
        return QUrl();
    return f.property(richedit::property::ObjectData).toUrl();
}

std::optional<EmbeddedObject> ObjectCommands::selectedObject() const
{
    if (!objectSelected())
        return std::nullopt;
    int start = 0;
    m_editor->selection(&start, nullptr);
    const QUrl data = objectDataAt(start);
    if (data.isValid()) {
        if (auto object = objects::fromRtfHead(richedit::bytesResource(m_editor->document(), data)))
            return object;
    }
    // A picture of the body: described as a picture object holding what it shows.
    QTextCursor c(m_editor->document());
    c.setPosition(start + 1);
    const QTextImageFormat f = c.charFormat().toImageFormat();
    const QImage image = m_editor->document()->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
    EmbeddedObject picture = objects::createBlank(objects::newObjectKinds().at(1).className);
    picture.blank = false;
    picture.data.clear();
    QBuffer buffer(&picture.data);
    buffer.open(QIODevice::WriteOnly);
    // Asked for each right click on it: the least compression, which costs the least time.
    QImageWriter writer(&buffer, "PNG");
    writer.setQuality(90);
    writer.write(image);
    return picture;
}

bool ObjectCommands::insertObject(const EmbeddedObject &object)
{
    if (!m_editor->startEditing())
        return false;
    QTextDocument read;
    read.setDefaultFont(m_editor->document()->defaultFont());
    if (!richedit::RtfReader::read("{\\rtf1\\ansi " + object.toRtf() + '}', &read))
        throw EditorError(QStringLiteral("Nesne eklenemedi"));
    // The picture and the object's bytes live as resources of the document they were read into.
    QTextDocument *doc = m_editor->document();
    for (QTextBlock b = read.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat())
                continue;
            const QTextImageFormat image = f.toImageFormat();
            doc->addResource(QTextDocument::ImageResource, QUrl(image.name()),
                             read.resource(QTextDocument::ImageResource, QUrl(image.name())));
            for (const int p : {richedit::property::PictureData, richedit::property::ObjectData}) {
                if (image.hasProperty(p)) {
                    const QUrl url = image.property(p).toUrl();
                    doc->addResource(richedit::OriginalBytesResource, url, QVariant(richedit::bytesResource(&read, url)));
                }
            }
        }
    }
    QTextCursor c = m_editor->textCursor();
    const int at = c.selectionStart();
    c.insertFragment(QTextDocumentFragment(&read));
    m_editor->setSelection(at, at + 1);
    m_editor->scrollCaret();
    return true;
}

void ObjectCommands::InsertObject()
{
    if (!m_editor->startEditing())
        return;
    const std::optional<EmbeddedObject> object = askInsertObject ? askInsertObject() : std::nullopt;
    if (!object || !insertObject(*object))
        return;
    if (object->blank && !object->linked) {
        int start = 0;
        m_editor->selection(&start, nullptr);
        edit(*object, objectDataAt(start), start);
    }
}

void ObjectCommands::ResimOzellikleri1Click()
{
    const std::optional<EmbeddedObject> object = selectedObject();
    if (!object || !askProperties)
        return;
    int start = 0;
    m_editor->selection(&start, nullptr);
    const bool isObject = objectDataAt(start).isValid();
    const std::optional<EmbeddedObject> changed = askProperties(*object);
    // Only a real object changes its view; a picture stays a picture.
    if (changed && isObject && changed->asIcon != object->asIcon)
        replaceAt(start, *changed);
}

void ObjectCommands::replaceAt(int position, const EmbeddedObject &object)
{
    const QTextCursor keep = m_editor->textCursor();
    m_editor->setSelection(position, position + 1);
    if (!insertObject(object))
        m_editor->setTextCursor(keep);
}

void ObjectCommands::edit(const EmbeddedObject &object, const QUrl &data, int position)
{
    // One object at a time is out with another program; a new session ends the last one, which
    // removes its private copy.
    delete m_session;
    m_session = new objects::ObjectSession(object, this);
    m_sessionData = data;
    // The session belongs to this object of this body: its place follows edits made meanwhile, and
    // a body read in anew (another subtopic) ends the link.
    m_sessionPlace = QTextCursor(m_editor->document());
    m_sessionPlace.setPosition(position);
    m_sessionBody = m_editor->bodyGeneration();
    const auto fail = [this](const QString &why) {
        delete m_session; // and its private copy
        m_session = nullptr;
        throw EditorError(QStringLiteral("Nesne açılamadı: ") + why);
    };
    if (!m_session->ready())
        fail(QStringLiteral("geçici dosya yazılamadı"));
    connect(m_session, &objects::ObjectSession::saved, this, [this](const EmbeddedObject &saved) {
        m_editor->reportErrors([&] {
            const int at = m_sessionPlace.position();
            if (m_editor->bodyGeneration() != m_sessionBody || objectDataAt(at) != m_sessionData)
                throw EditorError(QStringLiteral("Nesnede yapılan değişiklikler alınamadı: nesnenin bulunduğu "
                                                 "alt konu artık açık değil ya da nesne silinmiş"));
            replaceAt(at, saved);
            m_sessionPlace.setPosition(at);
            m_sessionData = objectDataAt(at);
        });
    });
    if (!m_session->open(openUrl))
        fail(QStringLiteral("bu türden bir dosyayı açacak program bulunamadı"));
}

void ObjectCommands::doVerb(int verb)
{
    const std::optional<EmbeddedObject> object = selectedObject();
    if (!object || verb < 0 || verb >= object->verbs().size())
        return;
    int start = 0;
    m_editor->selection(&start, nullptr);
    if (object->linked) {
        if (verb == 0) {
            if (!openUrl(QUrl::fromLocalFile(object->fileName)))
                throw EditorError(QStringLiteral("\"%1\" açılamadı: dosya yok ya da bu türden bir dosyayı açacak "
                                                 "program bulunamadı")
                                      .arg(QDir::toNativeSeparators(object->fileName)));
        } else
            replaceAt(start, *object); // its look taken again from the file as it is now
        return;
    }
    const QUrl data = objectDataAt(start);
    if (data.isValid())
        edit(*object, data, start);
}

QList<QAction *> ObjectCommands::addContextItems(QMenu *menu)
{
    QList<QAction *> added;
    const std::optional<EmbeddedObject> object = selectedObject();
    if (!object)
        return added;
    added.append(menu->addSeparator());
    QAction *properties = menu->addAction(objects::ObjectPropertiesDialog::title(object->typeName()));
    properties->setObjectName(QStringLiteral("ObjectProperties"));
    connect(properties, &QAction::triggered, this, [this] { m_editor->reportErrors([this] { ResimOzellikleri1Click(); }); });
    added.append(properties);
    auto *verbs = new QMenu(object->typeName(), menu);
    verbs->setObjectName(QStringLiteral("ObjectVerbs"));
    // A plain picture of the body is no object another program could open: its verbs are greyed.
    int start = 0;
    m_editor->selection(&start, nullptr);
    const bool actable = object->linked || objectDataAt(start).isValid();
    const QStringList names = object->verbs();
    for (int i = 0; i < names.size(); ++i) {
        QAction *a = verbs->addAction(names[i]);
        a->setEnabled(actable);
        if (i == 0) {
            QFont bold = a->font();
            bold.setBold(true); // the default verb
            a->setFont(bold);
        }
        connect(a, &QAction::triggered, this, [this, i] { m_editor->reportErrors([this, i] { doVerb(i); }); });
    }
    QAction *submenu = menu->addMenu(verbs);
    connect(submenu, &QObject::destroyed, verbs, &QObject::deleteLater);
    added.append(submenu);
    return added;
}

} // namespace velkora::editor
