#pragma once

#include "data/Schema.h"
#include "data/Tables.h"
#include "data/UnitHistory.h"
#include "data/Vocabulary.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// How an expert field is entered on the editor.
enum class ExpertInputKind {
    Text,        // single-line text box
    Date,        // single-line text box whose short dates are completed
    MultiLine,   // multi-line text box with a vertical scroll bar
    List,        // drop-down list the user can only pick from
};

// One of the 26 expert fields as the editor and the detail view show it. The
// caption index is also the index of the detail view's box; the editor uses
// its own text-box index or a named list.
struct ExpertFieldDef {
    int caption;   // labDis index
    const char *captionText;
    int field;   // expert_msg position
    ExpertInputKind kind;
    int editorBox;          // editor's txtDis index, -1 for a list
    const char *listName;   // editor's list, nullptr for a text box
    int row;                // 1..9 on the form
    int column;             // 0..3
    int width;              // input width in twips, 0 for the standard width
};

// The 26 fields in form order (row by row, left to right).
const std::array<ExpertFieldDef, 26> &ExpertFields();
// The field definition for an expert_msg position, nullptr for Id, area_id
// and Reg_date, which have no input.
const ExpertFieldDef *ExpertFieldForPosition(int field);

// Width the stored value of a position is clipped to; 0 for positions that
// are written unclipped (1 to 16).
int ExpertFieldWidth(int field);

// What the editor's inputs hold, by expert_msg position 1..27: text boxes as
// typed; lists as the value they store (the item text, the degree code or the
// title level's Id), or "" when nothing is chosen.
struct ExpertFormValues {
    std::array<QString, Schema::ExpertFieldCount> byField;
};

// The values of one save, by expert_msg position 1..28 (entry 0 unused):
// every empty value is a single space.
struct ExpertRecordBuffer {
    std::array<QString, Schema::ExpertFieldCount> entry;
    // The expert's former work units, written with the record when given
    // (replacing those kept); left alone when not.
    std::optional<QList<FormerUnit>> formerUnits;

    // Positions 1..28 as written to the file: 17 to 28 clipped to their widths.
    QStringList storedFields() const;
    // The draw-list row of a temporary expert saved with this buffer, from
    // the values as gathered (unclipped).
    QStringList drawListRow(const QString &id) const;
};

// Completes dates typed with a one-digit month or day ("1965-3-8" becomes
// "1965-03-08"); any other text is returned trimmed, unchanged otherwise.
QString NormalizeDateText(const QString &text);

// The text of a one-line box as one line: each run of line breaks, tabs
// and other control characters becomes one space; trimmed.
QString OneLine(const QString &text);

// Builds the buffer of one save: the name is required (nullopt without it),
// texts trimmed, one-line texts made one line, dates completed, empty values
// a single space, Reg_date today.
std::optional<ExpertRecordBuffer> GatherExpertFields(const ExpertFormValues &values, const QDate &today);

// The one way a new expert record is written: the statement is prepared
// once on the caller's connection and takes any number of records. Inside
// the caller's transaction they are stored together or not at all.
class ExpertWriter {
public:
    explicit ExpertWriter(Connection &conn);
    // Writes the record with this Id and fields 1..28 in position order, as
    // ExpertRecordBuffer::storedFields gives them; a field missing from a
    // short list is written as one space. Throws DbError.
    void insert(const QString &id, const QStringList &fields);

private:
    Statement m_insert;
};

// Adds the expert as a new record numbered after the highest record of the
// file and returns its identifier, or the failure, with the file
// unchanged, when the record cannot be written.
Result<QString> AddExpertRecord(const DataStore &store, const ExpertRecordBuffer &record);
// Rewrites every field but Id of the expert with this Id. Returns false, with
// nothing written, when the file holds no such expert. Throws DbError.
bool UpdateExpertRecord(const DataStore &store, const QString &id, const ExpertRecordBuffer &record);

// What became of an expert's changes.
enum class ExpertUpdate {
    Updated,
    Missing,    // the file holds no such expert
    Conflict,   // server: another user changed or deleted the expert since it was read
};
inline constexpr const char *kExpertChangedElsewhere = "该专家的信息已被其他用户修改或删除，请重新打开后再修改。";
// UpdateExpertRecord with the reason when nothing was written. On a server,
// where others write too, the record is rewritten only while it still holds
// asRead, the row the editor was filled from (compared inside the writing
// transaction); a file has one user and is not compared.
ExpertUpdate UpdateExpertAsRead(const DataStore &store, const QString &id, const ExpertRecordBuffer &record,
                                const QStringList &asRead);

// Row of ExpertTable whose Id equals id exactly, or -1.
qsizetype FindExpertRow(const DataStore &store, const QString &id);

// Result of deleting a set of experts.
struct ExpertDeletion {
    bool deleted = false;
    qsizetype missingIndex = -1;   // the first Id not in expert_msg, when nothing was deleted
};

// Deletes the experts with these Ids and every sel_expert record of theirs
// as one transaction. When one of the Ids names no expert, nothing at all is
// deleted. Stored projects keep their snapshots of these experts, with the
// links marked as removed on day. Does not update the in-memory tables.
// A failure leaves the file as it was.
Result<ExpertDeletion> DeleteExpertsWithSelections(const DataStore &store, const QStringList &ids,
                                                   const QDate &day = QDate::currentDate());
// Ids of the SelectionTable records that name one of these experts.
QStringList SelectionIdsOfExperts(const DataStore &store, const QStringList &expertIds);
