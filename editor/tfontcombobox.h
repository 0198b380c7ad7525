// The font name box of the formatting toolbar: every font installed for the screen, each once, in
// the order the font configuration lists them.
#pragma once

#include <QComboBox>

namespace velkora::editor {

class TFontComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit TFontComboBox(QWidget *parent = nullptr);

    // The family names of the installed fonts, in the font configuration's order, each once.
    static QStringList screenFonts();

    // Selects the entry of that name (letter case ignored), else that of its substitute, else none.
    void setFontName(const QString &name);
    // The selected entry's name; empty while none is selected.
    QString fontName() const;

    static constexpr int DropDownWidth = 104; // the width of the box and of its list

    void showPopup() override;

Q_SIGNALS:
    // The user chose an entry (with the mouse or the keys).
    void fontNameChanged(const QString &name);

private:
    int indexOfName(const QString &name) const;
};

} // namespace velkora::editor
