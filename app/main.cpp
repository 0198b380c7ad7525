// Program entry of Velkora. Until the main window exists, the program opens the book in the working
// folder as the start-up does and reports what it found.
#include "platform/database/databaseerror.h"
#include "store/bookstore.h"
#include "store/field.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velkora"));
    velkora::store::BookStore book;
    try {
        book.connect();
    } catch (const velkora::database::DatabaseError &e) {
        std::fprintf(stderr, "Velkora: %s\n", e.message().toLocal8Bit().constData());
    }
    try {
        book.openQueries();
    } catch (const velkora::database::DatabaseError &e) {
        std::fprintf(stderr, "Velkora: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    std::printf("  Toplam %d konu - Gösterilen  %d.\n", book.ADOQuery1->recordCount(), book.ADOQuery1->recNo());
    for (book.ADOQuery1->first(); !book.ADOQuery1->eof(); book.ADOQuery1->next()) {
        std::printf("%s (%d)\n", book.ADOQuery1->fieldByName(QStringLiteral("Baslik"))->asString().toUtf8().constData(),
                    book.ADOQuery2->recordCount());
    }
    return 0;
}
