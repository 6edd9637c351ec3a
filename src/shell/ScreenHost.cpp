#include "shell/ScreenHost.h"

#include "ui/Twips.h"
#include "shell/frmDisMsg.h"

ChildScreen *ScreenRegistry::create(Form form, AppState &state, ScreenNavigator &nav, QWidget *parent) const
{
    auto it = m_factories.constFind(FormName(form));
    if (it == m_factories.constEnd())
        return nullptr;
    return (*it)(state, nav, parent);
}

ScreenHost::ScreenHost(AppState &state, ScreenRegistry registry) : m_state(state), m_registry(std::move(registry)) {}

void ScreenHost::openScreen(ScreenId screen, const ScreenArgs &args)
{
    m_state.nav.CurrentScreen = ScreenNumber(screen);
    showScreen(ScreenOf(screen).form, args);
}

ChildScreen *ScreenHost::showScreen(Form which, const ScreenArgs &args)
{
    if (which == Form::None)
        return nullptr;
    ChildScreen *form = screen(which);
    if (!form) {
        form = m_registry.create(which, m_state, *this, screenParent());
        if (!form)
            return nullptr;
        m_screens.insert(FormName(which), form);
        form->load();
    }
    form->show();
    PlaceChildForm(form);
    BringFormToFront(form);
    form->activate(args);
    return form;
}

void ScreenHost::showDescription(int section)
{
    if (auto *pane = qobject_cast<frmDisMsg *>(showScreen(Form::frmDisMsg)))
        pane->ShowSection(section == frmDisMsg::ExpertSection ? frmDisMsg::ExpertSection : frmDisMsg::SystemSection);
}

ChildScreen *ScreenHost::screen(const QString &formName) const { return m_screens.value(formName).data(); }

QList<ChildScreen *> ScreenHost::screens() const
{
    QList<ChildScreen *> out;
    for (const auto &p : m_screens)
        if (p)
            out.append(p.data());
    return out;
}

void ScreenHost::PlaceChildForm(ChildScreen *form)
{
    const PlacementMetrics m = metrics();
    int left = m.panelWidth;
    int top = m.bannerHeight;
    QRect g = form->geometry();
    g.moveTo(Px(left), Px(top));
    const int width = m.mainWidth - m.panelWidth - 180;
    if (width >= 0)
        g.setWidth(Px(width));
    const int height = m.panelHeight - top;
    if (height >= 0)
        g.setHeight(Px(height));
    form->setGeometry(g);
    form->setStatusPanelWidth(form->width());
}

void ScreenHost::BringFormToFront(ChildScreen *form)
{
    if (!form || !m_screens.contains(form->objectName()))
        return;
    form->raise();
    m_front = form;
}

void ScreenHost::placeAllScreens()
{
    for (ChildScreen *s : screens())
        PlaceChildForm(s);
}

void ScreenHost::closeAllScreens()
{
    for (ChildScreen *s : screens())
        s->close();
}
