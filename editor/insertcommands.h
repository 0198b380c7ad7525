// The "Ekle" menu's commands on the body: "Metin Ekle" (a text or RTF file replaces the body),
// "Resim" (a picture file through the clipboard at the caret), "Obje" (an embedded or linked file)
// and "Resim Özellikleri" (the selected object's properties).
#pragma once

#include "editor/tjvdbrichedit.h"

#include <QObject>

#include <functional>

class QFileDialog;

namespace velkora::editor {

class InsertCommands : public QObject
{
    Q_OBJECT
public:
    explicit InsertCommands(TJvDBRichEdit *editor);

    // Asks for a text file (OpenDialog1) and loads it; nothing when cancelled.
    void MetinEkle1Click();
    // Replaces the whole body with the file's content, the caret at 0: RTF or plain text by the
    // file's extension and first bytes, each refused form tried the other way; every line break
    // reaches the control as CR LF. Starts editing first; when editing cannot start the file is not
    // read. Throws EditorError("Geçersiz format seçtiniz") when the file cannot be read or is
    // refused in both forms.
    void loadTextFile(const QString &path);

    // Asks for a picture file (the picture dialog) and inserts it; nothing when cancelled.
    void InsertBitmap();
    // Reads the picture, puts it on the clipboard and pastes it at the caret (replacing the
    // selection). A refused file throws the reader's message with body and clipboard unchanged.
    void insertPictureFile(const QString &path);

    // The file dialogs; the main window sets them, tests replace them. Empty: cancelled.
    std::function<QString()> chooseTextFile;
    std::function<QString()> choosePicture;

private:
    TJvDBRichEdit *m_editor;
};

// Runs a file dialog and returns the chosen file, or an empty string when cancelled. The dialog opens
// in the folder its last file came from, with the last name selected; its completion list is gone
// when it returns.
QString chooseFile(QFileDialog *dialog);

// Adds a preview of the chosen picture beside a (non-native) picture file dialog.
void addPicturePreview(QFileDialog *dialog);

} // namespace velkora::editor
