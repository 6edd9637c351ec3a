#include "admin/frmAbout.h"
#include "ui/Guarded.h"

#include "shell/ChildScreen.h"
#include "ui/ClickableLabel.h"
#include "ui/Twips.h"

#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

const QString frmAbout::kMakerName = QStringLiteral("Orvane软件工作室  周立新");
const QString frmAbout::kMakerPhone = QStringLiteral("010-62785531    13911827405");
const QString frmAbout::kMakerWeb = QStringLiteral("http://www.orvane.example.com");
const QString frmAbout::kMakerMail = QStringLiteral("zhoulixin@orvane.example.com");
const QString frmAbout::kMakerNotice =
    QStringLiteral("本软件由Orvane软件工作室开发，版权所有，未经许可不得复制、传播。");

namespace {

// The decorative picture: the program's initial on a blue tile.
QPixmap emblem(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 80, 160));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, size - 4, size - 4), 10, 10);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(size / 2);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("K"));
    return pm;
}

}   // namespace

frmAbout::frmAbout(const Services &services, QWidget *parent, const QString &logHead)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 ") + kAppTitle);
    setModal(true);
    setFixedSize(Px(6960), Px(3150));
    setMouseTracking(true);
    QFont font(QStringLiteral("新宋体"));
    font.setPointSizeF(9);
    setFont(font);

    struct Item {
        int index;
        QString text;
        QRect rect;
    };
    const Item items[] = {
        {0, QStringLiteral("开 发 者："), TwRect(120, 195, 960, 255)},
        {1, QStringLiteral("联系电话："), TwRect(120, 645, 960, 255)},
        {2, QStringLiteral("我的网址："), TwRect(120, 1095, 960, 255)},
        {3, QStringLiteral(" E-mail ："), TwRect(120, 1545, 960, 255)},
        {4, kMakerName, TwRect(1110, 195, 4335, 255)},
        {5, kMakerPhone, TwRect(1110, 645, 4395, 255)},
        {6, kMakerNotice, TwRect(120, 2010, 6015, 255)},
    };
    for (const Item &it : items) {
        auto *l = new QLabel(it.text, this);
        l->setObjectName(ArrayName(QStringLiteral("Label1"), it.index));
        l->setGeometry(it.rect);
    }

    auto link = [this](const char *name, const QString &text, const QRect &rect) {
        auto *l = new ClickableLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(rect);
        l->setCursor(Qt::PointingHandCursor);
        l->setMouseTracking(true);
        l->installEventFilter(this);
        setLinkColor(l, linkColor());
        return l;
    };
    Label2 = link("Label2", kMakerWeb, TwRect(1110, 1095, 4395, 255));
    Label3 = link("Label3", kMakerMail, TwRect(1110, 1545, 4395, 195 + 60));
    // A click, Enter or Space on a link opens it.
    connect(static_cast<ClickableLabel *>(Label2), &ClickableLabel::clicked, this, Guarded(this, &frmAbout::openWeb));
    connect(static_cast<ClickableLabel *>(Label3), &ClickableLabel::clicked, this, Guarded(this, &frmAbout::openMail));

    auto *Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::HLine);
    Frame1->setFrameShadow(QFrame::Sunken);
    Frame1->setGeometry(TwRect(60, 1830, 6795, 75));

    auto *Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(TwRect(5640, 195, 1155, 1155));
    Picture1->setPixmap(emblem(Px(1155)));

    // The build's version, under the maker's texts.
    auto *labVersion = new QLabel(QStringLiteral("版本：") + (QCoreApplication::applicationVersion().isEmpty()
                                                                  ? QStringLiteral("未知")
                                                                  : QCoreApplication::applicationVersion()),
                                  this);
    labVersion->setObjectName(QStringLiteral("labVersion"));
    labVersion->setTextFormat(Qt::PlainText);
    labVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labVersion->setGeometry(TwRect(120, 2400, 5400, 255));

    auto *labHead =
        new QLabel(QStringLiteral("操作日志头：") + (logHead.isEmpty() ? QStringLiteral("无") : logHead), this);
    labHead->setObjectName(QStringLiteral("labHead"));
    labHead->setTextFormat(Qt::PlainText);
    labHead->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labHead->setGeometry(TwRect(120, 2700, 5400, 255));

    Command1 = new QPushButton(QStringLiteral("确定"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(TwRect(5625, 2310, 1155, 435));
    connect(Command1, &QPushButton::clicked, this, Guarded(this, &QDialog::accept));
    // The box opens on 确定, not on the first link that Tab reaches: Enter
    // closes it as before.
    Command1->setFocus();

    // Key preview: the dialog sees every key before its controls do.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
    installEventFilter(this);
}

void frmAbout::setLinkColor(QLabel *label, const QColor &color) { SetTextColor(label, color.rgba()); }

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            reject();
            return true;
        }
        break;
    case QEvent::MouseMove:
        if (watched == Label2 || watched == Label3) {
            setLinkColor(static_cast<QLabel *>(watched), hoverColor());
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::mouseMoveEvent(QMouseEvent *event)
{
    setLinkColor(Label2, linkColor());
    setLinkColor(Label3, linkColor());
    QDialog::mouseMoveEvent(event);
}

void frmAbout::openWeb()
{
    // Whether a browser opened is not reported, as with any web link.
    m_services.desktop->openUrl(QUrl(Label2->text()));
}

void frmAbout::openMail()
{
    if (!m_services.desktop->openUrl(QUrl(QStringLiteral("mailto:") + Label3->text())))
        m_services.messages->information(QStringLiteral("请正确安装OutLook！"));
}
