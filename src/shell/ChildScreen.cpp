#include "shell/ChildScreen.h"

#include "lists/ListEngine.h"
#include "ui/Controls.h"
#include "ui/FieldNames.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QStatusBar>

ChildScreen::ChildScreen(AppState &state, ScreenNavigator &nav, Form form, QWidget *parent)
    : QWidget(parent), m_state(state), m_nav(nav)
{
    setObjectName(FormName(form));
    setFont(ScreenFont());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(StatusBar1);
    m_statusPanel->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_statusPanel->setTextFormat(Qt::PlainText);
    m_statusPanel->setFrameShape(QFrame::Panel);
    m_statusPanel->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(m_statusPanel);
}

void ChildScreen::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_statusPanel->setText(LoginDateText(m_state.today(), QLocale::system()));
    onLoad();
    NameFieldsByCaptions(this);
}

void ChildScreen::activate(const ScreenArgs &args)
{
    if (labPath) {
        labPath->setText(BuildPath(m_state.nav));
        labPath->adjustSize();
    }
    m_nav.setBannerWidth(bannerWidthTwips());
    // Others may have changed the shared library meanwhile: a screen shows
    // their changes when it comes to the front (nothing to do for a file).
    // A server out of reach leaves the copies as they are, and the screen
    // shows those.
    refreshSharedTables();
    onActivate(args);
}

void ChildScreen::setStatusPanelWidth(int pixels) { m_statusPanel->setFixedWidth(qMax(0, pixels - 4)); }

void ChildScreen::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int h = StatusBar1->sizeHint().height();
    StatusBar1->setGeometry(0, height() - h, width(), h);
    StatusBar1->raise();
}

QLabel *ChildScreen::addLabel(const QString &name, const QString &text, int left, int top, int width, int height)
{
    return MakeLabel(this, name, text, left, top, width, height);
}

QPushButton *ChildScreen::addButton(const QString &name, const QString &text, int left, int top, int width, int height)
{
    return MakeButton(this, name, text, left, top, width, height);
}

QLineEdit *ChildScreen::addTextBox(const QString &name, int left, int top, int width, int height)
{
    return MakeTextBox(this, name, left, top, width, height);
}

QComboBox *ChildScreen::addList(const QString &name, const QStringList &items, int left, int top, int width, int height)
{
    return MakeList(this, name, items, left, top, width, height);
}

QCheckBox *ChildScreen::addCheckBox(const QString &name, const QString &text, int left, int top, int width, int height)
{
    return MakeCheckBox(this, name, text, left, top, width, height);
}

void ChildScreen::addPathLabel() { labPath = addLabel(QStringLiteral("labPath"), QString(), 300, 120); }

QLabel *ChildScreen::addTitle(const QString &text, int left, int top)
{
    QLabel *title = addLabel(QStringLiteral("labTitle"), text, left, top, 2415, 375);
    title->setFont(ScreenFont(12, true));
    return title;
}

QLabel *ChildScreen::addHeading(const QString &text, int left, int top, int width, int height)
{
    QLabel *heading = addLabel(QStringLiteral("Label1"), text, left, top, width, height);
    heading->setAutoFillBackground(true);
    QPalette pal = heading->palette();
    pal.setColor(QPalette::Window, QColor::fromRgba(kHeadingBack));
    heading->setPalette(pal);
    return heading;
}

bool ChildScreen::refreshSharedTables(bool *changed)
{
    bool any = false;
    const bool done = RetryRecoverable([&] { any = RefreshChangedTables(m_state.store); });
    if (changed)
        *changed = any;
    return done;
}

bool ChildScreen::maskPersonalRows(TextTable &rows, PersonalColumns columns) const
{
    return MaskRowsFor(m_state.store, m_state.session.CurrentUserRole, rows, columns);
}
