// velkora-book export: the whole book, or chosen topics, as one PDF, EPUB or HTML file.
#pragma once

#include <QString>
#include <QStringList>

namespace velkora::tools {

// The topics are titles (exactly as the book has them) or topic numbers; none means every topic.
// Without a title the book's title is the one the program shows ("Dilbilgisi Kitabı" unless
// Velkora.ini beside the book says another). Prints where it wrote and how much; exit status 0, or
// 2 with a message on bad input (an unknown format or topic, a book or output that cannot be used).
int exportBookCommand(const QString &book, const QString &password, const QString &output, const QStringList &topics,
                      bool withTitles, const QString &title);

} // namespace velkora::tools
