// Parsing of the OLE DB style connection string that names the book file and its password.
#include "connectionstring.h"

#include "databaseerror.h"

#include <QDir>
#include <QFileInfo>

namespace velkora::database {

namespace {

// Reads one value starting at pos, which may be quoted; leaves pos after the closing ';' or at the end.
QString readValue(const QString &text, qsizetype &pos)
{
    while (pos < text.size() && text.at(pos).isSpace())
        ++pos;
    QString value;
    if (pos < text.size() && (text.at(pos) == u'"' || text.at(pos) == u'\'')) {
        const QChar quote = text.at(pos++);
        bool closed = false;
        while (pos < text.size()) {
            const QChar c = text.at(pos++);
            if (c == quote) {
                if (pos < text.size() && text.at(pos) == quote) {
                    value += quote;
                    ++pos;
                    continue;
                }
                closed = true;
                break;
            }
            value += c;
        }
        if (!closed)
            throw DatabaseError(QStringLiteral("Format of the initialization string does not conform to the OLE DB specification."));
        while (pos < text.size() && text.at(pos) != u';') {
            if (!text.at(pos).isSpace())
                throw DatabaseError(QStringLiteral("Format of the initialization string does not conform to the OLE DB specification."));
            ++pos;
        }
    } else {
        while (pos < text.size() && text.at(pos) != u';')
            value += text.at(pos++);
        value = value.trimmed();
    }
    if (pos < text.size())
        ++pos; // the ';'
    return value;
}

bool isTrue(const QString &value)
{
    const QString v = value.trimmed().toLower();
    return v == u"true" || v == u"yes" || v == u"1";
}

} // namespace

ConnectionString ConnectionString::parse(const QString &text)
{
    ConnectionString result;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype eq = text.indexOf(u'=', pos);
        const qsizetype semi = text.indexOf(u';', pos);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            const QString rest = text.mid(pos, semi < 0 ? -1 : semi - pos).trimmed();
            if (!rest.isEmpty())
                throw DatabaseError(QStringLiteral("Format of the initialization string does not conform to the OLE DB specification."));
            if (semi < 0)
                break;
            pos = semi + 1;
            continue;
        }
        const QString key = text.mid(pos, eq - pos).simplified().toLower();
        pos = eq + 1;
        const QString value = readValue(text, pos);
        if (key == u"provider")
            result.provider = value;
        else if (key == u"data source")
            result.dataSource = value;
        else if (key == u"jet oledb:database password" || key == u"password")
            result.password = value;
        else if (key == u"persist security info")
            result.persistSecurityInfo = isTrue(value);
        else if (key == u"mode")
            result.readOnly = value.trimmed().compare(QLatin1String("Read"), Qt::CaseInsensitive) == 0;
        // Other keys (User ID, ...) carry nothing this engine uses.
    }
    if (result.dataSource.isEmpty())
        throw DatabaseError(QStringLiteral("The connection string names no data source."));
    return result;
}

QString ConnectionString::toString() const
{
    const auto quoted = [](QString value) { return u'"' + value.replace(u'"', QStringLiteral("\"\"")) + u'"'; };
    return QStringLiteral("Provider=%1;Data Source=%2;Persist Security Info=%3;%4Jet OLEDB:Database Password=%5")
        .arg(provider.isEmpty() ? QStringLiteral("Microsoft.Jet.OLEDB.4.0") : provider, quoted(dataSource),
             persistSecurityInfo ? QStringLiteral("True") : QStringLiteral("False"),
             readOnly ? QStringLiteral("Mode=Read;") : QString(), quoted(password));
}

QString ConnectionString::resolvedPath(const QString &workingFolder) const
{
    const QFileInfo info(dataSource);
    if (info.isAbsolute())
        return QDir::cleanPath(dataSource);
    return QDir::cleanPath(QDir(workingFolder).absoluteFilePath(dataSource));
}

} // namespace velkora::database
