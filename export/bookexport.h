// The whole book (or chosen topics) out as one PDF, EPUB or HTML file.
#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>

namespace velkora::bookexport {

enum class Format { Pdf, Epub, Html };

// The format a file name asks for (.pdf, .epub, .html or .htm, in any letter case), if any.
std::optional<Format> formatOf(const QString &path);

struct Options
{
    QString connectionString; // the book, as the program connects to it (opened here read-only)
    QString output;           // the file to write
    Format format = Format::Pdf;
    QList<qint64> topics;     // the keys of the topics to export; empty for every topic
    bool withTitles = true;   // the topic and subtopic titles above the bodies
    QString bookTitle;        // the document's title
};

// Why an export wrote nothing, in words for the user.
class ExportError : public std::runtime_error
{
public:
    explicit ExportError(const QString &message);
    QString message() const;
};

// Told after each subtopic (done of total) and while long bodies are laid out; returning false
// cancels the export.
using Progress = std::function<bool(int done, int total)>;

// Writes the export into a temporary file beside the output and puts it in the output's place
// only when it is complete, so a cancelled or failed export leaves no file and an existing output
// as it was. Returns false when cancelled. Throws ExportError (the book cannot be read, the
// output cannot be written, no topic chosen has a subtopic).
bool exportBook(const Options &options, const Progress &progress = {});

} // namespace velkora::bookexport
