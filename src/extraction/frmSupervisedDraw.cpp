#include "extraction/frmSupervisedDraw.h"
#include "ui/Guarded.h"

#include "data/DrawRecord.h"
#include "data/LibrarySettings.h"
#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

bool SupervisedDrawOn(const AppState &state)
{
    const Result<QString> value = ReadLibrarySetting(state.store, LibrarySetting::SupervisedDraw);
    return value.ok() && SettingIsOn(value.value());
}

frmSupervisedDraw::frmSupervisedDraw(AppState &state, const QStringList &candidateIds, qsizetype requested,
                                     QWidget *parent)
    : QDialog(parent), m_state(state), m_candidateIds(candidateIds)
{
    setObjectName(QStringLiteral("frmSupervisedDraw"));
    setWindowTitle(QStringLiteral("监督抽取"));
    setModal(true);
    setFont(ScreenFont());
    setFixedSize(Px(9000), Px(5100));

    // The program commits before anyone can know the supervisor's number.
    m_programBytes = m_state.services.random->nextBytes(Supervised::kProgramBytes);
    m_commitment = Commitment(m_programBytes);
    m_committedAt = m_state.services.clock->now();

    auto label = [this](const char *name, const QString &text, const QRect &r) {
        auto *l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        l->setText(text);
        l->setGeometry(r);
        l->setWordWrap(true);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    auto box = [this](const char *name, const QRect &r) {
        auto *b = new QLineEdit(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(r);
        return b;
    };

    labCandidates = label("labCandidates",
                          QStringLiteral("候选专家：%1人，抽取%2人\n候选名单SHA-256：%3")
                              .arg(m_candidateIds.size())
                              .arg(requested)
                              .arg(CandidateHash(m_candidateIds)),
                          TwRect(240, 200, 8520, 780));
    labCommitment = label("labCommitment",
                          QStringLiteral("程序随机数的承诺值（SHA-256）：%1\n承诺时间：%2")
                              .arg(m_commitment, m_committedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                          TwRect(240, 1060, 8520, 780));
    label("labNumber", QStringLiteral("监督人号码（至少6位数字）："), TwRect(240, 2040, 3600, 255));
    txtNumber = box("txtNumber", TwRect(3900, 2000, 3000, 315));
    label("labNumberAgain", QStringLiteral("再次输入监督人号码："), TwRect(240, 2520, 3600, 255));
    txtNumberAgain = box("txtNumberAgain", TwRect(3900, 2480, 3000, 315));
    label("labPublic", QStringLiteral("公开号码（可选，如某日开奖号码）："), TwRect(240, 3000, 3600, 255));
    txtPublic = box("txtPublic", TwRect(3900, 2960, 4860, 315));
    label("labNote",
          QStringLiteral(
              "请先记下承诺值，再由监督人输入号码。按“确定”后公布程序随机数，并按密钥排定全部候选专家的顺序。"),
          TwRect(240, 3440, 8520, 600));

    cmdOK = new QPushButton(QStringLiteral("确 定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwRect(2700, 4260, 1095, 435));
    cmdOK->setAutoDefault(false);
    cmdCancel = new QPushButton(QStringLiteral("取 消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(TwRect(5100, 4260, 1095, 435));
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmSupervisedDraw::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
}

void frmSupervisedDraw::cmdOK_Click()
{
    const QString problem = SupervisorNumberProblem(txtNumber->text(), txtNumberAgain->text());
    if (!problem.isEmpty()) {
        m_state.messages().information(problem);
        txtNumber->setFocus();
        return;
    }
    const QString publicProblem = PublicNumberProblem(txtPublic->text());
    if (!publicProblem.isEmpty()) {
        m_state.messages().information(publicProblem);
        txtPublic->setFocus();
        return;
    }
    m_seed = DeriveSupervised(m_candidateIds, m_programBytes, txtNumber->text().trimmed(), txtPublic->text().trimmed(),
                              m_committedAt);
    accept();
}
