#pragma once

#include "shell/ChildScreen.h"

#include <QHash>
#include <QPointer>
#include <functional>

using ScreenFactory = std::function<ChildScreen *(AppState &, ScreenNavigator &, QWidget *parent)>;

// Which window class builds each window of the screen area.
class ScreenRegistry {
public:
    void add(Form form, ScreenFactory factory) { m_factories.insert(FormName(form), std::move(factory)); }
    bool contains(Form form) const { return m_factories.contains(FormName(form)); }
    ChildScreen *create(Form form, AppState &state, ScreenNavigator &nav, QWidget *parent) const;
    // The same factories for the given forms only.
    ScreenRegistry only(std::initializer_list<Form> forms) const
    {
        ScreenRegistry r;
        for (Form form : forms)
            if (contains(form))
                r.m_factories.insert(FormName(form), m_factories.value(FormName(form)));
        return r;
    }

private:
    QHash<QString, ScreenFactory> m_factories;   // by form name
};

// Sizes, in twips, that place a screen: the main window's width, the
// navigation panel's width and height, the banner's height.
struct PlacementMetrics {
    int mainWidth = 0;
    int panelWidth = 0;
    int panelHeight = 0;
    int bannerHeight = 0;
};

// Keeps the screens of the screen area: creates each on first use, places
// it, brings it to the front and activates it.
class ScreenHost : public ScreenNavigator {
public:
    ScreenHost(AppState &state, ScreenRegistry registry);

    void openScreen(ScreenId screen, const ScreenArgs &args = {}) override;
    // Opens a window without changing CurrentScreen (the description pane).
    ChildScreen *showScreen(Form form, const ScreenArgs &args = {});
    // Brings the description pane to the front with a section of the
    // navigation panel (0 系统配置, 6 专家管理).
    void showDescription(int section);
    // The loaded window of that form, or of that form name; null when it
    // has not been opened.
    ChildScreen *screen(Form form) const { return screen(FormName(form)); }
    ChildScreen *screen(const QString &formName) const;
    QList<ChildScreen *> screens() const;
    // The screen last brought to the front.
    ChildScreen *frontScreen() const { return m_front; }

    // PlaceChildForm: right of the navigation panel, below the banner.
    void PlaceChildForm(ChildScreen *form);
    // BringFormToFront: raises the form when it is one of the loaded screens.
    void BringFormToFront(ChildScreen *form);
    void placeAllScreens();
    // Closes every screen (used by the exit sequence).
    void closeAllScreens();

protected:
    virtual QWidget *screenParent() = 0;
    virtual PlacementMetrics metrics() const = 0;

    AppState &m_state;

private:
    ScreenRegistry m_registry;
    QHash<QString, QPointer<ChildScreen>> m_screens;   // by form name
    QPointer<ChildScreen> m_front;
};

// Registers the screen class T under its form, T::kForm.
template <typename T> void AddScreen(ScreenRegistry &registry)
{
    registry.add(T::kForm, [](AppState &state, ScreenNavigator &nav, QWidget *parent) -> ChildScreen * {
        return new T(state, nav, parent);
    });
}
