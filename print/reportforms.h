// The print options dialog and the program's two report layouts: with titles, and the body alone.
#pragma once

#include "tquickrep.h"

#include <QDialog>
#include <QGroupBox>
#include <QRadioButton>
#include <QToolButton>
#include <QWidget>

namespace velkora::store {
class DataSet;
}

namespace velkora::print {

// The report with titles: the topic title centred and the subtopic title in a detail band at the top
// margin, and the body in a box on the page below them.
class TForm2 : public QWidget
{
    Q_OBJECT
public:
    TForm2(store::DataSet *topics, store::DataSet *subtopics, QWidget *parent = nullptr);
    TQuickRep *QuickRep1;
    TQRBand *QRBand1;
    TQRDBText *QRDBText1, *QRDBText2;
    TQRDBRichText *QRDBRichText1;
};

// The text-only report: an empty detail band and the body in a taller box.
class TForm3 : public QWidget
{
    Q_OBJECT
public:
    TForm3(store::DataSet *subtopics, QWidget *parent = nullptr);
    TQuickRep *QuickRep1;
    TQRBand *QRBand1;
    TQRDBRichText *QRDBRichText1;
};

// "Yazdırma Seçenekleri": choose a layout, "Yazdır" opens its preview; the dialog stays open.
class TForm4 : public QDialog
{
    Q_OBJECT
public:
    TForm4(TForm2 *withTitles, TForm3 *textOnly, QWidget *parent = nullptr);
    void BtnYazdirClick();
    // Where a failure of a run is shown (the program's error display), over the window it came from:
    // this dialog, or the preview, which stays in front of it afterwards. The dialog stays open.
    std::function<void(const QString &message, QWidget *over)> showError;

    QGroupBox *GroupBox1;
    QRadioButton *RadioBtn1, *RadioBtn2;
    QToolButton *BtnYazdir;

private:
    TForm2 *m_withTitles;
    TForm3 *m_textOnly;
};

} // namespace velkora::print
