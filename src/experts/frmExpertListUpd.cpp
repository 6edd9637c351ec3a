#include "experts/frmExpertListUpd.h"

#include "data/PersonalData.h"

#include <QPushButton>
#include <QTableWidget>

frmExpertListUpd::frmExpertListUpd(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ExpertEditorScreen(state, nav, kForm, parent)
{
}

QString frmExpertListUpd::chosenExpertId() const
{
    const qsizetype row = m_state.paging.SelectedRow - 1;
    if (row < 0 || row >= m_state.ExpertListRows.count() || m_state.ExpertListRows.cellCount(row) == 0)
        return QString();
    return m_state.ExpertListRows.cell(row, 0).toString();
}

void frmExpertListUpd::onActivate(const ScreenArgs &)
{
    const QString id = chosenExpertId();
    const qsizetype row = id.isEmpty() ? -1 : FindExpertRow(m_state.store, id);
    // An expert no longer in the table leaves the inputs as they were; the
    // save then reports that no record matches.
    if (row >= 0) {
        m_shownRow = m_state.store.ExpertTable.row(row);
        QStringList shown = m_shownRow;
        // Editing is the administrator's; should a masked role ever get here,
        // it sees what the detail view shows and the save keeps the real values.
        if (masked()) {
            shown[Schema::E_Profession] = MaskIdNumber(shown.value(Schema::E_Profession));
            shown[Schema::E_Mobile] = MaskPhone(shown.value(Schema::E_Mobile));
        }
        showExpertRow(shown);
        const Result<QList<FormerUnit>> former = ReadFormerUnits(m_state.store, id);
        m_formerShown = bool(former);
        showFormerUnits(former ? former.value() : QList<FormerUnit>());
        if (!former)
            m_state.messages().failed(former.failure().prefixed(
                QStringLiteral("无法读取该专家的曾任职单位，本次修改不会改变曾任职单位：\n")));
    } else {
        m_shownRow.clear();
        m_formerShown = false;
    }
    grdFormerUnits->setEnabled(m_formerShown);
    cmdAddUnit->setEnabled(m_formerShown);
    cmdDelUnit->setEnabled(m_formerShown);
}

bool frmExpertListUpd::masked() const { return MasksPersonalData(m_state.store, m_state.session.CurrentUserRole); }

void frmExpertListUpd::back() { m_nav.openScreen(ScreenId::ExpertList); }

void frmExpertListUpd::SaveExpertUpdate()
{
    std::optional<ExpertRecordBuffer> record = gatherFields();
    if (!record)
        return;
    if (m_formerShown) {
        QList<FormerUnit> former;
        if (!readFormerUnits(&former))
            return;
        record->formerUnits = former;
    }
    // A masked value left as it was stands for the value behind it.
    if (masked() && !m_shownRow.isEmpty()) {
        QString &idNumber = record->entry[Schema::E_Profession];
        idNumber = UnmaskedIdNumber(idNumber, m_shownRow.value(Schema::E_Profession));
        QString &mobile = record->entry[Schema::E_Mobile];
        mobile = UnmaskedPhone(mobile, m_shownRow.value(Schema::E_Mobile));
    }
    // Engine errors are not handled here: they reach the program's handler.
    // The record is rewritten by one statement, so the file stays whole.
    const QString id = chosenExpertId();
    const ExpertUpdate saved =
        id.isEmpty() ? ExpertUpdate::Missing : UpdateExpertAsRead(m_state.store, id, *record, m_shownRow);
    if (saved == ExpertUpdate::Conflict) {
        m_state.messages().critical(QString::fromUtf8(kExpertChangedElsewhere));
        return;
    }
    if (saved != ExpertUpdate::Updated) {
        m_state.messages().critical(QStringLiteral("没有匹配的记录！"));
        return;
    }
    m_state.messages().information(QStringLiteral("修改成功。"));
    if (const Outcome refreshed = RefreshExperts(m_state.store, {id}); !refreshed)
        m_state.messages().failed(refreshed.failure());
    back();
}
