// The demo vendor service: key text, notices and the signed sign-in interface on 127.0.0.1.
#include "NoticeBook.h"
#include "VendorService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
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
    const QCommandLineOption fault(QStringLiteral("notice-fault"),
                                   QStringLiteral("The notice service misbehaves: hang, drip or garbage."),
                                   QStringLiteral("MODE"));
    const QCommandLineOption faultTimes(QStringLiteral("fault-times"),
                                        QStringLiteral("Notice requests that get the fault, then normal answers."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption dripMs(QStringLiteral("drip-ms"), QStringLiteral("Milliseconds between dripped bytes."),
                                    QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption fresh(QStringLiteral("fresh-notices"),
                                   QStringLiteral("Every notice request gets a new notice (the file's in turn, "
                                                  "each with a serial), never the empty one."));
    parser.addOptions({port, notices, users, key, delay, fault, faultTimes, dripMs, fresh});
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
    const QHash<QString, NoticeFault> faults{{QStringLiteral("hang"), NoticeFault::Hang},
                                             {QStringLiteral("drip"), NoticeFault::Drip},
                                             {QStringLiteral("garbage"), NoticeFault::Garbage}};
    if (parser.isSet(fault)) {
        if (!faults.contains(parser.value(fault))) {
            std::fprintf(stderr, "--notice-fault is hang, drip or garbage\n");
            return 2;
        }
        options.noticeFault = faults.value(parser.value(fault));
    }
    bool timesOk = false;
    bool dripOk = false;
    options.faultTimes = parser.value(faultTimes).toInt(&timesOk);
    options.dripMs = parser.value(dripMs).toInt(&dripOk);
    if (!timesOk || !dripOk || options.faultTimes < 0 || options.dripMs <= 0) {
        std::fprintf(stderr, "--fault-times needs a number from 0 and --drip-ms one from 1\n");
        return 2;
    }

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
    book.setFresh(parser.isSet(fresh));

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
