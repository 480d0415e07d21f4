#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>

class Clock;
class RandomSource;

// The shared utility class: blank tests, sanitising, markup, URL pieces, dates,
// serials, numbers, files and images. Loosely typed values are QVariant: an invalid
// QVariant is "empty", QVariant::fromValue(nullptr) is null. Operations without a
// trap of their own throw VbError with the runtime's error number.
//
// Sources by area: SysPublicCls.cpp (sanitising, markup), SysPublicCls_Url.cpp (regex, URLs),
// SysPublicCls_Format.cpp (dates, numbers, serials), SysPublicCls_Files.cpp (files, images).
class SysPublicCls {
public:
    SysPublicCls(const Clock& clock, RandomSource& random);

    // --- Value helpers shared by every area ---
    static bool isNull(const QVariant& v);
    static bool isEmpty(const QVariant& v); // never assigned
    static bool isNumeric(const QVariant& v);
    // The text form of a value: empty -> "", numbers and dates in their text form.
    // Null throws InvalidUseOfNull.
    static QString text(const QVariant& v);

    // --- Sanitising, markup and URLs ---
    static bool IsBlank(const QVariant& Str);
    static QString SafeRequest(const QVariant& Str, const QVariant& LeachHtml, const QVariant& LeachSql);
    static QString ScriptSafe(const QVariant& Str, const QVariant& HightLeach);
    static QString LeachHtml(const QVariant& strHTML);
    static QString HtmlSelfEnCode(const QVariant& TempContent);
    static QString ClearHttps(const QVariant& value);
    static QVariant regExReplace(const QVariant& sSource, const QVariant& patrn, const QVariant& replStr);
    // Str itself, as given (null included), when WebUrl is blank.
    static QVariant RegExp_UrlAbsOurWeb(const QVariant& Str, const QVariant& WebUrl);
    static bool IsUrl(const QVariant& strUrl);
    static QString UrlHost(const QVariant& strUrl);
    static QVariant UrlStrValue(const QVariant& URL, const QVariant& ElementStr, const QVariant& SplitTag);
    static bool IsSelfWeb(const QVariant& FromUrl, const QVariant& ServUrl, const QVariant& HttpType);

    // --- Dates, numbers, serials ---
    QVariant AutoZmStr(const QVariant& Num);
    qint32 AutoSzStr(const QVariant& Num);
    QString DateTimeSNoStr() const;
    QVariant Auto1ToNumbStr(const QVariant& Num);
    QString DateTimeSNoStrTwo() const;
    QString DateTime24StrTwo() const;
    QString YMdDateTimeSNoStrTwo(const QVariant& MdNum);
    static QVariant OneToTwoStr(const QVariant& Str);
    static QVariant BitValue(const QVariant& Str);
    static QVariant BitTrueValue(const QVariant& Str);
    static QVariant IsNumbStr(const QVariant& NumbStr);
    static QString PureData(const QVariant& Str);
    static QVariant ClearNullValue(const QVariant& Str);
    static double CLngIP(const QVariant& Str);
    static QString CStrIP(const QVariant& CLngStr);
    static QString NonceMonth(const QVariant& DataTimeStr);
    static QVariant LetterOrNum(const QVariant& Str);
    static QString DateTwain(const QVariant& DateAndTime, const QVariant& ShowYear, const QVariant& ShowMonth,
                             const QVariant& ShowDay, const QVariant& ShowTime);

    // --- Files, folders and images (paths use "/") ---
    static bool SysFile(const QString& FilePath);
    static QString SysFilePath(const QString& FilePath);
    static void CopyFile(const QString& SourceFile, const QString& DuplicateFilePath, const QString& DuplicateFile);
    static QVariant SysMoveFiles(const QString& TargetFile, const QString& MotiveFile, const QString& FilesName);
    static QVariant SysMoveFiles2(const QString& TargetFileName, const QString& MotiveFile,
                                  const QString& MotiveFileName);
    static bool PicDel(const QString& FilePath);
    static bool FileDel(const QString& FilePath);
    static bool SysDelFiles(const QString& FilePath);
    static qint64 FolderSize(const QString& FolderStr);
    static qint64 FileSize(const QString& FileStr);
    static QVariantList GetFileTime(const QString& FilePath);
    static bool CheckFileType(const QString& FileName);
    static QVariantList PicSize(const QString& FilePath);
    static bool DrawPNG(const QString& FilePath, const QVariantList& PicSize, const QString& PngPath,
                        const QVariantList& PngSize, const QVariant& Place);

private:
    const Clock& m_clock;
    RandomSource& m_random;
};
