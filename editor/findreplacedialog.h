// The find and the replace dialog: modeless, created once per editor and reused.
#pragma once

#include <QDialog>
#include <QPoint>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velkora::editor {

// One window for either kind. It keeps its texts (at most 255 characters each), its options and
// the place it stood when it was closed, and reopens with them. Enter runs "Sonrakini Bul" (the
// default button), Escape and "İptal" close it. Only the find dialog offers Up and Down; the
// replace dialog always searches down.
class FindReplaceDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Kind { Find, Replace };
    static constexpr int MaxText = 255;

    FindReplaceDialog(Kind kind, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    QString findText() const;
    void setFindText(const QString &text); // cut to MaxText characters
    QString replaceText() const;
    void setReplaceText(const QString &text);
    bool matchCase() const;
    void setMatchCase(bool on);
    bool wholeWord() const;
    void setWholeWord(bool on);
    bool down() const;
    void setDown(bool on);

    // Shows the dialog where it stood last, or brings it to the front when it is open.
    void showDialog();

Q_SIGNALS:
    void findNext();
    void replace(bool all);
    void closed();

public:
    void done(int result) override;

private:
    void updateButtons();

    Kind m_kind;
    QLineEdit *m_find = nullptr;
    QLineEdit *m_replace = nullptr;
    QCheckBox *m_wholeWord = nullptr;
    QCheckBox *m_matchCase = nullptr;
    QGroupBox *m_direction = nullptr;
    QRadioButton *m_up = nullptr;
    QRadioButton *m_down = nullptr;
    QPushButton *m_findNext = nullptr;
    QPushButton *m_replaceOne = nullptr;
    QPushButton *m_replaceAll = nullptr;
    bool m_placed = false;
    QPoint m_position;
};

} // namespace velkora::editor
