#pragma once

#include "data/Result.h"
#include "shell/ScreenHost.h"

#include <QMainWindow>
#include <functional>

class QLabel;
class QScrollArea;
class frmEndSaveDB;
class frmLeft;
class IdleLock;

// The main window: menus, the banner, the navigation panel and the screen
// area in which every screen opens.
class MDIFrm : public QMainWindow, public ScreenHost {
    Q_OBJECT
public:
    MDIFrm(AppState &state, ScreenRegistry registry, QWidget *parent = nullptr);
    ~MDIFrm() override;

    // Start-up after login: role names and path titles, the description
    // pane, the program flags, then the tables in their order.
    void start();

    // The one way out: offer to store an unsaved draw, close the windows and
    // hand over to the backup window. Runs at most once.
    void ExitApplication();
    // Records the unsaved draw list as dropped (否 at exit).
    void recordDiscard();

    // The loaded screen of that name (not QWidget's display screen).
    using ScreenHost::screen;

    // Opens a screen as ScreenHost does; a screen larger than any before
    // lays the window out again, so that it scrolls instead of being cut.
    void openScreen(ScreenId screen, const ScreenArgs &args = {}) override;
    void setBannerWidth(int twips) override;
    void exitApplication() override { ExitApplication(); }
    void openChangePassword() override;

    // The resize layout of the panel, the banner and the screens. A window
    // smaller than what they show is laid out as if it had that size, and
    // its screen area scrolls.
    void layoutWindow();
    // The outer size the panel and the loaded screens need to show all of
    // their controls.
    QSize neededSize() const;
    QScrollArea *scrollArea() const { return m_scroll; }

    // Ends the program (the application's exit in the program; tests record it).
    std::function<void()> endProgram;
    // Modal dialogs of the menus.
    std::function<void(QWidget *)> showChangePassword;
    std::function<void(QWidget *)> showAbout;
    // The password dialog opened by itself after a login with the initial
    // password, saying why.
    std::function<void(QWidget *)> askNewPassword;
    // Opens the user accounts screen (menu item 用户权限设置, administrators only).
    std::function<void()> showUserRights;
    // The library's own password and its security settings (administrators).
    std::function<void(QWidget *)> showDbPassword;
    std::function<void(QWidget *)> showSecuritySettings;
    // The library's draw rules (administrators).
    std::function<void(QWidget *)> showDrawRules;
    // The operation log screen and its seal (menu items 操作日志 and
    // 日志封存单, administrators only).
    std::function<void()> showAuditLog;
    std::function<void(QWidget *)> showLogSeal;
    // Stores the unsaved draw when the user agrees at exit; false when the
    // user cancelled (the question is asked again); a failure when it
    // cannot be stored (the file is then unchanged).
    std::function<Result<bool>()> storeDraw;

    frmLeft *navigationPanel() const { return m_left; }
    QWidget *banner() const { return m_logo; }
    QLabel *picInterface() const { return m_picInterface; }
    frmEndSaveDB *backupWindow() const { return m_endSave; }
    // Made by start().
    IdleLock *idleLock() const { return m_idleLock; }

protected:
    QWidget *screenParent() override { return m_area; }
    PlacementMetrics metrics() const override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QSize outerSize() const;
    // The size the layout uses: the outer size, or the needed size where
    // that is larger.
    QSize layoutSize() const;

    QScrollArea *m_scroll;
    QAction *m_menuUserRights;
    QAction *m_menuDbPwd;
    QAction *m_menuSecurity;
    QAction *m_menuDrawRules;
    QAction *m_menuAuditLog;
    QAction *m_menuLogSeal;
    QWidget *m_area;
    frmLeft *m_left;
    QWidget *m_logo;
    QLabel *m_picInterface;
    frmEndSaveDB *m_endSave = nullptr;
    IdleLock *m_idleLock = nullptr;
    bool m_exitStarted = false;
};
