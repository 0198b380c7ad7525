// exportBook: the book opened for reading, the writer of the format, and the output put in place
// only when it is whole.
#include "bookexport.h"

#include "bookwalk.h"
#include "exporters.h"

#include "platform/database/databaseerror.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora::bookexport {

ExportError::ExportError(const QString &message) : std::runtime_error(message.toStdString()) {}

QString ExportError::message() const
{
    return QString::fromStdString(what());
}

std::optional<Format> formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"pdf")
        return Format::Pdf;
    if (suffix == u"epub")
        return Format::Epub;
    if (suffix == u"html" || suffix == u"htm")
        return Format::Html;
    return std::nullopt;
}

namespace {

// What the user's files get: read and write as the umask allows (a temporary file is made 0600).
mode_t publicMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool exportBook(const Options &options, const Progress &progress)
{
    const QFileInfo target(options.output);
    if (options.output.isEmpty() || target.isDir())
        throw ExportError(QStringLiteral("\"%1\" bir dosya adı değil.").arg(options.output));
    if (target.exists() && !target.isFile())
        throw ExportError(QStringLiteral("\"%1\" bir dosya değil; üzerine yazılmadı.").arg(options.output));

    std::unique_ptr<BookWalk> walk;
    try {
        walk = std::make_unique<BookWalk>(options.connectionString, options.topics);
    } catch (const database::DatabaseError &e) {
        throw ExportError(QStringLiteral("Kitap okunamadı: %1").arg(e.message()));
    } catch (const std::exception &e) {
        throw ExportError(QStringLiteral("Kitap okunamadı: %1").arg(QString::fromLocal8Bit(e.what())));
    }
    if (walk->topics().isEmpty())
        throw ExportError(QStringLiteral("Dışa aktarılacak konu yok."));
    if (walk->subtopicCount() == 0)
        throw ExportError(QStringLiteral("Seçilen konularda alt konu yok."));

    // Beside the output, hidden, and removed on any way out but the last rename.
    QTemporaryFile file(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    if (!file.open())
        throw ExportError(QStringLiteral("\"%1\" yazılamıyor: %2").arg(options.output, file.errorString()));
    bool finished = false;
    try {
        switch (options.format) {
        case Format::Pdf: finished = writePdf(*walk, options, file, progress); break;
        case Format::Epub: finished = writeEpub(*walk, options, file, progress); break;
        case Format::Html: finished = writeHtml(*walk, options, file, progress); break;
        }
    } catch (const database::DatabaseError &e) {
        throw ExportError(QStringLiteral("Kitap okunamadı: %1").arg(e.message()));
    }
    if (!finished)
        return false;
    if (!file.flush() || ::fsync(file.handle()) != 0 || ::fchmod(file.handle(), publicMode()) != 0)
        throw ExportError(QStringLiteral("\"%1\" yazılamadı: %2").arg(options.output, file.errorString()));
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        throw ExportError(QStringLiteral("\"%1\" yazılamadı: %2").arg(options.output, QString::fromLocal8Bit(std::strerror(errno))));
    file.setAutoRemove(false);
    return true;
}

} // namespace velkora::bookexport
