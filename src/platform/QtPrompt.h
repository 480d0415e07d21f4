#pragma once

#include "Seams.h"

// Message boxes through QMessageBox.
class QtPrompt : public Prompt {
public:
    PromptAnswer show(const QString& text, const QString& title, PromptIcon icon, PromptButtons buttons) override;
};
