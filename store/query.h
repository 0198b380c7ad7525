// A query: a record set filled by a statement of the book's language, optionally following a master.
#pragma once

#include "dataset.h"

#include <QStringList>

namespace velkora::store {

class Connection;
class DataSource;

struct Parameter
{
    QString name;
    FieldType dataType = FieldType::String;
    int size = 510;
    int precision = 255;
    int numericScale = 255;
    bool nullable = true;
    QVariant value; // null until assigned
};

// Following a master record set. Every parameter whose name is also a field of the master is tied
// to that field (the link fields). Whenever the master's current record changes, this query first
// settles its own row, then either re-runs its statement with the master's values (while it has
// parameters) or, once its statement has no parameters, narrows its open result with the filter
// "(%s%s%s%s%2:s)" built from the link field, "=", the quote and the master's value.
class Query : public DataSet
{
    Q_OBJECT
public:
    explicit Query(Connection *connection, QObject *parent = nullptr);
    ~Query() override;

    QStringList sql() const { return m_sql; }
    // Assigning a statement closes the query and rebuilds the parameter list from the text.
    void setSql(const QStringList &lines);
    void clearSql() { setSql({}); }

    QList<Parameter> &parameters() { return m_parameters; }
    Parameter *findParameter(const QString &name);

    DataSource *masterSource() const;
    void setMasterSource(DataSource *source);
    QStringList masterFields() const { return m_masterFields; }
    // The filter that narrows the result to the master's record; empty in parameter mode.
    QString masterFilter() const { return m_masterFilter; }

    // Runs the open statement again with the current parameter values.
    void requery();

    // Builds the master filter text for a field and value: "(Sira=5)", "(Sira='a')", "(Sira=#a'b#)",
    // "(Sira=Null)".
    static QString filterText(const QString &fieldName, const QVariant &value, FieldType type);

protected:
    ResultSet openCursor() override;
    Engine &engine() override;
    void newRecord() override;
    void beforeInsertPost() override;
    bool rowVisible(const Row &row) const override;

private:
    class MasterLink;
    void masterChanged();
    void fillParametersFromMaster();
    QString buildMasterFilter() const;
    void parseMasterFilter(const TableInfo &table);

    Connection *m_connection;
    QStringList m_sql;
    QList<Parameter> m_parameters;
    std::unique_ptr<MasterLink> m_masterLink;
    QStringList m_masterFields;
    QString m_masterFilter;
    struct FilterTerm
    {
        int column;
        QVariant value; // null: matches rows whose field is null
    };
    std::vector<FilterTerm> m_filterTerms;
};

} // namespace velkora::store
