#pragma once

#include "data/PersonalData.h"
#include "shell/AppState.h"
#include "ui/ScreenStyle.h"

#include <QDate>
#include <QFont>
#include <QLocale>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

// What a screen is opened with. Every member has an initialiser, so that a
// caller names only what it passes ({.expertId = id}).
struct ScreenArgs {
    QString expertId = {};    // the expert a detail or projects screen shows
    QString projectId = {};   // the project a project screen shows
    // Opened by the 返回 of a screen it opened: it keeps what it showed.
    bool returning = false;
};

// Opens screens and reaches the parts of the main window a screen needs.
class ScreenNavigator {
public:
    virtual ~ScreenNavigator() = default;
    // The one way to open a screen: set CurrentScreen, create the screen on
    // first use (its load step runs then, once), place it, bring it to the
    // front and run its activation step with args.
    virtual void openScreen(ScreenId screen, const ScreenArgs &args = {}) = 0;
    // Width of the banner picture picInterface, in twips.
    virtual void setBannerWidth(int twips) = 0;
    virtual void exitApplication() = 0;
    virtual void openChangePassword() = 0;
};

// Base of every screen shown in the main window's screen area. Gives each its
// status bar with the login date, its optional path line, and the load and
// activation steps.
//
// A screen builds all its controls in its constructor; what they show of the
// data (the items of reference lists, the rows of a list, the user's rights)
// is filled in onLoad, once, or in onActivate, every time.
class ChildScreen : public QWidget {
    Q_OBJECT
public:
    ChildScreen(AppState &state, ScreenNavigator &nav, Form form, QWidget *parent = nullptr);

    // Runs once, when the screen is first opened (after the constructor).
    void load();
    // Runs every time the screen comes to the front, with what it is opened with.
    void activate(const ScreenArgs &args = {});
    bool isLoaded() const { return m_loaded; }

    QStatusBar *statusBar1() const { return StatusBar1; }
    // Width PlaceChildForm gives the first status-bar panel.
    void setStatusPanelWidth(int pixels);
    virtual int bannerWidthTwips() const { return 11515; }

protected:
    virtual void onLoad() {}
    virtual void onActivate(const ScreenArgs &) {}
    void resizeEvent(QResizeEvent *event) override;

    // Controls placed in twips; every control is named for tests.
    QLabel *addLabel(const QString &name, const QString &text, int left, int top, int width = 0, int height = 0);
    QPushButton *addButton(const QString &name, const QString &text, int left, int top, int width, int height);
    QLineEdit *addTextBox(const QString &name, int left, int top, int width, int height = 315);
    QComboBox *addList(const QString &name, const QStringList &items, int left, int top, int width, int height = 300);
    QCheckBox *addCheckBox(const QString &name, const QString &text, int left, int top, int width = 255,
                           int height = 255);
    // The path line at 300, 120, refreshed on every activation.
    void addPathLabel();
    // The screen's title labTitle, bold 12 points, 2415 × 375.
    QLabel *addTitle(const QString &text, int left = 5340, int top = 360);
    // A list's column heading Label1: one line of titles spaced with blanks,
    // on the grey heading band.
    QLabel *addHeading(const QString &text, int left, int top, int width, int height = 285);

    // Hides the personal columns of rows held in state when the current
    // user's role sees them masked, so that the list and its printout and
    // export show the same; returns whether it did.
    bool maskPersonalRows(TextTable &rows, PersonalColumns columns) const;

    // Brings the loaded tables up to date with what others changed on a
    // shared library; a server out of reach or a library being written is
    // offered 重试/取消. False when the user left it with 取消: the copies
    // stay as they were. changed: whether any table was read again.
    bool refreshSharedTables(bool *changed = nullptr);

    AppState &m_state;
    ScreenNavigator &m_nav;
    QLabel *labPath = nullptr;
    QStatusBar *StatusBar1 = nullptr;

private:
    QLabel *m_statusPanel = nullptr;
    bool m_loaded = false;
};
