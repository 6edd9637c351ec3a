#include "reports/LogSeal.h"

#include "files/RunFolders.h"
#include "reports/QrCode.h"
#include "reports/ReportPreview.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

namespace {

constexpr int kDpi = 300;
// Millimetres to the writer's dots.
int mm(double v) { return int(v * kDpi / 25.4 + 0.5); }

const QString kVerifyTool = QStringLiteral("kestrune-verify");

QFont sized(QFont font, double points, bool bold = false)
{
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}   // namespace

QList<QPair<QString, QString>> LogSealFacts(const LogSealContent &c)
{
    QString entries = QString::number(c.entries);
    // An intact log is numbered 1 to its head without a gap.
    if (c.entries != c.head.seq)
        entries += QStringLiteral("（与链头序号不符，请用 %1 检查）").arg(kVerifyTool);
    return {
        {QStringLiteral("数 据 库："),
         c.onServer ? QStringLiteral("服务器 %1").arg(c.library) : QDir::toNativeSeparators(c.library)},
        {QStringLiteral("封存时间："), c.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {QStringLiteral("操 作 员："), c.operatorName},
        {QStringLiteral("日志链头："), c.head.empty() ? QStringLiteral("（日志为空）") : c.head.text()},
        {QStringLiteral("链头序号："), QString::number(c.head.seq)},
        {QStringLiteral("链头哈希："), c.head.hash},
        {QStringLiteral("日志条数："), entries},
    };
}

QStringList LogSealCheckSteps(const LogSealContent &c)
{
    const QString head = c.head.text();
    QStringList steps;
    if (c.onServer) {
        steps << QStringLiteral("1. 将服务器上的库复制为文件：kestrune-server-copy --to-file 连接地址 ProSys.mdb");
        steps << QStringLiteral("2. 核对：%1 --head %2 ProSys.mdb").arg(kVerifyTool, head);
    } else {
        steps << QStringLiteral("核对：%1 --head %2 %3").arg(kVerifyTool, head, QDir::toNativeSeparators(c.library));
    }
    steps << QStringLiteral(
        "程序报告该条记录仍在、哈希相符且整条日志链完好，即说明数据库未被回退，日志未被截断或改动。");
    return steps;
}

QByteArray LogSealQrText(const LogSealContent &c) { return c.head.text().toUtf8(); }

Outcome WriteLogSealPdf(const LogSealContent &c, const QString &pdfPath)
{
    const QImage qr = QrImage(LogSealQrText(c), 8);
    if (qr.isNull())
        return Outcome::fail(QStringLiteral("无法生成日志链头的二维码。"));
    // QPdfWriter reports no failure of its own: the file must be writable first.
    {
        QFile probe(pdfPath);
        if (!probe.open(QIODevice::WriteOnly))
            return Outcome::fail(QStringLiteral("无法写入文件“%1”。").arg(QDir::toNativeSeparators(pdfPath)),
                                 probe.errorString());
    }

    QPdfWriter writer(pdfPath);
    writer.setResolution(kDpi);
    writer.setTitle(QStringLiteral("日志封存单"));
    writer.setCreator(QStringLiteral("Kestrune"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 18, 20, 18),
                                     QPageLayout::Millimeter));
    QPainter p;
    if (!p.begin(&writer))
        return Outcome::fail(QStringLiteral("无法写入文件“%1”。").arg(QDir::toNativeSeparators(pdfPath)));

    const QRect page =
        writer.pageLayout().paintRectPixels(kDpi).translated(-writer.pageLayout().paintRectPixels(kDpi).topLeft());
    const QFont base = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    int y = 0;

    p.setFont(sized(base, 20, true));
    const QRect title(0, y, page.width(), mm(14));
    p.drawText(title, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("日志封存单"));
    y += mm(20);

    // The facts on the left, the QR code of the head beside them.
    const int qrSide = mm(45);
    const int factsWidth = page.width() - qrSide - mm(8);
    const int labelWidth = mm(28);
    p.setFont(sized(base, 11));
    const int factsTop = y;
    const QString hashLabel = QStringLiteral("链头哈希：");
    QString fullHash;
    for (const auto &[label, value] : LogSealFacts(c)) {
        // The whole hash needs the page's width: it goes below the code.
        if (label == hashLabel) {
            fullHash = value;
            continue;
        }
        p.setFont(sized(base, 11, true));
        p.drawText(QRect(0, y, labelWidth, mm(8)), Qt::AlignLeft | Qt::AlignTop, label);
        p.setFont(sized(base, 11));
        const QRect box(labelWidth, y, factsWidth - labelWidth, page.height());
        const QRect used = p.boundingRect(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, value);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, value);
        y += std::max(used.height(), mm(6)) + mm(3);
    }
    const QRect qrBox(page.width() - qrSide, factsTop, qrSide, qrSide);
    p.drawImage(qrBox, qr);
    p.setFont(sized(base, 9));
    p.drawText(QRect(qrBox.left() - mm(10), qrBox.bottom() + mm(1), qrSide + mm(10), mm(6)),
               Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("日志链头 %1").arg(c.head.text()));
    y = std::max(y, qrBox.bottom() + mm(8)) + mm(2);
    p.setFont(sized(base, 11, true));
    p.drawText(QRect(0, y, page.width(), mm(8)), Qt::AlignLeft | Qt::AlignTop,
               hashLabel.chopped(1) + QStringLiteral("（SHA-256，全文）："));
    y += mm(8);
    p.setFont(sized(mono, 10));
    const QRect hashBox(mm(4), y, page.width() - mm(4), page.height());
    const QRect hashUsed = p.boundingRect(hashBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, fullHash);
    p.drawText(hashBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, fullHash);
    y += hashUsed.height() + mm(10);

    // How to check it.
    p.setFont(sized(base, 11, true));
    p.drawText(QRect(0, y, page.width(), mm(8)), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("核对方法："));
    y += mm(8);
    p.setFont(sized(base, 10));
    for (const QString &step : LogSealCheckSteps(c)) {
        // A command line may hold a long path without blanks; a sentence
        // breaks where Chinese text may break.
        const int wrap =
            step.contains(kVerifyTool) || step.contains(QStringLiteral("--")) ? Qt::TextWrapAnywhere : Qt::TextWordWrap;
        const QRect box(mm(4), y, page.width() - mm(4), page.height());
        const QRect used = p.boundingRect(box, Qt::AlignLeft | Qt::AlignTop | wrap, step);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | wrap, step);
        y += used.height() + mm(2);
    }
    y += mm(16);

    // Signatures.
    p.setFont(sized(base, 12));
    const int third = page.width() / 3;
    const QStringList signers{QStringLiteral("封存人："), QStringLiteral("监督人："), QStringLiteral("日期：")};
    for (int i = 0; i < signers.size(); ++i) {
        const int left = i * third;
        p.drawText(QRect(left, y, third, mm(10)), Qt::AlignLeft | Qt::AlignBottom, signers[i]);
        const int lineLeft = left + p.fontMetrics().horizontalAdvance(signers[i]) + mm(1);
        p.drawLine(lineLeft, y + mm(10), left + third - mm(6), y + mm(10));
    }
    y += mm(22);
    p.setFont(sized(base, 9));
    p.drawText(QRect(0, y, page.width(), mm(12)), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("本单一式两份，封存人与监督人各执一份，妥善保管。"));
    if (!p.end())
        return Outcome::fail(QStringLiteral("无法写入文件“%1”。").arg(QDir::toNativeSeparators(pdfPath)));
    return Outcome::success();
}

ReportPreview *PreviewLogSeal(const ReportContext &ctx, QWidget *screen, const LogSealContent &content,
                              const std::function<Outcome()> &record)
{
    auto folder = std::make_unique<QTemporaryDir>(RunFolderTemplate(QStringLiteral("seal")));
    if (!folder->isValid()) {
        ctx.messages().critical(kReportFailureMessage, kAppTitle,
                                QStringLiteral("无法创建临时文件夹：%1").arg(folder->errorString()));
        return nullptr;
    }
    const QString path = folder->filePath(QStringLiteral("seal.pdf"));
    if (const Outcome written = WriteLogSealPdf(content, path); !written) {
        ctx.messages().critical(written.message(), kAppTitle, written.detail());
        return nullptr;
    }
    auto preview = std::make_unique<ReportPreview>(screen, path, std::move(folder));
    if (!preview->isLoaded()) {
        ctx.messages().critical(kReportFailureMessage, kAppTitle,
                                QStringLiteral("无法读取打印预览文件“%1”。").arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    if (record) {
        if (const Outcome recorded = record(); !recorded) {
            ctx.messages().critical(QStringLiteral("日志封存单没有记入操作日志，因此不予打印：\n") + recorded.message(),
                                    kAppTitle, recorded.detail());
            return nullptr;
        }
    }
    preview->setWindowTitle(QStringLiteral("日志封存单"));
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowModality(Qt::ApplicationModal);
    preview->show();
    return preview.release();
}
