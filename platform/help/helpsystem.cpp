// The program's help: Turkish pages shipped with the program, shown in a help window.
#include "helpsystem.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace velkora::help {

const QString HelpSystem::HelpFile = QStringLiteral("VELKORA.HLP");

HelpSystem::HelpSystem(QObject *parent) : QObject(parent) {}

HelpSystem::~HelpSystem()
{
    delete m_window;
}

QString HelpSystem::pageFor(int context)
{
    return context == 1 ? QStringLiteral("sifre.html") : QStringLiteral("index.html");
}

void HelpSystem::showContents()
{
    show(pageFor(0));
}

void HelpSystem::showContext(int context)
{
    show(pageFor(context));
}

void HelpSystem::show(const QString &page)
{
    if (!m_window) {
        m_window = new QWidget(nullptr, Qt::Window);
        m_window->setObjectName(QStringLiteral("HelpWindow"));
        m_window->setWindowTitle(QStringLiteral("Velkora Yardım"));
        m_window->resize(560, 460);
        auto *layout = new QVBoxLayout(m_window);
        m_browser = new QTextBrowser(m_window);
        m_browser->setSearchPaths({QStringLiteral(":/velkora/help")});
        m_browser->setOpenLinks(true);
        layout->addWidget(m_browser);
    }
    m_browser->setSource(QUrl(page));
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

QWidget *HelpSystem::window() const
{
    return m_window;
}

QString HelpSystem::currentPage() const
{
    return m_browser ? m_browser->source().toString() : QString();
}

} // namespace velkora::help
