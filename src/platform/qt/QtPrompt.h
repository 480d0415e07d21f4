#pragma once

#include "Seams.h"

#include <QHash>
#include <QPointer>

class QMessageBox;

// Message boxes through QMessageBox, shown modeless and on top.
class QtPrompt : public Prompt {
public:
    ~QtPrompt() override;
    void show(const QString& text, const QString& title, PromptIcon icon, PromptButtons buttons,
              Answered answered) override;
    // The box showing this text, if one is open.
    QMessageBox* openBox(const QString& text) const;

private:
    QHash<QString, QPointer<QMessageBox>> m_open;
};
