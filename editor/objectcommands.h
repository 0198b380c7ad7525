// Objects in the body: "Obje" (insert a new object, or a file embedded or linked), "Resim
// Özellikleri" (the selected object's properties), the context menu's items for a selected object
// and its verbs, and the sessions in which another program edits an embedded object.
#pragma once

#include "editor/tjvdbrichedit.h"
#include "platform/objects/embeddedobject.h"

#include <QObject>
#include <QTextCursor>
#include <QUrl>

#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace velkora::objects {
class ObjectSession;
}

namespace velkora::editor {

class ObjectCommands : public QObject
{
    Q_OBJECT
public:
    explicit ObjectCommands(TJvDBRichEdit *editor);

    // The selection is exactly one object (a picture counts): what "Resim Özellikleri" needs.
    bool objectSelected() const;
    // The selected object; a picture the body holds without object data is described as a picture.
    std::optional<objects::EmbeddedObject> selectedObject() const;

    // Starts editing, asks with the insert-object dialog and inserts the object at the selection,
    // selected alone and scrolled into view; an object created new is opened for editing at once.
    void InsertObject();
    // Puts the object at the selection (replacing it) and selects it; false when editing cannot start.
    bool insertObject(const objects::EmbeddedObject &object);
    // Shows the properties dialog of the selected object and applies the view chosen.
    void ResimOzellikleri1Click();
    // Performs verb number `verb` of the selected object.
    void doVerb(int verb);

    // Adds a separator, "%s Properties" and the verbs' submenu to the menu while one object is
    // selected; returns what it added, for the caller to remove after the menu closes.
    QList<QAction *> addContextItems(QMenu *menu);

    // The dialogs and the user's program; the main window keeps the defaults, tests replace them.
    std::function<std::optional<objects::EmbeddedObject>()> askInsertObject;
    std::function<std::optional<objects::EmbeddedObject>(const objects::EmbeddedObject &)> askProperties;
    std::function<bool(const QUrl &)> openUrl;

    // The session of an object being edited by another program, if one is (for tests).
    objects::ObjectSession *session() const { return m_session; }

private:
    QUrl objectDataAt(int position) const;
    void replaceAt(int position, const objects::EmbeddedObject &object);
    // Opens the object standing at position with the user's program.
    void edit(const objects::EmbeddedObject &object, const QUrl &data, int position);

    TJvDBRichEdit *m_editor;
    objects::ObjectSession *m_session = nullptr;
    QUrl m_sessionData;          // the object data of the object the session edits
    QTextCursor m_sessionPlace;  // where that object stands, following edits made meanwhile
    int m_sessionBody = -1;      // the body it stands in (the editor's body generation)
};

} // namespace velkora::editor
