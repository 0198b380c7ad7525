// A query: a record set filled by a statement of the book's language, optionally following a master.
#include "query.h"

#include "connection.h"
#include "datasource.h"

#include "platform/database/selectstatement.h"
#include "platform/database/turkishtext.h"

namespace velkora::store {

class Query::MasterLink : public DataLink
{
public:
    explicit MasterLink(Query *query) : m_query(query) {}
    bool isDetailLink() const override { return true; }

protected:
    void activeChanged() override { m_query->masterChanged(); }
    void recordChanged(Field *field) override
    {
        if (field == nullptr || m_query->m_masterFields.contains(field->fieldName(), Qt::CaseInsensitive))
            m_query->masterChanged();
    }
    void checkBrowseMode() override
    {
        if (m_query->active())
            m_query->checkBrowseMode();
    }

private:
    Query *m_query;
};

Query::Query(Connection *connection, QObject *parent) : DataSet(parent), m_connection(connection) {}

Query::~Query()
{
    m_masterLink.reset();
}

void Query::setSql(const QStringList &lines)
{
    close();
    m_sql = lines;
    QList<Parameter> parameters;
    for (const QString &name : database::SelectStatement::scanParameters(lines.join(u'\n'))) {
        Parameter p;
        p.name = name;
        parameters.append(p);
    }
    m_parameters = parameters;
    m_masterFilter.clear();
    m_filterTerms.clear();
}

Parameter *Query::findParameter(const QString &name)
{
    for (Parameter &p : m_parameters) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

DataSource *Query::masterSource() const
{
    return m_masterLink ? m_masterLink->dataSource() : nullptr;
}

void Query::setMasterSource(DataSource *source)
{
    if (!source) {
        m_masterLink.reset();
        return;
    }
    if (!m_masterLink)
        m_masterLink = std::make_unique<MasterLink>(this);
    m_masterLink->setDataSource(source);
}

Engine &Query::engine()
{
    return m_connection->engine();
}

void Query::fillParametersFromMaster()
{
    DataSet *master = masterSource() ? masterSource()->dataSet() : nullptr;
    if (!master || !master->active())
        return;
    QStringList linked;
    for (Parameter &p : m_parameters) {
        if (Field *f = master->findField(p.name)) {
            p.dataType = f->dataType();
            p.size = f->size();
            p.value = f->value();
            linked.append(f->fieldName());
        }
    }
    if (!linked.isEmpty())
        m_masterFields = linked;
}

ResultSet Query::openCursor()
{
    fillParametersFromMaster();
    QHash<QString, QVariant> params;
    for (const Parameter &p : std::as_const(m_parameters))
        params.insert(p.name, p.value);
    // In search mode the engine reads only the current topic's matches; the filter is applied to
    // them as well, so the rows shown are exactly those the filter lets through.
    std::optional<Narrowing> narrowing;
    DataSet *master = masterSource() ? masterSource()->dataSet() : nullptr;
    if (m_parameters.isEmpty() && m_masterFields.size() == 1 && master && master->active()) {
        const Field *f = master->findField(m_masterFields.first());
        if (f && f->dataType() == FieldType::Integer && !f->isNull())
            narrowing = Narrowing{m_masterFields.first(), f->value().toLongLong()};
    }
    ResultSet result = engine().select(m_sql.join(QStringLiteral("\r\n")), params, narrowing);
    m_masterFilter.clear();
    m_filterTerms.clear();
    if (m_parameters.isEmpty() && !m_masterFields.isEmpty()) {
        m_masterFilter = buildMasterFilter();
        parseMasterFilter(result.table);
    }
    return result;
}

QString Query::filterText(const QString &fieldName, const QVariant &value, FieldType type)
{
    QString quote;
    QString text;
    if (value.isNull()) {
        text = QStringLiteral("Null");
    } else {
        text = value.toString();
        if (type == FieldType::String || type == FieldType::Memo)
            quote = text.contains(u'\'') ? QStringLiteral("#") : QStringLiteral("'");
    }
    // The format "(%s%s%s%s%2:s)": field, operator, quote, value, and the quote again.
    return QStringLiteral("(%1%2%3%4%3)").arg(fieldName, QStringLiteral("="), quote, text);
}

QString Query::buildMasterFilter() const
{
    DataSet *master = masterSource() ? masterSource()->dataSet() : nullptr;
    if (!master || !master->active())
        return QString();
    QStringList parts;
    for (const QString &name : m_masterFields) {
        const Field *f = master->findField(name);
        parts.append(filterText(name, f ? f->value() : QVariant(), f ? f->dataType() : FieldType::String));
    }
    return parts.join(QStringLiteral(" and "));
}

void Query::parseMasterFilter(const TableInfo &table)
{
    m_filterTerms.clear();
    DataSet *master = masterSource() ? masterSource()->dataSet() : nullptr;
    if (!master || !master->active())
        return;
    for (const QString &name : std::as_const(m_masterFields)) {
        const int column = table.columnIndex(name);
        const Field *f = master->findField(name);
        if (column >= 0)
            m_filterTerms.push_back({column, f ? f->value() : QVariant()});
    }
}

bool Query::rowVisible(const Row &row) const
{
    for (const FilterTerm &term : m_filterTerms) {
        const QVariant v = row.values.value(term.column);
        if (term.value.isNull()) {
            if (!v.isNull())
                return false;
            continue;
        }
        if (v.isNull())
            return false;
        if (tableInfo().columns[term.column].type == ColumnType::Integer) {
            bool ok = false;
            const qlonglong wanted = term.value.toLongLong(&ok);
            if (!ok || v.toLongLong() != wanted)
                return false;
        } else if (!database::equalsIgnoringCase(v.toString(), term.value.toString())) {
            return false;
        }
    }
    return true;
}

void Query::requery()
{
    if (active())
        reload();
}

void Query::masterChanged()
{
    if (!active())
        return;
    checkBrowseMode();
    disableControls();
    try {
        if (!m_parameters.isEmpty()) {
            DataSet *master = masterSource() ? masterSource()->dataSet() : nullptr;
            if (master && master->active())
                fillParametersFromMaster();
            else
                for (Parameter &p : m_parameters)
                    p.value = QVariant();
            reload();
        } else if (!m_masterFields.isEmpty()) {
            const QString text = buildMasterFilter();
            if (text != m_masterFilter)
                reload(); // the same search, read for the new topic; sets the new filter

        }
    } catch (...) {
        enableControls();
        throw;
    }
    enableControls();
}

void Query::newRecord()
{
    DataSet *master = masterSource() ? masterSource()->dataSet() : nullptr;
    if (!master || !master->active())
        return;
    for (const QString &name : std::as_const(m_masterFields)) {
        const Field *source = master->findField(name);
        const Field *target = findField(name);
        if (source && target)
            setBufferValue(target->index(), source->value());
    }
}

void Query::beforeInsertPost()
{
    // A subtopic begun under a topic that was itself new takes the topic's key once the topic
    // has been saved, instead of being written without one.
    DataSet *master = masterSource() ? masterSource()->dataSet() : nullptr;
    if (!master || !master->active())
        return;
    for (const QString &name : std::as_const(m_masterFields)) {
        const Field *source = master->findField(name);
        const Field *target = findField(name);
        if (source && target && target->isNull() && !source->isNull())
            setBufferValue(target->index(), source->value());
    }
}

} // namespace velkora::store
