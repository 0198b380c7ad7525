// Fuzz target: a damaged or foreign book file is refused with a message, never a crash.
// The input bytes are written as Data.mdb and opened with the program's password.
#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/selectstatement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    using namespace velkora::database;
    try {
        Database::Options options;
        options.busyTimeoutMs = 0;
        auto db = Database::open(path, QStringLiteral("*.417305"), options);
        db->select(SelectStatement::parse(QStringLiteral("Select * From master")), {});
        db->check();
    } catch (const DatabaseError &) {
    }
    return 0;
}
