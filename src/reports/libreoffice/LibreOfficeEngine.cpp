// UNO headers first: they must not see Qt's keyword macros.
#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/graphic/XGraphicProvider.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCellAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeMovement.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XHeaderFooterContent.hpp>
#include <com/sun/star/sheet/XPrintAreas.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/BorderLineStyle.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/table/CellVertJustify2.hpp>
#include <com/sun/star/table/TableBorder2.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/table/XTableRows.hpp>
#include <com/sun/star/task/PasswordRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/CloseVetoException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XMergeable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ref.hxx>

#include "reports/libreoffice/LibreOfficeEngine.h"

#include "files/RunFolders.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <atomic>
#include <mutex>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace {

constexpr int kStartTimeoutMs = 60000;
// The office gets this long to quit by itself before it is killed; the
// documents are closed by then and its profile is thrown away anyway.
constexpr int kQuitTimeoutMs = 3000;
constexpr int kStopTimeoutMs = 10000;
constexpr sal_Int32 kXlsColumns = 256;

OUString toOU(const QString &s)
{
    return OUString(reinterpret_cast<const sal_Unicode *>(s.utf16()), sal_Int32(s.size()));
}

QString toQ(const OUString &s) { return QString(reinterpret_cast<const QChar *>(s.getStr()), s.getLength()); }

OUString fileUrl(const QString &path)
{
    return toOU(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

css::beans::PropertyValue prop(const char *name, const Any &value)
{
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

// The local UNO runtime that talks to the office processes; one per program.
Reference<css::uno::XComponentContext> localContext()
{
    static std::once_flag once;
    static Reference<css::uno::XComponentContext> context;
    static QString failure;
    std::call_once(once, [] {
        // The bridge writes to the office's pipe; an office that has ended
        // (cancelled, or crashed) must fail that write, not end this program.
        ::signal(SIGPIPE, SIG_IGN);
        try {
            rtl::Bootstrap::set(
                OUString("URE_BOOTSTRAP"),
                toOU(QStringLiteral("vnd.sun.star.pathname:" LIBREOFFICE_PROGRAM_DIR "/fundamentalrc")));
            context = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const css::uno::Exception &e) {
            failure = toQ(e.Message);
        }
    });
    if (!context.is())
        throw SpreadsheetError(QStringLiteral("The UNO runtime could not start: %1").arg(failure));
    return context;
}

QString findSoffice(const QString &given)
{
    if (!given.isEmpty())
        return given;
    QString found = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (found.isEmpty())
        found = QStringLiteral(LIBREOFFICE_PROGRAM_DIR "/soffice");
    return found;
}

css::table::BorderLine2 thinLine()
{
    css::table::BorderLine2 line;
    line.Color = 0x000000;
    line.LineStyle = css::table::BorderLineStyle::SOLID;
    line.LineWidth = 26;   // 0.75 pt, Excel's thin line
    line.OuterLineWidth = 26;
    return line;
}

bool hasLine(const Any &any)
{
    css::table::BorderLine2 line;
    if (!(any >>= line))
        return false;
    return line.LineWidth > 0 || line.OuterLineWidth > 0 || line.InnerLineWidth > 0;
}

// Answers every question the office asks while it loads a file with
// "abort" (nobody is there to answer), and remembers whether it asked for
// a password: such a workbook is protected, not damaged.
class AbortingHandler : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
public:
    bool askedForPassword = false;

    void SAL_CALL handle(const Reference<css::task::XInteractionRequest> &request) override
    {
        css::task::PasswordRequest password;
        if (request->getRequest() >>= password)
            askedForPassword = true;
        const Sequence<Reference<css::task::XInteractionContinuation>> options = request->getContinuations();
        for (const Reference<css::task::XInteractionContinuation> &option : options) {
            Reference<css::task::XInteractionAbort> abort(option, css::uno::UNO_QUERY);
            if (abort.is()) {
                abort->select();
                return;
            }
        }
    }
};

}   // namespace

// The running office behind an OfficeProcess: the process, its profile and
// the UNO connection, started again when it has ended.
class OfficeProcess::Impl {
public:
    explicit Impl(QString soffice) : m_soffice(std::move(soffice)) {}
    ~Impl()
    {
        std::lock_guard lock(m_mutex);
        stop();
    }

    // The component context of the running office (null when none runs).
    Reference<css::uno::XComponentContext> remoteContext()
    {
        std::lock_guard lock(m_mutex);
        return m_remote;
    }

    // The desktop of the running office, started first when none runs or the
    // last one has ended. An engine's cancel that comes while it starts ends
    // it too.
    Reference<css::frame::XDesktop2> desktop(const std::atomic<bool> &cancelled)
    {
        std::lock_guard lock(m_mutex);
        if (m_desktop.is() && !answers())
            stop();
        if (!m_desktop.is())
            start(cancelled);
        return m_desktop;
    }

    int openDocuments()
    {
        std::lock_guard lock(m_mutex);
        if (!m_desktop.is() || !answers())
            return 0;
        int count = 0;
        try {
            Reference<css::container::XEnumeration> documents = m_desktop->getComponents()->createEnumeration();
            while (documents->hasMoreElements()) {
                documents->nextElement();
                ++count;
            }
        } catch (const css::uno::Exception &) {
            return 0;   // it ended meanwhile, and its documents with it
        }
        return count;
    }

    // No lock: a start or a call under way holds the office, and this must
    // not wait for either.
    void cancel() { killGroup(); }

    pid_t group() const { return m_group; }

private:
    // Whether the office still runs and answers; a crashed or killed one
    // has ended its start program or broken the connection.
    bool answers()
    {
        if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) != 0) {
            m_pid = 0;   // reaped (or not ours any more)
            return false;
        }
        try {
            m_desktop->getComponents();
            return true;
        } catch (const css::uno::Exception &) {
            return false;
        }
    }

    void start(const std::atomic<bool> &cancelled)
    {
        Reference<css::uno::XComponentContext> local = localContext();

        m_profile = std::make_unique<QTemporaryDir>(RunFolderTemplate(QStringLiteral("office")));
        if (!m_profile->isValid())
            throw SpreadsheetError(QStringLiteral("No temporary folder for the office profile"));
        const QString pipe = QStringLiteral("kestrune_%1_%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(QUuid::createUuid().toString(QUuid::Id128));
        // The office's temporary files go into the profile folder, so that
        // they go with it even if the office has to be killed.
        const QString temp = m_profile->filePath(QStringLiteral("tmp"));
        QDir().mkpath(temp);
        spawn({QStringLiteral("--headless"), QStringLiteral("--invisible"), QStringLiteral("--norestore"),
               QStringLiteral("--nologo"), QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck"),
               QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipe),
               QStringLiteral("-env:UserInstallation=%1")
                   .arg(QUrl::fromLocalFile(m_profile->path()).toString(QUrl::FullyEncoded))},
              temp);
        // A cancel that came while the office was starting did not see it.
        if (cancelled)
            killGroup();

        const OUString url = toOU(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe));
        QDeadlineTimer deadline(kStartTimeoutMs);
        QString lastError;
        try {
            Reference<css::bridge::XUnoUrlResolver> resolver = css::bridge::UnoUrlResolver::create(local);
            for (;;) {
                try {
                    m_remote.set(resolver->resolve(url), UNO_QUERY_THROW);
                    break;
                } catch (const css::connection::NoConnectException &e) {
                    lastError = toQ(e.Message);
                }
                if (exited() || deadline.hasExpired() || cancelled)
                    break;
                QThread::msleep(50);
            }
            if (m_remote.is())
                m_desktop = css::frame::Desktop::create(m_remote);
        } catch (const css::uno::Exception &e) {
            lastError = toQ(e.Message);
        }
        if (!m_desktop.is()) {
            stop();
            throw SpreadsheetError(QStringLiteral("LibreOffice did not answer: %1").arg(lastError));
        }
    }

    // Starts the office in a process group of its own, so that the start
    // script, the office and anything it spawns can be ended together. A
    // watchdog in that group holds the reading end of a pipe whose writing
    // end only this program holds: when the program ends in any way, even
    // killed, the pipe closes and the watchdog ends the whole group, so no
    // office outlives it. A plain fork rather than QProcess: the office may
    // be started on one thread and ended on another.
    void spawn(const QStringList &arguments, const QString &temp)
    {
        // Everything the child needs is made before the fork; between fork
        // and exec only async-signal-safe calls.
        std::vector<QByteArray> argumentBytes{QFile::encodeName(m_soffice)};
        for (const QString &a : arguments)
            argumentBytes.push_back(QFile::encodeName(a));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), temp);
        std::vector<QByteArray> environmentBytes;
        for (const QString &entry : environment.toStringList())
            environmentBytes.push_back(QFile::encodeName(entry));
        const auto pointers = [](std::vector<QByteArray> &strings) {
            std::vector<char *> list;
            for (QByteArray &s : strings)
                list.push_back(s.data());
            list.push_back(nullptr);
            return list;
        };
        std::vector<char *> argv = pointers(argumentBytes);
        std::vector<char *> envp = pointers(environmentBytes);

        const auto failure = [this](const char *what, int error) {
            return SpreadsheetError(QStringLiteral("LibreOffice could not be started (%1): %2: %3")
                                        .arg(m_soffice, QLatin1String(what), QString::fromLocal8Bit(strerror(error))));
        };
        const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (nothing < 0)
            throw failure("/dev/null", errno);
        int lifeline[2] = {-1, -1};
        int execReport[2] = {-1, -1};   // the child's errno when exec fails
        if (::pipe2(lifeline, O_CLOEXEC) != 0 || ::pipe2(execReport, O_CLOEXEC) != 0) {
            const int error = errno;
            for (int fd : {nothing, lifeline[0], lifeline[1], execReport[0], execReport[1]})
                if (fd >= 0)
                    ::close(fd);
            throw failure("pipe", error);
        }
        const int watchEnd = lifeline[0];
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            const pid_t group = ::getpid();
            if (::fork() == 0) {
                // Nothing but the pipe may stay open in the watchdog, least
                // of all the pipe's writing end.
                for (int fd = 0; fd < watchEnd; ++fd)
                    ::close(fd);
                if (::close_range(unsigned(watchEnd) + 1, ~0U, 0) != 0)
                    for (int fd = watchEnd + 1; fd < 4096; ++fd)
                        ::close(fd);
                char byte;
                while (::read(watchEnd, &byte, 1) < 0 && errno == EINTR) {
                }
                ::kill(-group, SIGKILL);
                ::_exit(0);
            }
            ::dup2(nothing, STDIN_FILENO);
            ::dup2(nothing, STDOUT_FILENO);
            ::execve(argv[0], argv.data(), envp.data());
            const int error = errno;
            [[maybe_unused]] const ssize_t written = ::write(execReport[1], &error, sizeof error);
            ::_exit(127);
        }
        const int forkError = errno;
        ::close(nothing);
        ::close(watchEnd);
        ::close(execReport[1]);
        if (pid < 0) {
            ::close(execReport[0]);
            ::close(lifeline[1]);
            throw failure("fork", forkError);
        }
        m_pid = pid;
        m_group = pid;
        m_lifeline = lifeline[1];
        // The report pipe closes on a successful exec; the watchdog closes
        // its copy at once.
        int execError = 0;
        ssize_t got = 0;
        while ((got = ::read(execReport[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
        }
        ::close(execReport[0]);
        if (got > 0) {
            stop();
            throw failure("exec", execError);
        }
    }

    // The office, its start program and whatever they started, at once.
    void killGroup() const
    {
        const pid_t group = m_group;
        if (group > 0)   // never 0: that would be this program's own group
            ::kill(-group, SIGKILL);
    }

    // Whether the start program has ended; it is reaped then.
    bool exited() { return waitForExit(0); }

    bool waitForExit(int timeoutMs)
    {
        if (m_pid <= 0)
            return true;
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            if (::waitpid(m_pid, nullptr, WNOHANG) != 0) {
                m_pid = 0;
                return true;
            }
            if (deadline.hasExpired())
                return false;
            QThread::msleep(10);
        }
    }

    void stop()
    {
        const bool terminating = m_desktop.is();
        if (terminating) {
            try {
                m_desktop->terminate();
            } catch (const css::uno::Exception &) {
                // The bridge goes down while the office quits.
            }
        }
        m_desktop.clear();
        m_remote.clear();
        if (!waitForExit(terminating ? kQuitTimeoutMs : 0)) {
            killGroup();
            waitForExit(kStopTimeoutMs);
        }
        m_pid = 0;
        // The office itself is a child of the start program; make sure
        // nothing of the group outlives it.
        killGroup();
        m_group = 0;
        if (m_lifeline >= 0) {
            ::close(m_lifeline);
            m_lifeline = -1;
        }
        m_profile.reset();
    }

    const QString m_soffice;
    std::mutex m_mutex;   // one start or stop at a time
    std::unique_ptr<QTemporaryDir> m_profile;
    pid_t m_pid = 0;   // the start program, our child
    std::atomic<pid_t> m_group = 0;
    int m_lifeline = -1;   // writing end of the watchdog's pipe
    Reference<css::uno::XComponentContext> m_remote;
    Reference<css::frame::XDesktop2> m_desktop;
};

OfficeProcess::OfficeProcess(const QString &sofficePath) : d(std::make_unique<Impl>(findSoffice(sofficePath))) {}

OfficeProcess::~OfficeProcess() = default;

qint64 OfficeProcess::processGroup() const { return d->group(); }

int OfficeProcess::openDocuments() { return d->openDocuments(); }

void OfficeProcess::cancel() { d->cancel(); }

class LibreOfficeEngine final : public SpreadsheetEngine {
public:
    explicit LibreOfficeEngine(std::shared_ptr<OfficeProcess> office) : m_office(std::move(office)) {}
    ~LibreOfficeEngine() override { close(); }

    void open(const QString &path, bool hidden) override
    {
        if (!QFileInfo(path).isFile())
            throw SpreadsheetError(QStringLiteral("File not found: %1").arg(path));
        // As a template: the office reads the file into a new untitled
        // workbook, so the file is neither locked nor written.
        rtl::Reference<AbortingHandler> handler(new AbortingHandler);
        try {
            load(fileUrl(path),
                 {prop("Hidden", Any(hidden)), prop("AsTemplate", Any(true)),
                  prop("MacroExecutionMode", Any(sal_Int16(0))),
                  prop("InteractionHandler", Any(Reference<css::task::XInteractionHandler>(handler.get())))});
        } catch (const SpreadsheetError &) {
            if (handler->askedForPassword)
                throw SpreadsheetError(QStringLiteral("工作簿“%1”设置了打开密码，本程序不能读取。"
                                                      "请在电子表格程序中打开它，取消密码后另存，再上传另存的文件。")
                                           .arg(QDir::toNativeSeparators(path)));
            throw;
        }
    }

    void create() override { load(OUString("private:factory/scalc"), {prop("Hidden", Any(true))}); }

    void close() override
    {
        m_sheet.clear();
        Reference<css::lang::XComponent> doc = std::move(m_doc);
        m_doc.clear();
        if (!doc.is())
            return;
        try {
            Reference<css::util::XCloseable> closeable(doc, css::uno::UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
            else
                doc->dispose();
        } catch (const css::uno::Exception &) {
            // An office that has ended has closed it already.
        }
    }

    void deleteRows(int firstRow, int count) override
    {
        if (count <= 0)
            return;
        guard([&] { rows()->removeByIndex(firstRow - 1, count); });
    }

    void insertRowCopies(int sourceRow, int count) override
    {
        if (count <= 0)
            return;
        guard([&] {
            const sal_Int32 first = sourceRow - 1;    // first inserted row, 0-based
            const sal_Int32 source = first + count;   // the source row after the insert
            // Whole rows would mean thousands of empty columns to copy; an .xls
            // workbook has at most 256.
            const sal_Int32 lastColumn = std::min<sal_Int32>(columnCount(), kXlsColumns) - 1;
            rows()->insertByIndex(first, count);
            Reference<css::sheet::XCellRangeMovement> mover(sheet(), UNO_QUERY_THROW);
            auto rangeOf = [&](sal_Int32 top, sal_Int32 bottom) {
                return css::table::CellRangeAddress(0, 0, top, lastColumn, bottom);
            };
            // One row, then the block copied onto itself doubling each time:
            // about log2(count) calls however long the list is.
            mover->copyRange(css::table::CellAddress(0, 0, first), rangeOf(source, source));
            sal_Int32 done = 1;
            while (done < count) {
                const sal_Int32 n = std::min<sal_Int32>(done, count - done);
                mover->copyRange(css::table::CellAddress(0, 0, first + done), rangeOf(first, first + n - 1));
                done += n;
            }
            Reference<css::beans::XPropertySet> sourceProps(rows()->getByIndex(source), UNO_QUERY_THROW);
            Any height = sourceProps->getPropertyValue(OUString("Height"));
            Reference<css::table::XColumnRowRange> block(
                sheet()->getCellRangeByPosition(0, first, 0, first + count - 1), UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet> blockRows(block->getRows(), UNO_QUERY_THROW);
            blockRows->setPropertyValue(OUString("Height"), height);
        });
    }

    void flattenMergedCells(int firstRow, int count) override
    {
        if (count <= 0)
            return;
        guard([&] {
            // Only the columns in use can hold merged blocks.
            Reference<css::sheet::XSheetCellCursor> used = sheet()->createCursor();
            Reference<css::sheet::XUsedAreaCursor>(used, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
            const sal_Int32 lastColumn =
                Reference<css::sheet::XCellRangeAddressable>(used, UNO_QUERY_THROW)->getRangeAddress().EndColumn;
            for (sal_Int32 row = firstRow - 1; row < firstRow - 1 + count; ++row) {
                for (sal_Int32 column = 0; column <= lastColumn;) {
                    Reference<css::table::XCellRange> cell = sheet()->getCellRangeByPosition(column, row, column, row);
                    if (!Reference<css::util::XMergeable>(cell, UNO_QUERY_THROW)->getIsMerged()) {
                        ++column;
                        continue;
                    }
                    Reference<css::sheet::XSheetCellCursor> block =
                        sheet()->createCursorByRange(Reference<css::sheet::XSheetCellRange>(cell, UNO_QUERY_THROW));
                    block->collapseToMergedArea();
                    const css::table::CellRangeAddress area =
                        Reference<css::sheet::XCellRangeAddressable>(block, UNO_QUERY_THROW)->getRangeAddress();
                    column = area.EndColumn + 1;
                    if (area.EndRow != area.StartRow)
                        continue;   // a block over several rows keeps its merge
                    // The block's outline is that of its first cell.
                    Reference<css::beans::XPropertySet> first(cell, UNO_QUERY_THROW);
                    css::table::TableBorder2 outline;
                    first->getPropertyValue(OUString("LeftBorder2")) >>= outline.LeftLine;
                    first->getPropertyValue(OUString("RightBorder2")) >>= outline.RightLine;
                    first->getPropertyValue(OUString("TopBorder2")) >>= outline.TopLine;
                    first->getPropertyValue(OUString("BottomBorder2")) >>= outline.BottomLine;
                    outline.IsLeftLineValid = outline.IsRightLineValid = outline.IsTopLineValid =
                        outline.IsBottomLineValid = outline.IsVerticalLineValid = true;
                    Reference<css::util::XMergeable>(block, UNO_QUERY_THROW)->merge(false);
                    Reference<css::beans::XPropertySet>(block, UNO_QUERY_THROW)
                        ->setPropertyValue(OUString("TableBorder2"), Any(outline));
                }
            }
        });
    }

    void setTexts(int firstRow, int firstColumn, const QList<QStringList> &block) override
    {
        if (block.isEmpty() || block.first().isEmpty())
            return;
        const int width = int(block.first().size());
        Sequence<Sequence<Any>> data(sal_Int32(block.size()));
        auto *rowsOut = data.getArray();
        for (qsizetype r = 0; r < block.size(); ++r) {
            const QStringList &row = block.at(r);
            if (row.size() != width)
                throw SpreadsheetError(QStringLiteral("Rows of different lengths"));
            Sequence<Any> line(width);
            Any *cells = line.getArray();
            for (int c = 0; c < width; ++c)
                cells[c] <<= toOU(row.at(c));
            rowsOut[r] = line;
        }
        guard([&] {
            Reference<css::sheet::XCellRangeData> range(
                sheet()->getCellRangeByPosition(firstColumn - 1, firstRow - 1, firstColumn - 2 + width,
                                                firstRow - 2 + sal_Int32(block.size())),
                UNO_QUERY_THROW);
            // Strings are taken as typed text, never as numbers or formulas.
            range->setDataArray(data);
        });
    }

    void setText(int row, int column, const QString &text) override { setTexts(row, column, {QStringList{text}}); }

    QList<NumberCell> numberCells() override
    {
        QList<NumberCell> cells;
        guard([&] {
            Reference<css::sheet::XCellRangesQuery> query(sheet(), UNO_QUERY_THROW);
            for (const bool date : {false, true}) {
                // VALUE: numbers not formatted as dates or times; DATETIME: those that are.
                const sal_Int16 kind = date ? css::sheet::CellFlags::DATETIME : css::sheet::CellFlags::VALUE;
                Reference<css::sheet::XSheetCellRanges> ranges = query->queryContentCells(kind);
                if (!ranges.is())
                    continue;
                const Sequence<css::table::CellRangeAddress> addresses = ranges->getRangeAddresses();
                for (const css::table::CellRangeAddress &a : addresses) {
                    Reference<css::sheet::XCellRangeData> block(
                        sheet()->getCellRangeByPosition(a.StartColumn, a.StartRow, a.EndColumn, a.EndRow),
                        UNO_QUERY_THROW);
                    const Sequence<Sequence<Any>> values = block->getDataArray();
                    for (sal_Int32 r = 0; r < values.getLength(); ++r) {
                        for (sal_Int32 c = 0; c < values[r].getLength(); ++c) {
                            double value = 0;
                            if (values[r][c] >>= value)
                                cells.append({int(a.StartRow + r) + 1, int(a.StartColumn + c) + 1, value, date});
                        }
                    }
                }
            }
        });
        return cells;
    }

    QString text(int row, int column) override
    {
        QString result;
        guard([&] {
            Reference<css::text::XTextRange> cell(sheet()->getCellByPosition(column - 1, row - 1), UNO_QUERY_THROW);
            result = toQ(cell->getString());
        });
        return result;
    }

    int lastUsedRow() override
    {
        int last = 0;
        guard([&] {
            Reference<css::sheet::XCellRangesQuery> query(sheet(), UNO_QUERY_THROW);
            using namespace css::sheet::CellFlags;
            Reference<css::sheet::XSheetCellRanges> ranges =
                query->queryContentCells(sal_Int16(VALUE | DATETIME | STRING | FORMULA));
            if (!ranges.is())
                return;
            const Sequence<css::table::CellRangeAddress> addresses = ranges->getRangeAddresses();
            for (const auto &a : addresses)
                last = std::max(last, int(a.EndRow) + 1);
        });
        return last;
    }

    CellLook look(int row, int column) override
    {
        CellLook result;
        guard([&] {
            Reference<css::table::XCellRange> cellRange =
                sheet()->getCellRangeByPosition(column - 1, row - 1, column - 1, row - 1);
            Reference<css::beans::XPropertySet> props(cellRange, UNO_QUERY_THROW);
            float weight = 0;
            props->getPropertyValue(OUString("CharWeight")) >>= weight;
            result.bold = weight > css::awt::FontWeight::NORMAL;
            result.borderTop = hasLine(props->getPropertyValue(OUString("TopBorder")));
            result.borderBottom = hasLine(props->getPropertyValue(OUString("BottomBorder")));
            result.borderLeft = hasLine(props->getPropertyValue(OUString("LeftBorder")));
            result.borderRight = hasLine(props->getPropertyValue(OUString("RightBorder")));
            Reference<css::util::XMergeable> mergeable(cellRange, UNO_QUERY_THROW);
            result.merged = mergeable->getIsMerged();
        });
        return result;
    }

    void setFormat(int firstRow, int firstColumn, int rowCount, int columnCount, const CellFormat &format) override
    {
        guard([&] {
            Reference<css::beans::XPropertySet> props(sheet()->getCellRangeByPosition(firstColumn - 1, firstRow - 1,
                                                                                      firstColumn + columnCount - 2,
                                                                                      firstRow + rowCount - 2),
                                                      UNO_QUERY_THROW);
            if (format.setBold) {
                const float weight = format.bold ? css::awt::FontWeight::BOLD : css::awt::FontWeight::NORMAL;
                props->setPropertyValue(OUString("CharWeight"), Any(weight));
                props->setPropertyValue(OUString("CharWeightAsian"), Any(weight));
            }
            if (format.fontHeight > 0) {
                props->setPropertyValue(OUString("CharHeight"), Any(float(format.fontHeight)));
                props->setPropertyValue(OUString("CharHeightAsian"), Any(float(format.fontHeight)));
            }
            if (format.borders) {
                css::table::TableBorder2 border;
                border.TopLine = border.BottomLine = border.LeftLine = border.RightLine = thinLine();
                border.HorizontalLine = border.VerticalLine = thinLine();
                border.IsTopLineValid = border.IsBottomLineValid = border.IsLeftLineValid = border.IsRightLineValid =
                    border.IsHorizontalLineValid = border.IsVerticalLineValid = true;
                props->setPropertyValue(OUString("TableBorder2"), Any(border));
            }
            if (format.align != CellFormat::Align::Keep) {
                const auto justify = format.align == CellFormat::Align::Left     ? css::table::CellHoriJustify_LEFT
                                     : format.align == CellFormat::Align::Center ? css::table::CellHoriJustify_CENTER
                                                                                 : css::table::CellHoriJustify_RIGHT;
                props->setPropertyValue(OUString("HoriJustify"), Any(justify));
                props->setPropertyValue(OUString("VertJustify"), Any(css::table::CellVertJustify2::CENTER));
            }
            if (format.wrap)
                props->setPropertyValue(OUString("IsTextWrapped"), Any(true));
            if (format.background >= 0)
                props->setPropertyValue(OUString("CellBackColor"), Any(sal_Int32(format.background)));
        });
    }

    void merge(int row, int firstColumn, int columnCount) override
    {
        guard([&] {
            Reference<css::util::XMergeable> range(
                sheet()->getCellRangeByPosition(firstColumn - 1, row - 1, firstColumn + columnCount - 2, row - 1),
                UNO_QUERY_THROW);
            range->merge(true);
        });
    }

    void setColumnWidth(int column, int width) override
    {
        guard([&] {
            Reference<css::table::XColumnRowRange> crr(sheet(), UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet> props(crr->getColumns()->getByIndex(column - 1), UNO_QUERY_THROW);
            props->setPropertyValue(OUString("Width"), Any(sal_Int32(width)));
        });
    }

    void setRowHeight(int row, int height) override
    {
        guard([&] {
            Reference<css::beans::XPropertySet> props(rows()->getByIndex(row - 1), UNO_QUERY_THROW);
            props->setPropertyValue(OUString("Height"), Any(sal_Int32(height)));
        });
    }

    void setPageSetup(const PageSetup &setup) override
    {
        guard([&] {
            Reference<css::beans::XPropertySet> style = pageStyle();
            sal_Int32 width = 0, height = 0;
            style->getPropertyValue(OUString("Width")) >>= width;
            style->getPropertyValue(OUString("Height")) >>= height;
            const bool swap = setup.landscape ? width < height : width > height;
            style->setPropertyValue(OUString("IsLandscape"), Any(setup.landscape));
            if (swap) {
                style->setPropertyValue(OUString("Width"), Any(height));
                style->setPropertyValue(OUString("Height"), Any(width));
            }
            if (setup.fitWidth) {
                style->setPropertyValue(OUString("ScaleToPagesX"), Any(sal_Int16(1)));
                style->setPropertyValue(OUString("ScaleToPagesY"), Any(sal_Int16(0)));
            }
            style->setPropertyValue(OUString("HeaderIsOn"), Any(setup.headerFooter));
            style->setPropertyValue(OUString("FooterIsOn"), Any(setup.headerFooter));
            Reference<css::sheet::XPrintAreas> areas(sheet(), UNO_QUERY_THROW);
            if (setup.repeatFirstRow > 0) {
                areas->setTitleRows(
                    css::table::CellRangeAddress(0, 0, setup.repeatFirstRow - 1, 0, setup.repeatLastRow - 1));
                areas->setPrintTitleRows(true);
            } else {
                areas->setPrintTitleRows(false);
            }
        });
    }

    void setPageFooter(const QString &text) override
    {
        guard([&] {
            Reference<css::beans::XPropertySet> style = pageStyle();
            Reference<css::lang::XMultiServiceFactory> factory(m_doc, UNO_QUERY_THROW);
            style->setPropertyValue(OUString("FooterIsOn"), Any(true));
            // Every page the same: the right-hand content is the only one used.
            style->setPropertyValue(OUString("FooterIsShared"), Any(true));
            Reference<css::sheet::XHeaderFooterContent> content(
                style->getPropertyValue(OUString("RightPageFooterContent")), UNO_QUERY_THROW);
            content->getLeftText()->setString(toOU(text));
            content->getCenterText()->setString(OUString());
            Reference<css::text::XText> right = content->getRightText();
            right->setString(OUString());
            auto field = [&](const char *service) {
                Reference<css::text::XTextContent> f(factory->createInstance(OUString::createFromAscii(service)),
                                                     UNO_QUERY_THROW);
                right->insertTextContent(right->getEnd(), f, false);
            };
            right->insertString(right->getEnd(), toOU(QStringLiteral("第 ")), false);
            field("com.sun.star.text.TextField.PageNumber");
            right->insertString(right->getEnd(), toOU(QStringLiteral(" 页，共 ")), false);
            field("com.sun.star.text.TextField.PageCount");
            right->insertString(right->getEnd(), toOU(QStringLiteral(" 页")), false);
            style->setPropertyValue(OUString("RightPageFooterContent"), Any(content));
        });
    }

    void insertImage(int row, int column, const QString &pngPath, int width, int height) override
    {
        if (!QFileInfo(pngPath).isFile())
            throw SpreadsheetError(QStringLiteral("File not found: %1").arg(pngPath));
        guard([&] {
            Reference<css::uno::XComponentContext> context = m_office->d->remoteContext();
            if (!context.is())
                throw SpreadsheetError(QStringLiteral("The office is not running"));
            // Loaded into the document, so the workbook keeps the picture
            // after the file is gone.
            Reference<css::graphic::XGraphicProvider> provider = css::graphic::GraphicProvider::create(context);
            Sequence<css::beans::PropertyValue> media(1);
            media.getArray()[0] = prop("URL", Any(fileUrl(pngPath)));
            Reference<css::graphic::XGraphic> graphic = provider->queryGraphic(media);
            if (!graphic.is())
                throw SpreadsheetError(QStringLiteral("The picture could not be read: %1").arg(pngPath));

            Reference<css::lang::XMultiServiceFactory> factory(m_doc, UNO_QUERY_THROW);
            Reference<css::drawing::XShape> shape(
                factory->createInstance(OUString("com.sun.star.drawing.GraphicObjectShape")), UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet> cell(sheet()->getCellByPosition(column - 1, row - 1), UNO_QUERY_THROW);
            css::awt::Point at;
            cell->getPropertyValue(OUString("Position")) >>= at;
            drawPage()->add(shape);
            shape->setPosition(at);
            shape->setSize(css::awt::Size(width, height));
            Reference<css::beans::XPropertySet> props(shape, UNO_QUERY_THROW);
            props->setPropertyValue(OUString("Graphic"), Any(graphic));
            props->setPropertyValue(OUString("Anchor"), Any(Reference<css::table::XCell>(cell, UNO_QUERY_THROW)));
        });
    }

    QList<QPair<int, int>> imageCells() override
    {
        QList<QPair<int, int>> cells;
        guard([&] {
            Reference<css::container::XIndexAccess> shapes(drawPage(), UNO_QUERY_THROW);
            for (sal_Int32 i = 0; i < shapes->getCount(); ++i) {
                Reference<css::beans::XPropertySet> shape(shapes->getByIndex(i), UNO_QUERY_THROW);
                Reference<css::sheet::XCellAddressable> anchor(shape->getPropertyValue(OUString("Anchor")),
                                                               css::uno::UNO_QUERY);
                if (!anchor.is())
                    continue;   // anchored to the page
                const css::table::CellAddress a = anchor->getCellAddress();
                cells.append({int(a.Row) + 1, int(a.Column) + 1});
            }
        });
        return cells;
    }

    void saveAsXls(const QString &path) override
    {
        store(path, {prop("FilterName", Any(OUString("MS Excel 97"))), prop("Overwrite", Any(true))});
    }

    void exportPdf(const QString &path) override
    {
        store(path, {prop("FilterName", Any(OUString("calc_pdf_Export"))), prop("Overwrite", Any(true))});
    }

    void exportPdfPages(const QString &path, int firstPage, int lastPage) override
    {
        Sequence<css::beans::PropertyValue> options(1);
        options.getArray()[0] = prop("PageRange", Any(toOU(QStringLiteral("%1-%2").arg(firstPage).arg(lastPage))));
        store(path, {prop("FilterName", Any(OUString("calc_pdf_Export"))), prop("Overwrite", Any(true)),
                     prop("FilterData", Any(options))});
    }

    void saveAsCsv(const QString &path) override
    {
        // Comma, double quote, UTF-8 (76), from line 1; the last token saves
        // the cells as shown, so dates and numbers read as the user sees them.
        store(path,
              {prop("FilterName", Any(OUString("Text - txt - csv (StarCalc)"))),
               prop("FilterOptions", Any(OUString("44,34,76,1,,0,false,true,true"))), prop("Overwrite", Any(true))});
    }

    void cancel() override
    {
        m_cancelled = true;
        // The call waiting on the office fails as the connection breaks.
        m_office->cancel();
    }

private:
    void throwIfCancelled() const
    {
        if (m_cancelled)
            throw SpreadsheetError(QStringLiteral("The report was cancelled"));
    }

    template <typename F> void guard(F &&work)
    {
        throwIfCancelled();
        try {
            work();
        } catch (const SpreadsheetError &) {
            throw;
        } catch (const css::uno::Exception &e) {
            throw SpreadsheetError(QStringLiteral("LibreOffice: %1").arg(toQ(e.Message)));
        }
    }

    void store(const QString &path, std::initializer_list<css::beans::PropertyValue> args)
    {
        guard([&] {
            if (!m_doc.is())
                throw SpreadsheetError(QStringLiteral("No workbook is open"));
            Reference<css::frame::XStorable> storable(m_doc, UNO_QUERY_THROW);
            storable->storeToURL(fileUrl(path),
                                 Sequence<css::beans::PropertyValue>(args.begin(), sal_Int32(args.size())));
        });
        if (!QFileInfo(path).isFile())
            throw SpreadsheetError(QStringLiteral("The file was not written: %1").arg(path));
    }

    void load(const OUString &url, std::initializer_list<css::beans::PropertyValue> args)
    {
        close();
        throwIfCancelled();
        Reference<css::frame::XDesktop2> desktop = m_office->d->desktop(m_cancelled);
        guard([&] {
            Reference<css::frame::XComponentLoader> loader(desktop, UNO_QUERY_THROW);
            Reference<css::lang::XComponent> doc = loader->loadComponentFromURL(
                url, OUString("_blank"), 0, Sequence<css::beans::PropertyValue>(args.begin(), sal_Int32(args.size())));
            Reference<css::sheet::XSpreadsheetDocument> spreadsheet(doc, css::uno::UNO_QUERY);
            if (!spreadsheet.is()) {
                if (doc.is())
                    doc->dispose();
                throw SpreadsheetError(QStringLiteral("Not a spreadsheet: %1").arg(toQ(url)));
            }
            m_doc = doc;
            Reference<css::container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY_THROW);
            m_sheet.set(sheets->getByIndex(0), UNO_QUERY_THROW);
        });
    }

    Reference<css::sheet::XSpreadsheet> sheet()
    {
        if (!m_sheet.is())
            throw SpreadsheetError(QStringLiteral("No workbook is open"));
        return m_sheet;
    }

    // The shapes of the first worksheet (the document's first draw page).
    Reference<css::drawing::XDrawPage> drawPage()
    {
        sheet();
        Reference<css::drawing::XDrawPagesSupplier> pages(m_doc, UNO_QUERY_THROW);
        return Reference<css::drawing::XDrawPage>(pages->getDrawPages()->getByIndex(0), UNO_QUERY_THROW);
    }

    // The page style of the first worksheet.
    Reference<css::beans::XPropertySet> pageStyle()
    {
        Reference<css::beans::XPropertySet> sheetProps(sheet(), UNO_QUERY_THROW);
        OUString styleName;
        sheetProps->getPropertyValue(OUString("PageStyle")) >>= styleName;
        Reference<css::style::XStyleFamiliesSupplier> families(m_doc, UNO_QUERY_THROW);
        Reference<css::container::XNameAccess> pageStyles(
            families->getStyleFamilies()->getByName(OUString("PageStyles")), UNO_QUERY_THROW);
        return Reference<css::beans::XPropertySet>(pageStyles->getByName(styleName), UNO_QUERY_THROW);
    }

    Reference<css::table::XTableRows> rows()
    {
        Reference<css::table::XColumnRowRange> crr(sheet(), UNO_QUERY_THROW);
        return crr->getRows();
    }

    sal_Int32 columnCount()
    {
        Reference<css::table::XColumnRowRange> crr(sheet(), UNO_QUERY_THROW);
        return crr->getColumns()->getCount();
    }

    std::shared_ptr<OfficeProcess> m_office;
    std::atomic<bool> m_cancelled = false;
    Reference<css::lang::XComponent> m_doc;
    Reference<css::sheet::XSpreadsheet> m_sheet;
};

std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngineOn(std::shared_ptr<OfficeProcess> office)
{
    return std::make_unique<LibreOfficeEngine>(std::move(office));
}

std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngine() { return MakeLibreOfficeEngineAt(QString()); }

std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngineAt(const QString &sofficePath)
{
    return MakeLibreOfficeEngineOn(std::make_shared<OfficeProcess>(sofficePath));
}
