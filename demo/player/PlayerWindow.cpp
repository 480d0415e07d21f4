#include "PlayerWindow.h"

#include "DemoLog.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QVBoxLayout>

PlayerWindow::PlayerWindow(const DemoLog& log, QWidget* parent) : QWidget(parent), m_log(log) {
    setObjectName(QStringLiteral("playerWindow"));
    setWindowTitle(QStringLiteral("VantobelPlay"));
    auto* form = new QFormLayout(this);
    m_mode = new QLabel(QStringLiteral("(no mode yet)"), this);
    m_mode->setObjectName(QStringLiteral("mode"));
    form->addRow(QStringLiteral("Mode:"), m_mode);
    for (int i = 0; i < 7; ++i) {
        m_fields[i] = new QLabel(this);
        m_fields[i]->setObjectName(QStringLiteral("field%1").arg(i + 1));
        m_fields[i]->setTextFormat(Qt::PlainText);
        form->addRow(QStringLiteral("Field%1:").arg(i + 1), m_fields[i]);
    }
    m_lastCommand = new QLabel(this);
    m_lastCommand->setObjectName(QStringLiteral("lastCommand"));
    m_lastCommand->setTextFormat(Qt::PlainText);
    m_lastCommand->setWordWrap(true);
    form->addRow(QStringLiteral("Last command:"), m_lastCommand);
    resize(360, 260);
}

void PlayerWindow::handleCommand(const QString& command) {
    m_log.line(command);
    m_lastCommand->setText(command.left(200));
    const QStringList parts = command.split(QStringLiteral("|||"));
    const QString verb = parts.first().trimmed().toLower();
    if (verb == QLatin1String("/exit")) {
        QCoreApplication::quit();
        return;
    }
    if (verb == QLatin1String("/playsettings")) {
        openConsole();
        return;
    }
    if (verb == QLatin1String("/b"))
        showMode(QStringLiteral("Baby player (/B)"), parts.mid(1));
    else if (verb == QLatin1String("/u"))
        showMode(QStringLiteral("Parent player (/U)"), parts.mid(1));
    bringToFront(this);
}

void PlayerWindow::showMode(const QString& mode, const QStringList& fields) {
    m_mode->setText(mode);
    for (int i = 0; i < 7; ++i)
        m_fields[i]->setText(i < fields.size() ? fields.at(i) : QString());
}

void PlayerWindow::openConsole() {
    if (!m_console) {
        // A window of its own that still goes when the player goes.
        m_console = new QWidget(this, Qt::Window);
        m_console->setAttribute(Qt::WA_DeleteOnClose);
        m_console->setObjectName(QStringLiteral("console"));
        m_console->setWindowTitle(QStringLiteral("VantobelPlay console"));
        auto* layout = new QVBoxLayout(m_console);
        layout->addWidget(new QLabel(QStringLiteral("Player console"), m_console));
        m_console->resize(240, 120);
    }
    bringToFront(m_console);
}

void PlayerWindow::bringToFront(QWidget* window) {
    window->show();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}
