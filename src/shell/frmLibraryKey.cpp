#include "shell/frmLibraryKey.h"

#include "ui/Controls.h"
#include "ui/Guarded.h"
#include "ui/Services.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QString LibrarySecretKey(const QString &dataFile)
{
    // By the file's full path: two libraries on one computer each keep their own.
    const QFileInfo info(dataFile);
    const QString path = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    return QStringLiteral("library-key:") + path;
}

frmLibraryKey::frmLibraryKey(const QString &file, bool refused, bool offerRemember, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLibraryKey"));
    setWindowTitle(QStringLiteral("数据库密码"));
    auto *layout = new QVBoxLayout(this);
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
    lblMsg->setWordWrap(true);
    QString text = QStringLiteral("数据库文件“%1”设置了数据库密码，请输入：").arg(QDir::toNativeSeparators(file));
    if (refused)
        text = QStringLiteral("密码不正确，请重新输入。\n") + text;
    text += QStringLiteral("\n（如果这个文件没有设置过密码，它可能已损坏或不是本软件的数据库文件。）");
    lblMsg->setText(text);
    layout->addWidget(lblMsg);
    txtKey = new QLineEdit(this);
    txtKey->setObjectName(QStringLiteral("txtKey"));
    txtKey->setEchoMode(QLineEdit::Password);
    txtKey->setAccessibleName(QStringLiteral("数据库密码"));
    layout->addWidget(txtKey);
    chkRemember = new QCheckBox(QStringLiteral("记住"), this);
    chkRemember->setObjectName(QStringLiteral("chkRemember"));
    chkRemember->setVisible(offerRemember);
    layout->addWidget(chkRemember);
    const OkCancelButtons okCancel = AddOkCancelRow(this, layout, true);
    cmdOK = okCancel.ok;
    cmdCancel = okCancel.cancel;
    connect(cmdOK, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    resize(420, sizeHint().height());
}

LibraryKeyEntry frmLibraryKey::entry() const
{
    return {txtKey->text(), !chkRemember->isHidden() && chkRemember->isChecked()};
}

std::optional<LibraryKeyEntry> AskLibraryKey(DialogRunner &runner, const QString &file, bool refused,
                                             bool offerRemember, QWidget *parent)
{
    frmLibraryKey dialog(file, refused, offerRemember, parent);
    if (!runner.run(dialog))
        return std::nullopt;
    LibraryKeyEntry entry = dialog.entry();
    if (entry.key.isEmpty())
        return std::nullopt;
    return entry;
}
