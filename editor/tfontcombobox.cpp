// The font name box of the formatting toolbar.
#include "tfontcombobox.h"

#include <QAbstractItemView>
#include <QFont>
#include <QSet>

#include <fontconfig/fontconfig.h>

namespace velkora::editor {

namespace {
const QColor SkyBlue(166, 202, 240);
}

TFontComboBox::TFontComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setMaxVisibleItems(16);
    addItems(screenFonts());
    QPalette p = view()->palette();
    p.setColor(QPalette::Highlight, SkyBlue);
    p.setColor(QPalette::HighlightedText, Qt::black);
    view()->setPalette(p);
    connect(this, &QComboBox::activated, this, [this](int index) { Q_EMIT fontNameChanged(itemText(index)); });
    setFontName(QStringLiteral("MS Sans Serif"));
}

void TFontComboBox::showPopup()
{
    QComboBox::showPopup();
    // The list is as wide as the drop-down width, however long the names in it: the style would
    // widen it to the longest. Longer names are cut at its edge.
    QWidget *list = view()->window();
    if (list != window()) {
        list->setMinimumWidth(0);
        list->setGeometry(list->x(), list->y(), DropDownWidth, list->height());
    }
}

QStringList TFontComboBox::screenFonts()
{
    QStringList names;
    FcPattern *pattern = FcPatternCreate();
    FcObjectSet *objects = FcObjectSetBuild(FC_FAMILY, static_cast<char *>(nullptr));
    FcFontSet *set = (pattern && objects) ? FcFontList(nullptr, pattern, objects) : nullptr;
    QSet<QString> seen;
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8 *family = nullptr;
        // The first family name of a font is its own; the others are translations.
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family)
            continue;
        const QString name = QString::fromUtf8(reinterpret_cast<const char *>(family));
        if (name.isEmpty() || seen.contains(name.toCaseFolded()))
            continue;
        seen.insert(name.toCaseFolded());
        names.append(name);
    }
    if (set)
        FcFontSetDestroy(set);
    if (objects)
        FcObjectSetDestroy(objects);
    if (pattern)
        FcPatternDestroy(pattern);
    return names;
}

int TFontComboBox::indexOfName(const QString &name) const
{
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void TFontComboBox::setFontName(const QString &name)
{
    int index = indexOfName(name);
    if (index < 0) {
        for (const QString &substitute : QFont::substitutes(name)) {
            index = indexOfName(substitute);
            if (index >= 0)
                break;
        }
    }
    setCurrentIndex(index);
}

QString TFontComboBox::fontName() const
{
    return currentIndex() < 0 ? QString() : currentText();
}

} // namespace velkora::editor
