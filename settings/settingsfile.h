// The settings file: the main window's layout and options carried from one run to the next.
#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QLineEdit;

namespace velkora::ui {
class TForm1;
}

namespace velkora::settings {

// "Velkora.ini" beside the program, or in the user's configuration folder where the program's
// folder cannot be written.
QString SettingsFilePath();

// Colours as the settings file keeps them: 0x00BBGGRR, or a system colour with the high byte set
// (the window-text colour 0xFF000008, written as -16777208). The list's default text colour is
// the window-text colour.
int colorValue(const QColor &color);
// The colour a value names; nothing for a system colour the program does not know.
std::optional<QColor> colorFromValue(int value);

// Reads the file and applies it to the window, section by section in the order the file keeps:
// toolbars and status bar shown, toolbar places, the view menu's check marks, the editor's and the
// list's read-only flags, the two queries opened or closed, the formatting toolbar's items, the
// list's colours, bold and italic buttons and the left panel's width, the book title into
// title, and whether spelling is checked (on when the file does not say). A missing file,
// section, key or a value that does not parse leaves its control as it is,
// except the three toolbar places, which fall back to top, foot and foot. Returns why the file could
// not be read (then the window keeps its defaults and the next save keeps the file aside), or an
// empty string.
QString LoadSettings(ui::TForm1 &form, QLineEdit *title, const QString &path);

// The book on a PostgreSQL server the file names, as a libpq connection string
// ("[Sunucu] Baglanti=host=kitap.example.org dbname=kitap user=ayse"); empty when it names none,
// and the book file Data.mdb is opened as before. Read before the window connects. The password is
// never kept here: ~/.pgpass or the program's question gives it.
QString ServerBookConnection(const QString &path);

// Writes the same values in the same order. Throws profile::ProfileWriteError ("Unable to write
// to <path>") when the file cannot be written; the file on the disk is then as it was.
void SaveSettings(ui::TForm1 &form, const QLineEdit *title, const QString &path);

} // namespace velkora::settings
