// Errors raised by record sets themselves, named after the record set that raised them.
#pragma once

#include "platform/database/databaseerror.h"

#include <QObject>

namespace velkora::store {

// A record-set error: its message is the record set's name and the reason joined by "%s: %s",
// e.g. "ADOQuery2: Cannot perform this operation on an empty dataset". Engine errors, by contrast,
// travel as plain database::DatabaseError with the provider's text.
class DataSetError : public database::DatabaseError
{
public:
    DataSetError(const QObject *dataSet, const QString &reason)
        : database::DatabaseError(dataSet && !dataSet->objectName().isEmpty()
                                      ? QStringLiteral("%1: %2").arg(dataSet->objectName(), reason)
                                      : reason) {}
};

namespace messages {
inline QString dataSetEmpty() { return QStringLiteral("Cannot perform this operation on an empty dataset"); }
inline QString dataSetClosed() { return QStringLiteral("Cannot perform this operation on a closed dataset"); }
inline QString notEditing() { return QStringLiteral("Dataset not in edit or insert mode"); }
inline QString readOnlyDataSet() { return QStringLiteral("Cannot modify a read-only dataset"); }
inline QString fieldNotFound(const QString &name) { return QStringLiteral("Field '%1' not found").arg(name); }
inline QString fieldReadOnly(const QString &name) { return QStringLiteral("Field '%1' cannot be modified").arg(name); }
} // namespace messages

} // namespace velkora::store
