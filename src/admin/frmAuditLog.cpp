#include "admin/frmAuditLog.h"
#include "ui/Guarded.h"

#include "admin/AuditLogView.h"
#include "data/ServerAddress.h"
#include "lists/PagedList.h"
#include "reports/ReportPreview.h"
#include "reports/Reports.h"
#include "ui/BusyCursor.h"
#include "ui/FieldNames.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kCaptionLeft = 450;
constexpr int kSecondCaptionLeft = 4200;
constexpr int kRow1Top = 900;
constexpr int kRow2Top = 1320;
constexpr int kNoteTop = 1800;
constexpr int kFieldWidth = 1995;
constexpr int kHeadingLeft = 300;
constexpr int kHeadingTop = 2220;
constexpr int kFirstRowTop = 2520;
constexpr int kPageLinksTop = 5640;
constexpr int kReportButtonsTop = 6060;

// Column titles and where each starts, in twips from the heading's left; the
// last column ends at kListEnd. 内容 gets the room, 链哈希 fits "SEQ:16 hex".
const QStringList kTitles{QStringLiteral("序号"),  QStringLiteral("时间"), QStringLiteral("操作员"),
                          QStringLiteral("类别"),  QStringLiteral("对象"), QStringLiteral("内容"),
                          QStringLiteral("链哈希")};
const QVector<int> kTitleLefts{60, 660, 2760, 3960, 5400, 7200, 12000};
constexpr int kListEnd = 14700;

// The heading as one line of titles spaced with blanks so that each title
// starts at (or just after) its place.
QString spacedHeading(const QFontMetrics &fm)
{
    QString text;
    for (int i = 0; i < kTitles.size(); ++i) {
        while (Tw(fm.horizontalAdvance(text)) < kTitleLefts[i])
            text += QLatin1Char(' ');
        text += kTitles[i];
    }
    return text + QStringLiteral("  ");
}

QString orAll(const QString &text) { return text.trimmed().isEmpty() ? QStringLiteral("不限") : text.trimmed(); }

}   // namespace

frmAuditLog::frmAuditLog(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    addTitle(QStringLiteral("操作日志"), 5760);

    const QFontMetrics fm(font());
    auto fieldLeft = [&](int captionLeft, const QString &caption) {
        return captionLeft + Tw(fm.horizontalAdvance(caption)) + 60;
    };
    const QString fromCaption = QStringLiteral("开始日期：");
    const QString toCaption = QStringLiteral("结束日期：");
    const QString whoCaption = QStringLiteral("操 作 员：");
    const QString kindCaption = QStringLiteral("类    别：");
    addLabel(ArrayName(QStringLiteral("labDis"), 0), fromCaption, kCaptionLeft, kRow1Top + 60);
    txtFrom = addTextBox(QStringLiteral("txtFrom"), fieldLeft(kCaptionLeft, fromCaption), kRow1Top, kFieldWidth);
    addLabel(ArrayName(QStringLiteral("labDis"), 1), toCaption, kSecondCaptionLeft, kRow1Top + 60);
    txtTo = addTextBox(QStringLiteral("txtTo"), fieldLeft(kSecondCaptionLeft, toCaption), kRow1Top, kFieldWidth);
    for (QLineEdit *date : {txtFrom, txtTo})
        date->setPlaceholderText(QStringLiteral("年-月-日"));

    addLabel(ArrayName(QStringLiteral("labDis"), 2), whoCaption, kCaptionLeft, kRow2Top + 60);
    cboOperator =
        addList(QStringLiteral("cboOperator"), {}, fieldLeft(kCaptionLeft, whoCaption), kRow2Top, kFieldWidth, 315);
    // A user since removed is still in the log: the name may be typed.
    cboOperator->setEditable(true);
    cboOperator->setInsertPolicy(QComboBox::NoInsert);
    addLabel(ArrayName(QStringLiteral("labDis"), 3), kindCaption, kSecondCaptionLeft, kRow2Top + 60);
    cboKind = addList(QStringLiteral("cboKind"), AuditKindItems(), fieldLeft(kSecondCaptionLeft, kindCaption), kRow2Top,
                      kFieldWidth, 315);
    cboKind->setMaxVisibleItems(cboKind->count());

    // Each caption labels its field: a screen reader reads a combo box by
    // its text and finds the caption through this relation.
    const QList<QPair<int, QWidget *>> captioned{{0, txtFrom}, {1, txtTo}, {2, cboOperator}, {3, cboKind}};
    for (const auto &[index, field] : captioned) {
        auto *caption = findChild<QLabel *>(ArrayName(QStringLiteral("labDis"), index));
        caption->setBuddy(field);
        field->setAccessibleName(CaptionAsName(caption->text()));
    }
    cboOperator->lineEdit()->setAccessibleName(cboOperator->accessibleName());

    cmdSearch = addButton(QStringLiteral("cmdSearch"), QStringLiteral("查 询"), 8400, kRow2Top - 60, 1095, 435);
    cmdSeal = addButton(QStringLiteral("cmdSeal"), QStringLiteral("日志封存单"), 9780, kRow2Top - 60, 1395, 435);

    addLabel(ArrayName(QStringLiteral("labDis"), 4),
             QStringLiteral("（日期留空为不限。链哈希即该条记录的“序号:哈希”，可用 kestrune-verify --head 核对。）"),
             kCaptionLeft, kNoteTop);

    QLabel *heading = addHeading(QString(), kHeadingLeft, kHeadingTop, kListEnd - kHeadingLeft);
    heading->setText(spacedHeading(QFontMetrics(heading->font())));
    const QVector<int> words = HeadingWordLefts(heading);
    ListLayout layout;
    layout.setColumns(words, kListEnd, 90);
    layout.firstRowTop = kFirstRowTop;
    layout.setPageLinks(kPageLinksTop);
    m_list = new PagedList(this, m_state.paging, layout);
    labCount = addLabel(QStringLiteral("labCount"), QString(), kCaptionLeft, kPageLinksTop);

    cmdPreview =
        addButton(QStringLiteral("cmdPreview"), QStringLiteral("打印预览"), 4725, kReportButtonsTop, 1095, 435);
    cmdExcel = addButton(QStringLiteral("cmdExcel"), QStringLiteral("导出Excel"), 6600, kReportButtonsTop, 1095, 435);

    connect(cmdSearch, &QPushButton::clicked, this, Guarded(this, &frmAuditLog::search));
    connect(txtFrom, &QLineEdit::returnPressed, this, Guarded(this, &frmAuditLog::search));
    connect(txtTo, &QLineEdit::returnPressed, this, Guarded(this, &frmAuditLog::search));
    connect(m_list, &PagedList::pageShown, this, Guarded(this, &frmAuditLog::describeCells));
    // The reports print the rows and criteria of the last search, not what
    // the fields hold now.
    connect(cmdPreview, &QPushButton::clicked, this, Guarded([this] {
                PreviewReport(ReportContextOf(m_state), this, ReportKind::AuditLog, m_rows, reportHeader(),
                              reportControls());
            }));
    connect(
        cmdExcel, &QPushButton::clicked, this, Guarded([this] {
            // An .xls sheet ends at 65,536 rows: say so before the user
            // picks a file, rather than failing after a long wait.
            const qsizetype room = kXlsMaxRows - LayoutOf(ReportKind::AuditLog).headingRows - 2;
            if (m_rows.count() > room) {
                m_state.messages().information(
                    QStringLiteral("查到 %1 条记录，超过一个Excel工作表所能容纳的 %2 条，请缩小日期范围后分批导出。")
                        .arg(m_rows.count())
                        .arg(room));
                return;
            }
            ExportReport(ReportContextOf(m_state), this, ReportKind::AuditLog, m_rows, reportHeader(),
                         reportControls());
        }));
    // The seal is an entry of its own: the list shows it at once.
    connect(cmdSeal, &QPushButton::clicked, this, Guarded([this] {
                if (ShowLogSeal(m_state, this))
                    search();
            }));
}

QList<QWidget *> frmAuditLog::reportControls() const
{
    return {cmdSearch, cmdPreview, cmdExcel, cmdSeal, txtFrom, txtTo, cboOperator, cboKind};
}

QVector<ReportHeaderCell> frmAuditLog::reportHeader() const { return AuditLogHeaderCells(m_criteria); }

void frmAuditLog::onActivate(const ScreenArgs &)
{
    const QString today = m_state.today().toString(kStoredDateFormat);
    txtFrom->setText(today);
    txtTo->setText(today);
    fillOperators();
    cboOperator->setCurrentIndex(0);
    cboKind->setCurrentIndex(0);
    search();
}

void frmAuditLog::fillOperators()
{
    QStringList names{kAllKinds};
    const TextTable &users = m_state.store.UserTable;
    for (qsizetype r = 0; r < users.count(); ++r) {
        const QString name = users.cell(r, 1).toString().trimmed();
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    cboOperator->clear();
    cboOperator->addItems(names);
}

void frmAuditLog::search()
{
    const Result<AuditFilter> filter =
        ParseAuditCriteria(txtFrom->text(), txtTo->text(), cboOperator->currentText(), cboKind->currentText());
    if (!filter) {
        m_state.messages().information(filter.message());
        return;
    }
    Result<QList<AuditEntry>> entries = QList<AuditEntry>();
    Result<AuditHead> head = AuditHead();
    {
        BusyCursor busy;
        entries = ReadAuditEntries(m_state.store, *filter);
        head = ReadAuditHead(m_state.store);
        if (entries)
            m_rows = AuditLogRows(*entries);
    }
    if (!entries) {
        m_state.messages().failed(entries.failure());
        return;
    }
    m_criteria = {
        orAll(txtFrom->text()), orAll(txtTo->text()), filter->operatorName.isEmpty() ? kAllKinds : filter->operatorName,
        filter->kind.isEmpty() ? kAllKinds : AuditKind::Caption(filter->kind), head ? head->text() : head.message()};
    ListCall call;
    call.columnsUsed = kAuditListColumns;
    call.list = &m_rows;
    m_list->show(call);
    labCount->setText(QStringLiteral("共 %1 条").arg(m_rows.count()));
    labCount->adjustSize();
}

void frmAuditLog::describeCells()
{
    // The content column is cut at its edge; its whole text is a tool tip
    // away. Tool tips read markup, so the user's text goes in escaped.
    ListControls &c = m_list->controls();
    for (int col = 1; col < kAuditListColumns; ++col)
        for (int i = 0; i < kRowsPerPage; ++i)
            if (QLabel *cell = c.lab[col][i]) {
                const QString text = cell->text();
                cell->setToolTip(text.isEmpty() ? QString() : QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()));
            }
}

Result<LogSealContent> ReadLogSealContent(const AppState &state)
{
    const Result<AuditSummary> summary = ReadAuditSummary(state.store);
    if (!summary)
        return summary.failure().prefixed(QStringLiteral("无法读取操作日志：\n"));
    LogSealContent c;
    c.onServer = state.store.source.isServer();
    c.library =
        c.onServer ? ServerDisplayName(ServerAddressFromUri(state.store.source.uri)) : state.store.dataFilePath();
    c.at = state.services.clock->now();
    c.operatorName = state.store.operatorName.isEmpty() ? CurrentUserName(state.session, state.store.UserTable)
                                                        : state.store.operatorName;
    c.head = summary->head;
    c.entries = summary->entries;
    return c;
}

ReportPreview *ShowLogSeal(AppState &state, QWidget *owner)
{
    if (!state.session.isAdministrator())
        return nullptr;
    const Result<LogSealContent> content = ReadLogSealContent(state);
    if (!content) {
        state.messages().failed(content.failure());
        return nullptr;
    }
    if (content->head.empty()) {
        state.messages().information(QStringLiteral("操作日志中还没有记录，没有可封存的内容。"));
        return nullptr;
    }
    const LogSealContent &c = *content;
    // The seal is itself an entry: the head it names stays in the log as
    // the entry before it.
    return PreviewLogSeal(ReportContextOf(state), owner, c, [&state, &c] {
        return AppendAudit(state.store, AuditKind::LogSeal, c.head.text(),
                           {{"head", c.head.text()}, {"sealed_hash", c.head.hash}, {"entries", c.entries}});
    });
}
