// Parsing of the OLE DB style connection string that names the book file and its password.
#pragma once

#include <QString>

namespace velkora::database {

// The parts of a connection string such as
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Data.mdb;Persist Security Info=False;
//  Jet OLEDB:Database Password=*.417305". Keys are matched without regard to letter case and
// surrounding blanks; a value may be quoted with " or ' (the quote doubled inside stands for itself).
struct ConnectionString
{
    QString provider;
    QString dataSource;
    QString password;
    bool persistSecurityInfo = false;
    bool readOnly = false; // Mode=Read

    // Throws DatabaseError for a string that has no data source or is not key=value pairs.
    static ConnectionString parse(const QString &text);

    // The string again, values quoted, which parse reads back as this.
    QString toString() const;

    // The data source as an absolute path: a relative one is taken against workingFolder.
    QString resolvedPath(const QString &workingFolder) const;
};

} // namespace velkora::database
