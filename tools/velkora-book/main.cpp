// velkora-book: creates, fills, prints, checks and imports book files from the command line.
#include "bookimport.h"
#include "booktool.h"
#include "jetreader.h"

#include "backupcommands.h"
#include "copycommand.h"
#include "exportcommand.h"
#include "searchcommands.h"

#include "platform/database/databaseerror.h"
#include "history/bookhistory.h"
#include "search/searchindex.h"

#include <QCoreApplication>
#include <QFile>
#include <QApplication>

#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace {

int usage()
{
    std::fputs("usage: velkora-book [--password P] create PATH\n"
               "       velkora-book [--password P] sample PATH\n"
               "       velkora-book [--password P] dump [--brief] PATH\n"
               "       velkora-book [--password P] check PATH\n"
               "       velkora-book [--password P] import OLD.mdb NEW.mdb\n"
               "       velkora-book [--password P] index PATH\n"
               "       velkora-book [--password P] search PATH QUERY [--json]\n"
               "       velkora-book [--password P] backups PATH\n"
               "       velkora-book [--password P] backup PATH [FOLDER]\n"
               "       velkora-book [--password P] restore BACKUP NEW.mdb\n"
               "       velkora-book [--password P] copy FROM TO\n"
               "       velkora-book [--password P] export PATH OUT.pdf|OUT.epub|OUT.html [--topic T]... [--no-titles] [--title T]\n",
               stderr);
    return 2;
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELKORA_HAS_ASAN 1
#endif
#endif
#ifndef VELKORA_HAS_ASAN
#define VELKORA_HAS_ASAN 0
#endif

constexpr rlim_t ReaderMemoryBytes = rlim_t(6) << 30;

// The reading half of `import`, in a process of its own: the old book's tables go to standard
// output as the stream of importsource.h. Started by velkora-book itself, not by people.
int readJet(const QString &path)
{
    const QByteArray hook = qgetenv("VELKORA_IMPORT_READER_HOOK"); // lets the tests stand in for a bad file
    if (hook == "crash")
        std::raise(SIGSEGV);
    if (hook == "hang")
        for (;;)
            ::pause();
    // Bounded memory: a damaged file that makes libmdb allocate wildly ends this process alone.
    // (Not under AddressSanitizer, whose shadow memory alone is larger.)
#if !defined(__SANITIZE_ADDRESS__) && !VELKORA_HAS_ASAN
    const rlimit memory = {ReaderMemoryBytes, ReaderMemoryBytes};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    // Handed over as it is read: neither process ever holds the whole book.
    bool written = true;
    velkora::tools::readJetFile(path, [&written](const QByteArray &part) {
        written = written && std::fwrite(part.constData(), 1, static_cast<size_t>(part.size()), stdout) == static_cast<size_t>(part.size())
                  && std::fflush(stdout) == 0;
    });
    return written ? 0 : 1;
}

void fail(const QString &message)
{
    std::fprintf(stderr, "velkora-book: %s\n", message.toLocal8Bit().constData());
}

// Runs a command, turning what it throws into a message and exit status 2.
int guarded(const std::function<int()> &command)
{
    try {
        return command();
    } catch (const velkora::database::DatabaseError &e) {
        fail(e.message());
    } catch (const std::exception &e) {
        fail(QString::fromLocal8Bit(e.what()));
    }
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    // Bodies are read as the program reads them (its RTF reader) and exports are laid out by its
    // report engine, which want a widget application; no window is ever shown.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    velkora::search::installSearchIndex();
    velkora::history::installBookHistory();
    QStringList args = QCoreApplication::arguments().mid(1);
    QString password = velkora::tools::defaultBookPassword();
    bool brief = false, json = false, noTitles = false;
    QStringList rest, topics;
    QString title;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--password" && i + 1 < args.size())
            password = args[++i];
        else if (args[i] == u"--topic" && i + 1 < args.size())
            topics.append(args[++i]);
        else if (args[i] == u"--title" && i + 1 < args.size())
            title = args[++i];
        else if (args[i] == u"--no-titles")
            noTitles = true;
        else if (args[i] == u"--brief")
            brief = true;
        else if (args[i] == u"--json")
            json = true;
        else if (args[i].startsWith(u"--"))
            return usage();
        else
            rest.append(args[i]);
    }
    if (rest.size() == 2 && rest[0] == u"read-jet")
        return readJet(rest[1]);
    if (rest.size() == 3 && rest[0] == u"import") {
        return guarded([&] {
            const velkora::tools::ImportSummary summary =
                velkora::tools::importBook(rest[1], rest[2], password, QCoreApplication::applicationFilePath());
            for (const QString &note : summary.notes)
                fail(QStringLiteral("note: ") + note);
            std::printf("%s\n", velkora::tools::summaryLine(summary).toLocal8Bit().constData());
            return 0;
        });
    }
    if (rest.size() == 3 && rest[0] == u"search") {
        return guarded([&] { return velkora::tools::searchBookCommand(rest[1], password, rest[2], json); });
    }
    if (rest.size() == 3 && rest[0] == u"copy")
        return guarded([&] { return velkora::tools::copyBookCommand(rest[1], rest[2], password); });
    if (rest.size() == 3 && rest[0] == u"export")
        return guarded([&] { return velkora::tools::exportBookCommand(rest[1], password, rest[2], topics, !noTitles, title); });
    if (rest.size() == 2 && rest[0] == u"backups")
        return guarded([&] { return velkora::tools::listBackupsCommand(rest[1], password); });
    if ((rest.size() == 2 || rest.size() == 3) && rest[0] == u"backup")
        return guarded([&] { return velkora::tools::backupCommand(rest[1], password, rest.value(2)); });
    if (rest.size() == 3 && rest[0] == u"restore")
        return guarded([&] { return velkora::tools::restoreCommand(rest[1], password, rest[2]); });
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
        } else if (command == u"index") {
            return velkora::tools::indexBookCommand(path, password);
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
