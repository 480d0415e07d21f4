#pragma once

#include "VendorSite.h"

#include <QDialog>
#include <QString>

class LinkLabel;
class QLabel;
class UrlOpener;

struct AboutDeps {
    // The player's version text, for instance "1.2.35".
    QString playerVersion;
    UrlOpener& urls;
    QString vendorAddress = kVendorHomeAddress;
};

// The about box: product, player version, rights notice and the vendor's site.
// Enter and Esc both close it; it deletes itself when closed.
class sAbout : public QDialog {
    Q_OBJECT
public:
    explicit sAbout(AboutDeps deps, QWidget* parent = nullptr);

    QString versionText() const;

private:
    AboutDeps m_deps;
    QLabel* m_version = nullptr;
    LinkLabel* m_disclaimer = nullptr;
};
