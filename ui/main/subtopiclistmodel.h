// The subtopic query's rows as a list model: one column, the titles.
#pragma once

#include "store/datasource.h"

#include <QAbstractTableModel>

namespace velkora::ui {

// Follows its data source: a change in the number of rows resets it; any other change of the rows,
// their order or the current row draws the titles again.
class SubtopicListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    SubtopicListModel(store::DataSource *source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Editing a title in place puts the subtopic into edit state and writes the title into the record.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

private:
    store::DataSource *m_source;
    int m_rows = 0; // the row count last shown
};

} // namespace velkora::ui
