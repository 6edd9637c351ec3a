#include "ui/Controls.h"

#include "ui/Twips.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QLabel *MakeLabel(QWidget *parent, const QString &name, const QString &text, int left, int top, int width, int height)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    // Labels show names and other text users typed: never as markup.
    l->setTextFormat(Qt::PlainText);
    if (width > 0 && height > 0)
        l->setGeometry(TwRect(left, top, width, height));
    else if (width > 0) {
        l->move(Px(left), Px(top));
        l->setFixedWidth(Px(width));
        l->adjustSize();
    } else {
        l->move(Px(left), Px(top));
        l->adjustSize();
    }
    return l;
}

QPushButton *MakeButton(QWidget *parent, const QString &name, const QString &text, int left, int top, int width,
                        int height)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(TwRect(left, top, width, height));
    return b;
}

QLineEdit *MakeTextBox(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(TwRect(left, top, width, height));
    return e;
}

QComboBox *MakeList(QWidget *parent, const QString &name, const QStringList &items, int left, int top, int width,
                    int height)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(false);
    c->addItems(items);
    c->setGeometry(TwRect(left, top, width, qMax(height, 300)));
    return c;
}

QCheckBox *MakeCheckBox(QWidget *parent, const QString &name, const QString &text, int left, int top, int width,
                        int height)
{
    auto *c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setGeometry(TwRect(left, top, width, height));
    return c;
}

OkCancelButtons AddOkCancelRow(QWidget *dialog, QBoxLayout *layout, bool okIsDefault)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    OkCancelButtons b;
    b.ok = new QPushButton(QStringLiteral("确定"), dialog);
    b.ok->setObjectName(QStringLiteral("cmdOK"));
    b.ok->setDefault(okIsDefault);
    b.cancel = new QPushButton(QStringLiteral("取消"), dialog);
    b.cancel->setObjectName(QStringLiteral("cmdCancel"));
    row->addWidget(b.ok);
    row->addWidget(b.cancel);
    layout->addLayout(row);
    return b;
}
