#pragma once

// The built demo vendor service, started on a free port for one test.

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

class VendorProcess {
public:
    explicit VendorProcess(const QStringList& arguments) {
        m_process.setProgram(QStringLiteral(VT_PROGRAM_DIR "/vantobel-vendor-service"));
        m_process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        QElapsedTimer waited;
        waited.start();
        QByteArray out;
        // The first line names the port it took.
        while (waited.elapsed() < 10000 && !out.contains('\n') && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(200);
            out += m_process.readAllStandardOutput();
        }
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^listening on (http://127\\.0\\.0\\.1:\\d+)\\n"))
                .match(QString::fromUtf8(out));
        if (m.hasMatch())
            m_base = m.captured(1);
        else
            m_error = QString::fromUtf8(out + m_process.readAllStandardError());
    }
    ~VendorProcess() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString base() const { return m_base; }
    QString error() const { return m_error; }
    QByteArray log() { return m_process.readAllStandardOutput(); }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QString m_base;
    QString m_error;
};
