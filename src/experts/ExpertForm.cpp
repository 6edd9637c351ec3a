#include "experts/ExpertForm.h"

#include "data/TextWidth.h"
#include "data/Vocabulary.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

using namespace Schema;

namespace {

constexpr int kCaptionLefts[4] = {120, 3000, 5880, 8760};
constexpr int kInputLefts[4] = {1140, 4020, 6900, 9780};
constexpr int kCaptionWidth = 975;
constexpr int kInputWidth = 1695;
constexpr int kCaptionDrop = 60;   // captions stand 60 twips below their inputs
constexpr int kMemoHeight = 1695;
// The former work units' list, below the buttons (which end at 7530).
constexpr int kFormerTop = 7680;
constexpr int kFormerWidth = 8040;
constexpr int kFormerHeight = 1260;

int inputTop(int row)
{
    if (row == 8)
        return 3360;
    if (row == 9)
        return 5100;
    return 840 + (row - 1) * 360;
}

}   // namespace

void SelectStoredItem(QComboBox *list, int index, const QString &stored)
{
    if (index >= 0 && index < list->count()) {
        list->setPlaceholderText(QString());
        list->setCurrentIndex(index);
    } else {
        list->setPlaceholderText(stored);
        list->setCurrentIndex(-1);
    }
}

// ---------------------------------------------------------------------------

ExpertFormScreen::ExpertFormScreen(AppState &state, ScreenNavigator &nav, Form form, Inputs inputs, QWidget *parent)
    : ChildScreen(state, nav, form, parent)
{
    buildForm(inputs);
}

int ExpertFormScreen::boxIndex(const ExpertFieldDef &f) const
{
    return m_inputs == Inputs::ReadOnly ? f.caption : f.editorBox;
}

void ExpertFormScreen::buildForm(Inputs inputs)
{
    m_inputs = inputs;
    addPathLabel();
    labTitle = addTitle(QString());

    for (const ExpertFieldDef &f : ExpertFields()) {
        const int top = inputTop(f.row);
        QLabel *caption = addLabel(ArrayName(QStringLiteral("labDis"), f.caption), QString::fromUtf8(f.captionText),
                                   kCaptionLefts[f.column], top + kCaptionDrop, kCaptionWidth, 255);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        labDis.insert(f.caption, caption);

        const int left = kInputLefts[f.column];
        const int width = f.width > 0 ? f.width : kInputWidth;
        if (f.kind == ExpertInputKind::List && inputs == Inputs::Editable) {
            lists.insert(f.field, addList(QString::fromLatin1(f.listName), {}, left, top, width, 300));
        } else if (f.kind == ExpertInputKind::MultiLine) {
            auto *memo = new QPlainTextEdit(this);
            memo->setObjectName(ArrayName(QStringLiteral("txtDis"), boxIndex(f)));
            memo->setGeometry(TwRect(left, top, width, kMemoHeight));
            memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            if (inputs == Inputs::ReadOnly) {
                memo->setReadOnly(true);
                SetTextColor(memo, qRgb(128, 128, 128));
            }
            memoBoxes.insert(boxIndex(f), memo);
        } else {
            QLineEdit *box = addTextBox(ArrayName(QStringLiteral("txtDis"), boxIndex(f)), left, top, width, 315);
            box->setReadOnly(inputs == Inputs::ReadOnly);
            lineBoxes.insert(boxIndex(f), box);
        }
    }
}

QString ExpertFormScreen::boxText(int index) const
{
    if (QLineEdit *box = lineBoxes.value(index))
        return box->text();
    if (QPlainTextEdit *memo = memoBoxes.value(index))
        return memo->toPlainText();
    return QString();
}

void ExpertFormScreen::setBoxText(int index, const QString &text)
{
    if (QLineEdit *box = lineBoxes.value(index)) {
        // One line, as the save would make it anyway.
        box->setText(ShownOnOneLine(text));
        box->setCursorPosition(0);
    } else if (QPlainTextEdit *memo = memoBoxes.value(index)) {
        memo->setPlainText(text);
    }
}

// ---------------------------------------------------------------------------

ExpertEditorScreen::ExpertEditorScreen(AppState &state, ScreenNavigator &nav, Form form, QWidget *parent)
    : ExpertFormScreen(state, nav, form, Inputs::Editable, parent)
{
    com_Sex = lists.value(E_Sex);
    com_Sta = lists.value(E_Status);
    com_Lin = lists.value(E_Is_temp);
    com_Degree = lists.value(E_degree_type_id);
    com_Zhicheng = lists.value(E_zhicheng_id);
    com_Star = lists.value(E_star_number);
    com_Star->setStyleSheet(QStringLiteral("QComboBox { color: rgb(255, 0, 0); }"));
    connect(com_Zhicheng, &QComboBox::currentIndexChanged, this,
            Guarded([this] { coupleLists(com_Zhicheng, com_Star); }));
    connect(com_Star, &QComboBox::currentIndexChanged, this, Guarded([this] { coupleLists(com_Star, com_Zhicheng); }));

    cmd_Save = addButton(QStringLiteral("cmd_Save"), QStringLiteral("保 存"), 3900, 7095, 1095, 435);
    cmd_Clear = addButton(QStringLiteral("cmd_Clear"), QStringLiteral("清 空"), 5460, 7095, 1095, 435);
    cmd_Back = addButton(QStringLiteral("cmd_Back"), QStringLiteral("返 回"), 7020, 7095, 1095, 435);
    connect(cmd_Save, &QPushButton::clicked, this, Guarded([this] { save(); }));
    connect(cmd_Clear, &QPushButton::clicked, this, Guarded([this] { clearForm(); }));
    connect(cmd_Back, &QPushButton::clicked, this, Guarded([this] { back(); }));

    // Former work units, below the buttons so that the form above stays as it is.
    labFormerUnits = addLabel(QStringLiteral("labFormerUnits"), QStringLiteral("曾任单位："), kCaptionLefts[0],
                              kFormerTop + kCaptionDrop, kCaptionWidth, 255);
    labFormerUnits->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grdFormerUnits = new QTableWidget(0, 3, this);
    grdFormerUnits->setObjectName(QStringLiteral("grdFormerUnits"));
    grdFormerUnits->setGeometry(TwRect(kInputLefts[0], kFormerTop, kFormerWidth, kFormerHeight));
    grdFormerUnits->setHorizontalHeaderLabels(
        {QStringLiteral("单位名称"), QStringLiteral("起始日期"), QStringLiteral("截止日期")});
    grdFormerUnits->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    grdFormerUnits->setColumnWidth(1, Px(1600));
    grdFormerUnits->setColumnWidth(2, Px(1600));
    grdFormerUnits->verticalHeader()->setVisible(false);
    grdFormerUnits->setAccessibleName(QStringLiteral("曾任职单位"));
    grdFormerUnits->setToolTip(QStringLiteral("日期写作 2015-03-01；截止日期不详的，回避时按仍在期限内计算"));
    const int buttonsLeft = kInputLefts[0] + kFormerWidth + 120;
    cmdAddUnit =
        addButton(QStringLiteral("cmdAddUnit"), QStringLiteral("添加单位"), buttonsLeft, kFormerTop, 1095, 345);
    cmdDelUnit =
        addButton(QStringLiteral("cmdDelUnit"), QStringLiteral("删除单位"), buttonsLeft, kFormerTop + 450, 1095, 345);
    connect(cmdAddUnit, &QPushButton::clicked, this, Guarded([this] { addFormerUnitRow(); }));
    connect(cmdDelUnit, &QPushButton::clicked, this, Guarded([this] { removeFormerUnitRows(); }));
}

void ExpertEditorScreen::addFormerUnitRow()
{
    const int row = grdFormerUnits->rowCount();
    grdFormerUnits->insertRow(row);
    for (int c = 0; c < 3; ++c)
        grdFormerUnits->setItem(row, c, new QTableWidgetItem());
    grdFormerUnits->setCurrentCell(row, 0);
    grdFormerUnits->editItem(grdFormerUnits->item(row, 0));
}

void ExpertEditorScreen::removeFormerUnitRows()
{
    QList<int> rows;
    for (const QModelIndex &i : grdFormerUnits->selectionModel()->selectedIndexes())
        if (!rows.contains(i.row()))
            rows << i.row();
    if (rows.isEmpty() && grdFormerUnits->currentRow() >= 0)
        rows << grdFormerUnits->currentRow();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int r : rows)
        grdFormerUnits->removeRow(r);
}

void ExpertEditorScreen::showFormerUnits(const QList<FormerUnit> &units)
{
    grdFormerUnits->setRowCount(0);
    for (const FormerUnit &u : units) {
        const int row = grdFormerUnits->rowCount();
        grdFormerUnits->insertRow(row);
        grdFormerUnits->setItem(row, 0, new QTableWidgetItem(u.unit));
        grdFormerUnits->setItem(row, 1, new QTableWidgetItem(u.from));
        grdFormerUnits->setItem(row, 2, new QTableWidgetItem(u.to));
    }
}

bool ExpertEditorScreen::readFormerUnits(QList<FormerUnit> *units)
{
    units->clear();
    const auto cell = [this](int r, int c) {
        const QTableWidgetItem *item = grdFormerUnits->item(r, c);
        return item ? OneLine(item->text()) : QString();
    };
    for (int r = 0; r < grdFormerUnits->rowCount(); ++r) {
        const FormerUnit u{cell(r, 0), NormalizeDateText(cell(r, 1)), NormalizeDateText(cell(r, 2))};
        if (u.unit.isEmpty() && u.from.isEmpty() && u.to.isEmpty())
            continue;
        if (const QString problem = FormerUnitProblem(u); !problem.isEmpty()) {
            m_state.messages().information(problem);
            grdFormerUnits->setFocus();
            grdFormerUnits->setCurrentCell(r, 0);
            return false;
        }
        units->append(u);
    }
    return true;
}

void ExpertEditorScreen::onLoad()
{
    labTitle->setText(loadTitle());
    labTitle->adjustSize();

    // The reference tables do not change during a run: the lists are filled once.
    com_Sex->addItems(SexItems());
    com_Sta->addItems(StatusItems());
    com_Lin->addItems(KindItems());
    com_Degree->addItems(EditorReferenceNames(m_state.store.DegreeTable));
    com_Zhicheng->addItems(EditorReferenceNames(m_state.store.TitleTypeTable));
    com_Star->addItems(StarGrades());
    for (QComboBox *list : std::as_const(lists))
        list->setCurrentIndex(list->count() > 0 ? 0 : -1);
}

void ExpertEditorScreen::coupleLists(QComboBox *changed, QComboBox *other)
{
    const int p = changed->currentIndex();
    // Without a choice, or beyond the other list's items, there is no
    // partner to move to: the other list keeps its choice.
    if (p < 0 || p >= other->count() || other->currentIndex() == p)
        return;
    SelectStoredItem(other, p, QString());
}

void ExpertEditorScreen::clearForm()
{
    for (QComboBox *list : std::as_const(lists))
        SelectStoredItem(list, 0, QString());
    for (QLineEdit *box : std::as_const(lineBoxes))
        box->clear();
    for (QPlainTextEdit *memo : std::as_const(memoBoxes))
        memo->clear();
    grdFormerUnits->setRowCount(0);
    afterClear();
}

ExpertFormValues ExpertEditorScreen::formValues() const
{
    ExpertFormValues v;
    for (const ExpertFieldDef &f : ExpertFields()) {
        if (f.kind != ExpertInputKind::List) {
            v.byField[f.field] = boxText(f.editorBox);
            continue;
        }
        const QComboBox *list = lists.value(f.field);
        const int p = list->currentIndex();
        if (p < 0)
            v.byField[f.field] = list->placeholderText();   // a stored value the list does not offer
        else if (f.field == E_degree_type_id)
            v.byField[f.field] = DegreeCodeForPosition(p);
        else if (f.field == E_zhicheng_id)
            v.byField[f.field] = TitleIdForPosition(m_state.store, p);
        else
            v.byField[f.field] = list->itemText(p);
    }
    return v;
}

std::optional<ExpertRecordBuffer> ExpertEditorScreen::gatherFields()
{
    std::optional<ExpertRecordBuffer> record = GatherExpertFields(formValues(), m_state.today());
    if (!record) {
        m_state.messages().information(QStringLiteral("请输入专家姓名！"));
        lineBoxes.value(0)->setFocus();
    }
    return record;
}

void ExpertEditorScreen::showExpertRow(const QStringList &row)
{
    auto cell = [&row](int field) { return field < row.size() ? row.at(field) : QString(); };
    auto selectText = [&](QComboBox *list, int field) {
        SelectStoredItem(list, list->findText(cell(field), Qt::MatchExactly | Qt::MatchCaseSensitive), cell(field));
    };
    // Lists by stored code: the code names a reference-table row; position p
    // of the list is row p + 1.
    auto selectCode = [&](QComboBox *list, const TextTable &table, int field) {
        const qsizetype r = ReferenceRowForCode(table, cell(field));
        SelectStoredItem(list, r >= 1 ? int(r - 1) : -1, cell(field));
    };

    for (const ExpertFieldDef &f : ExpertFields())
        if (f.kind != ExpertInputKind::List)
            setBoxText(f.editorBox, cell(f.field));
    // The title level is set after the star grade, so the coupling leaves the
    // grade at the title level's position.
    selectText(com_Sta, E_Status);
    selectText(com_Lin, E_Is_temp);
    selectText(com_Star, E_star_number);
    selectText(com_Sex, E_Sex);
    selectCode(com_Degree, m_state.store.DegreeTable, E_degree_type_id);
    selectCode(com_Zhicheng, m_state.store.TitleTypeTable, E_zhicheng_id);
    // A title level already standing where the record puts it raises no
    // change, so a star text the list does not offer would stay beside it:
    // the grade follows the title level here too.
    coupleLists(com_Zhicheng, com_Star);
}
