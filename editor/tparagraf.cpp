// The paragraph settings dialog.
#include "tparagraf.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <limits>

namespace velkora::editor {

using richedit::ParaFormat;

namespace {

// Points to twips and back; the remainder of a division is dropped.
int toTwips(int points)
{
    return static_cast<int>(std::clamp<qint64>(static_cast<qint64>(points) * 20, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

int toPoints(int twips)
{
    return twips / 20;
}

TSpinEdit *spin(QWidget *parent, const char *name, const QString &caption, int y, int labelWidth)
{
    auto *label = new QLabel(caption, parent);
    label->setGeometry(10, y + 3, labelWidth, 16);
    auto *box = new TSpinEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(10 + labelWidth, y, 164 - 14 - labelWidth, 22);
    label->setBuddy(box);
    return box;
}

} // namespace

TParagraf::TParagraf(bool spacing, QWidget *parent) : QDialog(parent), m_spacing(spacing)
{
    setObjectName(QStringLiteral("Paragraf"));
    setWindowTitle(QStringLiteral("Paragraf Ayarları"));
    // A fixed border: the system menu and close, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(368, 216);

    IndentBox = new QGroupBox(QStringLiteral(" Girintiler "), this);
    IndentBox->setObjectName(QStringLiteral("IndentBox"));
    IndentBox->setGeometry(8, 6, 168, 104);
    LeftIndent = spin(IndentBox, "LeftIndent", QStringLiteral("Sol:"), 20, 64);
    LeftIndent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    RightIndent = spin(IndentBox, "RightIndent", QStringLiteral("Sağ:"), 46, 64);
    FirstIndent = spin(IndentBox, "FirstIndent", QStringLiteral("Girinti: "), 72, 64);

    Alignment = new QGroupBox(QStringLiteral(" Hizalama "), this);
    Alignment->setObjectName(QStringLiteral("Alignment"));
    Alignment->setGeometry(8, 114, 168, 94);
    m_alignment = new QButtonGroup(this);
    const QString items[] = {QStringLiteral("Sol"), QStringLiteral("Sağ"), QStringLiteral("Orta")};
    for (int i = 0; i < 3; ++i) {
        auto *item = new QRadioButton(items[i], Alignment);
        item->setGeometry(12, 20 + i * 23, 140, 20);
        m_alignment->addButton(item, i);
    }

    SpacingBox = new QGroupBox(QStringLiteral(" Aralık "), this);
    SpacingBox->setObjectName(QStringLiteral("SpacingBox"));
    SpacingBox->setGeometry(184, 6, 176, 104);
    SpaceBefore = spin(SpacingBox, "SpaceBefore", QStringLiteral("Önce: "), 20, 96);
    SpaceAfter = spin(SpacingBox, "SpaceAfter", QStringLiteral("Sonra: "), 46, 96);
    LineSpacing = spin(SpacingBox, "LineSpacing", QStringLiteral("Her iki taraftan: "), 72, 96);
    for (TSpinEdit *box : {SpaceBefore, SpaceAfter, LineSpacing}) {
        box->setGeometry(box->x(), box->y(), 176 - 10 - box->x(), box->height());
        box->setRange(0, std::numeric_limits<int>::max());
    }
    LineSpacing->setIncrement(5);
    SpacingBox->setEnabled(spacing);

    OkBtn = new QPushButton(QStringLiteral("Tamam"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setGeometry(200, 183, 75, 25);
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    CancelBtn = new QPushButton(QStringLiteral("İptal"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(284, 183, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject); // Escape rejects as well
}

int TParagraf::alignmentIndex() const
{
    return m_alignment->checkedId();
}

void TParagraf::setAlignmentIndex(int index)
{
    if (QAbstractButton *item = m_alignment->button(std::clamp(index, 0, 2)))
        item->setChecked(true);
}

void TParagraf::fill(const ParaFormat &f)
{
    LeftIndent->setValue(toPoints(f.offset));
    RightIndent->setValue(toPoints(f.rightIndent));
    FirstIndent->setValue(toPoints(f.startIndent));
    setAlignmentIndex(f.alignment - 1);
    SpaceBefore->setValue(toPoints(f.spaceBefore));
    SpaceAfter->setValue(toPoints(f.spaceAfter));
    LineSpacing->setValue(toPoints(f.lineSpacing));
}

void TParagraf::write(richedit::RichEditControl &editor) const
{
    const auto change = [&](quint32 mask, const std::function<void(ParaFormat &)> &set) {
        ParaFormat p = editor.paraFormat();
        p.mask = mask;
        set(p);
        editor.setParaFormat(p);
    };
    change(ParaFormat::MaskOffset, [&](ParaFormat &p) { p.offset = toTwips(LeftIndent->value()); });
    change(ParaFormat::MaskRightIndent, [&](ParaFormat &p) { p.rightIndent = toTwips(RightIndent->value()); });
    change(ParaFormat::MaskStartIndent, [&](ParaFormat &p) { p.startIndent = toTwips(FirstIndent->value()); });
    if (alignmentIndex() >= 0)
        change(ParaFormat::MaskAlignment, [&](ParaFormat &p) { p.alignment = alignmentIndex() + 1; });
    if (!m_spacing)
        return;
    change(ParaFormat::MaskSpaceBefore, [&](ParaFormat &p) { p.spaceBefore = toTwips(SpaceBefore->value()); });
    change(ParaFormat::MaskSpaceAfter, [&](ParaFormat &p) { p.spaceAfter = toTwips(SpaceAfter->value()); });
    // The rule and the distance are written together, each write keeping the other's value: single
    // spacing for 0, otherwise at least the distance from one line to the next.
    change(ParaFormat::MaskLineSpacing, [&](ParaFormat &p) { p.lineSpacingRule = LineSpacing->value() <= 0 ? 0 : 3; });
    change(ParaFormat::MaskLineSpacing, [&](ParaFormat &p) { p.lineSpacing = toTwips(LineSpacing->value()); });
}

bool editParagraph(richedit::RichEditControl &editor, QWidget *parent, const std::function<int(TParagraf &)> &exec)
{
    bool confirmed = false;
    {
        TParagraf dialog(richedit::RichEditControl::Version > 1, parent);
        dialog.fill(editor.paraFormat());
        confirmed = (exec ? exec(dialog) : dialog.exec()) == QDialog::Accepted;
        if (confirmed)
            dialog.write(editor);
    }
    if (editor.isVisible() && editor.isEnabled())
        editor.setFocus();
    return confirmed;
}

} // namespace velkora::editor
