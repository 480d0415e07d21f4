#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QApplication;

// The program's name, version and desktop file id, set once at start.
namespace AppIdentity {

inline constexpr char kDesktopFileName[] = "vantobel-play-tray";

// The version from the build (CMake's project version).
QString version();

// The text --help and --version print, or nothing when the command line is a command
// for the tray. Only a first argument of --help, -h or --version asks; every other
// command line keeps its meaning.
std::optional<QString> commandLineAnswer(const QStringList& argumentsWithoutProgram);

// Prints the answer to stdout before any window system is touched; the exit code when
// the program is to end there.
std::optional<int> answerCommandLine(int argc, char* argv[]);

// Name, version, desktop file name, window icon of every window, and Qt's own Chinese
// texts (standard buttons, text field menus) from the translations folder.
void setUp(QApplication& app);

// What a desktop entry should start: the installed link <prefix>/bin/<name> when it
// leads to this executable in <prefix>/lib/<folder>/, else the executable itself.
QString launcherFor(const QString& executable);

// Loads qtbase_zh_CN from the folder into the application; false (and English
// standard texts) when it is missing.
bool loadQtChinese(QApplication& app, const QString& translationsFolder);

} // namespace AppIdentity
