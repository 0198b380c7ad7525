// Links between a data source and what follows it: bound controls and detail record sets.
#pragma once

#include <QString>

#include <functional>

namespace velkora::store {

class DataSet;
class DataSource;
class Field;

// What a record set tells the links of its data sources.
enum class DataEvent {
    FieldChange,     // one field of the current record changed
    RecordChange,    // the current record changed as a whole (field null) or one field
    DataSetChange,   // rows or their order changed; everything is to be shown again
    DataSetScroll,   // the current row moved
    LayoutChange,    // fields were created or removed
    UpdateRecord,    // the record is about to take the controls' content
    UpdateState,     // the state (inactive, browse, edit, insert) changed
    CheckBrowseMode, // the record set is about to leave its row or settle it
    FocusControl,    // a field wants its control focused
};

// A link follows a data source. Subclasses override the handlers they care about. A link that
// writes into its record (updateData) does not hear its own field changes.
class DataLink
{
public:
    DataLink() = default;
    virtual ~DataLink();
    DataLink(const DataLink &) = delete;
    DataLink &operator=(const DataLink &) = delete;

    DataSource *dataSource() const { return m_source; }
    void setDataSource(DataSource *source);
    DataSet *dataSet() const;

    bool active() const { return m_active; }
    bool editing() const { return m_editing; }
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    // Asks the data source to put the record set into edit state; true when it is editing afterwards.
    virtual bool edit();
    // Asks the record set to collect the controls' content (it sends UpdateRecord to every link).
    void updateRecord();

    // Links of detail record sets hear an event before the links of controls do.
    virtual bool isDetailLink() const { return false; }

protected:
    virtual void activeChanged() {}
    virtual void dataSetChanged() { recordChanged(nullptr); }
    virtual void dataSetScrolled(int) { dataSetChanged(); }
    virtual void recordChanged(Field *) {}
    virtual void editingChanged() {}
    virtual void updateData() {}
    virtual void checkBrowseMode() {}
    virtual void layoutChanged() { dataSetChanged(); }
    virtual void focusControl(Field *) {}

private:
    friend class DataSource;
    void dataEvent(DataEvent event, Field *field, int info);
    void updateState();

    DataSource *m_source = nullptr;
    bool m_active = false;
    bool m_editing = false;
    bool m_readOnly = false;
    bool m_updating = false;
};

// The link of a control bound to one field: it finds the field by name whenever the record set
// opens or changes its fields, tracks whether the control's content differs from the record
// (modified), and calls the control back through the on… handlers.
class FieldDataLink : public DataLink
{
public:
    QString fieldName() const { return m_fieldName; }
    void setFieldName(const QString &name);
    Field *field() const { return m_field; }

    bool canModify() const;
    bool fieldEditing() const { return m_fieldEditing; }
    bool edit() override;
    void modified() { m_modified = true; }
    bool isModified() const { return m_modified; }
    // Shows the record's value again, dropping the control's unsaved content.
    void reset() { recordChanged(nullptr); }

    std::function<void()> onDataChange;
    std::function<void()> onEditingChange;
    std::function<void()> onUpdateData;
    std::function<void()> onActiveChange;

protected:
    void activeChanged() override;
    void recordChanged(Field *field) override;
    void editingChanged() override;
    void updateData() override;
    void layoutChanged() override;
    void focusControl(Field *) override {}

private:
    void updateField();
    void setField(Field *field);
    void setFieldEditing(bool editing);

    QString m_fieldName;
    Field *m_field = nullptr;
    bool m_fieldEditing = false;
    bool m_modified = false;
};

} // namespace velkora::store
