#include "TrayState.h"

#include "FileOperate.h"

namespace {
const QString kSep = QStringLiteral("|||");
}

QString UserRecord::joined() const {
    QStringList parts(Field.begin(), Field.end());
    return parts.join(kSep);
}

QString TrayState::CurrentUserKind() const {
    return PlayerType.toLower() == QLatin1String("babyplayer") ? QStringLiteral("baby") : QStringLiteral("user");
}

TrayState::Parsed TrayState::setCommand(const QString& commandText) {
    CommandLine = commandText + kSep;
    Parsed parsed;
    parsed.elements = CommandLine.split(kSep);
    parsed.lowerSwitch = parsed.elements.value(0).toLower();
    CommandOption = parsed.elements.value(1).toUpper();
    return parsed;
}

void TrayState::applyUserSwitch(const QStringList& elements, bool baby) {
    UserRecord& record = baby ? BabyUser : ParentUser;
    if (elements.size() >= 6) {
        for (int i = 0; i < 7; ++i) {
            const int index = 2 + i;
            if (index < elements.size())
                record.Field[i] = elements.at(index);
        }
    }
    ActiveUserField3 = record.Field[2];
    PlayerType = baby ? QStringLiteral("BabyPlayer") : QStringLiteral("ParentPlayer");
}

void TrayState::applyStartCommand(const QString& commandText, const QString& sysIni) {
    const Parsed parsed = setCommand(commandText);
    if (parsed.lowerSwitch == QLatin1String("/b"))
        applyUserSwitch(parsed.elements, true);
    else if (parsed.lowerSwitch == QLatin1String("/u"))
        applyUserSwitch(parsed.elements, false);
    else if (parsed.lowerSwitch == QLatin1String("/tray"))
        PlayerType = FileOperate::IniValue(FileOperate::ReadTextLines(sysIni), QStringLiteral("TrayDefaultType"));
}

bool TrayState::hidesTrayIcon() const {
    return CommandOption.compare(QLatin1String("HiddenTrayIco"), Qt::CaseInsensitive) == 0;
}

QString commandTextFromArguments(const QStringList& argumentsWithoutProgram) {
    return argumentsWithoutProgram.join(QLatin1Char(' '));
}
