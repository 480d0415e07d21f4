// The demo vendor service: key text, notices and the signed sign-in interface on 127.0.0.1.
#include "NoticeBook.h"
#include "VendorService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {
QByteArray readAll(const QString& path, bool* ok) {
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantobel-vendor-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Demo vendor service for VantobelPlayTray (127.0.0.1 only)."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port; 0 picks a free one."),
                                  QStringLiteral("N"), QStringLiteral("8765"));
    const QCommandLineOption notices(QStringLiteral("notices"), QStringLiteral("Notices file (XML)."),
                                     QStringLiteral("FILE"), QStringLiteral(":/vendor-service/notices.xml"));
    const QCommandLineOption users(QStringLiteral("users"), QStringLiteral("Users file: name and secret per line."),
                                   QStringLiteral("FILE"), QStringLiteral(":/vendor-service/users.txt"));
    const QCommandLineOption key(QStringLiteral("key"), QStringLiteral("Key text handed out by /api/key."),
                                 QStringLiteral("TEXT"), VendorOptions{}.keyText);
    const QCommandLineOption delay(QStringLiteral("delay-ms"), QStringLiteral("Delay every answer (test hook)."),
                                   QStringLiteral("N"), QStringLiteral("0"));
    parser.addOptions({port, notices, users, key, delay});
    parser.process(app);

    bool ok = false;
    const uint portNumber = parser.value(port).toUInt(&ok);
    if (!ok || portNumber > 65535) {
        std::fprintf(stderr, "--port needs a number from 0 to 65535\n");
        return 2;
    }
    VendorOptions options;
    options.keyText = parser.value(key);
    options.delayMs = parser.value(delay).toInt();

    NoticeBook book;
    QString error;
    if (!book.load(parser.value(notices), &error)) {
        std::fprintf(stderr, "notices: %s\n", qPrintable(error));
        return 2;
    }
    const QByteArray userText = readAll(parser.value(users), &ok);
    if (!ok) {
        std::fprintf(stderr, "users: cannot read %s\n", qPrintable(parser.value(users)));
        return 2;
    }

    VendorService service(options, std::move(book), VendorService::parseUsers(QString::fromUtf8(userText)));
    const quint16 bound = service.listen(static_cast<quint16>(portNumber));
    if (bound == 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", portNumber);
        return 1;
    }
    std::printf("listening on http://127.0.0.1:%u\n", static_cast<unsigned>(bound));
    std::fflush(stdout);
    return app.exec();
}
