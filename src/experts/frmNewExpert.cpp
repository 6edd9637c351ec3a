#include "experts/frmNewExpert.h"

#include "ui/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmNewExpert::frmNewExpert(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ExpertEditorScreen(state, nav, kForm, parent)
{
}

QString frmNewExpert::loadTitle() const
{
    return temporaryMode() ? QStringLiteral("新建临时专家") : QStringLiteral("新建专家");
}

void frmNewExpert::onLoad()
{
    ExpertEditorScreen::onLoad();
    afterClear();
}

void frmNewExpert::onActivate(const ScreenArgs &)
{
    labTitle->setText(loadTitle());
    labTitle->adjustSize();
    if (temporaryMode()) {
        cmd_Clear->move(Px(5460), cmd_Clear->y());
        cmd_Back->show();
    } else {
        // Nothing to go back to: "清 空" takes the place of "返 回".
        cmd_Clear->move(cmd_Back->x(), cmd_Clear->y());
        cmd_Back->hide();
    }
    // Every activation starts from an empty form.
    clearForm();
    lineBoxes.value(0)->setFocus();
}

void frmNewExpert::afterClear()
{
    // A temporary expert cannot be made regular.
    if (temporaryMode())
        SelectStoredItem(com_Lin, com_Lin->findText(kKindTemporary), kKindTemporary);
    com_Lin->setEnabled(!temporaryMode());
}

void frmNewExpert::back()
{
    if (!m_state.nav.isCurrentScreen(ScreenId::DrawResultNewTemporary))
        return;
    m_nav.openScreen(ScreenId::DrawResult);
}

void frmNewExpert::SaveNewExpert()
{
    std::optional<ExpertRecordBuffer> record = gatherFields();
    if (!record)
        return;
    QList<FormerUnit> former;
    if (!readFormerUnits(&former))
        return;
    record->formerUnits = former;

    const Result<QString> added = AddExpertRecord(m_state.store, *record);
    if (!added) {
        // Nothing was stored: the user keeps the values and may save again.
        m_state.messages().failed(added.failure());
        return;
    }
    const QString &id = added.value();
    m_state.messages().information(QStringLiteral("增加成功。"));

    const bool temporary = temporaryMode();
    // The expert is in the file from here on: it joins the draw list before
    // the table is brought up to date, so that a failed read cannot leave it
    // stored but outside the extraction it was made for.
    if (temporary) {
        const QStringList row = record->drawListRow(id);
        m_state.draw.DrawList.append(row);
        // A temporary expert is a round of the draw of its own.
        m_state.draw.DrawRecord.rounds.append(TemporaryRound(row, m_state.services.clock->now()));
    }
    if (const Outcome refreshed = RefreshExperts(m_state.store, {id}); !refreshed) {
        m_state.messages().failed(refreshed.failure());
        return;
    }
    if (temporary)
        back();
}
