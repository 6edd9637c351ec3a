#pragma once

#include "data/ExpertRecord.h"
#include "shell/ChildScreen.h"

#include <QHash>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The 26-field expert form shared by the editor screens and the detail view:
// the title, the captions labDis and their inputs in one arrangement. The
// editor has lists where the detail view has read-only boxes.
class ExpertFormScreen : public ChildScreen {
    Q_OBJECT
public:
    enum class Inputs { Editable, ReadOnly };

    ExpertFormScreen(AppState &state, ScreenNavigator &nav, Form form, Inputs inputs, QWidget *parent);

    // Text of a single-line or multi-line box, by txtDis index.
    QString boxText(int index) const;
    void setBoxText(int index, const QString &text);

protected:
    // txtDis index of a field's box on this screen.
    int boxIndex(const ExpertFieldDef &f) const;

    QLabel *labTitle = nullptr;
    QHash<int, QLabel *> labDis;
    QHash<int, QLineEdit *> lineBoxes;        // single-line txtDis boxes by index
    QHash<int, QPlainTextEdit *> memoBoxes;   // txtDis(26), txtDis(27)
    QHash<int, QComboBox *> lists;            // editor lists by expert_msg position

private:
    // Builds labTitle, labPath, the captions and the inputs.
    void buildForm(Inputs inputs);

    Inputs m_inputs = Inputs::Editable;
};

// Base of frmNewExpert and frmExpertListUpd: the lists and their coupling,
// the three buttons, clearing, gathering the inputs and showing a record.
class ExpertEditorScreen : public ExpertFormScreen {
    Q_OBJECT
public:
    ExpertEditorScreen(AppState &state, ScreenNavigator &nav, Form form, QWidget *parent);

    // cmd_Clear: first item of every list, every box empty.
    void clearForm();
    // The inputs as the save reads them.
    ExpertFormValues formValues() const;

protected:
    void onLoad() override;
    virtual QString loadTitle() const = 0;
    virtual void save() = 0;
    virtual void back() = 0;
    // Runs after every clear; the new-expert screen fixes the kind list there.
    virtual void afterClear() {}

    // The buffer of one save; shows "请输入专家姓名！" and puts the focus in
    // the name box when the name is missing.
    std::optional<ExpertRecordBuffer> gatherFields();
    // Shows an ExpertTable row in the inputs, exactly as stored.
    void showExpertRow(const QStringList &row);
    // The former work units below the form: shown, and read back for a save
    // (false, with the reason shown, when one of them is not right). Rows
    // left wholly empty are no units.
    void showFormerUnits(const QList<FormerUnit> &units);
    bool readFormerUnits(QList<FormerUnit> *units);
    void addFormerUnitRow();
    void removeFormerUnitRows();

    QLabel *labFormerUnits = nullptr;
    QTableWidget *grdFormerUnits = nullptr;
    QPushButton *cmdAddUnit = nullptr;
    QPushButton *cmdDelUnit = nullptr;

    QComboBox *com_Sex = nullptr;
    QComboBox *com_Sta = nullptr;
    QComboBox *com_Lin = nullptr;
    QComboBox *com_Degree = nullptr;
    QComboBox *com_Zhicheng = nullptr;
    QComboBox *com_Star = nullptr;
    QPushButton *cmd_Save = nullptr;
    QPushButton *cmd_Clear = nullptr;
    QPushButton *cmd_Back = nullptr;

private:
    // Title level and star grade always stand at the same position.
    void coupleLists(QComboBox *changed, QComboBox *other);
};

// Picks the item at index in a list; an index outside the list leaves the
// list without a choice, showing stored as a hint and keeping it as the
// list's value, so that a value the list does not offer survives a save.
void SelectStoredItem(QComboBox *list, int index, const QString &stored);
