#include "AppIdentity.h"

#include "Log.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

// Resources of a static library are registered by hand, outside any namespace.
static void registerAppIcon() {
    Q_INIT_RESOURCE(app_icon);
}

namespace AppIdentity {

QString version() {
    return QStringLiteral(VT_VERSION);
}

std::optional<QString> commandLineAnswer(const QStringList& argumentsWithoutProgram) {
    if (argumentsWithoutProgram.isEmpty())
        return std::nullopt;
    const QString& first = argumentsWithoutProgram.first();
    if (first == QLatin1String("--version"))
        return QStringLiteral("VantobelPlayTray ") + version() + QLatin1Char('\n');
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        return QStringLiteral(
            "Usage: VantobelPlayTray [/TRAY | '/u|||OPTION|||F1|||...|||F7' | '/b|||OPTION|||F1|||...|||F7']\n"
            "\n"
            "The tray companion of the VantobelPlay media player. A second start hands its\n"
            "command line to the running tray.\n"
            "\n"
            "  /TRAY           serve the player the tray served last\n"
            "  /u|||...        the parent player's user data (seven fields)\n"
            "  /b|||...        the baby player's user data (seven fields)\n"
            "  /messagebox, /settings, /about\n"
            "                  open that window of the tray (starting it when none runs)\n"
            "  /quit           ask the running tray whether to quit\n"
            "  -h, --help      print this text and exit\n"
            "  --version       print the version and exit\n"
            "\n"
            "See VantobelPlayTray(1) for the files it reads and writes.\n");
    }
    return std::nullopt;
}

std::optional<int> answerCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const std::optional<QString> answer = commandLineAnswer(arguments);
    if (!answer)
        return std::nullopt;
    const QByteArray text = answer->toLocal8Bit();
    const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size());
    return (std::fflush(stdout) == 0 && written) ? 0 : 1;
}

QString launcherFor(const QString& executable) {
    const QFileInfo program(executable);
    const QString link = program.absolutePath() + QStringLiteral("/../../bin/") + program.fileName();
    const QFileInfo linkInfo(QDir::cleanPath(link));
    if (linkInfo.isSymLink() && linkInfo.canonicalFilePath() == program.canonicalFilePath() &&
        !program.canonicalFilePath().isEmpty())
        return linkInfo.absoluteFilePath();
    return executable;
}

bool loadQtChinese(QApplication& app, const QString& translationsFolder) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), translationsFolder)) {
        // Not an error: the standard buttons stay English.
        qCDebug(lcTray) << "no qtbase_zh_CN translation in" << translationsFolder;
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void setUp(QApplication& app) {
    QCoreApplication::setApplicationName(QStringLiteral("VantobelPlayTray"));
    QCoreApplication::setApplicationVersion(version());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));

    // Windows need the icon, the tray's start does not: the pictures are read once the
    // event loop runs, after the icon has been asked for.
    QTimer::singleShot(0, &app, [] {
        registerAppIcon();
        // Every window carries these pictures to the X server; desktops take larger
        // ones from the icon theme through the desktop file name.
        QIcon icon;
        for (const int size : {16, 22, 24, 32, 48, 64})
            icon.addFile(QStringLiteral(":/app-icon/%1.png").arg(size), QSize(size, size));
        QApplication::setWindowIcon(icon);
    });

    loadQtChinese(app, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

} // namespace AppIdentity
