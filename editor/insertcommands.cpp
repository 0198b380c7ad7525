// The "Ekle" menu's commands on the body: "Metin Ekle" (a text or RTF file replaces the body),
// "Resim" (a picture file through the clipboard at the caret), "Obje" (an embedded or linked file)
// and "Resim Özellikleri" (the selected object's properties).
#include "insertcommands.h"

#include "editor/picturefile.h"
#include "platform/metafile/emfplayer.h"
#include "platform/richedit/rtfreader.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QClipboard>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStringDecoder>
#include <QTimer>

namespace velkora::editor {

namespace {

// Where a file dialog keeps the folder its last file came from.
const char *const LastFolderProperty = "lastFolder";

// A text file larger than this cannot be a body (the control holds 16,777,215 characters).
constexpr qint64 MaxTextFileBytes = 64ll * 1024 * 1024;

QString invalidFormat()
{
    return QStringLiteral("Geçersiz format seçtiniz");
}

// Plain text as the file holds it: UTF-8 when it is valid UTF-8, else the Turkish Windows code page.
QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
    QStringDecoder turkish("windows-1254");
    return turkish.isValid() ? turkish.decode(bytes) : QString::fromLatin1(bytes);
}

} // namespace

InsertCommands::InsertCommands(TJvDBRichEdit *editor) : QObject(editor), m_editor(editor)
{
}

QString chooseFile(QFileDialog *dialog)
{
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // The folder the last file came from, and the last name selected, so a path typed replaces it.
    const QString folder = dialog->property(LastFolderProperty).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog->setDirectory(folder);
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (name)
        QTimer::singleShot(0, name, [name] { name->selectAll(); });
    const bool accepted = dialog->exec() == QDialog::Accepted;
    // The name box's completion list is a window of its own: it must not stay over the editor,
    // where it would take the next click.
    for (QCompleter *completer : dialog->findChildren<QCompleter *>())
        if (completer->popup())
            completer->popup()->hide();
    if (!accepted || dialog->selectedFiles().isEmpty())
        return QString();
    const QString chosen = dialog->selectedFiles().constFirst();
    dialog->setProperty(LastFolderProperty, QFileInfo(chosen).absolutePath());
    return chosen;
}

void InsertCommands::MetinEkle1Click()
{
    const QString path = chooseTextFile ? chooseTextFile() : QString();
    if (path.isEmpty())
        return;
    loadTextFile(path);
}

void InsertCommands::loadTextFile(const QString &path)
{
    if (!m_editor->startEditing())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxTextFileBytes)
        throw EditorError(invalidFormat());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EditorError(invalidFormat());
    const QString extension = QFileInfo(path).suffix().toLower();
    const bool rtfSigned = bytes.left(5).toLower() == "{\\rtf";
    // Plain text first for .txt; RTF first for everything else. Plain text is never refused, so an
    // RTF file that is not RTF is shown as its text.
    bool loaded = false;
    if (extension != u"txt")
        loaded = rtfSigned && m_editor->streamInRtf(bytes);
    if (!loaded)
        m_editor->streamInText(decodeText(bytes)); // line breaks of every kind become paragraphs
    // The body was replaced: the record holds a change to save.
    m_editor->setModified(true);
    m_editor->contentChanged();
    Q_EMIT m_editor->selectionChange();
}

void InsertCommands::InsertBitmap()
{
    const QString path = choosePicture ? choosePicture() : QString();
    if (path.isEmpty())
        return;
    insertPictureFile(path);
}

void InsertCommands::insertPictureFile(const QString &path)
{
    // A refused file stops here, before the clipboard is touched.
    const LoadedPicture picture = loadPictureFile(path);
    putOnClipboard(picture, QApplication::clipboard());
    m_editor->paste();
}

void addPicturePreview(QFileDialog *dialog)
{
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    auto *grid = qobject_cast<QGridLayout *>(dialog->layout());
    if (!grid)
        return;
    auto *preview = new QLabel(dialog);
    preview->setObjectName(QStringLiteral("PicturePreview"));
    preview->setFixedSize(160, 160);
    preview->setFrameShape(QFrame::StyledPanel);
    preview->setAlignment(Qt::AlignCenter);
    grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(dialog, &QFileDialog::currentChanged, preview, [preview](const QString &path) {
        preview->clear();
        if (QFileInfo(path).isDir())
            return;
        try {
            const LoadedPicture picture = loadPictureFile(path);
            QImage shown = picture.image;
            if (picture.kind == PictureKind::Metafile) {
                metafile::EmfPlayer player;
                if (player.load(picture.emf)) {
                    shown = QImage(preview->size() - QSize(8, 8), QImage::Format_RGB32);
                    shown.fill(Qt::white);
                    QPainter painter(&shown);
                    player.play(&painter, QRectF(shown.rect()));
                }
            }
            if (!shown.isNull())
                preview->setPixmap(QPixmap::fromImage(
                    shown.scaled(preview->size() - QSize(8, 8), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
            else
                preview->setText(QFileInfo(path).suffix().toUpper());
        } catch (const std::exception &) {
            preview->setText(QStringLiteral("?"));
        }
    });
}

} // namespace velkora::editor
