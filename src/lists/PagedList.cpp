#include "lists/PagedList.h"
#include "ui/Guarded.h"

#include "ui/ClickableLabel.h"
#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QWidget>
#include <limits>

namespace {

ClickableLabel *MakeLink(QWidget *screen, const QString &name, const QString &caption, int left, int top, int height)
{
    auto *link = new ClickableLabel(caption, screen);
    link->setObjectName(name);
    link->setCursor(Qt::PointingHandCursor);
    link->move(Px(left), Px(top));
    link->setFixedHeight(Px(height));
    link->adjustSize();
    return link;
}

}   // namespace

void ListLayout::setColumns(const QVector<int> &lefts, int end, int gap)
{
    columnLefts = lefts;
    columnWidths.clear();
    for (qsizetype m = 0; m < lefts.size(); ++m) {
        const int next = m + 1 < lefts.size() ? lefts[m + 1] : end;
        columnWidths << std::max(300, next - lefts[m] - gap);
    }
}

void ListLayout::setPageLinks(int top, int firstLeft)
{
    // Offsets of the five from the first: 首页 上一页 n/m 下一页 尾页.
    static constexpr std::array<int, 5> kOffsets{0, 1260, 2820, 4620, 5880};
    pageLinksTop = top;
    for (size_t k = 0; k < kOffsets.size(); ++k)
        pageLinkLefts[k] = firstLeft + kOffsets[k];
}

QVector<int> HeadingWordLefts(const QLabel *heading)
{
    const QString text = heading->text();
    const QFontMetrics fm(heading->font());
    const int origin = Tw(heading->x() + heading->contentsRect().left() + heading->margin());
    QVector<int> lefts;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isSpace() && (i == 0 || text.at(i - 1).isSpace()))
            lefts.append(origin + Tw(fm.horizontalAdvance(text.left(i))));
    }
    return lefts;
}

PagedList::PagedList(QWidget *screen, PagingState &paging, const ListLayout &layout) : QObject(screen), m_paging(paging)
{
    const int columns = std::min<int>(layout.columnLefts.size(), kMaxListColumns);
    for (int m = 0; m < columns; ++m) {
        const int width = m < layout.columnWidths.size() ? layout.columnWidths[m] : 0;
        for (int i = 0; i < kRowsPerPage; ++i) {
            auto *label = new QLabel(screen);
            label->setObjectName(ArrayName(QStringLiteral("lab%1").arg(m + 1), i));
            // The cells hold what users typed: never shown as markup.
            label->setTextFormat(Qt::PlainText);
            const int top = layout.firstRowTop + i * layout.rowSpacing;
            if (width > 0) {
                label->setGeometry(TwRect(layout.columnLefts[m], top, width, layout.rowHeight));
            } else {
                label->move(Px(layout.columnLefts[m]), Px(top));
                label->setFixedHeight(Px(layout.rowHeight));
                m_fitToText.append(label);
            }
            m_controls.lab[m][i] = label;
        }
    }

    for (int i = 0; i < kRowsPerPage; ++i) {
        const int top = layout.firstRowTop + i * layout.rowSpacing;
        if (layout.firstOperationLeft >= 0) {
            auto *link = MakeLink(screen, ArrayName(QStringLiteral("labOP_1"), i), QString(), layout.firstOperationLeft,
                                  top, layout.rowHeight);
            link->hide();
            connect(link, &ClickableLabel::clicked, this, Guarded([this, i] { Q_EMIT firstOperationClicked(i); }));
            m_controls.labOP_1[i] = link;
            m_fitToText.append(link);
        }
        if (layout.secondOperationLeft >= 0) {
            auto *link = MakeLink(screen, ArrayName(QStringLiteral("labOP_2"), i), QString(),
                                  layout.secondOperationLeft, top, layout.rowHeight);
            link->hide();
            connect(link, &ClickableLabel::clicked, this, Guarded([this, i] { Q_EMIT secondOperationClicked(i); }));
            m_controls.labOP_2[i] = link;
            m_fitToText.append(link);
        }
        if (layout.checkLeft >= 0) {
            auto *box = new QCheckBox(screen);
            box->setObjectName(ArrayName(QStringLiteral("chk"), i));
            // The box has no caption on screen; a screen reader still needs one.
            box->setAccessibleName(QStringLiteral("选择本页第%1行").arg(i + 1));
            box->setGeometry(TwRect(layout.checkLeft, top, 255, layout.rowHeight));
            box->hide();
            m_controls.chk[i] = box;
        }
    }

    if (layout.checkAllLeft >= 0) {
        auto *box = new QCheckBox(screen);
        box->setObjectName(QStringLiteral("chkAll"));
        box->setAccessibleName(QStringLiteral("全选"));
        box->setGeometry(TwRect(layout.checkAllLeft, layout.checkAllTop, 255, layout.rowHeight));
        // clicked, not toggled: the engine's own unticking must not re-run it.
        connect(box, &QCheckBox::clicked, this, Guarded([this] { ToggleAllChecks(m_controls); }));
        m_controls.chkAll = box;
    }
    if (layout.labelAllLeft >= 0) {
        auto *all = MakeLink(screen, QStringLiteral("labAll"), QStringLiteral("全选"), layout.labelAllLeft,
                             layout.labelAllTop, layout.rowHeight);
        connect(all, &ClickableLabel::clicked, this, Guarded([this] { ToggleAllChecksFromLabel(m_controls); }));
        m_controls.labAll = all;
    }

    const int linksTop = layout.pageLinksTop;
    const auto &lefts = layout.pageLinkLefts;
    auto *first =
        MakeLink(screen, QStringLiteral("labFirst"), QStringLiteral("首页"), lefts[0], linksTop, layout.rowHeight);
    auto *previous =
        MakeLink(screen, QStringLiteral("labPre"), QStringLiteral("上一页"), lefts[1], linksTop, layout.rowHeight);
    auto *page = new QLabel(screen);
    page->setTextFormat(Qt::PlainText);
    page->setObjectName(QStringLiteral("labPage"));
    page->move(Px(lefts[2]), Px(linksTop));
    page->setFixedHeight(Px(layout.rowHeight));
    auto *next =
        MakeLink(screen, QStringLiteral("labNext"), QStringLiteral("下一页"), lefts[3], linksTop, layout.rowHeight);
    auto *last =
        MakeLink(screen, QStringLiteral("labLast"), QStringLiteral("尾页"), lefts[4], linksTop, layout.rowHeight);
    m_fitToText.append(page);
    // Nothing listed yet: every page link is inactive.
    for (QLabel *link : {static_cast<QLabel *>(first), static_cast<QLabel *>(previous), static_cast<QLabel *>(next),
                         static_cast<QLabel *>(last)})
        SetTextColor(link, kLinkInactive);

    connect(first, &ClickableLabel::clicked, this, Guarded(this, &PagedList::firstPage));
    connect(previous, &ClickableLabel::clicked, this, Guarded(this, &PagedList::previousPage));
    connect(next, &ClickableLabel::clicked, this, Guarded(this, &PagedList::nextPage));
    connect(last, &ClickableLabel::clicked, this, Guarded(this, &PagedList::lastPage));
    m_controls.labFirst = first;
    m_controls.labPre = previous;
    m_controls.labPage = page;
    m_controls.labNext = next;
    m_controls.labLast = last;
}

void PagedList::show(const ListCall &call)
{
    m_call = call;
    m_shown = true;
    ShowListPage(m_paging, m_controls, m_call);
    shown();
}

void PagedList::firstPage()
{
    if (!m_shown || !m_paging.FirstLinkOn)
        return;
    if (showRefreshed(1))
        return;
    ShowFirstPage(m_paging, m_controls, m_call);
    shown();
}

void PagedList::previousPage()
{
    if (!m_shown || !m_paging.PreviousLinkOn)
        return;
    if (showRefreshed(m_paging.CurrentPage - 1))
        return;
    ShowPreviousPage(m_paging, m_controls, m_call);
    shown();
}

void PagedList::nextPage()
{
    if (!m_shown || !m_paging.NextLinkOn)
        return;
    if (showRefreshed(m_paging.CurrentPage + 1))
        return;
    ShowNextPage(m_paging, m_controls, m_call);
    shown();
}

void PagedList::lastPage()
{
    if (!m_shown || !m_paging.LastLinkOn)
        return;
    if (showRefreshed(std::numeric_limits<qsizetype>::max()))
        return;
    ShowLastPage(m_paging, m_controls, m_call);
    shown();
}

qsizetype PagedList::rowOfSlot(int slot) const
{
    const qsizetype position = RowPosition(m_paging, slot);
    return position >= 0 && position < m_call.rowCount() ? position : -1;
}

qsizetype PagedList::selectSlot(int slot)
{
    const qsizetype position = rowOfSlot(slot);
    if (position >= 0)
        m_paging.SelectedRow = position + 1;
    return position;
}

QVector<int> PagedList::checkedSlots() const
{
    QVector<int> result;
    for (int i = 0; i < kRowsPerPage; ++i) {
        const QCheckBox *box = m_controls.chk[i];
        if (box && !box->isHidden() && box->isChecked())
            result.append(i);
    }
    return result;
}

bool PagedList::showRefreshed(qsizetype page)
{
    if (!m_refresh || !m_refresh())
        return false;
    ShowPageNumber(m_paging, m_controls, m_call, page);
    shown();
    return true;
}

void PagedList::shown()
{
    // Cells without a set width grow and shrink with their text.
    for (QLabel *label : m_fitToText)
        label->adjustSize();
    Q_EMIT pageShown();
}
