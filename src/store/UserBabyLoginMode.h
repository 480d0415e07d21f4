#pragma once

#include <QString>

class TrayState;

// Whose data the program works on: the user the player named last.
class UserBabyLoginMode {
public:
    explicit UserBabyLoginMode(const TrayState& state);

    // <writable root>/Users/<name>/ (ends with "/"): the parent's Field2, or the
    // baby's Field1 while the baby player is served; "guest" when that name is blank.
    // Names that could leave Users/ (separators, NUL, ".", "..") are encoded.
    QString UserFolder() const;
    QString ParentUserRecord() const;
    QString BabyUserRecord() const;

    // The folder name used for a user name (exposed for tests).
    static QString folderNameFor(const QString& userName);

private:
    const TrayState& m_state;
};
