// The 16 × 16 pictures of the toolbars and menus, drawn by the program itself (no icon files).
#pragma once

#include <QIcon>
#include <QString>

namespace velkora::ui {

// One picture by name: "new", "delete", "edit", "save", "find", "first", "prior", "next", "last",
// "print", "settings", "help", "topic-add", "topic-delete", "topic-save", "bold", "italic",
// "underline", "align-left", "align-center", "align-right", "justify", "bullet", "superscript",
// "subscript", "color", "undo", "redo", "cut", "copy", "paste", "background", "text-file".
QIcon glyph(const QString &name);
int glyphCount();

} // namespace velkora::ui
