#include "HtmlView.h"

#include <QColor>
#include <QTextBlock>
#include <QTextCursor>

namespace {
// Qt's reader turns an image name starting with ":/" into this scheme.
const QString kHiddenPrefix = QStringLiteral(":/vantobel-page/");
const QString kHiddenPath = QStringLiteral("/vantobel-page/");

QString hiddenName(const QString& name) {
    return kHiddenPrefix +
           QString::fromLatin1(name.toUtf8().toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}
} // namespace

HtmlDocument::HtmlDocument(QObject* parent) : QTextDocument(parent) {
    connect(this, &QTextDocument::contentsChanged, this, [this] {
        if (!m_hiding)
            m_namesShown = true;
    });
}

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
        QUrl address = name;
        if (name.scheme() == QLatin1String("qrc") && name.path().startsWith(kHiddenPath)) {
            const QByteArray encoded = name.path().mid(kHiddenPath.size()).toLatin1();
            address = QUrl(QString::fromUtf8(QByteArray::fromBase64(encoded, QByteArray::Base64UrlEncoding)));
        }
        const auto it = m_pictures.constFind(address);
        return it != m_pictures.constEnd() && !it->isNull() ? *it : placeholder();
    }
    case QTextDocument::StyleSheetResource:
        return QString();
    default:
        return QByteArray();
    }
}

void HtmlDocument::hideImageNames() {
    if (!m_namesShown)
        return;
    m_namesShown = false;
    // Gathered first: renaming changes the fragments being walked.
    struct Image {
        int position;
        int length;
        QTextImageFormat format;
    };
    QList<Image> images;
    for (QTextBlock block = begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            const QTextImageFormat image = fragment.charFormat().toImageFormat();
            if (!image.name().startsWith(kHiddenPrefix))
                images.append({fragment.position(), fragment.length(), image});
        }
    }
    if (images.isEmpty())
        return;
    m_hiding = true;
    const bool undo = isUndoRedoEnabled();
    setUndoRedoEnabled(false);
    QTextCursor cursor(this);
    for (Image& image : images) {
        image.format.setName(hiddenName(image.format.name()));
        cursor.setPosition(image.position);
        cursor.setPosition(image.position + image.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(image.format);
    }
    setUndoRedoEnabled(undo);
    m_hiding = false;
}

HtmlView::HtmlView(QWidget* parent) : QTextBrowser(parent), m_document(new HtmlDocument(this)) {
    setDocument(m_document);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    viewport()->setContextMenuPolicy(Qt::NoContextMenu);
}

void HtmlView::paintEvent(QPaintEvent* event) {
    m_document->hideImageNames();
    QTextBrowser::paintEvent(event);
}
