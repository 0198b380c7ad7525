// velkora-book: creates, fills, prints and checks book files from the command line.
#include "booktool.h"

#include "platform/database/databaseerror.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

int usage()
{
    std::fputs("usage: velkora-book [--password P] create PATH\n"
               "       velkora-book [--password P] sample PATH\n"
               "       velkora-book [--password P] dump [--brief] PATH\n"
               "       velkora-book [--password P] check PATH\n",
               stderr);
    return 2;
}

void fail(const QString &message)
{
    std::fprintf(stderr, "velkora-book: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QString password = velkora::tools::defaultBookPassword();
    bool brief = false;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--password" && i + 1 < args.size())
            password = args[++i];
        else if (args[i] == u"--brief")
            brief = true;
        else if (args[i].startsWith(u"--"))
            return usage();
        else
            rest.append(args[i]);
    }
    if (rest.size() != 2)
        return usage();
    const QString &command = rest[0];
    const QString &path = rest[1];
    QStringList notes;
    const auto tell = [&notes] {
        for (const QString &note : std::as_const(notes))
            fail(QStringLiteral("note: ") + note);
    };
    try {
        if (command == u"create") {
            velkora::tools::createBook(path, password);
        } else if (command == u"sample") {
            velkora::tools::createSampleBook(path, password);
        } else if (command == u"dump") {
            const QByteArray json = velkora::tools::dumpBook(path, password, brief, &notes);
            tell();
            std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
        } else if (command == u"check") {
            const QStringList problems = velkora::tools::checkBook(path, password, &notes);
            tell();
            if (problems.isEmpty()) {
                std::puts("ok");
                return 0;
            }
            for (const QString &p : problems)
                std::printf("%s\n", p.toLocal8Bit().constData());
            return 1;
        } else {
            return usage();
        }
    } catch (const velkora::database::DatabaseError &e) {
        fail(e.message());
        return 2;
    } catch (const std::exception &e) {
        fail(QString::fromLocal8Bit(e.what()));
        return 2;
    }
    return 0;
}
