#pragma once

#include <QDialog>
#include <QStringList>
#include <QVariant>
#include <optional>

class AutoRunStore;
class Prompt;
class QCheckBox;
class QComboBox;
class SettingsTable;

struct SysSettingsDeps {
    SettingsTable& settings;
    AutoRunStore& autoRun;
    Prompt& prompt;
};

// The settings dialog: start with the session, do-not-disturb, and per kind of
// notice whether it pops up and when it closes itself. Modeless; deletes itself
// when closed.
class SysSettings : public QDialog {
    Q_OBJECT
public:
    explicit SysSettings(SysSettingsDeps deps, QWidget* parent = nullptr);

    // Shows the window, then fills it from the settings table and the autorun state.
    void load();
    // Stores every control; tells the user whether all of it was stored.
    void save();

    // A stored switch as a box value: 0 or 1, nothing for anything else.
    static std::optional<bool> checkValue(const QVariant& stored);
    // A stored minute count as a list index 0..99, -1 when outside 1..100.
    static int minuteIndex(const QVariant& stored);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Row {
        QString suffix;
        QCheckBox* show = nullptr; // null where the box is fixed
        QCheckBox* autoClose = nullptr;
        QComboBox* minutes = nullptr;
    };

    void buildWidgets();
    void loadRow(const Row& row);
    QComboBox* minuteList(QWidget* parent, const QString& name, const QRect& geometry);

    SysSettingsDeps m_deps;
    QCheckBox* m_autoRunBox = nullptr;
    QCheckBox* m_peaceful = nullptr;
    Row m_brightsprout;
    Row m_adv;
    Row m_newList;
    Row m_notice;
};
