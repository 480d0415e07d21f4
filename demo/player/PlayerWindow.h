#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>

class DemoLog;

// The player's main window: the mode it plays in and the user it was handed.
class PlayerWindow : public QWidget {
    Q_OBJECT
public:
    explicit PlayerWindow(const DemoLog& log, QWidget* parent = nullptr);
    // Acts on one command from the command line or the link.
    void handleCommand(const QString& command);

private:
    void showMode(const QString& mode, const QStringList& fields);
    void openConsole();
    void bringToFront(QWidget* window);

    const DemoLog& m_log;
    QLabel* m_mode = nullptr;
    QLabel* m_fields[7] = {};
    QLabel* m_lastCommand = nullptr;
    QPointer<QWidget> m_console;
};
