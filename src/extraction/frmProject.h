#pragma once

#include "data/DrawRecord.h"
#include "data/Tables.h"
#include "shell/DrawWorkspace.h"
#include "shell/Session.h"
#include "ui/Services.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The project a draw is stored under: asked for when a draw list is first
// stored ("完成" on the result screen, or at exit). Only the name is
// required.
class frmProject : public QDialog {
    Q_OBJECT
public:
    frmProject(const Services &services, QWidget *parent = nullptr);

    ProjectFacts facts() const;
    void cmdOK_Click();

private:
    const Services &m_services;
    std::array<QLabel *, 7> labDis{};
    QLineEdit *txtName = nullptr;
    QLineEdit *txtCode = nullptr;
    QLineEdit *txtClient = nullptr;
    QLineEdit *txtReviewTime = nullptr;
    QLineEdit *txtReviewPlace = nullptr;
    QLineEdit *txtSupervisor = nullptr;
    QPlainTextEdit *txtRemark = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};

enum class DrawStoreResult {
    Stored,       // written; DrawUnsaved is false now
    NothingNew,   // every row of the list is stored already
    Cancelled,    // the user cancelled the project dialog; nothing written
    Empty,        // the draw list is empty (the user was told); nothing written
};

// Stores the draw list: the first time as a new project, asking for it in
// the project dialog; afterwards by adding the rows not yet stored to the
// same project without asking. Does not reload SelectionTable. A failure
// leaves the file unchanged and the draw unsaved.
Result<DrawStoreResult> StoreCurrentDraw(DrawWorkspace &draw, DataStore &store, const Session &session,
                                         const Services &services, QWidget *owner);
