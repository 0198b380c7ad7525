// A data source: the point where bound controls and detail record sets attach to a record set.
#pragma once

#include "datalink.h"
#include "dataset.h"

#include <QList>
#include <QObject>

namespace velkora::store {

class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr);
    ~DataSource() override;

    DataSet *dataSet() const { return m_dataSet; }
    void setDataSet(DataSet *dataSet);

    // With autoEdit, a bound control that starts editing puts the record set into edit state.
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool autoEdit) { m_autoEdit = autoEdit; }
    bool enabled() const { return m_enabled; }

    DataSetState state() const;
    void edit();

Q_SIGNALS:
    void stateChanged();
    void dataChanged(velkora::store::Field *field);
    void updateData();

private:
    friend class DataSet;
    friend class DataLink;
    void dataEvent(DataEvent event, Field *field, int info);
    void addLink(DataLink *link);
    void removeLink(DataLink *link);

    DataSet *m_dataSet = nullptr;
    bool m_autoEdit = true;
    bool m_enabled = true;
    DataSetState m_state = DataSetState::Inactive;
    QList<DataLink *> m_links;
};

} // namespace velkora::store
