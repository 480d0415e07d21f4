#include "QtPrompt.h"

#include <QMessageBox>
#include <QPushButton>

namespace {
QMessageBox::Icon boxIcon(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::None:
        break;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Critical:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::Exclamation:
        return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QtPrompt::~QtPrompt() {
    for (const QPointer<QMessageBox>& box : std::as_const(m_open))
        delete box.data();
}

QMessageBox* QtPrompt::openBox(const QString& text) const {
    return m_open.value(text).data();
}

void QtPrompt::show(const QString& text, const QString& title, PromptIcon icon, PromptButtons buttons,
                    Answered answered) {
    if (QMessageBox* open = openBox(text)) {
        open->raise();
        return;
    }
    const bool yesNo = buttons == PromptButtons::YesNo;
    // Modeless and never exec(): a modal box would block the tray menu, and its loop
    // would run timers whose windows may be deleted under the caller.
    auto* box =
        new QMessageBox(boxIcon(icon), title, text, yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    if (yesNo) {
        box->setDefaultButton(QMessageBox::Yes);
        // Closing the box with Escape or the title bar means "no", never a silent "yes".
        box->setEscapeButton(QMessageBox::No);
    }
    // The tray has no main window: the box must come to the front on its own.
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QObject::connect(box, &QMessageBox::finished, box, [box, yesNo, answered = std::move(answered)](int) {
        if (!answered)
            return;
        if (!yesNo) {
            answered(PromptAnswer::Ok);
            return;
        }
        const bool yes =
            box->clickedButton() != nullptr && box->standardButton(box->clickedButton()) == QMessageBox::Yes;
        answered(yes ? PromptAnswer::Yes : PromptAnswer::No);
    });
    m_open.insert(text, box);
    box->show();
    box->raise();
    box->activateWindow();
}
