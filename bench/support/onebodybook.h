// For benchmarks: a book with one topic and one subtopic whose body is read from a file, made in a
// temporary folder that becomes the working folder (where the program looks for Data.mdb).
#pragma once

#include "platform/database/database.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

namespace velkora::bench {

// Reads the body named on the command line (argv[1]) into a new book in dir and makes dir the
// working folder. False, with a message, when there is no such file.
inline bool makeOneBodyBook(int argc, char **argv, const char *usage, const QTemporaryDir &dir)
{
    if (argc < 2) {
        std::fputs(usage, stderr);
        return false;
    }
    QFile f(QString::fromLocal8Bit(argv[1]));
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return false;
    }
    const QString body = QString::fromLatin1(f.readAll());
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    database::Database::create(path, QStringLiteral("*.417305"));
    {
        auto db = database::Database::open(path, QStringLiteral("*.417305"));
        const auto &master = db->table(u"master");
        const auto &detail = db->table(u"detail");
        const qint64 sira = db->insert(master, {{master.columnIndex(u"Baslik"), QStringLiteral("Büyük")}}).key;
        db->insert(detail, {{detail.columnIndex(u"Sira"), sira},
                            {detail.columnIndex(u"Altkonu"), QStringLiteral("1 MB")},
                            {detail.columnIndex(u"Aciklama"), body}});
    }
    QDir::setCurrent(dir.path());
    return true;
}

} // namespace velkora::bench
