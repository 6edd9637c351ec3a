#include "extraction/frmProject.h"
#include "ui/Guarded.h"

#include "data/DbError.h"
#include "data/DrawStore.h"
#include "lists/ListEngine.h"
#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

constexpr int kCaptionLeft = 120;
constexpr int kCaptionWidth = 1575;
constexpr int kBoxLeft = 1755;
constexpr int kBoxWidth = 4200;
constexpr int kFirstTop = 300;
constexpr int kRowStep = 450;
constexpr int kMaxText = 200;
constexpr int kMaxRemark = 5 * kMaxText;

}   // namespace

frmProject::frmProject(const Services &services, QWidget *parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmProject"));
    setWindowTitle(QStringLiteral("项目信息"));
    setModal(true);
    setFont(ScreenFont());
    setFixedSize(Px(6300), Px(4725));

    static const char *const captions[7] = {"项目名称：", "项目编号：", "招标人/委托单位：", "评审时间：", "评审地点：",
                                            "监督人：",   "备注："};
    for (int i = 0; i < 7; ++i) {
        auto *l = new QLabel(QString::fromUtf8(captions[i]), this);
        l->setObjectName(ArrayName(QStringLiteral("labDis"), i));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setGeometry(TwRect(kCaptionLeft, kFirstTop + kRowStep * i, kCaptionWidth, 315));
        labDis[i] = l;
    }
    // The name is required: a red marker before its caption, as on the draw screen.
    auto *star = new QLabel(QStringLiteral("*"), this);
    star->setObjectName(QStringLiteral("labRequired"));
    // Just before the caption's text, which stands against its box.
    const int captionText = Tw(labDis[0]->fontMetrics().horizontalAdvance(labDis[0]->text()));
    star->setGeometry(TwRect(kCaptionLeft + kCaptionWidth - captionText - 150, kFirstTop, 120, 315));
    SetTextColor(star, kWarningRed);

    auto box = [this](const char *name, int row) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        // No length limit on the box itself: a longer paste would be cut
        // without a word. The length is checked on 确定 instead.
        e->setGeometry(TwRect(kBoxLeft, kFirstTop + kRowStep * row - 15, kBoxWidth, 315));
        return e;
    };
    txtName = box("txtName", 0);
    txtName->setProperty("required", true);
    txtCode = box("txtCode", 1);
    txtClient = box("txtClient", 2);
    txtReviewTime = box("txtReviewTime", 3);
    txtReviewTime->setPlaceholderText(QStringLiteral("例如：2026-12-10 09:30"));
    txtReviewPlace = box("txtReviewPlace", 4);
    txtSupervisor = box("txtSupervisor", 5);
    txtRemark = new QPlainTextEdit(this);
    txtRemark->setObjectName(QStringLiteral("txtRemark"));
    txtRemark->setGeometry(TwRect(kBoxLeft, kFirstTop + kRowStep * 6 - 15, kBoxWidth, 900));

    cmdOK = new QPushButton(QStringLiteral("确 定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwRect(1800, 4080, 1095, 375));
    cmdOK->setAutoDefault(false);
    cmdCancel = new QPushButton(QStringLiteral("取 消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(TwRect(3300, 4080, 1095, 375));
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmProject::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
    txtName->setFocus();
}

ProjectFacts frmProject::facts() const
{
    ProjectFacts f;
    f.name = txtName->text().trimmed();
    f.code = txtCode->text().trimmed();
    f.client = txtClient->text().trimmed();
    f.reviewTime = txtReviewTime->text().trimmed();
    f.reviewPlace = txtReviewPlace->text().trimmed();
    f.supervisor = txtSupervisor->text().trimmed();
    f.remark = txtRemark->toPlainText().trimmed();
    return f;
}

void frmProject::cmdOK_Click()
{
    if (txtName->text().trimmed().isEmpty()) {
        m_services.messages->information(QStringLiteral("请输入项目名称！"));
        txtName->setFocus();
        return;
    }
    // What is too long is said, never cut: the record keeps what was typed.
    QWidget *const boxes[7] = {txtName, txtCode, txtClient, txtReviewTime, txtReviewPlace, txtSupervisor, txtRemark};
    const ProjectFacts f = facts();
    const QString values[7] = {f.name, f.code, f.client, f.reviewTime, f.reviewPlace, f.supervisor, f.remark};
    for (int i = 0; i < 7; ++i) {
        const int limit = i == 6 ? kMaxRemark : kMaxText;
        if (values[i].size() > limit) {
            QString caption = labDis[i]->text();
            caption.chop(1);
            m_services.messages->information(QStringLiteral("%1最多%2个字，现在有%3个字，请删减后再确定。")
                                                 .arg(caption)
                                                 .arg(limit)
                                                 .arg(values[i].size()));
            boxes[i]->setFocus();
            return;
        }
    }
    accept();
}

Result<DrawStoreResult> StoreCurrentDraw(DrawWorkspace &draw, DataStore &store, const Session &session,
                                         const Services &services, QWidget *owner)
{
    // A list whose every row was deleted is no project, whether 完成 or the
    // question at exit asked for the store.
    if (draw.DrawList.isEmpty()) {
        services.messages->information(QStringLiteral("请进行专家抽取。"));
        return DrawStoreResult::Empty;
    }
    ProjectFacts facts;
    if (!draw.DrawRecord.isStored()) {
        frmProject dialog(services, owner);
        if (!services.dialogs->run(dialog))
            return DrawStoreResult::Cancelled;
        facts = dialog.facts();
    } else if (UnstoredRows(draw.DrawList, draw.DrawRecord).isEmpty()) {
        return DrawStoreResult::NothingNew;
    }
    const Outcome stored = CatchDbError([&] {
        StoreDrawProject(store, draw.DrawList, draw.DrawRecord, facts, CurrentUserName(session, store.UserTable),
                         services.clock->now(), session.CurrentUserId);
    });
    if (!stored)
        return stored.failure();
    draw.DrawUnsaved = false;
    return DrawStoreResult::Stored;
}
