#include "shell/UnsavedDraw.h"

#include "data/DrawStore.h"
#include "data/KeptDraw.h"
#include "data/Schema.h"
#include "files/RunFolders.h"
#include "shell/AppState.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace {

QString userNameOf(const AppState &state)
{
    for (qsizetype r = 0; r < state.store.UserTable.count(); ++r)
        if (state.store.UserTable.cell(r, 0) == state.session.CurrentUserId)
            return state.store.UserTable.cell(r, 1).toString();
    return QString();
}

void refuse(AppState &state, const QString &path, const QString &why)
{
    const QString aside = SetAsideRunFile(path, state.services.clock->now());
    state.messages().critical(
        QStringLiteral("上次运行留下了一份未保存的抽取结果，但不能恢复：%1。\n%2")
            .arg(why, aside.isEmpty() ? QStringLiteral("该文件已删除。")
                                      : QStringLiteral("该文件已移到“%1”。").arg(QDir::toNativeSeparators(aside))));
}

}   // namespace

Outcome KeepUnsavedDraw(const AppState &state)
{
    const QString path = KeptDrawPath(state.store.appDir, state.session.CurrentUserId);
    const DrawWorkspace &draw = state.draw;
    if (!draw.DrawUnsaved || draw.DrawList.isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path))
            return Outcome::fail(QStringLiteral("无法删除暂存的抽取结果“%1”。").arg(QDir::toNativeSeparators(path)));
        return Outcome::success();
    }
    KeptDraw kept;
    kept.library = KeptDrawLibrary(state.store);
    kept.userId = state.session.CurrentUserId;
    kept.userName = userNameOf(state);
    kept.keptAt = state.services.clock->now();
    for (qsizetype r = 0; r < draw.DrawList.count(); ++r)
        kept.drawListIds << draw.DrawList.cell(r, 0).toString();
    kept.record = draw.DrawRecord;
    kept.avoidance = draw.Avoidance;
    const Outcome written = WriteRunFile(path, KeptDrawToJson(kept));
    if (!written)
        return written.prefixed(QStringLiteral("未保存的抽取结果无法暂存，程序意外退出时将无法恢复。\n"));
    return written;
}

KeptDrawOutcome OfferKeptDraw(AppState &state)
{
    const QString path = KeptDrawPath(state.store.appDir, state.session.CurrentUserId);
    if (!QFile::exists(path))
        return KeptDrawOutcome::None;
    QFile file(path);
    // A draw list is a few kilobytes; anything far larger is no kept draw.
    constexpr qint64 kLargest = 64 * 1024 * 1024;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargest) {
        refuse(state, path, QStringLiteral("文件无法读取"));
        return KeptDrawOutcome::Refused;
    }
    const std::optional<KeptDraw> kept = KeptDrawFromJson(file.readAll());
    file.close();
    if (!kept) {
        refuse(state, path, QStringLiteral("文件已损坏，或不是本程序暂存的抽取结果"));
        return KeptDrawOutcome::Refused;
    }
    if (kept->library != KeptDrawLibrary(state.store)) {
        refuse(state, path, QStringLiteral("它属于另一个专家库（%1）").arg(kept->library));
        return KeptDrawOutcome::Refused;
    }
    if (kept->userId != state.session.CurrentUserId) {
        refuse(state, path, QStringLiteral("它不是当前用户的抽取结果"));
        return KeptDrawOutcome::Refused;
    }

    const Result<KeptDrawCheck> checked = CheckKeptDraw(state.store, *kept);
    if (!checked) {
        // The library could not be read: the file stays for the next start.
        state.messages().failed(checked.failure().prefixed(
            QStringLiteral("无法核对上次运行留下的未保存抽取结果，下次启动时将再次核对。\n")));
        return KeptDrawOutcome::None;
    }
    if (checked->outdated) {
        QFile::remove(path);
        return KeptDrawOutcome::Outdated;
    }
    if (!checked->problems.isEmpty()) {
        refuse(
            state, path,
            QStringLiteral("它与数据库中的抽取过程记录不符（%1）").arg(checked->problems.join(QStringLiteral("；"))));
        return KeptDrawOutcome::Refused;
    }

    // The rows as the library has them now.
    QHash<QString, qsizetype> rowOf;
    for (qsizetype r = 0; r < state.store.ExpertTable.count(); ++r)
        rowOf.insert(state.store.ExpertTable.cell(r, Schema::E_Id).toString(), r);
    TextTable rows;
    QStringList names;
    for (const QString &id : kept->drawListIds) {
        const qsizetype r = rowOf.value(id);
        const TextTable &t = state.store.ExpertTable;
        rows.append({id, t.cell(r, Schema::E_Name).toString(), t.cell(r, Schema::E_Sex).toString(),
                     t.cell(r, Schema::E_birth_date).toString(), t.cell(r, Schema::E_Company_name).toString(),
                     t.cell(r, Schema::E_cong_shi_zhuanye).toString(), t.cell(r, Schema::E_zige_name).toString(),
                     t.cell(r, Schema::E_Mobile).toString()});
        names << t.cell(r, Schema::E_Name).trimmed().toString();
    }

    const bool restore = state.messages().question(
        QStringLiteral(
            "上次运行于%1结束时，有一份未保存的抽取结果（%2位专家：%3）。\n是否恢复？选择“否”将放弃这份抽取结果。")
            .arg(kept->keptAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
            .arg(rows.count())
            .arg(names.join(QStringLiteral("、"))));
    DrawWorkspace &draw = state.draw;
    draw.DrawList = rows;
    draw.DrawRecord = kept->record;
    draw.DrawRecord.trailEvents = qMax(kept->record.trailEvents, checked->trailEvents);
    draw.PendingTrail.clear();
    draw.Avoidance = kept->avoidance;
    draw.DrawUnsaved = true;
    if (restore)
        return KeptDrawOutcome::Restored;

    // Dropped as a draw dropped at exit is: on record.
    DrawEvent dropped;
    dropped.kind = DrawEventKind::Discard;
    dropped.at = state.services.clock->now();
    dropped.operatorName = kept->userName;
    dropped.expertIds = kept->drawListIds;
    const Outcome written = RecordDrawEvent(state.store, draw.Trail(), dropped);
    draw.DrawUnsaved = false;
    draw.StartNewDraw();
    draw.DrawList.clear();
    if (!written) {
        state.messages().failed(written.failure());
        return KeptDrawOutcome::Discarded;
    }
    QFile::remove(path);
    return KeptDrawOutcome::Discarded;
}
