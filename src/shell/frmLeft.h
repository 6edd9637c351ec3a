#pragma once

#include "shell/AppState.h"

#include <QWidget>
#include <array>

class ClickableLabel;
class QLabel;
class QStatusBar;
class ScreenHost;

// The navigation panel: two sections of entries that open the screens, and
// the picture buttons for the password change and the exit.
class frmLeft : public QWidget {
    Q_OBJECT
public:
    static constexpr int kEntryCount = 23;

    frmLeft(AppState &state, ScreenHost &host, QWidget *parent = nullptr);

    // Click on entry or icon k: highlight it, then open its screen or section.
    void entryClicked(int index);
    int selectedIndex() const { return m_selected; }
    // Lays out the edge, the top picture and the status bar for the panel's
    // width and height: the edge line reaches down to the status bar.
    void layoutDecorations();
    // The same when the main window lays out the panel: the edge line stops
    // 400 twips short of the panel's foot.
    void layoutForMainWindow();
    QLabel *edgeLine() const { return picLine; }
    // The status bar's second panel: the data file's path.
    QLabel *pathPanel() const { return m_pathPanel; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutEdge(int footPixels);
    int statusBarHeight() const;

private:
    AppState &m_state;
    ScreenHost &m_host;
    std::array<ClickableLabel *, kEntryCount> lab1_0{};
    std::array<ClickableLabel *, kEntryCount> Image1{};
    QLabel *picLine;
    QLabel *Picture3;
    QStatusBar *StatusBar1;
    QLabel *m_statusPanel;
    QLabel *m_pathPanel;
    QString m_dataFilePath;
    int m_selected = 0;
};
