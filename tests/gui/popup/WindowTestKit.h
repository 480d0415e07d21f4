#pragma once

// The store's test program folder (a temporary home with the template database) plus
// the tables and seams the windows work on, and what probes an HTML view: local files
// it must never read, a look for a colour, a real click on a link.

#include "../../unit/store/StoreTestKit.h"
#include "HistoryTable.h"
#include "NoticePicture.h"
#include "SettingsTable.h"
#include "SysPublicCls.h"

#include <QCoreApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Answers every picture with `answer` (null: none) on the next turn of the loop.
class FakePictures : public NoticePictureSource {
public:
    void fetch(const QString& address, QSize shown, QObject* context,
               std::function<void(const QImage&)> done) override {
        asked.append({address, shown});
        QTimer::singleShot(0, context, [done, image = answer] { done(image); });
    }
    QList<std::pair<QString, QSize>> asked;
    QImage answer;
};

struct WindowKit : StoreKit {
    SettingsTable settings{conn};
    HistoryTable history{conn};
    SequenceRandom random;
    SysPublicCls utils{clock, random};
    RecordingUrlOpener urls;
    FakePictures pictures;

    WindowKit() { conn.ExecuteSql(QStringLiteral("select 1")); } // makes the user's database
    QString db() const { return conn.databasePath(); }
    QString one(const QString& sql) const { return sqlOn(db(), sql).value(0).toString(); }
};

// Deletes what windows left for deferred deletion (they delete themselves on close).
inline void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Local files a page must never read: a red picture at a plain path and a FIFO
// watched from a thread. A reader that opens the FIFO would block until a writer
// comes, so the watcher comes at once (a writer can open only while a reader waits),
// writes a few bytes, and counts it: the test thus fails instead of hanging.
class LocalBait {
public:
    LocalBait() {
        QImage red(100, 100, QImage::Format_RGB32);
        red.fill(Qt::red);
        m_ready = ::mkfifo(QFile::encodeName(fifoPath()).constData(), 0600) == 0 && red.save(redPath());
        m_watch = std::thread([this, fifo = QFile::encodeName(fifoPath())] {
            while (!m_stop) {
                const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    ++m_opened;
                    [[maybe_unused]] const auto n = ::write(fd, "GIF89a", 6);
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~LocalBait() {
        m_stop = true;
        m_watch.join();
    }

    bool ready() const { return m_ready; }
    QString redPath() const { return m_dir.filePath("red.png"); }
    QString fifoPath() const { return m_dir.filePath("fifo"); }
    // An <img> of each, the FIFO first.
    QString images() const { return "<img src=\"" + fifoPath() + "\"><img src=\"" + redPath() + "\">"; }
    int fifoOpened() const { return m_opened; }

private:
    QTemporaryDir m_dir;
    bool m_ready = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_opened{0};
    std::thread m_watch;
};

inline bool hasColour(const QImage& image, const QColor& colour) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32); // rows of whole pixels, no padding
    const std::span pixels(reinterpret_cast<const QRgb*>(rgb.constBits()), size_t(rgb.width()) * rgb.height());
    return std::ranges::find(pixels, colour.rgb()) != pixels.end();
}

// Clicks the first link of the view with the mouse where it is drawn; gives its href.
inline QString clickFirstLink(QTextBrowser* view) {
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isAnchor() || fragment.length() < 2)
                continue;
            QTextCursor cursor(view->document());
            cursor.setPosition(fragment.position() + 1);
            const QPoint at = view->cursorRect(cursor).center() - QPoint(2, 0);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            return fragment.charFormat().anchorHref();
        }
    }
    return {};
}
