// The topic selector: a drop-down list of the topic query's titles that moves the topic query.
#pragma once

#include "store/datasource.h"

#include <QWidget>

class QFrame;
class QListWidget;

namespace velkora::ui {

// The selector keeps a value (a title, not a record) and a display text; it never writes into a
// record. Whenever it needs its topic it locates the first topic whose title equals the value,
// accepting the current topic first. The open list always has 18 rows; moving its highlight moves
// the topic query at once. Typing in the open list searches titles by their beginning (at most 32
// characters, taking the found title's letter case).
class TopicSelector : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)
public:
    static constexpr int ListRows = 18;
    static constexpr int MaxTypeAhead = 32;

    explicit TopicSelector(QWidget *parent = nullptr);
    ~TopicSelector() override;

    void setDataSource(store::DataSource *source);

    QString value() const { return m_value; }
    QString displayText() const { return m_typeAhead.isEmpty() ? m_shown : m_typeAhead; }
    QString typeAhead() const { return m_typeAhead; }
    bool listOpen() const;
    QListWidget *list() const { return m_list; }

    // The start-up step: shows the given title when a topic has it (the current one is accepted first).
    void setDisplayText(const QString &title);
    // Makes title the value: locates it and shows it, or shows nothing and empties the value.
    void chooseValue(const QString &title);

    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    void openList();
    void closeList(bool choose);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int listRowHeight() const;
    int valueRow() const; // the list row of the selector's value, -1 when none
    store::DataSet *topics() const { return m_source ? m_source->dataSet() : nullptr; }
    bool locate(const QString &title, bool prefix);
    QString currentTitle() const;
    void step(int direction);
    void typeAheadKey(const QString &typed, bool backspace);
    void highlight(int row);
    void fillList();

    store::DataSource *m_source = nullptr;
    QString m_value;
    QString m_shown;
    QString m_typeAhead;
    bool m_readOnly = false;
    bool m_closing = false;
    QFrame *m_popup = nullptr;
    QListWidget *m_list = nullptr;
    store::DataSetState m_lastState = store::DataSetState::Inactive; // to tell a reopening from a post
};

} // namespace velkora::ui
