// The settings file's keys, read into the main window and written from it.
#include "settingsfile.h"

#include "platform/profile/profilefile.h"
#include "ui/main/tform1.h"
#include "ui/main/tsrdbgrid.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPalette>
#include <QSplitter>
#include <QStatusBar>

namespace velkora::settings {

namespace {

constexpr quint32 WindowTextColor = 0xFF000008;
constexpr quint32 WindowColor = 0xFF000005;
constexpr quint32 ButtonFaceColor = 0xFF00000F;

// The section and key of every value, in the order the file is read and written.
const QString Araclar = QStringLiteral("Araclar");
const QString Konumlar = QStringLiteral("Konumlar");
const QString Onay = QStringLiteral("Onay");
const QString SaltOkunur = QStringLiteral("Salt Okunur");
const QString Aktivasyon = QStringLiteral("Aktivasyon");
const QString Gorunum = QStringLiteral("Gorunum");
const QString Grid = QStringLiteral("Grid");
const QString KitapAdi = QStringLiteral("Kitap Adi");
const QString YazimDenetimi = QStringLiteral("Yazim Denetimi");
const QString Sunucu = QStringLiteral("Sunucu");

QString key(const char *prefix, int n)
{
    return QString::fromLatin1(prefix) + QString::number(n);
}

// The window's pieces that the four "A" keys of "Araclar" and "Onay" stand for.
QWidget *bar(ui::TForm1 &form, int n)
{
    QWidget *bars[] = {form.ToolBar1, form.ToolBar2, form.ToolBar3, form.StatusBar1};
    return bars[n - 1];
}

QAction *check(ui::TForm1 &form, int n)
{
    QAction *checks[] = {form.AracCubugu1, form.Bicimlendirme1, form.KonuBicimlendirme1, form.DurumCubugu1};
    return checks[n - 1];
}

} // namespace

QString SettingsFilePath()
{
    return profile::settingsFilePath(QCoreApplication::applicationDirPath());
}

int colorValue(const QColor &color)
{
    if (color == QColor(Qt::black))
        return static_cast<int>(WindowTextColor);
    const QRgb rgb = color.rgb();
    return static_cast<int>(qRed(rgb) | qGreen(rgb) << 8 | qBlue(rgb) << 16);
}

std::optional<QColor> colorFromValue(int value)
{
    const auto v = static_cast<quint32>(value);
    switch (v >> 24) {
    case 0x00: // an explicit colour
    case 0x02: // a colour matched in the palette: the same colour on a screen of many colours
        return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF));
    case 0xFF:
        if (v == WindowTextColor)
            return QColor(Qt::black);
        if (v == WindowColor)
            return QColor(Qt::white);
        if (v == ButtonFaceColor)
            return QPalette().color(QPalette::Button);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

QString ServerBookConnection(const QString &path)
{
    return profile::ProfileFile(path).readString(Sunucu, QStringLiteral("Baglanti"), QString()).trimmed();
}

QString LoadSettings(ui::TForm1 &form, QLineEdit *title, const QString &path)
{
    const profile::ProfileFile file(path);

    for (int n = 1; n <= 4; ++n) {
        QWidget *w = bar(form, n);
        w->setVisible(file.readBool(Araclar, key("A", n), w->isVisibleTo(&form)));
    }

    // The three places have no "current" default: without the keys the toolbars take their first places.
    form.alignToolBar1(file.readBool(Konumlar, QStringLiteral("A1"), false));
    form.alignToolBar2(file.readBool(Konumlar, QStringLiteral("A2"), false));
    form.alignToolBar3(file.readBool(Konumlar, QStringLiteral("A3"), false));

    for (int n = 1; n <= 4; ++n) {
        QAction *a = check(form, n);
        a->setChecked(file.readBool(Onay, key("A", n), a->isChecked()));
    }

    // Only these two flags come back; a book the user may only read stays read-only.
    form.Yazi->setReadOnly(file.readBool(SaltOkunur, QStringLiteral("Alan"), form.Yazi->readOnly()) || form.bookReadOnly());
    form.DBGrid1->setReadOnly(file.readBool(SaltOkunur, QStringLiteral("Liste"), form.DBGrid1->readOnly()) || form.bookReadOnly());

    // A book that could not be opened at start is not tried again for each query: its failure has
    // been told once.
    const bool connected = form.Book->ADOConnection1->connected();
    for (store::DataSet *query : {static_cast<store::DataSet *>(form.ADOQuery1), static_cast<store::DataSet *>(form.ADOQuery2)}) {
        const bool open = file.readBool(Aktivasyon, query == form.ADOQuery1 ? QStringLiteral("T1") : QStringLiteral("T2"), query->active());
        if (open != query->active() && (!open || connected))
            query->setActive(open);
    }

    const QList<QAction *> items = form.formattingItems();
    for (int n = 1; n <= items.size(); ++n)
        items[n - 1]->setVisible(file.readBool(Gorunum, key("B", n), items[n - 1]->isVisible()));

    if (const auto c = colorFromValue(file.readInteger(Grid, QStringLiteral("B1"), colorValue(form.DBGrid1->textColor()))))
        form.DBGrid1->setTextColor(*c);
    if (const auto c = colorFromValue(file.readInteger(Grid, QStringLiteral("B2"), colorValue(form.DBGrid1->background()))))
        form.DBGrid1->setBackground(*c);
    form.BtnKalin2->setChecked(file.readBool(Grid, QStringLiteral("B3"), form.BtnKalin2->isChecked()));
    form.BtnItalic2->setChecked(file.readBool(Grid, QStringLiteral("B4"), form.BtnItalic2->isChecked()));
    const QList<int> sizes = form.Splitter1->sizes();
    const int width = file.readInteger(Grid, QStringLiteral("B5"), sizes.value(0));
    if (width >= 0 && width != sizes.value(0)) {
        // The editor's panel gives or takes what the left panel gains or loses; before the window
        // is first laid out the two panels have the widths they were made with.
        int total = sizes.value(0) + sizes.value(1);
        if (total <= 0)
            total = ui::TForm1::LeftPanelWidth + ui::TForm1::EditorPanelWidth;
        form.Splitter1->setSizes({width, std::max(total - width, 1)});
    }

    title->setText(file.readString(KitapAdi, QStringLiteral("Baslik"), title->text()));
    // A file from before spell checking has no such section: checking is on.
    form.YazimDenetimi1->setChecked(file.readBool(YazimDenetimi, QStringLiteral("Acik"), true));
    if (form.YazimDenetimiClick)
        form.YazimDenetimiClick();
    return file.loadProblem();
}

void SaveSettings(ui::TForm1 &form, const QLineEdit *title, const QString &path)
{
    profile::ProfileFile file(path);

    for (int n = 1; n <= 4; ++n)
        file.writeBool(Araclar, key("A", n), bar(form, n)->isVisibleTo(&form));

    file.writeBool(Konumlar, QStringLiteral("A1"), form.toolBar1Left());
    file.writeBool(Konumlar, QStringLiteral("A2"), form.toolBar2Top());
    file.writeBool(Konumlar, QStringLiteral("A3"), form.toolBar3Left());

    for (int n = 1; n <= 4; ++n)
        file.writeBool(Onay, key("A", n), check(form, n)->isChecked());

    // A book the user may only read forces both flags on; that is the book's, not the user's choice.
    const bool forced = form.bookReadOnly();
    file.writeBool(SaltOkunur, QStringLiteral("Alan"),
                   forced ? file.readBool(SaltOkunur, QStringLiteral("Alan"), false) : form.Yazi->readOnly());
    file.writeBool(SaltOkunur, QStringLiteral("Liste"),
                   forced ? file.readBool(SaltOkunur, QStringLiteral("Liste"), false) : form.DBGrid1->readOnly());

    // A query that is closed because the book could not be opened (missing, damaged, a full disk)
    // is not the user's choice: the stored value, open unless the file says otherwise, stays.
    file.writeBool(Aktivasyon, QStringLiteral("T1"), form.ADOQuery1->active() || file.readBool(Aktivasyon, QStringLiteral("T1"), true));
    file.writeBool(Aktivasyon, QStringLiteral("T2"), form.ADOQuery2->active() || file.readBool(Aktivasyon, QStringLiteral("T2"), true));

    const QList<QAction *> items = form.formattingItems();
    for (int n = 1; n <= items.size(); ++n)
        file.writeBool(Gorunum, key("B", n), items[n - 1]->isVisible());

    file.writeInteger(Grid, QStringLiteral("B1"), colorValue(form.DBGrid1->textColor()));
    file.writeInteger(Grid, QStringLiteral("B2"), colorValue(form.DBGrid1->background()));
    file.writeBool(Grid, QStringLiteral("B3"), form.BtnKalin2->isChecked());
    file.writeBool(Grid, QStringLiteral("B4"), form.BtnItalic2->isChecked());
    file.writeInteger(Grid, QStringLiteral("B5"), form.Splitter1->sizes().value(0));

    file.writeString(KitapAdi, QStringLiteral("Baslik"), title->text());
    file.writeBool(YazimDenetimi, QStringLiteral("Acik"), form.YazimDenetimi1->isChecked());
    file.save();
}

} // namespace velkora::settings
