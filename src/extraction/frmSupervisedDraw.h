#pragma once

#include "data/SupervisedDraw.h"
#include "shell/AppState.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// 监督抽取: the candidate list is fixed and the program's commitment shown
// before the supervisor types a number; pressing 确定 reveals the program's
// bytes and orders the whole list. The program's bytes are taken when the
// dialog opens and never shown before the supervisor's number is in.
// Whether the library uses supervised draws (an unreadable setting counts
// as off, as in libraries made before it existed).
bool SupervisedDrawOn(const AppState &state);

class frmSupervisedDraw : public QDialog {
    Q_OBJECT
public:
    frmSupervisedDraw(AppState &state, const QStringList &candidateIds, qsizetype requested, QWidget *parent = nullptr);

    // The seed once the dialog was accepted.
    const std::optional<SupervisedSeed> &seed() const { return m_seed; }
    const QString &commitment() const { return m_commitment; }

    void cmdOK_Click();

private:
    AppState &m_state;
    QStringList m_candidateIds;
    QByteArray m_programBytes;
    QString m_commitment;
    QDateTime m_committedAt;
    std::optional<SupervisedSeed> m_seed;

    QLabel *labCandidates = nullptr;
    QLabel *labCommitment = nullptr;
    QLineEdit *txtNumber = nullptr;
    QLineEdit *txtNumberAgain = nullptr;
    QLineEdit *txtPublic = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};
