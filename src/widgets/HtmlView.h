#pragma once

#include <QHash>
#include <QImage>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

// A page document that loads nothing by itself, neither from disk nor from the
// network. A picture shows only when our own code fetched it and handed it in; every
// other image is a placeholder and every other resource is empty. Qt reads an image's
// src as a local path whenever the document gives no image for it, so the answer is
// never "nothing": that is what keeps a notice from making the program read (or hang
// on) a local file.
class HtmlDocument : public QTextDocument {
    Q_OBJECT
public:
    explicit HtmlDocument(QObject* parent = nullptr);
    void addPicture(const QUrl& address, const QImage& image) { m_pictures.insert(address, image); }
    // What an image that was not handed in shows: a small light-grey square.
    static QImage placeholder();
    QVariant offlineResource(int type, const QUrl& name) const;
    // Gives every image a name in Qt's in-memory resource tree. On a screen scaled
    // above 1 Qt looks for a sharper "<name>@2x.<ext>" file before it draws an image;
    // for any other name that look goes to the disk (and could hang on a network
    // path), for these it stays in memory. Only offlineResource reads the names back.
    void hideImageNames();

protected:
    QVariant loadResource(int type, const QUrl& name) override { return offlineResource(type, name); }

private:
    QHash<QUrl, QImage> m_pictures;
    bool m_namesShown = false; // the content changed since the names were last hidden
    bool m_hiding = false;
};

// The HTML view of the pop-up and the message box: links are reported through
// anchorClicked and never followed, no context menu, resources as HtmlDocument gives them.
class HtmlView : public QTextBrowser {
    Q_OBJECT
public:
    explicit HtmlView(QWidget* parent = nullptr);
    void addPicture(const QUrl& address, const QImage& image) { m_document->addPicture(address, image); }

protected:
    QVariant loadResource(int type, const QUrl& name) override { return m_document->offlineResource(type, name); }
    // Every drawing of the page starts here, so the names are hidden before Qt draws.
    void paintEvent(QPaintEvent* event) override;

private:
    HtmlDocument* m_document = nullptr;
};
