// Fuzz target: statement texts and connection strings from outside never crash their parsers.
#include "platform/database/connectionstring.h"
#include "platform/database/databaseerror.h"
#include "platform/database/selectstatement.h"
#include "platform/database/turkishtext.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    using namespace velkora::database;
    try {
        SelectStatement::parse(text);
    } catch (const DatabaseError &) {
    }
    SelectStatement::scanParameters(text);
    try {
        ConnectionString::parse(text);
    } catch (const DatabaseError &) {
    }
    // Pattern and text from the same bytes: the matcher must finish on anything.
    const qsizetype half = text.size() / 2;
    likeMatches(foldText(QStringView(text).left(half)), foldText(QStringView(text).mid(half)));
    foldUtf8(std::string_view(reinterpret_cast<const char *>(data), size));
    return 0;
}
