#include "admin/frmUnitAliases.h"

#include "data/UnitHistory.h"
#include "ui/Controls.h"
#include "ui/Guarded.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmUnitAliases::frmUnitAliases(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmUnitAliases"));
    setWindowTitle(QStringLiteral("单位别名"));
    auto *layout = new QVBoxLayout(this);
    labNote = new QLabel(QStringLiteral("同一单位的不同名称写在一行，用“=”隔开，例如：\n"
                                        "中铁八局 = 中铁第八工程局有限公司\n"
                                        "回避其中任何一个名称时，其余名称（包括曾任职单位）一并回避。"),
                         this);
    labNote->setObjectName(QStringLiteral("labNote"));
    labNote->setTextFormat(Qt::PlainText);
    layout->addWidget(labNote);
    txtAliases = new QPlainTextEdit(this);
    txtAliases->setObjectName(QStringLiteral("txtAliases"));
    txtAliases->setAccessibleName(QStringLiteral("单位别名"));
    txtAliases->setMinimumSize(480, 240);
    labNote->setBuddy(txtAliases);
    layout->addWidget(txtAliases);
    const OkCancelButtons okCancel = AddOkCancelRow(this, layout);
    cmdOK = okCancel.ok;
    cmdCancel = okCancel.cancel;

    const Result<UnitAliases> current = ReadUnitAliases(m_state.store);
    if (!current)
        m_state.messages().failed(current.failure().prefixed(QStringLiteral("无法读取单位别名：\n")));
    // Nothing to edit from when the groups could not be read: saving an
    // empty box would wipe them.
    cmdOK->setEnabled(bool(current));
    txtAliases->setPlainText(current ? UnitAliasesText(current.value()) : QString());

    connect(cmdOK, &QPushButton::clicked, this, Guarded([this] { cmdOK_Click(); }));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
}

void frmUnitAliases::cmdOK_Click()
{
    QString problem;
    const UnitAliases groups = ParseUnitAliases(txtAliases->toPlainText(), &problem);
    if (!problem.isEmpty()) {
        m_state.messages().information(problem);
        txtAliases->setFocus();
        return;
    }
    const Outcome written = WriteUnitAliases(m_state.store, groups);
    if (!written) {
        m_state.messages().failed(written.failure().prefixed(QStringLiteral("保存单位别名失败，别名没有改变：\n")));
        return;
    }
    accept();
}
