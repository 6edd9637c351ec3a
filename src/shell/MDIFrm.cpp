#include "shell/MDIFrm.h"

#include "data/DbError.h"
#include "data/Projects.h"
#include "ui/Artwork.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"
#include "shell/frmEndSaveDB.h"
#include "shell/frmLeft.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>

namespace {
constexpr int kBannerHeight = 1900;   // twips
constexpr int kRightMargin = 180;     // twips
constexpr int kPanelHeightAllowance = 750;
} // namespace

MDIFrm::MDIFrm(AppState &state, ScreenRegistry registry, QWidget *parent)
    : QMainWindow(parent), ScreenHost(state, std::move(registry))
{
    setObjectName(QStringLiteral("MDIFrm"));
    setWindowIcon(Artwork::AppIcon(32));
    endProgram = [] { QCoreApplication::exit(0); };

    auto *menuSet = menuBar()->addMenu(QStringLiteral("设置"));
    menuSet->setObjectName(QStringLiteral("menuSet"));
    QAction *menuChgPwd = menuSet->addAction(QStringLiteral("修改密码"));
    menuChgPwd->setObjectName(QStringLiteral("menuChgPwd"));
    QAction *a11 = menuSet->addSeparator();
    a11->setObjectName(QStringLiteral("a11"));
    QAction *menuExit = menuSet->addAction(QStringLiteral("退出"));
    menuExit->setObjectName(QStringLiteral("menuExit"));
    auto *menuH_A = menuBar()->addMenu(QStringLiteral("帮助"));
    menuH_A->setObjectName(QStringLiteral("menuH_A"));
    QAction *menuAbout = menuH_A->addAction(QStringLiteral("关于"));
    menuAbout->setObjectName(QStringLiteral("menuAbout"));
    connect(menuChgPwd, &QAction::triggered, this, [this] { openChangePassword(); });
    connect(menuExit, &QAction::triggered, this, Guarded([this] { ExitApplication(); }));
    connect(menuAbout, &QAction::triggered, this, [this] {
        if (showAbout)
            showAbout(this);
    });

    m_area = new QWidget(this);
    m_area->setObjectName(QStringLiteral("screenArea"));
    m_area->setAutoFillBackground(true);
    QPalette pal = m_area->palette();
    pal.setColor(QPalette::Window, QColor(171, 171, 171));
    m_area->setPalette(pal);
    setCentralWidget(m_area);

    m_left = new frmLeft(state, *this, m_area);
    m_logo = new QWidget(m_area);
    m_logo->setObjectName(QStringLiteral("frmLogo"));
    m_logo->setAutoFillBackground(true);
    QPalette logoPal = m_logo->palette();
    logoPal.setColor(QPalette::Window, QColor(225, 236, 250));
    m_logo->setPalette(logoPal);
    m_picInterface = new QLabel(m_logo);
    m_picInterface->setObjectName(QStringLiteral("picInterface"));
    m_picInterface->setPixmap(Artwork::Banner(817, 115));
    m_picInterface->setGeometry(0, 0, 817, 115);
    m_picInterface->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    resize(1280, 900);
}

MDIFrm::~MDIFrm()
{
    delete m_endSave;
}

void MDIFrm::start()
{
    InitRoleNames(m_state);
    InitPathTitles(m_state);
    setWindowTitle(QStringLiteral("Kestrune"));
    layoutWindow();
    showDescription(0);
    m_state.AutoBackupOn = true;
    m_state.SearchReturn = false;
    m_state.DrawUnsaved = false;
    LoadExperts(m_state);
    LoadTitleTypes(m_state);
    LoadSelections(m_state);
    LoadDegrees(m_state);
    LoadProjects(m_state);
}

QSize MDIFrm::outerSize() const
{
    const QRect frame = frameGeometry();
    return frame.isValid() ? frame.size() : size();
}

void MDIFrm::layoutWindow()
{
    const int W = Tw(outerSize().width());
    const int H = Tw(outerSize().height());
    // Navigation panel: a fifth of the width, the height less the frame.
    QRect panel = m_left->geometry();
    panel.moveTo(0, 0);
    panel.setWidth(Px(W / 5));
    if (H - kPanelHeightAllowance >= 0)
        panel.setHeight(Px(H - kPanelHeightAllowance));
    m_left->setGeometry(panel);
    m_left->layoutForMainWindow();
    const int L = Tw(m_left->width());
    // Banner right of the panel.
    QRect logo = m_logo->geometry();
    logo.moveTo(Px(L), 0);
    if (W - L - kRightMargin >= 0)
        logo.setWidth(Px(W - L - kRightMargin));
    logo.setHeight(Px(kBannerHeight));
    m_logo->setGeometry(logo);
    placeAllScreens();
}

PlacementMetrics MDIFrm::metrics() const
{
    return {Tw(outerSize().width()), Tw(m_left->width()), Tw(m_left->height()), Tw(m_logo->height())};
}

void MDIFrm::setBannerWidth(int twips)
{
    m_picInterface->setFixedWidth(Px(twips));
}

void MDIFrm::openChangePassword()
{
    if (showChangePassword)
        showChangePassword(this);
}

void MDIFrm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutWindow();
}

void MDIFrm::closeEvent(QCloseEvent *event)
{
    // Closing the window is one more way out; it is never cancelled.
    event->accept();
    if (!m_exitStarted)
        RunGuarded([this] { ExitApplication(); });
}

void MDIFrm::ExitApplication()
{
    if (m_exitStarted)
        return;
    m_exitStarted = true;
    if (m_state.DrawUnsaved) {
        // Cancelling the store comes back to the question: the draw is only
        // dropped on an explicit No.
        while (m_state.messages().question(QStringLiteral("您有未保存的抽取记录,是否需要保存？"))) {
            try {
                if (!storeDraw || storeDraw())
                    break;
            } catch (const DbError &e) {
                // The draw could not be stored and the file is unchanged; say
                // so, then still make the backup.
                m_state.messages().critical(e.message());
                break;
            }
        }
        m_state.DrawUnsaved = false;
    }
    closeAllScreens();
    hide();
    m_endSave = new frmEndSaveDB(m_state, [this] {
        if (endProgram)
            endProgram();
    });
    m_endSave->setAttribute(Qt::WA_DeleteOnClose, false);
    m_endSave->start();
}
