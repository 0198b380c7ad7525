// The program's help: Turkish pages shipped with the program, shown in a help window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QTextBrowser;
class QWidget;

namespace velkora::help {

// Stands behind the help file "VELKORA.HLP": the contents page, and the pages the program asks for
// by context number (1: password protection).
class HelpSystem : public QObject
{
    Q_OBJECT
public:
    static const QString HelpFile; // "VELKORA.HLP"

    explicit HelpSystem(QObject *parent = nullptr);
    ~HelpSystem() override;

    void showContents();
    void showContext(int context);
    // The page of a context number: 0 the contents, 1 password protection.
    static QString pageFor(int context);

    // The window, once it has been shown.
    QWidget *window() const;
    QString currentPage() const;

private:
    void show(const QString &page);
    QPointer<QWidget> m_window;
    QTextBrowser *m_browser = nullptr;
};

} // namespace velkora::help
