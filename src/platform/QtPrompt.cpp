#include "QtPrompt.h"

#include <QApplication>
#include <QMessageBox>

PromptAnswer QtPrompt::show(const QString& text, const QString& title, PromptIcon icon, PromptButtons buttons) {
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case PromptIcon::None:
        boxIcon = QMessageBox::NoIcon;
        break;
    case PromptIcon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case PromptIcon::Critical:
        boxIcon = QMessageBox::Critical;
        break;
    case PromptIcon::Question:
        boxIcon = QMessageBox::Question;
        break;
    case PromptIcon::Exclamation:
        boxIcon = QMessageBox::Warning;
        break;
    }
    const bool yesNo = buttons == PromptButtons::YesNo;
    QMessageBox box(boxIcon, title, text, yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    if (yesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        // Closing the box with Escape or the title bar means "no", never a silent "yes".
        box.setEscapeButton(QMessageBox::No);
    }
    // The tray has no main window: the box must come to the front on its own.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const int result = box.exec();
    if (!yesNo)
        return PromptAnswer::Ok;
    return result == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}
