// velkora-book export.
#include "exportcommand.h"

#include "booktool.h"
#include "copycommand.h"

#include "export/bookexport.h"
#include "export/bookwalk.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cstdio>

namespace velkora::tools {

namespace {

void say(const QString &line)
{
    std::fprintf(stderr, "velkora-book: %s\n", line.toLocal8Bit().constData());
}

// The title the program would show for the book in this folder.
QString bookTitleBeside(const QString &book)
{
    const QString ini = QFileInfo(book).absoluteDir().filePath(QStringLiteral("Velkora.ini"));
    if (QFileInfo(ini).isFile() && QFileInfo(ini).size() < (1 << 20)) {
        QSettings settings(ini, QSettings::IniFormat);
        const QString title = settings.value(QStringLiteral("Kitap Adi/Baslik")).toString();
        if (!title.isEmpty())
            return title;
    }
    return QStringLiteral("Dilbilgisi Kitabı");
}

} // namespace

int exportBookCommand(const QString &book, const QString &password, const QString &output, const QStringList &topics,
                      bool withTitles, const QString &title)
{
    const std::optional<bookexport::Format> format = bookexport::formatOf(output);
    if (!format) {
        say(QStringLiteral("the format comes from the output's name: .pdf, .epub or .html (%1)").arg(output));
        return 2;
    }
    if (!isServerBook(book) && !QFileInfo(book).isFile()) {
        say(QStringLiteral("no book at %1").arg(book));
        return 2;
    }
    bookexport::Options options;
    options.connectionString = readingConnectionString(book, password);
    options.output = output;
    options.format = *format;
    options.withTitles = withTitles;
    options.bookTitle = !title.isEmpty() ? title : isServerBook(book) ? QStringLiteral("Dilbilgisi Kitabı") : bookTitleBeside(book);
    if (!topics.isEmpty()) {
        const QList<bookexport::TopicEntry> all = bookexport::topicsOf(options.connectionString);
        for (const QString &wanted : topics) {
            bool found = false;
            bool isNumber = false;
            const qint64 key = wanted.toLongLong(&isNumber);
            for (const bookexport::TopicEntry &t : all) {
                if (t.title == wanted || (isNumber && t.key == key && !found)) {
                    options.topics.append(t.key);
                    found = true;
                }
            }
            if (!found) {
                say(QStringLiteral("the book has no topic \"%1\"").arg(wanted));
                return 2;
            }
        }
    }
    try {
        bookexport::exportBook(options);
    } catch (const bookexport::ExportError &e) {
        say(e.message());
        return 2;
    }
    std::printf("%s\n", QFileInfo(output).absoluteFilePath().toLocal8Bit().constData());
    return 0;
}

} // namespace velkora::tools
