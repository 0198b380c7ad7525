// The two report layouts and the print options dialog.
#include "reportforms.h"

#include "tqrstandardpreview.h"

#include <QButtonGroup>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace velkora::print {

namespace {

// The page setup both layouts share: A4 portrait with 10 mm margins, one column.
void pageSetup(TQuickRep &r)
{
    r.Page = TQRPage();
    r.FirstPageHeader = true;
    r.LastPageFooter = true;
    r.PrintIfEmpty = true;
    r.PrinterSettings = TQRPrinterSettings();
    r.Zoom = 100;
}

void placeBody(TQRDBRichText &body, store::DataSet *subtopics, double top, double height)
{
    body.Name = QStringLiteral("QRDBRichText1");
    body.DataSet = subtopics;
    body.DataField = QStringLiteral("Aciklama");
    body.Left = 211.7;
    body.Top = top;
    body.Width = 1696.0;
    body.Height = height;
    body.AutoStretch = false;
}

// A title of the band: one line of a field in bold Arial on white, AutoSize keeping its anchor.
TQRDBText *title(TQuickRep &r, TQRBand *band, const char *name, store::DataSet *data, const QString &field,
                 const QRectF &box, Qt::Alignment alignment, int points)
{
    TQRDBText *t = r.addPrintable<TQRDBText>(band);
    t->Name = QString::fromLatin1(name);
    t->DataSet = data;
    t->DataField = field;
    t->Left = box.left();
    t->Top = box.top();
    t->Width = box.width();
    t->Height = box.height();
    t->Alignment = alignment;
    t->Font = QFont(QStringLiteral("Arial"), points, QFont::Bold);
    t->Transparent = false;
    t->Color = Qt::white;
    return t;
}

TQRBand *detailBand(TQuickRep &r, double length)
{
    TQRBand *band = r.addBand(TQRBandType::rbDetail);
    band->Length = length;
    band->Width = 1899.7; // between the margins
    band->Color = Qt::white;
    return band;
}

// A printer with a sheet of paper above the button's caption.
QIcon printerGlyph()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(1, 7, 14, 6);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 8, 6);
    p.drawRect(4, 11, 8, 4);
    return QIcon(pm);
}

} // namespace

TForm2::TForm2(store::DataSet *topics, store::DataSet *subtopics, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
    QuickRep1 = new TQuickRep(this);
    QuickRep1->setObjectName(QStringLiteral("QuickRep1"));
    pageSetup(*QuickRep1);
    QRBand1 = detailBand(*QuickRep1, 105.8);
    QRDBText1 = title(*QuickRep1, QRBand1, "QRDBText1", topics, QStringLiteral("Baslik"), QRectF(849.3, 0, 127.0, 60.9),
                      Qt::AlignHCenter, 12);
    QRDBText2 = title(*QuickRep1, QRBand1, "QRDBText2", subtopics, QStringLiteral("Altkonu"), QRectF(105.8, 63.5, 129.6, 45.0),
                      Qt::AlignLeft, 10);
    QRDBRichText1 = QuickRep1->addPrintable<TQRDBRichText>(nullptr);
    placeBody(*QRDBRichText1, subtopics, 211.7, 2521.5);
}

TForm3::TForm3(store::DataSet *subtopics, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form3"));
    QuickRep1 = new TQuickRep(this);
    QuickRep1->setObjectName(QStringLiteral("QuickRep1"));
    pageSetup(*QuickRep1);
    QRBand1 = detailBand(*QuickRep1, 50.3);
    QRDBRichText1 = QuickRep1->addPrintable<TQRDBRichText>(nullptr);
    placeBody(*QRDBRichText1, subtopics, 127.0, 2606.1);
}

TForm4::TForm4(TForm2 *withTitles, TForm3 *textOnly, QWidget *parent)
    : QDialog(parent), m_withTitles(withTitles), m_textOnly(textOnly)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Yazdırma Seçenekleri"));
    // A fixed border: the system menu and close, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(260, 87);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);
    GroupBox1 = new QGroupBox(QStringLiteral("Yazdırma Seçenekleri "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 185, 73);
    RadioBtn1 = new QRadioButton(QStringLiteral("Başlıklarla birlikte yazdır"), GroupBox1);
    RadioBtn1->setObjectName(QStringLiteral("RadioBtn1"));
    RadioBtn1->setGeometry(24, 24, 159, 17); // as wide as the box allows: the font here is a little wider
    RadioBtn2 = new QRadioButton(QStringLiteral("Sadece metin alanını yazdır"), GroupBox1);
    RadioBtn2->setObjectName(QStringLiteral("RadioBtn2"));
    RadioBtn2->setGeometry(24, 48, 159, 17);
    BtnYazdir = new QToolButton(this);
    BtnYazdir->setObjectName(QStringLiteral("BtnYazdir"));
    BtnYazdir->setText(QStringLiteral("Yazdır"));
    BtnYazdir->setIcon(printerGlyph());
    BtnYazdir->setIconSize(QSize(16, 16));
    BtnYazdir->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    BtnYazdir->setGeometry(197, 14, 57, 66);
    setTabOrder(GroupBox1, BtnYazdir);
    connect(BtnYazdir, &QToolButton::clicked, this, [this] {
        try {
            BtnYazdirClick();
        } catch (const std::exception &e) {
            // A body that cannot be read, a printer that fails: said, and the dialog goes on.
            if (showError)
                showError(QString::fromLocal8Bit(e.what()), this);
        }
    });
    for (TQuickRep *r : {withTitles->QuickRep1, textOnly->QuickRep1}) {
        r->dialogParent = this;
        // The preview belongs to this dialog: it works while the dialog is modal.
        r->openPreview = [this](TQRPrinter *device) -> QWidget * {
            TQRStandardPreview *preview = TQRStandardPreview::Open(device, this);
            if (showError) {
                preview->showError = [this, own = preview->showError](QWidget *parent, const QString &message) {
                    showError ? showError(message, parent) : own(parent, message);
                };
            }
            return preview;
        };
        // A print started from the preview fails over the preview, which stays in front.
        r->showError = [this, r](const QString &message) {
            if (showError)
                showError(message, r->PreviewWindow() ? r->PreviewWindow() : static_cast<QWidget *>(this));
        };
    }
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm4::BtnYazdirClick()
{
    if (RadioBtn1->isChecked())
        m_withTitles->QuickRep1->PreviewReport();
    if (RadioBtn2->isChecked())
        m_textOnly->QuickRep1->PreviewReport();
}

} // namespace velkora::print
