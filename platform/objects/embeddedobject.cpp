// Objects embedded in or linked from a body: a file's bytes (or its path) with a class, shown by its
// picture or an icon, stored in the body's RTF as \object with \objemb or \objlink, the bytes in
// \objdata and the look in \result.
#include "embeddedobject.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>
#include <QtEndian>

#include <stdexcept>

namespace velkora::objects {

namespace {

const QString TextClass = QStringLiteral("Velkora.Text");
const QString PictureClass = QStringLiteral("Velkora.Picture");
const QString FileClass = QStringLiteral("Velkora.File");
constexpr quint32 OleVersion = 0x0501;
constexpr quint32 LinkedFormat = 1;
constexpr quint32 EmbeddedFormat = 2;
const QByteArray IconItem = "icon";
const QByteArray BlankItem = "blank";

bool isPictureName(const QString &name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix.toLatin1());
}

void putString(QByteArray &out, const QByteArray &s)
{
    QByteArray length(4, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(s.size() + 1), length.data());
    out += length + s + '\0';
}

void putNumber(QByteArray &out, quint32 n)
{
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(n, b.data());
    out += b;
}

// A bounds-checked reader of the \objdata bytes.
class Cursor
{
public:
    explicit Cursor(const QByteArray &bytes) : m_bytes(bytes) {}
    bool number(quint32 *n)
    {
        if (m_pos + 4 > m_bytes.size())
            return false;
        *n = qFromLittleEndian<quint32>(m_bytes.constData() + m_pos);
        m_pos += 4;
        return true;
    }
    bool string(QByteArray *s)
    {
        quint32 n = 0;
        if (!number(&n) || n > static_cast<quint32>(MaxObjectName) || m_pos + n > m_bytes.size())
            return false;
        *s = m_bytes.mid(m_pos, n);
        if (s->endsWith('\0'))
            s->chop(1);
        m_pos += n;
        return true;
    }
    bool bytes(quint32 n, QByteArray *out)
    {
        if (n > MaxObjectBytes || m_pos + n > m_bytes.size())
            return false;
        *out = m_bytes.mid(m_pos, n);
        m_pos += n;
        return true;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

QImage pictureOf(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || static_cast<qint64>(size.width()) * size.height() > 64ll * 1024 * 1024)
        return QImage();
    return reader.read();
}

} // namespace

QString EmbeddedObject::typeName() const
{
    if (className == TextClass)
        return QStringLiteral("Metin Belgesi");
    if (className == PictureClass)
        return QStringLiteral("Resim");
    const QString comment = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).comment();
    return comment.isEmpty() ? QStringLiteral("Paket") : comment;
}

QStringList EmbeddedObject::verbs() const
{
    if (linked)
        return {QStringLiteral("Aç"), QStringLiteral("Bağlantıyı Güncelleştir")};
    return {QStringLiteral("Düzenle"), QStringLiteral("Aç")};
}

QByteArray EmbeddedObject::content() const
{
    if (!linked)
        return data;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly) || f.size() > MaxObjectBytes)
        return QByteArray();
    return f.readAll();
}

QImage EmbeddedObject::look() const
{
    if (!asIcon && className == PictureClass) {
        const QImage picture = pictureOf(content());
        if (!picture.isNull())
            return picture.convertToFormat(QImage::Format_ARGB32);
    }
    // An icon of the file's type with the file's name under it.
    const QString name = QFileInfo(fileName).fileName();
    QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const QString label = metrics.elidedText(name, Qt::ElideMiddle, 160);
    const int width = std::max(48, metrics.horizontalAdvance(label) + 8);
    QImage image(width, 32 + 6 + metrics.height() + 2, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QIcon icon = QFileIconProvider().icon(QFileInfo(fileName));
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    icon.paint(&painter, QRect((width - 32) / 2, 2, 32, 32));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 38, width, metrics.height()), Qt::AlignCenter, label);
    painter.end();
    return image;
}

QByteArray EmbeddedObject::objectData() const
{
    QByteArray out;
    putNumber(out, OleVersion);
    putNumber(out, linked ? LinkedFormat : EmbeddedFormat);
    putString(out, className.toUtf8());
    putString(out, fileName.toUtf8());
    putString(out, asIcon ? IconItem : (blank ? BlankItem : QByteArray()));
    if (linked) {
        putString(out, QByteArray()); // network name
        putNumber(out, 0);            // reserved
        putNumber(out, 1);            // update automatically
    } else {
        putNumber(out, static_cast<quint32>(data.size()));
        out += data;
    }
    return out;
}

QByteArray EmbeddedObject::toRtf() const
{
    const QImage shown = look();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    shown.save(&buffer, "PNG");
    const int twipsW = shown.width() * 15, twipsH = shown.height() * 15;
    QByteArray out = "{\\object";
    out += linked ? "\\objlink" : "\\objemb";
    out += "{\\*\\objclass " + className.toLatin1() + '}';
    out += "\\objw" + QByteArray::number(twipsW) + "\\objh" + QByteArray::number(twipsH);
    out += "{\\*\\objdata\n";
    const QByteArray hex = objectData().toHex();
    for (qsizetype i = 0; i < hex.size(); i += 128)
        out += hex.mid(i, 128) + '\n';
    out += "}{\\result {\\pict\\pngblip\\picw" + QByteArray::number(shown.width()) + "\\pich" +
           QByteArray::number(shown.height()) + "\\picwgoal" + QByteArray::number(twipsW) + "\\pichgoal" +
           QByteArray::number(twipsH) + '\n';
    const QByteArray pictureHex = png.toHex();
    for (qsizetype i = 0; i < pictureHex.size(); i += 128)
        out += pictureHex.mid(i, 128) + '\n';
    out += "}}}";
    return out;
}

QList<NewObjectKind> newObjectKinds()
{
    return {{TextClass, QStringLiteral("Metin Belgesi"), QStringLiteral("Metin Belgesi.txt")},
            {PictureClass, QStringLiteral("Resim"), QStringLiteral("Resim.png")}};
}

EmbeddedObject createBlank(const QString &className)
{
    EmbeddedObject o;
    o.blank = true;
    for (const NewObjectKind &k : newObjectKinds()) {
        if (k.className == className) {
            o.className = k.className;
            o.fileName = k.fileName;
        }
    }
    if (o.className.isEmpty())
        throw std::runtime_error("unknown object class");
    if (o.className == PictureClass) {
        QImage white(320, 240, QImage::Format_RGB32);
        white.fill(Qt::white);
        QBuffer buffer(&o.data);
        buffer.open(QIODevice::WriteOnly);
        white.save(&buffer, "PNG");
    }
    return o;
}

EmbeddedObject fromFile(const QString &path, bool link)
{
    const QFileInfo info(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("\"%1\" açılamadı: %2").arg(path, f.errorString()).toStdString());
    if (f.size() > MaxObjectBytes)
        throw std::runtime_error(QStringLiteral("\"%1\" nesne olarak eklenemeyecek kadar büyük").arg(path).toStdString());
    EmbeddedObject o;
    o.linked = link;
    o.className = isPictureName(path) ? PictureClass : (info.suffix().compare(u"txt", Qt::CaseInsensitive) == 0 ? TextClass : FileClass);
    o.fileName = link ? info.absoluteFilePath() : info.fileName();
    if (!link)
        o.data = f.readAll();
    return o;
}

std::optional<EmbeddedObject> fromRtfHead(const QByteArray &head)
{
    if (!head.startsWith("{\\object"))
        return std::nullopt;
    const qsizetype at = head.indexOf("\\objdata");
    if (at < 0)
        return std::nullopt;
    QByteArray hex;
    for (qsizetype i = at + 8; i < head.size() && head[i] != '}'; ++i) {
        const char c = head[i];
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
            hex += c;
    }
    const QByteArray bytes = QByteArray::fromHex(hex);
    Cursor in(bytes);
    quint32 version = 0, format = 0;
    QByteArray className, topic, item;
    if (!in.number(&version) || !in.number(&format) || !in.string(&className) || !in.string(&topic)
        || !in.string(&item))
        return std::nullopt;
    EmbeddedObject o;
    o.className = QString::fromUtf8(className);
    if (o.className != TextClass && o.className != PictureClass && o.className != FileClass)
        return std::nullopt;
    o.fileName = QString::fromUtf8(topic);
    o.asIcon = item == IconItem;
    o.blank = item == BlankItem;
    if (format == LinkedFormat) {
        o.linked = true;
    } else if (format == EmbeddedFormat) {
        quint32 size = 0;
        if (!in.number(&size) || !in.bytes(size, &o.data))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return o;
}

} // namespace velkora::objects
