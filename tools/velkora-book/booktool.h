// The book file commands of velkora-book: create, sample, dump and check.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velkora::tools {

// The password of the program's connection string; the tool uses it unless told otherwise.
QString defaultBookPassword();

// Each throws database::DatabaseError with a message for bad input and never writes to a file
// other than the one it was asked to create.
void createBook(const QString &path, const QString &password);
void createSampleBook(const QString &path, const QString &password);

// The whole book as JSON: {"topics": [{"Sira": n, "Baslik": "…", "subtopics": [{"Altkonu": "…",
// "Aciklama": "…"}]}]}, topics in the book's order and subtopics sorted by title as the program
// lists them, each body whole as stored (or cut to 80 characters when brief).
QByteArray dumpBook(const QString &path, const QString &password, bool brief, QStringList *notes = nullptr);

// Integrity and layout problems; empty when the book is sound.
QStringList checkBook(const QString &path, const QString &password, QStringList *notes = nullptr);

} // namespace velkora::tools
