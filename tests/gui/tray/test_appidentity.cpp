#include "AppIdentity.h"
#include "TestMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString yesButtonText() {
    QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text();
}
} // namespace

class TestAppIdentity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // --help, -h and --version answer only as the first argument; everything else is a
    // command for the tray.
    void commandLineQuestions() {
        const std::optional<QString> help = AppIdentity::commandLineAnswer({"--help"});
        QVERIFY(help && help->startsWith("Usage: VantobelPlayTray"));
        QCOMPARE(AppIdentity::commandLineAnswer({"-h", "/TRAY"}), help);
        QCOMPARE(AppIdentity::commandLineAnswer({"--version"}),
                 std::optional<QString>("VantobelPlayTray " + AppIdentity::version() + "\n"));
        for (const QStringList& command : {QStringList{}, QStringList{"/TRAY", "--help"},
                                           QStringList{"/u|||OPT|||a|||b|||c|||d|||e|||f|||--version"},
                                           QStringList{"-help"}, QStringList{"--versions"}})
            QVERIFY2(!AppIdentity::commandLineAnswer(command), qPrintable(command.join(' ')));

        // From main's argv: an answer ends the program with 0, a command goes on.
        char program[] = "VantobelPlayTray", version[] = "--version", tray[] = "/TRAY";
        char* asking[] = {program, version, nullptr};
        char* command[] = {program, tray, version, nullptr};
        QCOMPARE(AppIdentity::answerCommandLine(2, asking), std::optional<int>(0));
        QCOMPARE(AppIdentity::answerCommandLine(3, command), std::optional<int>());
    }

    // The start-with-desktop entry names the installed link on the PATH, not the folder
    // behind it; anywhere else (a build, a copied folder) the executable itself.
    void launcherOfAnInstalledProgram() {
        QTemporaryDir prefix;
        const QString program = prefix.path() + "/lib/vantobel-play/VantobelPlayTray";
        QVERIFY(QDir().mkpath(prefix.path() + "/lib/vantobel-play") && QDir().mkpath(prefix.path() + "/bin"));
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(AppIdentity::launcherFor(program), program);
        QVERIFY(QFile::link("../lib/vantobel-play/VantobelPlayTray", prefix.path() + "/bin/VantobelPlayTray"));
        QCOMPARE(AppIdentity::launcherFor(program), prefix.path() + "/bin/VantobelPlayTray");

        QFile other(prefix.path() + "/lib/vantobel-play/Other");
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        QCOMPARE(AppIdentity::launcherFor(other.fileName()), other.fileName()); // no bin/Other at all
        QVERIFY(QFile::remove(prefix.path() + "/bin/VantobelPlayTray"));
        QVERIFY(QFile::link("../lib/vantobel-play/Other", prefix.path() + "/bin/VantobelPlayTray"));
        QCOMPARE(AppIdentity::launcherFor(program), program); // a link to something else
    }

    // Start-up sets the identity that names the installed desktop entry, gives every
    // window the icon set, and turns Qt's own texts Chinese; without the translation
    // file they stay English.
    void setUpIdentityIconAndQtChinese() {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        QTemporaryDir empty;
        QVERIFY(!AppIdentity::loadQtChinese(*app, empty.path()));
        QCOMPARE(yesButtonText(), QString("&Yes"));

        AppIdentity::setUp(*app);
        QCOMPARE(QCoreApplication::applicationName(), QString("VantobelPlayTray"));
        QCOMPARE(QCoreApplication::applicationVersion(), AppIdentity::version());
        QVERIFY(QFileInfo::exists(VT_SOURCE_DIR "/packaging/" + QGuiApplication::desktopFileName() + ".desktop"));
        QVERIFY(QApplication::windowIcon().isNull()); // not before the event loop runs
        QCoreApplication::processEvents();
        const QIcon icon = QApplication::windowIcon();
        for (const int size : {16, 32, 64}) {
            const QPixmap pixmap = icon.pixmap(size, size);
            QVERIFY2(!pixmap.isNull() && pixmap.width() == size, qPrintable(QString::number(size)));
        }
        QWidget window;
        QCOMPARE(window.windowIcon().cacheKey(), icon.cacheKey());

        QVERIFY2(QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm"),
                 "qt6-translations-l10n is missing (scripts/install-deps.sh installs it)");
        QVERIFY2(yesButtonText().startsWith(QString::fromUtf8("是")), qPrintable(yesButtonText()));
    }
};

VT_TEST(TestAppIdentity)
#include "test_appidentity.moc"
