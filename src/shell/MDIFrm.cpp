#include "shell/MDIFrm.h"
#include "shell/UnsavedDraw.h"

#include "data/DrawStore.h"
#include "data/Projects.h"
#include "ui/Artwork.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"
#include "shell/IdleLock.h"
#include "shell/frmEndSaveDB.h"
#include "shell/frmLeft.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>

namespace {
constexpr int kBannerHeight = 1900;   // twips
constexpr int kRightMargin = 180;     // twips
constexpr int kPanelHeightAllowance = 750;
}   // namespace

MDIFrm::MDIFrm(AppState &state, ScreenRegistry registry, QWidget *parent)
    : QMainWindow(parent), ScreenHost(state, std::move(registry))
{
    setObjectName(QStringLiteral("MDIFrm"));
    setWindowIcon(Artwork::AppIcon(32));
    endProgram = [] { QCoreApplication::exit(0); };

    auto *menuSet = menuBar()->addMenu(QStringLiteral("设置"));
    menuSet->setObjectName(QStringLiteral("menuSet"));
    m_menuUserRights = menuSet->addAction(QStringLiteral("用户权限设置"));
    m_menuUserRights->setObjectName(QStringLiteral("menuUserRights"));
    m_menuUserRights->setVisible(false);   // until start() knows the user's role
    m_menuDbPwd = menuSet->addAction(QStringLiteral("数据库密码"));
    m_menuDbPwd->setObjectName(QStringLiteral("menuDbPwd"));
    m_menuDbPwd->setVisible(false);
    m_menuSecurity = menuSet->addAction(QStringLiteral("安全设置"));
    m_menuSecurity->setObjectName(QStringLiteral("menuSecurity"));
    m_menuSecurity->setVisible(false);
    m_menuDrawRules = menuSet->addAction(QStringLiteral("抽取规则"));
    m_menuDrawRules->setObjectName(QStringLiteral("menuDrawRules"));
    m_menuDrawRules->setVisible(false);
    m_menuAuditLog = menuSet->addAction(QStringLiteral("操作日志"));
    m_menuAuditLog->setObjectName(QStringLiteral("menuAuditLog"));
    m_menuAuditLog->setVisible(false);
    m_menuLogSeal = menuSet->addAction(QStringLiteral("日志封存单"));
    m_menuLogSeal->setObjectName(QStringLiteral("menuLogSeal"));
    m_menuLogSeal->setVisible(false);
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
    connect(m_menuUserRights, &QAction::triggered, this, Guarded([this] {
                if (showUserRights && m_state.session.isAdministrator())
                    showUserRights();
            }));
    connect(m_menuDbPwd, &QAction::triggered, this, Guarded([this] {
                if (showDbPassword && m_state.session.isAdministrator())
                    showDbPassword(this);
            }));
    connect(m_menuSecurity, &QAction::triggered, this, Guarded([this] {
                if (showSecuritySettings && m_state.session.isAdministrator())
                    showSecuritySettings(this);
            }));
    connect(m_menuDrawRules, &QAction::triggered, this, Guarded([this] {
                if (showDrawRules && m_state.session.isAdministrator())
                    showDrawRules(this);
            }));
    connect(m_menuAuditLog, &QAction::triggered, this, Guarded([this] {
                if (showAuditLog && m_state.session.isAdministrator())
                    showAuditLog();
            }));
    connect(m_menuLogSeal, &QAction::triggered, this, Guarded([this] {
                if (showLogSeal && m_state.session.isAdministrator())
                    showLogSeal(this);
            }));
    connect(menuChgPwd, &QAction::triggered, this, Guarded([this] { openChangePassword(); }));
    connect(menuExit, &QAction::triggered, this, Guarded([this] { ExitApplication(); }));
    connect(menuAbout, &QAction::triggered, this, Guarded([this] {
                if (showAbout)
                    showAbout(this);
            }));

    // The screen area scrolls when the window is smaller than what it shows.
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("screenScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_area = new QWidget;
    m_area->setObjectName(QStringLiteral("screenArea"));
    m_area->setAutoFillBackground(true);
    QPalette pal = m_area->palette();
    pal.setColor(QPalette::Window, QColor(171, 171, 171));
    m_area->setPalette(pal);
    m_scroll->viewport()->setPalette(pal);
    m_scroll->setWidget(m_area);
    setCentralWidget(m_scroll);

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

    // 1280 × 900, or the screen's room when it has less (a small display,
    // or a scale factor that leaves fewer logical pixels): the screen area
    // then scrolls.
    QSize initial(1280, 900);
    if (const QScreen *display = QGuiApplication::primaryScreen())
        initial = initial.boundedTo(display->availableGeometry().size());
    resize(initial);
}

MDIFrm::~MDIFrm() { delete m_endSave; }

void MDIFrm::start()
{
    InitRoleNames(m_state.session);
    InitPathTitles(m_state.nav);
    setWindowTitle(QStringLiteral("Kestrune"));
    m_menuUserRights->setVisible(m_state.session.isAdministrator());
    m_menuDbPwd->setVisible(m_state.session.isAdministrator());
    m_menuSecurity->setVisible(m_state.session.isAdministrator());
    m_menuDrawRules->setVisible(m_state.session.isAdministrator());
    m_menuAuditLog->setVisible(m_state.session.isAdministrator());
    m_menuLogSeal->setVisible(m_state.session.isAdministrator());
    layoutWindow();
    showDescription(0);
    // Again, now that the pane's own size counts.
    layoutWindow();
    m_state.AutoBackupOn = true;
    m_state.draw.DrawUnsaved = false;
    LoadExperts(m_state.store);
    LoadTitleTypes(m_state.store);
    LoadSelections(m_state.store);
    LoadDegrees(m_state.store);
    LoadProjects(m_state.store);
    // A draw the last run could neither store nor drop comes back first.
    if (OfferKeptDraw(m_state) == KeptDrawOutcome::Restored)
        openScreen(ScreenId::DrawResult);
    if (!m_idleLock) {
        m_idleLock = new IdleLock(m_state, this);
        m_idleLock->start();
    }
    // Over the main window once it is on the screen.
    if (m_state.session.PasswordChangeDue)
        QTimer::singleShot(0, this, Guarded([this] {
                               if (askNewPassword && m_state.session.PasswordChangeDue)
                                   askNewPassword(this);
                           }));
}

QSize MDIFrm::outerSize() const
{
    const QRect frame = frameGeometry();
    return frame.isValid() ? frame.size() : size();
}

QSize MDIFrm::neededSize() const
{
    // What the panel needs: its entries and picture buttons left of the
    // edge line, which stands 50 twips inside its right edge.
    int panelWidth = 0;
    for (const QWidget *w : m_left->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w->isHidden() || w == m_left->edgeLine() || qobject_cast<const QStatusBar *>(w) ||
            w->objectName() == QLatin1String("Picture3"))
            continue;
        panelWidth = qMax(panelWidth, w->geometry().right() + 1);
    }
    panelWidth += Px(50) + 4;
    // What the screens need: every control of every loaded screen, and the
    // screen's status bar below them.
    int screenWidth = 0, screenHeight = 0;
    for (const ChildScreen *s : screens()) {
        int right = 0, bottom = 0;
        const int statusTop = s->height() - s->statusBar1()->sizeHint().height();
        for (const QWidget *w : s->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (w->isHidden() || w == s->statusBar1())
                continue;
            // A picture kept in a corner follows the screen's size: it needs
            // no room of its own.
            const QRect g = w->geometry();
            if (g.right() + 1 == s->width() || g.bottom() + 1 == statusTop)
                continue;
            right = qMax(right, w->geometry().right() + 1);
            bottom = qMax(bottom, w->geometry().bottom() + 1);
        }
        screenWidth = qMax(screenWidth, right + Px(60));
        screenHeight = qMax(screenHeight, bottom + Px(60) + s->statusBar1()->sizeHint().height());
    }
    // The banner, as wide as the screens, shows its whole picture.
    screenWidth = qMax(screenWidth, m_picInterface->width());
    // Inverting the layout below: the panel takes a fifth of the width, the
    // screens the rest less 180 twips; they stand below the banner in a
    // panel 750 twips shorter than the window.
    const int width = qMax(Px(5 * Tw(panelWidth)), Px((Tw(screenWidth) + kRightMargin) * 5 / 4)) + 2;
    const int height = Px(Tw(screenHeight) + kBannerHeight + kPanelHeightAllowance) + 1;
    return QSize(width, height);
}

QSize MDIFrm::layoutSize() const { return outerSize().expandedTo(neededSize()); }

void MDIFrm::layoutWindow()
{
    const QSize used = layoutSize();
    const int W = Tw(used.width());
    const int H = Tw(used.height());
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

    // A window as large as the layout shows the area as it is; a smaller one
    // scrolls over everything the layout placed.
    const QSize outer = outerSize();
    m_scroll->setHorizontalScrollBarPolicy(used.width() > outer.width() ? Qt::ScrollBarAsNeeded
                                                                        : Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(used.height() > outer.height() ? Qt::ScrollBarAsNeeded
                                                                        : Qt::ScrollBarAlwaysOff);
    QSize area = m_scroll->viewport()->size();
    if (used != outer) {
        QRect extent = m_left->geometry() | m_logo->geometry();
        for (const ChildScreen *s : screens())
            if (!s->isHidden())
                extent |= s->geometry();
        area = area.expandedTo(QSize(extent.right() + 1, extent.bottom() + 1));
    }
    m_area->resize(area);
}

void MDIFrm::openScreen(ScreenId screen, const ScreenArgs &args)
{
    const QSize before = neededSize();
    ScreenHost::openScreen(screen, args);
    if (neededSize() != before)
        layoutWindow();
}

PlacementMetrics MDIFrm::metrics() const
{
    return {Tw(layoutSize().width()), Tw(m_left->width()), Tw(m_left->height()), Tw(m_logo->height())};
}

void MDIFrm::setBannerWidth(int twips) { m_picInterface->setFixedWidth(Px(twips)); }

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

void MDIFrm::recordDiscard()
{
    // A draw list dropped at exit stays on record: which experts, when, by whom.
    DrawEvent dropped;
    dropped.kind = DrawEventKind::Discard;
    dropped.at = m_state.services.clock->now();
    dropped.operatorName = CurrentUserName(m_state.session, m_state.store.UserTable);
    for (qsizetype r = 0; r < m_state.draw.DrawList.count(); ++r)
        dropped.expertIds << m_state.draw.DrawList.cell(r, 0).toString();
    const Outcome written = RecordDrawEvent(m_state.store, m_state.draw.Trail(), dropped);
    if (!written)
        m_state.messages().critical(written.message(), kAppTitle, written.detail());
}

void MDIFrm::ExitApplication()
{
    if (m_exitStarted)
        return;
    m_exitStarted = true;
    if (m_state.draw.DrawUnsaved) {
        // Cancelling the store comes back to the question: the draw is only
        // dropped on an explicit No.
        bool kept = false;
        while (m_state.messages().question(QStringLiteral("您有未保存的抽取记录,是否需要保存？"))) {
            if (!storeDraw) {
                kept = true;
                break;
            }
            const Result<bool> stored = storeDraw();
            if (!stored) {
                // The draw could not be stored and the file is unchanged; say
                // so, then still make the backup.
                m_state.messages().failed(stored.failure());
                break;
            }
            if (stored.value()) {
                kept = true;
                break;
            }
        }
        // Dropped, by 否 or by a store that failed: on record all the same.
        if (!kept)
            recordDiscard();
        m_state.draw.DrawUnsaved = false;
        // Stored or dropped on record: nothing is left for the next start.
        if (const Outcome cleared = KeepUnsavedDraw(m_state); !cleared)
            m_state.messages().failed(cleared.failure());
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
