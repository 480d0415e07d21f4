#pragma once

#include <QString>

// The program folder: the executable's folder, or VANTOBEL_PLAY_HOME when set.
// Every path the program reads beside itself starts here. No trailing slash.
QString programFolder();

// Joins the program folder and a relative path written with "/".
QString programPath(const QString& relative);

// Where the writable files (Users/<name>/Info.db, Users/All Users/Sys.ini) live:
// the program folder when its Users folder can be written, else
// $XDG_DATA_HOME/VantobelPlayTray (default ~/.local/share/VantobelPlayTray).
QString writableRoot();

// writableRoot() + "/Users/All Users/Sys.ini".
QString sysIniPath();
