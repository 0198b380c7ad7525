// The items a report draws: titles from a text field and the body from a rich-text field.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QStringList>

#include <memory>

class QPainter;
class QTextDocument;

namespace velkora::store {
class DataSet;
class Field;
}

namespace velkora::richedit {
class RichEditControl;
}

namespace velkora::print {

class TQRPrinter;

// What every printable has: a box in tenths of a millimetre, frame sides, colour, alignment, and
// the device of the run. The report engine calls PrepareForRun before a run, PrintAt for each
// placement (x and y add to the box's left and top) and FinishRun after it; PrintFinished says
// after PrintAt whether everything was printed.
class TQRPrintable
{
public:
    virtual ~TQRPrintable() = default;

    virtual void PrepareForRun() = 0;
    virtual void PrintAt(double x, double y) = 0;
    virtual void FinishRun() = 0;

    QString Name;
    double Left = 0, Top = 0, Width = 0, Height = 0;
    Qt::Alignment Alignment = Qt::AlignLeft;
    bool Enabled = true;
    bool Transparent = true;
    QColor Color = Qt::white;
    struct FrameSides
    {
        bool Top = false, Bottom = false, Left = false, Right = false;
        int Width = 1; // points
        QColor Color = Qt::black;
        bool any() const { return Top || Bottom || Left || Right; }
    } Frame;
    bool PrintFinished = true;
    TQRPrinter *Device = nullptr;
    int Zoom = 100;

protected:
    void drawFrame(QPainter *painter, const QRect &box) const;
};

// A title: one field's display text (a memo's lines), one formatted line per carriage-return part,
// the box as wide as the widest line and keeping its anchor (left edge, centre or right edge), only
// the lines that fit in the box's height printed.
class TQRDBText : public TQRPrintable
{
public:
    void PrepareForRun() override;
    void PrintAt(double x, double y) override;
    void FinishRun() override;

    store::DataSet *DataSet = nullptr;
    QString DataField;
    QFont Font = QFont(QStringLiteral("Arial"), 10);
    QColor FontColor = Qt::black; // the window-text colour
    bool AutoSize = true;
    bool AutoStretch = false;
    bool WordWrap = true;

    // The text shown outside a run (the field name) and the lines laid out from it or from the field.
    QString Caption() const { return m_caption; }
    const QStringList &Lines() const { return m_lines; }
    void LayoutLines();

private:
    void setCaption(const QString &caption);
    store::Field *m_field = nullptr;
    int m_fieldIndex = -1;
    bool m_memo = false;
    QString m_caption;
    QString m_text;
    QStringList m_lines;
    int m_nextLine = 0;
};

// The body: a memo field read as RTF (or plain text) into a hidden rich-edit control and laid out
// into the box from its first character: whole lines from the top, stopping before the first line
// that does not fit. What does not fit is not lost: the printable then reports it is not finished,
// and each further PrintAt (on a new page) carries on with the following lines in the same box.
class TQRDBRichText : public TQRPrintable
{
public:
    TQRDBRichText();
    ~TQRDBRichText() override;

    void PrepareForRun() override;
    void PrintAt(double x, double y) override;
    void FinishRun() override;

    store::DataSet *DataSet = nullptr;
    QString DataField;
    bool AutoStretch = false;
    richedit::RichEditControl &control() { return *m_control; }
    // The first character not printed yet (0 when the print finished).
    int NextCharacter() const { return m_nextChar; }

private:
    void load();
    store::Field *m_field = nullptr;
    QImage m_reference; // measures as the device does; outlives the control whose layout uses it
    std::unique_ptr<richedit::RichEditControl> m_control;
    QTextDocument *m_layout = nullptr;       // the control's body, laid out at the box's width on the device
    double m_nextLineTop = 0;                 // where the next page carries on, in layout pixels
    int m_nextChar = 0;
};

} // namespace velkora::print
