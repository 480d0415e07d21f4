#include "SysSettings.h"

#include "AppTitle.h"
#include "FailurePolicy.h"
#include "PopSettingKeys.h"
#include "Seams.h"
#include "SettingsTable.h"
#include "SysPublicCls.h"
#include "WindowFit.h"
#include "WindowMetrics.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <cmath>

using WindowMetrics::twips;

namespace {
const QString& kTable = PopSettingKeys::kTable;

QFont songTi(bool bold = false) {
    QFont f = WindowMetrics::songTi();
    f.setBold(bold);
    return f;
}

QString boxText(const QCheckBox* box) {
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

QString minutesText(const QComboBox* list) {
    // A list without selection (the stored count was out of range) saves one minute.
    const QVariant data = list->currentData();
    return data.isValid() ? QString::number(data.toInt()) : QStringLiteral("1");
}
} // namespace

SysSettings::SysSettings(SysSettingsDeps deps, QWidget* parent) : QDialog(parent), m_deps(deps) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("系统设置"));
    setFont(songTi());
    buildWidgets();
}

QComboBox* SysSettings::minuteList(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    for (int i = 0; i < 100; ++i)
        list->addItem(QString::number(i + 1) + QStringLiteral("分钟"), i + 1);
    list->setCurrentIndex(-1);
    return list;
}

void SysSettings::buildWidgets() {
    WindowMetrics::fixCentred(this, 7950, 6270);

    auto* frame1 = new QGroupBox(QStringLiteral("系统项设置："), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(twips(240, 240, 7455, 1215));
    m_autoRunBox = new QCheckBox(QStringLiteral("开机自启动，并自动最小化到系统托盘。"), frame1);
    m_autoRunBox->setObjectName(QStringLiteral("KestavelSoft_AutoRun"));
    m_autoRunBox->setGeometry(twips(340, 480, 3735, 255));

    auto* frame2 = new QGroupBox(QStringLiteral("消息设置："), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    frame2->setGeometry(twips(240, 1680, 7455, 3495));
    m_peaceful = new QCheckBox(QStringLiteral("所有消息均静默接收到消息盒子中。"), frame2);
    m_peaceful->setObjectName(QStringLiteral("Peaceful"));
    m_peaceful->setGeometry(twips(350, 420, 5775, 255));

    auto* frame3 = new QWidget(frame2);
    frame3->setObjectName(QStringLiteral("Frame3"));
    frame3->setGeometry(twips(100, 600, 7230, 2775));

    // One notice kind per row: subscribe box, minute list, "后，", close box, in twips.
    struct RowLayout {
        Row* row;
        QString suffix;
        const char16_t* caption;
        QRect show, minutes, later, autoClose;
        bool fixedOn; // subscribed always; the box only shows it
    };
    const RowLayout layouts[] = {
        {&m_brightsprout, PopSettingKeys::kBrightsprout, u"订阅《Brightsprout培养计划》通知，新消息显示",
         twips(240, 360, 4095, 255), twips(4200, 315, 1335, 300), twips(5640, 390, 375, 255),
         twips(5995, 360, 1200, 255), false},
        {&m_adv, PopSettingKeys::kAdvert, u"订阅系统广告，新消息显示", twips(240, 960, 2535, 255),
         twips(2745, 930, 1335, 300), twips(4200, 1005, 375, 255), twips(4560, 960, 1215, 255), false},
        {&m_newList, PopSettingKeys::kNewList, u"订阅系统最新信息，新消息显示", twips(240, 1560, 2895, 255),
         twips(3120, 1530, 1335, 300), twips(4560, 1605, 375, 255), twips(4920, 1560, 1215, 255), true},
        {&m_notice, PopSettingKeys::kNotice, u"订阅系统公告，新消息显示", twips(240, 2160, 2655, 255),
         twips(2760, 2115, 1335, 300), twips(4200, 2160, 375, 255), twips(4560, 2145, 1215, 255), true},
    };
    const auto box = [frame3](const QString& name, const QString& text, const QRect& geometry) {
        auto* b = new QCheckBox(text, frame3);
        b->setObjectName(name);
        b->setGeometry(geometry);
        return b;
    };
    const int separators[] = {720, 1320, 1920};
    for (int y : separators) {
        auto* l = new QFrame(frame3);
        l->setFrameShape(QFrame::HLine);
        l->setFrameShadow(QFrame::Sunken);
        l->setGeometry(twips(120, y, 7080, 30));
    }
    for (const RowLayout& layout : layouts) {
        const QString& suffix = layout.suffix;
        Row& row = *layout.row;
        row.suffix = suffix;
        const QString caption = QString::fromUtf16(layout.caption);
        // "订阅系统广告，新消息显示" -> "订阅系统广告：…": what the row's controls are about.
        const QString subject = caption.section(QStringLiteral("，"), 0, 0) + QStringLiteral("：");
        QCheckBox* show = box(suffix, caption, layout.show);
        if (layout.fixedOn) {
            show->setChecked(true);
            show->setEnabled(false);
        } else {
            row.show = show;
        }
        row.minutes = minuteList(frame3, suffix + QStringLiteral("AutoCloseTime"), layout.minutes);
        row.minutes->setAccessibleName(subject + QStringLiteral("新消息显示时间"));
        auto* later = new QLabel(QStringLiteral("后，"), frame3);
        later->setGeometry(layout.later);
        // Screen readers on Linux name a list by the label that labels it.
        later->setBuddy(row.minutes);
        later->setAccessibleName(row.minutes->accessibleName());
        row.autoClose = box(suffix + QStringLiteral("AutoClose"), QStringLiteral("自动关闭。"), layout.autoClose);
        row.autoClose->setAccessibleName(subject + QStringLiteral("显示后自动关闭"));
    }

    auto* saveButton = new QPushButton(QStringLiteral("保存设置"), this);
    saveButton->setObjectName(QStringLiteral("CommdSave"));
    saveButton->setGeometry(twips(5640, 5400, 1935, 615));
    saveButton->setAutoDefault(false);
    connect(saveButton, &QPushButton::clicked, this, &SysSettings::save);

    // Every control keeps the designed face whatever a style sheet sets for the
    // containers between it and the window.
    for (QWidget* w : findChildren<QWidget*>())
        w->setFont(songTi(w == m_peaceful));
    WindowFit::keepFitted(this);
}

void SysSettings::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // The dialog has no cancel button: Escape must not drop the user's edits.
        event->accept();
        return;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        // Enter presses the button that has the focus; elsewhere it saves nothing.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

std::optional<bool> SysSettings::checkValue(const QVariant& stored) {
    bool ok = false;
    const double value = stored.toString().trimmed().toDouble(&ok);
    if (!ok || (value != 0 && value != 1))
        return std::nullopt;
    return value == 1;
}

int SysSettings::minuteIndex(const QVariant& stored) {
    bool ok = false;
    const double value = stored.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return -1;
    const double whole = std::nearbyint(value);
    return whole >= 1 && whole <= 100 ? int(whole) - 1 : -1;
}

void SysSettings::loadRow(const Row& row) {
    const auto loadBox = [this](QCheckBox* box, const QString& key) {
        resumeNext(lcWindow, "load a pop-up switch", [&] {
            const auto value = checkValue(SysPublicCls::BitValue(m_deps.settings.ReadSettingOrBlank(kTable, key)));
            if (value)
                box->setChecked(*value);
        });
    };
    if (row.show != nullptr)
        loadBox(row.show, PopSettingKeys::show(row.suffix));
    loadBox(row.autoClose, PopSettingKeys::autoClose(row.suffix));
    resumeNext(lcWindow, "load a close time", [&] {
        const QVariant stored = SysPublicCls::BitTrueValue(
            m_deps.settings.ReadSettingOrBlank(kTable, PopSettingKeys::autoCloseTime(row.suffix)));
        row.minutes->setCurrentIndex(minuteIndex(stored));
    });
}

void SysSettings::load() {
    show();
    resumeNext(lcWindow, "read start with the desktop", [this] {
        if (m_deps.autoRun.IsAutoRunSet())
            m_autoRunBox->setChecked(true);
    });
    resumeNext(lcWindow, "read do-not-disturb", [this] {
        const QString stored = m_deps.settings.ReadSetting(kTable, PopSettingKeys::kAllQuiet);
        if (stored != QLatin1String("NoFieldData")) {
            if (const auto value = checkValue(stored))
                m_peaceful->setChecked(*value);
        }
    });
    loadRow(m_brightsprout);
    loadRow(m_adv);
    loadRow(m_notice);
    loadRow(m_newList);
}

void SysSettings::save() {
    resumeNext(lcWindow, "save the settings", [this] {
        QStringList failed;
        bool autoRunOk = true;
        resumeNext(lcWindow, "set start with the desktop", [&] {
            autoRunOk = false;
            const bool isSet = m_deps.autoRun.IsAutoRunSet();
            if (m_autoRunBox->isChecked() && !isSet)
                autoRunOk = m_deps.autoRun.SetAutoRun();
            else if (!m_autoRunBox->isChecked() && isSet)
                autoRunOk = m_deps.autoRun.RemoveAutoRun();
            else
                autoRunOk = true;
        });
        if (!autoRunOk)
            failed << QStringLiteral("开机自启动");

        // A kind whose row has no show box is always subscribed.
        QList<QPair<QString, QString>> writes = {{PopSettingKeys::kAllQuiet, boxText(m_peaceful)}};
        for (const Row* row : {&m_adv, &m_brightsprout, &m_newList, &m_notice}) {
            writes.append({PopSettingKeys::show(row->suffix), row->show ? boxText(row->show) : QStringLiteral("1")});
            writes.append({PopSettingKeys::autoClose(row->suffix), boxText(row->autoClose)});
            writes.append({PopSettingKeys::autoCloseTime(row->suffix), minutesText(row->minutes)});
        }
        int failedWrites = 0;
        for (const auto& write : writes) {
            bool stored = false;
            resumeNext(lcWindow, "write a setting",
                       [&] { stored = m_deps.settings.WriteSetting(kTable, write.first, write.second); });
            if (!stored)
                ++failedWrites;
        }
        if (failedWrites > 0)
            failed << QStringLiteral("消息设置（%1项）").arg(failedWrites);

        if (failed.isEmpty()) {
            m_deps.prompt.show(QStringLiteral("恭喜您，设置保存成功！"), kAppTitle, PromptIcon::Information,
                               PromptButtons::Ok);
        } else {
            m_deps.prompt.show(QStringLiteral("设置未能全部保存：") + failed.join(QStringLiteral("、")) +
                                   QStringLiteral("。请检查后重新保存。"),
                               kAppTitle, PromptIcon::Critical, PromptButtons::Ok);
        }
    });
}
