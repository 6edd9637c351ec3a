#include "extraction/frmExpertHistory.h"
#include "ui/Guarded.h"

#include "extraction/ProjectDraws.h"
#include "extraction/frmNewPro.h"
#include "lists/PagedList.h"
#include "reports/Reports.h"
#include "ui/CriteriaGrid.h"
#include "ui/Twips.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>

namespace {

const QString kHeading = QStringLiteral(" 序号    姓名     性别    出生时间         工作单位                 从事专业  "
                                        "              资格名称           电话号码");
const QString kStartLabel = QStringLiteral("开始日期：");
const QString kEndLabel = QStringLiteral("结束日期：");
constexpr int kDateGapBlanks = 24;

constexpr int kCaptionLeft = 450;
constexpr int kRow1Top = 900;
constexpr int kRow2Top = 1320;
constexpr int kNoteTop = 1800;
constexpr int kFieldWidth = 1695;
constexpr int kHeadingTop = 2220;
constexpr int kFirstRowTop = 2520;
constexpr int kPageLinksTop = 5640;
constexpr int kReportButtonsTop = 6060;

}   // namespace

frmExpertHistory::frmExpertHistory(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    m_criteria.fill(kNoRecord);

    addPathLabel();
    addTitle(QStringLiteral("历史抽取专家记录"), 5160);

    // One label carries both date captions; the fields stand right of each
    // caption, and the second row's captions line up with the first's.
    const QString gap(kDateGapBlanks, QLatin1Char(' '));
    addLabel(ArrayName(QStringLiteral("labDis"), 0), kStartLabel + gap + kEndLabel, kCaptionLeft, kRow1Top + 60);
    const QFontMetrics fm(font());
    const int firstFieldLeft = kCaptionLeft + Tw(fm.horizontalAdvance(kStartLabel));
    const int secondCaptionLeft = kCaptionLeft + Tw(fm.horizontalAdvance(kStartLabel + gap));
    const int secondFieldLeft = secondCaptionLeft + Tw(fm.horizontalAdvance(kEndLabel));

    txtFrom = addTextBox(QStringLiteral("txtFrom"), firstFieldLeft, kRow1Top, kFieldWidth);
    txtTo = addTextBox(QStringLiteral("txtTo"), secondFieldLeft, kRow1Top, kFieldWidth);
    const QIcon calendarIcon = style()->standardIcon(QStyle::SP_ArrowDown);
    cmdFrom = addButton(QStringLiteral("cmdFrom"), QString(), firstFieldLeft + kFieldWidth + 15, kRow1Top, 300, 315);
    cmdTo = addButton(QStringLiteral("cmdTo"), QString(), secondFieldLeft + kFieldWidth + 15, kRow1Top, 300, 315);
    cmdFrom->setIcon(calendarIcon);
    cmdTo->setIcon(calendarIcon);

    MakeStar(this, ArrayName(QStringLiteral("labDis"), 12), kCaptionLeft - 120, kRow2Top + 60);
    addLabel(ArrayName(QStringLiteral("labDis"), 1), QStringLiteral("从事专业："), kCaptionLeft, kRow2Top + 60);
    txtProfession = addTextBox(ArrayName(QStringLiteral("txtDis"), 0), firstFieldLeft, kRow2Top, kFieldWidth);
    MakeStar(this, ArrayName(QStringLiteral("labDis"), 13), secondCaptionLeft - 120, kRow2Top + 60);
    addLabel(ArrayName(QStringLiteral("labDis"), 2), QStringLiteral("工作单位："), secondCaptionLeft, kRow2Top + 60);
    txtWorkUnit = addTextBox(ArrayName(QStringLiteral("txtDis"), 1), secondFieldLeft, kRow2Top, kFieldWidth);

    cmdSearch = addButton(QStringLiteral("cmdSearch"), QStringLiteral("检 索"), 6900, kRow2Top - 60, 1095, 435);
    cmd_Clear = addButton(QStringLiteral("cmd_Clear"), QStringLiteral("清 空"), 8280, kRow2Top - 60, 1095, 435);

    const QString note = QStringLiteral("（ 号项目为可进行模糊查询的项目。）");
    QLabel *noteLabel = addLabel(ArrayName(QStringLiteral("labDis"), 11), note, kCaptionLeft, kNoteTop);
    PlaceNoteStar(noteLabel, MakeStar(this, ArrayName(QStringLiteral("labDis"), 3), kCaptionLeft, kNoteTop));

    const QVector<int> words = HeadingWordLefts(addHeading(kHeading, 300, kHeadingTop, 0));
    ListLayout layout;
    // The last column is not bounded by a further title; it holds a phone number.
    layout.setColumns(words, words.last() + 1260, 60);
    layout.firstRowTop = kFirstRowTop;
    layout.setPageLinks(kPageLinksTop);
    m_list = new PagedList(this, m_state.paging, layout);

    cmdPreview =
        addButton(QStringLiteral("cmdPreview"), QStringLiteral("打印预览"), 4725, kReportButtonsTop, 1095, 435);
    cmdExcel = addButton(QStringLiteral("cmdExcel"), QStringLiteral("导出Excel"), 6600, kReportButtonsTop, 1095, 435);
    // The reports print the criteria of the last search, not what the fields
    // hold now.
    connect(cmdPreview, &QPushButton::clicked, this, Guarded([this] {
                PreviewReport(ReportContextOf(m_state), this, ReportKind::History, m_state.HistoryList, reportHeader(),
                              reportControls());
            }));
    connect(cmdExcel, &QPushButton::clicked, this, Guarded([this] {
                ExportReport(ReportContextOf(m_state), this, ReportKind::History, m_state.HistoryList, reportHeader(),
                             reportControls());
            }));

    // The calendars drop down under their fields, over the controls below.
    auto makeCalendar = [this](const QString &name, QLineEdit *field) {
        auto *calendar = new QCalendarWidget(this);
        calendar->setObjectName(name);
        calendar->setLocale(QLocale(QLocale::Chinese, QLocale::China));
        calendar->setGridVisible(true);
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        calendar->setGeometry(QRect(QPoint(field->x(), field->geometry().bottom() + 1), calendar->sizeHint()));
        calendar->hide();
        connect(calendar, &QCalendarWidget::clicked, this,
                Guarded([this, calendar, field](const QDate &date) { pickDate(calendar, field, date); }));
        connect(calendar, &QCalendarWidget::activated, this,
                Guarded([this, calendar, field](const QDate &date) { pickDate(calendar, field, date); }));
        return calendar;
    };
    MonthView1 = makeCalendar(QStringLiteral("MonthView1"), txtFrom);
    MonthView2 = makeCalendar(QStringLiteral("MonthView2"), txtTo);

    connect(cmdFrom, &QPushButton::clicked, this, Guarded([this] { toggleCalendar(MonthView1, txtFrom); }));
    connect(cmdTo, &QPushButton::clicked, this, Guarded([this] { toggleCalendar(MonthView2, txtTo); }));
    txtFrom->installEventFilter(this);
    txtTo->installEventFilter(this);
    connect(cmdSearch, &QPushButton::clicked, this, Guarded(this, &frmExpertHistory::search));
    connect(cmd_Clear, &QPushButton::clicked, this, Guarded(this, &frmExpertHistory::clearFields));
}

void frmExpertHistory::onLoad() { clearFields(); }

void frmExpertHistory::onActivate(const ScreenArgs &)
{
    m_criteria.fill(kNoRecord);
    clearFields();
    MonthView1->hide();
    MonthView2->hide();
    runFilterAndShow();
}

QList<QWidget *> frmExpertHistory::reportControls() const
{
    return {cmdSearch, cmd_Clear, cmdPreview, cmdExcel, cmdFrom, cmdTo, txtFrom, txtTo};
}

bool frmExpertHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtFrom || watched == txtTo) {
        // A click of the left button toggles the field's calendar once; the
        // release that ends a double click is part of the same click, so a
        // double click (as when selecting the date text) leaves it open.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            m_doubleClickField = watched;
        } else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
            auto *field = static_cast<QLineEdit *>(watched);
            if (m_doubleClickField == watched)
                m_doubleClickField = nullptr;
            else if (field->isEnabled())
                toggleCalendar(field == txtFrom ? MonthView1 : MonthView2, field);
        }
    }
    return ChildScreen::eventFilter(watched, event);
}

QVector<ReportHeaderCell> frmExpertHistory::reportHeader() const
{
    return HistoryHeaderCells(QStringList(m_criteria.begin(), m_criteria.end()));
}

void frmExpertHistory::search()
{
    m_criteria[H_StartDate] = txtFrom->text().trimmed();
    m_criteria[H_EndDate] = txtTo->text().trimmed();
    m_criteria[H_Profession] = txtProfession->text().trimmed();
    m_criteria[H_WorkUnit] = txtWorkUnit->text().trimmed();
    runFilterAndShow();
}

void frmExpertHistory::clearFields()
{
    const QString today = m_state.today().toString(kStoredDateFormat);
    txtFrom->setText(today);
    txtTo->setText(today);
    txtProfession->clear();
    txtWorkUnit->clear();
}

void frmExpertHistory::runFilterAndShow()
{
    // The records of panels still confidential to this user are listed
    // without their experts; when that cannot be known, nothing is listed.
    QSet<QString> hidden;
    if (m_criteria[H_StartDate] <= m_criteria[H_EndDate]) {
        const Result<QSet<QString>> read = HiddenSelections(
            m_state.store, CurrentViewer(m_state.session, m_state.store.UserTable), m_state.services.clock->now());
        if (!read) {
            m_state.HistoryList.clear();
            ListCall empty;
            empty.columnsUsed = 8;
            empty.list = &m_state.HistoryList;
            m_list->show(empty);
            m_state.messages().failed(read.failure());
            return;
        }
        hidden = read.value();
    }
    m_state.HistoryList = FilterHistory(m_state.store.SelectionTable, m_state.store.ExpertTable, m_criteria, hidden);
    maskPersonalRows(m_state.HistoryList, kDrawRowColumns);
    ListCall call;
    call.columnsUsed = 8;
    call.list = &m_state.HistoryList;
    m_list->show(call);
}

void frmExpertHistory::toggleCalendar(QCalendarWidget *calendar, QLineEdit *field)
{
    if (calendar->isVisible()) {
        calendar->hide();
    } else {
        // A field edited into something that is not a date opens on today.
        QDate date = QDate::fromString(field->text().trimmed(), kStoredDateFormat);
        if (!date.isValid())
            date = m_state.today();
        calendar->setSelectedDate(date);
        calendar->show();
        calendar->raise();
    }
    txtProfession->setFocus();
}

void frmExpertHistory::pickDate(QCalendarWidget *calendar, QLineEdit *field, const QDate &date)
{
    field->setText(date.toString(kStoredDateFormat));
    calendar->hide();
    txtProfession->setFocus();
}
