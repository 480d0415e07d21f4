#include "HtmlView.h"

#include <QColor>

QImage HtmlDocument::placeholder() {
    static const QImage image = [] {
        QImage square(16, 16, QImage::Format_RGB32);
        square.fill(QColor(0xE0, 0xE0, 0xE0));
        return square;
    }();
    return image;
}

QVariant HtmlDocument::offlineResource(int type, const QUrl& name) const {
    switch (type) {
    case QTextDocument::ImageResource: {
        const auto it = m_pictures.constFind(name);
        return it != m_pictures.constEnd() ? *it : placeholder();
    }
    case QTextDocument::StyleSheetResource:
        return QString();
    default:
        return QByteArray();
    }
}

HtmlView::HtmlView(QWidget* parent) : QTextBrowser(parent), m_document(new HtmlDocument(this)) {
    setDocument(m_document);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    viewport()->setContextMenuPolicy(Qt::NoContextMenu);
}
