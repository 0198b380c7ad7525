// The find and the replace dialog: modeless, created once per editor and reused.
#include "findreplacedialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velkora::editor {

FindReplaceDialog::FindReplaceDialog(Kind kind, QWidget *parent) : QDialog(parent), m_kind(kind)
{
    const bool replacing = kind == Kind::Replace;
    setObjectName(replacing ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    setWindowTitle(replacing ? QStringLiteral("Değiştir") : QStringLiteral("Bul"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *fields = new QGridLayout;
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("FindEdit"));
    m_find->setMaxLength(MaxText);
    auto *findLabel = new QLabel(QStringLiteral("&Aranan:"), this);
    findLabel->setBuddy(m_find);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(m_find, 0, 1);
    if (replacing) {
        m_replace = new QLineEdit(this);
        m_replace->setObjectName(QStringLiteral("ReplaceEdit"));
        m_replace->setMaxLength(MaxText);
        auto *replaceLabel = new QLabel(QStringLiteral("Ye&ni metin:"), this);
        replaceLabel->setBuddy(m_replace);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(m_replace, 1, 1);
    }

    m_wholeWord = new QCheckBox(QStringLiteral("&Yalnızca tam sözcük"), this);
    m_wholeWord->setObjectName(QStringLiteral("WholeWord"));
    m_matchCase = new QCheckBox(QStringLiteral("Büyük/küçük &harf duyarlı"), this);
    m_matchCase->setObjectName(QStringLiteral("MatchCase"));
    auto *options = new QVBoxLayout;
    options->addWidget(m_wholeWord);
    options->addWidget(m_matchCase);
    auto *lower = new QHBoxLayout;
    lower->addLayout(options);
    m_direction = new QGroupBox(QStringLiteral("Yön"), this);
    m_direction->setObjectName(QStringLiteral("Direction"));
    m_up = new QRadioButton(QStringLiteral("Yu&karı"), m_direction);
    m_up->setObjectName(QStringLiteral("Up"));
    m_down = new QRadioButton(QStringLiteral("A&şağı"), m_direction);
    m_down->setObjectName(QStringLiteral("Down"));
    m_down->setChecked(true);
    auto *directions = new QHBoxLayout(m_direction);
    directions->addWidget(m_up);
    directions->addWidget(m_down);
    lower->addWidget(m_direction);
    m_direction->setVisible(!replacing);

    auto *left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(lower);
    left->addStretch(1);

    auto *buttons = new QVBoxLayout;
    m_findNext = new QPushButton(QStringLiteral("&Sonrakini Bul"), this);
    m_findNext->setObjectName(QStringLiteral("FindNextButton"));
    m_findNext->setDefault(true);
    buttons->addWidget(m_findNext);
    if (replacing) {
        m_replaceOne = new QPushButton(QStringLiteral("&Değiştir"), this);
        m_replaceOne->setObjectName(QStringLiteral("ReplaceButton"));
        m_replaceAll = new QPushButton(QStringLiteral("&Tümünü Değiştir"), this);
        m_replaceAll->setObjectName(QStringLiteral("ReplaceAllButton"));
        buttons->addWidget(m_replaceOne);
        buttons->addWidget(m_replaceAll);
    }
    auto *cancel = new QPushButton(QStringLiteral("İptal"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(m_findNext, &QPushButton::clicked, this, &FindReplaceDialog::findNext);
    if (replacing) {
        connect(m_replaceOne, &QPushButton::clicked, this, [this] { Q_EMIT replace(false); });
        connect(m_replaceAll, &QPushButton::clicked, this, [this] { Q_EMIT replace(true); });
    }
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_find, &QLineEdit::textChanged, this, &FindReplaceDialog::updateButtons);
    updateButtons();
}

QString FindReplaceDialog::findText() const
{
    return m_find->text();
}

void FindReplaceDialog::setFindText(const QString &text)
{
    m_find->setText(text.left(MaxText));
    m_find->selectAll();
}

QString FindReplaceDialog::replaceText() const
{
    return m_replace ? m_replace->text() : QString();
}

void FindReplaceDialog::setReplaceText(const QString &text)
{
    if (m_replace)
        m_replace->setText(text.left(MaxText));
}

bool FindReplaceDialog::matchCase() const
{
    return m_matchCase->isChecked();
}

void FindReplaceDialog::setMatchCase(bool on)
{
    m_matchCase->setChecked(on);
}

bool FindReplaceDialog::wholeWord() const
{
    return m_wholeWord->isChecked();
}

void FindReplaceDialog::setWholeWord(bool on)
{
    m_wholeWord->setChecked(on);
}

bool FindReplaceDialog::down() const
{
    return m_kind == Kind::Replace || m_down->isChecked();
}

void FindReplaceDialog::setDown(bool on)
{
    (on ? m_down : m_up)->setChecked(true);
}

void FindReplaceDialog::showDialog()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    if (m_placed)
        move(m_position);
    show();
    raise();
    activateWindow();
    m_find->setFocus();
}

void FindReplaceDialog::done(int result)
{
    m_position = pos();
    m_placed = true;
    QDialog::done(result);
    Q_EMIT closed();
}

void FindReplaceDialog::updateButtons()
{
    // Nothing to search for: the buttons that search wait for a text, as the system's dialogs do.
    const bool any = !m_find->text().isEmpty();
    m_findNext->setEnabled(any);
    if (m_replaceOne)
        m_replaceOne->setEnabled(any);
    if (m_replaceAll)
        m_replaceAll->setEnabled(any);
}

} // namespace velkora::editor
