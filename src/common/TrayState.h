#pragma once

#include <QString>
#include <QStringList>
#include <array>

// Seven text fields of one user, as the player hands them over.
struct UserRecord {
    std::array<QString, 7> Field; // Field[0] is Field1
    // The seven fields joined by "|||" (six separators, none at either end).
    QString joined() const;
};

// What the command line and the link's executes tell the tray: which player it
// serves and the two users' data. One object for the run, built by Main.
class TrayState {
public:
    QString CommandLine;   // the command text followed by "|||"
    QString CommandOption; // field 2, upper-cased
    QString PlayerType;    // "BabyPlayer", "ParentPlayer" or empty
    UserRecord BabyUser;
    UserRecord ParentUser;
    QString ActiveUserField3;

    // "baby" when PlayerType is "babyplayer" in any case, otherwise "user".
    QString CurrentUserKind() const;

    // Sets CommandLine (text & "|||") and CommandOption from a command text and
    // returns the lower-cased switch together with the split elements.
    struct Parsed {
        QString lowerSwitch;
        QStringList elements;
    };
    Parsed setCommand(const QString& commandText);

    // "/b" and "/u": with at least six elements, the record takes elements 3..9
    // (1-based) one by one, a missing element leaving its field as it was; then
    // ActiveUserField3 and PlayerType follow the record.
    void applyUserSwitch(const QStringList& elements, bool baby);

    // A start of the program: the switch table of the command line ("/b", "/u",
    // "/tray" reading TrayDefaultType from the Sys.ini at sysIni).
    void applyStartCommand(const QString& commandText, const QString& sysIni);

    // True when CommandOption is "HIDDENTRAYICO" (the icon is not to be shown).
    bool hidesTrayIcon() const;
};

// The command text of a start: the arguments joined by single spaces.
QString commandTextFromArguments(const QStringList& argumentsWithoutProgram);
