#pragma once

#include <QPointer>
#include <QString>

class QWidget;

// The window skin on Qt style sheets. A skin is a .qss file under Skin/; a scheme
// is a section of it. A section starts at a comment line of the form
//     /* [SchemeName] */
// and runs to the next such line. The text before the first section applies to
// every scheme; LoadSkin keeps that text plus the named section (matched without
// regard to case). A blank or unknown scheme keeps only the common text.
class SkinEngine {
public:
    // The option bit that makes the skin apply to every window of the program,
    // not only to the window named by ApplyWindow. The host window is never
    // shown; the windows the user sees are top-level windows of their own, so
    // without this bit the skin would reach none of them. A skin colours and
    // frames: the windows keep their own fonts and grow a box whose text does
    // not fit (WindowFit).
    static constexpr int kApplyToApplication = 1;

    // False (and nothing loaded) when the file cannot be read.
    bool LoadSkin(const QString& path, const QString& scheme);
    void ApplyWindow(QWidget* window);
    int ApplyOptions() const { return m_options; }
    void setApplyOptions(int options);

    bool isLoaded() const { return m_loaded; }
    QString styleSheet() const { return m_sheet; }

    // The common text and the named section of a .qss text.
    static QString selectScheme(const QString& qss, const QString& scheme);

private:
    void applyToApplication();

    bool m_loaded = false;
    QString m_sheet;
    int m_options = 0;
};

// Where the skin comes from: SkinFile and SkinIniFile of Skin/DefaultSkin.ini.
struct SkinChoice {
    QString skinPath; // the skin folder followed by SkinFile
    QString scheme;   // SkinIniFile, unchanged
};
SkinChoice readSkinChoice(const QString& skinFolder);

// The skin folder of the program: programFolder() + "/Skin/".
QString skinFolder();

// Reads the choice, loads it, applies it to the window and sets the
// apply-to-application bit. A missing or broken skin leaves the standard look.
void ApplySkin(SkinEngine& engine, QWidget* window, const QString& folder);
