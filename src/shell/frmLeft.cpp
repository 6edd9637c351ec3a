#include "shell/frmLeft.h"

#include "ui/ClickableLabel.h"
#include "ui/Artwork.h"
#include "shell/ChildScreen.h"
#include "shell/ScreenHost.h"
#include "data/ServerAddress.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QStatusBar>

namespace {

struct Entry {
    int index;
    const char *caption;
    bool heading;
    int labelLeft, labelTop, iconLeft, iconTop;
    ScreenId screen;   // the screen an entry opens; none for a section heading
};

const Entry kEntries[] = {
    {0, "系统配置", true, 600, 1500, 180, 1500, {}},
    {18, "数据的导入与导出", false, 960, 1800, 600, 1740, ScreenId::DataInOut},
    {6, "专家管理", true, 600, 2070, 180, 2070, {}},
    {7, "专家列表", false, 960, 2370, 600, 2310, ScreenId::ExpertList},
    {8, "新建专家", false, 960, 2670, 600, 2610, ScreenId::NewExpert},
    {9, "专家高级检索", false, 960, 2970, 600, 2910, ScreenId::ExpertSearch},
    {12, "抽取专家", false, 960, 3270, 600, 3210, ScreenId::Draw},
    {13, "历史抽取专家记录", false, 960, 3570, 600, 3510, ScreenId::DrawHistory},
    {14, "项目列表", false, 960, 3870, 600, 3810, ScreenId::ProjectList},
};

const Entry *entryOf(int index)
{
    for (const Entry &e : kEntries)
        if (e.index == index)
            return &e;
    return nullptr;
}

void paintLabel(QLabel *label, bool selected)
{
    SetTextColor(label, selected ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, selected ? QColor(0, 0, 129) : Qt::white);
    label->setPalette(pal);
}

}   // namespace

frmLeft::frmLeft(AppState &state, ScreenHost &host, QWidget *parent) : QWidget(parent), m_state(state), m_host(host)
{
    setObjectName(QStringLiteral("frmLeft"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    Picture3 = new QLabel(this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    picLine = new QLabel(this);
    picLine->setObjectName(QStringLiteral("picLine"));

    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(11.25);
    // The fallback CJK font is taller than 宋体; its lines must still fit the
    // 300-twip rows of the panel.
    font.setPixelSize(14);
    for (int i = 0; i < kEntryCount; ++i) {
        auto *label = new ClickableLabel(this);
        label->setObjectName(ArrayName(QStringLiteral("lab1_0"), i));
        label->setFont(font);
        label->setAutoFillBackground(true);
        label->setGeometry(TwRect(0, 0, 720, 225));
        label->setCursor(Qt::PointingHandCursor);
        auto *icon = new ClickableLabel(this);
        icon->setObjectName(ArrayName(QStringLiteral("Image1"), i));
        icon->setCursor(Qt::PointingHandCursor);
        const Entry *e = entryOf(i);
        if (e) {
            label->setText(QString::fromUtf8(e->caption));
            label->move(Px(e->labelLeft), Px(e->labelTop));
            label->adjustSize();
            // Entries stand 300 twips apart: keep each label within its line.
            label->setFixedHeight(qMin(label->height(), Px(300) - 1));
            icon->setPixmap(e->heading ? Artwork::HeadingIcon() : Artwork::EntryIcon());
            // A picture has no caption of its own for assistive tools.
            icon->setAccessibleName(label->text());
            icon->setGeometry(e->heading ? TwRect(e->iconLeft, e->iconTop, 255, 195)
                                         : TwRect(e->iconLeft, e->iconTop, 195, 255));
        } else {
            label->hide();
            icon->hide();
        }
        paintLabel(label, false);
        connect(label, &ClickableLabel::clicked, this, Guarded([this, i] { entryClicked(i); }));
        connect(icon, &ClickableLabel::clicked, this, Guarded([this, i] { entryClicked(i); }));
        lab1_0[i] = label;
        Image1[i] = icon;
    }
    // The heading 系统配置 starts out selected.
    paintLabel(lab1_0[0], true);

    auto *picture1 = new ClickableLabel(this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setPixmap(Artwork::PictureButton(QStringLiteral("修改密码"), false));
    picture1->setGeometry(TwRect(600, 4200, 1260, 390));
    picture1->setCursor(Qt::PointingHandCursor);
    picture1->setToolTip(QStringLiteral("修改密码"));
    connect(picture1, &ClickableLabel::clicked, this, Guarded([this] { m_host.openChangePassword(); }));
    auto *picture2 = new ClickableLabel(this);
    picture2->setObjectName(QStringLiteral("Picture2"));
    picture2->setPixmap(Artwork::PictureButton(QStringLiteral("退出"), true));
    picture2->setGeometry(TwRect(600, 4740, 1260, 390));
    picture2->setCursor(Qt::PointingHandCursor);
    picture2->setToolTip(QStringLiteral("退出"));
    connect(picture2, &ClickableLabel::clicked, this, Guarded([this] { m_host.exitApplication(); }));
    picture1->setAccessibleName(QStringLiteral("修改密码"));
    picture2->setAccessibleName(QStringLiteral("退出"));

    // Tab goes down the panel as the entries stand, each icon before its
    // label, then to the two picture buttons.
    QWidget *previous = nullptr;
    auto chain = [&previous](QWidget *w) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    };
    for (const Entry &e : kEntries) {
        chain(Image1[e.index]);
        chain(lab1_0[e.index]);
    }
    chain(picture1);
    chain(picture2);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    auto panel = [this](const QString &name) {
        auto *l = new QLabel(StatusBar1);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        return l;
    };
    m_statusPanel = panel(QStringLiteral("StatusBar1Panel1"));
    m_statusPanel->setText(QStringLiteral("Kestrune"));
    // The panel is too narrow for two panels side by side: the source in use
    // (the data file's path, or the server and database) stands on a second
    // line, cut in the middle when it is too long.
    m_pathPanel = panel(QStringLiteral("StatusBar1Panel2"));
    m_dataFilePath = m_state.store.library().displayName();
    m_pathPanel->setToolTip(m_dataFilePath);
    m_pathPanel->setAccessibleName(m_dataFilePath);
}

void frmLeft::entryClicked(int index)
{
    for (ClickableLabel *label : lab1_0)
        paintLabel(label, false);
    if (index >= 0 && index < kEntryCount)
        paintLabel(lab1_0[index], true);
    m_selected = index;
    const Entry *e = entryOf(index);
    if (!e)
        return;
    if (e->heading)
        m_host.showDescription(index);
    else
        m_host.openScreen(e->screen);
}

void frmLeft::layoutDecorations() { layoutEdge(statusBarHeight()); }

void frmLeft::layoutForMainWindow()
{
    // The main window leaves 400 twips at the foot of the edge line.
    layoutEdge(Px(400));
}

int frmLeft::statusBarHeight() const { return 2 * m_statusPanel->sizeHint().height() + 3; }

void frmLeft::layoutEdge(int footPixels)
{
    const int statusHeight = statusBarHeight();
    StatusBar1->setGeometry(0, height() - statusHeight, width(), statusHeight);
    const int panelWidth = qMax(0, width() - 4);
    const int rowHeight = m_statusPanel->sizeHint().height();
    m_statusPanel->setGeometry(2, 1, panelWidth, rowHeight);
    m_pathPanel->setGeometry(2, 2 + rowHeight, panelWidth, rowHeight);
    const int textWidth = qMax(0, m_pathPanel->contentsRect().width() - 2 * m_pathPanel->margin() - 4);
    m_pathPanel->setText(m_pathPanel->fontMetrics().elidedText(m_dataFilePath, Qt::ElideMiddle, textWidth));
    const int lineLeft = width() - Px(50);
    // A panel too short for the line keeps the line's height as it was.
    const int lineHeight = height() - footPixels >= 0 ? height() - footPixels : picLine->height();
    picLine->setGeometry(lineLeft, 0, 3, lineHeight);
    picLine->setPixmap(Artwork::PanelEdge(qMax(1, lineHeight)));
    Picture3->setGeometry(0, 0, qMax(0, lineLeft), 60);
    Picture3->setPixmap(Artwork::PanelTop(qMax(1, lineLeft)));
}

void frmLeft::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutDecorations();
}
