// Fuzz targets of `velkora-book import`.
//
// importstream_fuzzer (the default build of this file): the stream in which the reading process
// hands an old book's tables to velkora-book. libmdb, which reads the Jet file, is C code that
// crashes or loops on damaged files; that is why the import reads in a process of its own, and
// what this process must survive is whatever that reader writes before it dies: any bytes at
// all. Seed it with the streams the reader makes of real Jet files (scripts/fuzz-smoke does:
// `velkora-book read-jet FILE.mdb`).
//
// jetfile_fuzzer (VELKORA_FUZZ_JET_FILE): the Jet file itself read through libmdb in this
// process, seeded with the .mdb files of the shared corpus. libmdb is not built with the
// sanitizers and does crash on mutated files; run it by hand to see how the reader fares, not in
// the smoke run.
#include "tools/velkora-book/importsource.h"
#include "tools/velkora-book/jetreader.h"

#include "platform/database/databaseerror.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velkora::tools;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
#ifdef VELKORA_FUZZ_JET_FILE
    const QByteArray stream = readJetBytes(bytes, QStringLiteral("Data.mdb"));
#else
    const QByteArray &stream = bytes;
#endif
    try {
        const SourceBook book = decodeSourceBook(stream, QStringLiteral("Data.mdb"));
        // What the writer relies on: every row as wide as its table's columns.
        for (const SourceTable &table : book.tables) {
            for (const auto &row : table.rows) {
                if (row.size() != table.columns.size())
                    __builtin_trap();
            }
        }
        // What was decoded survives the way there and back unchanged.
        const SourceBook again = decodeSourceBook(encodeSourceBook(book), QStringLiteral("Data.mdb"));
        if (again.jetVersion != book.jetVersion || again.tableNames != book.tableNames || again.tables.size() != book.tables.size())
            __builtin_trap();
        for (qsizetype t = 0; t < book.tables.size(); ++t) {
            const SourceTable &a = book.tables[t], &b = again.tables[t];
            if (a.name != b.name || a.columns != b.columns || a.otherColumns != b.otherColumns || a.rows != b.rows)
                __builtin_trap();
        }
    } catch (const velkora::database::DatabaseError &) {
    }
    return 0;
}
