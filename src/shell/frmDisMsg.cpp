#include "shell/frmDisMsg.h"

#include "ui/Artwork.h"
#include "shell/ScreenHost.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QStatusBar>

namespace {

struct SectionRow {
    const char *subtitle;
    const char *text;
};

struct SectionContent {
    const char *title;
    std::vector<SectionRow> rows;
};

const SectionContent &contentOf(frmDisMsg::Section section)
{
    static const SectionContent system{
        "系统配置", {{"数据的导入与导出", "对当前数据库中的数据进行导入（添加）与导出（备份）的操作"}}};
    static const SectionContent experts{"专家管理",
                                        {{"专家列表", "显示出本专家库系统内的所有专家的列表"},
                                         {"新建专家", "在专家库中新建一个专家并记录其所有信息"},
                                         {"专家高级检索", "帮助用户快速地检索到所感兴趣的专家信息"},
                                         {"抽取专家", "从专家库中以多种方式抽取专家信息并记录在案"},
                                         {"历史抽取专家记录", "检索并显示以往抽取过的专家信息的记录"},
                                         {"项目列表", "查看以往的抽取项目及其抽取过程、出席情况与验证结果"}}};
    return section == frmDisMsg::SystemSection ? system : experts;
}

}   // namespace

frmDisMsg::frmDisMsg(AppState &state, ScreenNavigator &nav, QWidget *parent) : ChildScreen(state, nav, kForm, parent)
{
    const QFont titleFont = [] {
        QFont f(QStringLiteral("新宋体"), 14);
        f.setPointSizeF(14.25);
        f.setBold(true);
        return f;
    }();
    QFont rowFont(QStringLiteral("新宋体"));
    rowFont.setPointSizeF(11.25);
    QFont subFont = rowFont;
    subFont.setBold(true);

    labTitle = addLabel(QStringLiteral("labTitle"), QString(), 1020, 900, 3195, 375);
    labTitle->setFont(titleFont);
    for (int i = 0; i < 7; ++i) {
        const int top = 1425 + 825 * i;
        labTu[i] = addLabel(ArrayName(QStringLiteral("labTu"), i), QString(), 975, top, 300, 300);
        labTu[i]->setFont(rowFont);
        SetTextColor(labTu[i], qRgb(0, 0, 255));
        labT_Sub[i] = addLabel(ArrayName(QStringLiteral("labT_Sub"), i), QString(), 1320, top, 3315, 300);
        labT_Sub[i]->setFont(subFont);
        labT_Text[i] = addLabel(ArrayName(QStringLiteral("labT_Text"), i), QString(), 1320, 1725 + 825 * i,
                                i < 2 ? 8610 : 5835, 420);
        labT_Text[i]->setFont(rowFont);
        labT_Text[i]->setWordWrap(true);
        labT_Text[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    pic1 = new QLabel(this);
    pic1->setObjectName(QStringLiteral("pic1"));
    pic1->setPixmap(Artwork::CornerPicture());
    pic1->resize(pic1->pixmap().size());
    pic1->lower();
}

void frmDisMsg::onLoad() { ShowSection(SystemSection); }

void frmDisMsg::onActivate(const ScreenArgs &) { placeCornerPicture(); }

void frmDisMsg::resizeEvent(QResizeEvent *event)
{
    ChildScreen::resizeEvent(event);
    placeCornerPicture();
}

void frmDisMsg::placeCornerPicture()
{
    pic1->move(width() - pic1->width(), height() - pic1->height() - StatusBar1->sizeHint().height());
}

void frmDisMsg::ShowSection(Section section)
{
    labTitle->clear();
    for (int i = 0; i < 7; ++i) {
        labTu[i]->clear();
        labT_Sub[i]->clear();
        labT_Text[i]->clear();
    }
    const SectionContent &content = contentOf(section);
    labTitle->setText(QString::fromUtf8(content.title));
    for (size_t i = 0; i < content.rows.size(); ++i) {
        labTu[i]->setText(QStringLiteral("●"));
        labT_Sub[i]->setText(QString::fromUtf8(content.rows[i].subtitle));
        labT_Text[i]->setText(QString::fromUtf8(content.rows[i].text));
    }
}
