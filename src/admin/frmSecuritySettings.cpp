#include "admin/frmSecuritySettings.h"

#include "data/DbError.h"
#include "data/LibrarySettings.h"
#include "data/Tables.h"
#include "ui/Controls.h"
#include "ui/Guarded.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
// A day: longer than any working session, so a larger number means "never"
// and would be better said with 0.
constexpr int kMostIdleMinutes = 24 * 60;
}   // namespace

frmSecuritySettings::frmSecuritySettings(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmSecuritySettings"));
    setWindowTitle(QStringLiteral("安全设置"));
    auto *layout = new QVBoxLayout(this);
    chkMask = new QCheckBox(QStringLiteral("隐藏身份证号和电话号码中间几位"), this);
    chkMask->setObjectName(QStringLiteral("chkMask"));
    layout->addWidget(chkMask);
    auto *idleRow = new QHBoxLayout;
    labIdle = new QLabel(QStringLiteral("无操作锁定时间（分钟，0为不锁定）"), this);
    labIdle->setObjectName(QStringLiteral("labIdle"));
    labIdle->setTextFormat(Qt::PlainText);
    txtIdle = new QSpinBox(this);
    txtIdle->setObjectName(QStringLiteral("txtIdle"));
    txtIdle->setRange(0, kMostIdleMinutes);
    txtIdle->setAccessibleName(labIdle->text());
    labIdle->setBuddy(txtIdle);
    idleRow->addWidget(labIdle);
    idleRow->addWidget(txtIdle);
    layout->addLayout(idleRow);
    chkSupervised = new QCheckBox(QStringLiteral("监督抽取"), this);
    chkSupervised->setObjectName(QStringLiteral("chkSupervised"));
    layout->addWidget(chkSupervised);
    const OkCancelButtons okCancel = AddOkCancelRow(this, layout);
    cmdOK = okCancel.ok;
    cmdCancel = okCancel.cancel;

    // What the library holds now; a value that cannot be read shows the default.
    const auto read = [&](const QString &name, const QString &fallback) {
        const Result<QString> value = ReadLibrarySetting(m_state.store, name, fallback);
        return value ? value.value() : fallback;
    };
    chkMask->setChecked(SettingIsOn(read(LibrarySetting::MaskPersonalData, QStringLiteral("0"))));
    txtIdle->setValue(
        SettingMinutes(read(LibrarySetting::IdleLockMinutes, QString()), LibrarySetting::kDefaultIdleLockMinutes));
    chkSupervised->setChecked(SettingIsOn(read(LibrarySetting::SupervisedDraw, QStringLiteral("0"))));

    connect(cmdOK, &QPushButton::clicked, this, Guarded([this] { cmdOK_Click(); }));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
}

void frmSecuritySettings::cmdOK_Click()
{
    const auto flag = [](const QCheckBox *box) { return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); };
    const Outcome written = CatchDbError([&] {
        Connection &conn = LibraryConnection(m_state.store);
        Transaction tx(conn);
        WriteLibrarySetting(conn, LibrarySetting::MaskPersonalData, flag(chkMask));
        WriteLibrarySetting(conn, LibrarySetting::IdleLockMinutes, QString::number(txtIdle->value()));
        WriteLibrarySetting(conn, LibrarySetting::SupervisedDraw, flag(chkSupervised));
        tx.commit();
    });
    if (!written) {
        m_state.messages().critical(QStringLiteral("保存安全设置失败，设置没有改变：\n") + written.message(), kAppTitle,
                                    written.detail());
        return;
    }
    accept();
}
