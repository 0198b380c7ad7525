// The subtopic list: a data grid over the subtopic query, drawn in alternating colours with the
// current row in its own, stepping with the wheel, and editing titles in place.
#pragma once

#include "store/datalink.h"
#include "store/datasource.h"

#include <QColor>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>

#include <functional>

namespace velkora::ui {

class TSrDBGrid : public QTableView
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)
public:
    explicit TSrDBGrid(QWidget *parent = nullptr);

    void setDataSource(store::DataSource *source);
    store::DataSource *dataSource() const { return m_source; }

    QColor ColorAlternative = QColor(0xE3, 0xEA, 0xF9); // rows with an even record number
    QColor ColorSelect = QColor(0xFF, 0xFF, 0xFF);      // the current row
    QColor ColorSelectText = QColor(0xFF, 0x00, 0x00);  // the current row's text
    int MoveByRows = 1;
    // Asked first for each wheel notch; true when the notch was used.
    std::function<bool(Qt::KeyboardModifiers, QPoint)> OnMouseWheelDown, OnMouseWheelUp;
    // The confirmation of Ctrl+Delete; true for "TAMAM". A test replaces it.
    std::function<bool()> confirmDelete;

    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    QColor background() const { return m_background; }
    void setBackground(const QColor &color);
    QColor textColor() const { return m_text; }
    void setTextColor(const QColor &color);

    // The colours the row is drawn in, for drawing and for the tests.
    QColor rowBackground(int displayRow) const;
    QColor rowText(int displayRow) const;

    // The in-place title editor, while one is open; the delegate hands it over as it makes it.
    QLineEdit *titleEditor() const { return m_titleEditor; }
    void attachTitleEditor(QLineEdit *editor);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    store::DataSet *dataSet() const { return m_source ? m_source->dataSet() : nullptr; }
    bool canChange() const;
    bool untouchedInsert() const;
    void followDataSet();
    void editTitle(const QString &typed);
    bool startTitleEditing();
    void run(const std::function<void()> &step);

    store::DataSource *m_source = nullptr;
    bool m_readOnly = false;
    QColor m_background = QColor(0xD6, 0xDF, 0xF7); // the grid's own colour until the window sets one
    QColor m_text = Qt::black;
    bool m_following = false;
    // The title as a bound control: typing in the cell starts editing like any bound control, and
    // every post, move and save takes the cell's text first (the update-data step).
    store::FieldDataLink m_titleLink;
    QPointer<QLineEdit> m_titleEditor;
    int m_editorRow = -1;    // the display row the editor was opened on
    qint64 m_editorKey = 0;  // and the subtopic it shows (0: a new one)
};

} // namespace velkora::ui
