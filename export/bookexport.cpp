// exportBook: the book opened for reading, the writer of the format, and the output put in place
// only when it is whole.
#include "bookexport.h"

#include "bookwalk.h"
#include "exporters.h"
#include "outputfile.h"

#include "platform/database/databaseerror.h"

#include <QDir>
#include <QFileInfo>


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

    // Unseen until whole; dropped on any way out but the commit.
    OutputFile file(options.output);
    bool finished = false;
    try {
        switch (options.format) {
        case Format::Pdf: finished = writePdf(*walk, options, file.device(), progress); break;
        case Format::Epub: finished = writeEpub(*walk, options, file.device(), progress); break;
        case Format::Html: finished = writeHtml(*walk, options, file.device(), progress); break;
        }
    } catch (const database::DatabaseError &e) {
        throw ExportError(QStringLiteral("Kitap okunamadı: %1").arg(e.message()));
    }
    if (!finished)
        return false;
    file.commit();
    return true;
}

} // namespace velkora::bookexport
