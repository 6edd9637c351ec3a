#include "ui/FieldNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <gtest/gtest.h>

TEST(FieldNames, CaptionsBecomeNames)
{
    const struct {
        const char *caption;
        const char *name;
    } cases[] = {
        {"用 户 名：", "用户名"}, {"性    别：", "性别"},        {"专家姓名：", "专家姓名"},
        {" E-mail ：", "E-mail"}, {"Start date:", "Start date"}, {"<b>工作 单位</b>：", "工作单位"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CaptionAsName(QString::fromUtf8(c.caption)), QString::fromUtf8(c.name)) << c.caption;
}

TEST(FieldNames, EachFieldTakesTheCaptionBeforeIt)
{
    QWidget form;
    auto label = [&](const char *text, QRect r) {
        auto *l = new QLabel(QString::fromUtf8(text), &form);
        l->setGeometry(r);
        return l;
    };
    // One line: caption, box, caption, list.
    label("专家姓名：", {10, 12, 60, 16});
    auto *name = new QLineEdit(&form);
    name->setGeometry(75, 10, 100, 21);
    label("性    别：", {190, 12, 60, 16});
    auto *sex = new QComboBox(&form);
    sex->setGeometry(255, 10, 100, 21);
    // A caption above a tall box.
    label("个人简历", {10, 50, 80, 16});
    auto *resume = new QTextEdit(&form);
    resume->setGeometry(10, 70, 300, 80);
    // A box named already, and one with no caption near it.
    label("联系电话：", {10, 172, 60, 16});
    auto *phone = new QLineEdit(&form);
    phone->setGeometry(75, 170, 100, 21);
    phone->setAccessibleName(QStringLiteral("电话"));
    auto *lonely = new QLineEdit(&form);
    lonely->setGeometry(400, 300, 100, 21);
    // A check box without words takes its label's; one with words keeps them.
    label("全选", {10, 212, 30, 16});
    auto *all = new QCheckBox(&form);
    all->setGeometry(45, 210, 16, 16);
    auto *worded = new QCheckBox(QStringLiteral("自动备份数据库"), &form);
    worded->setGeometry(100, 210, 120, 16);

    NameFieldsByCaptions(&form);
    EXPECT_EQ(name->accessibleName(), "专家姓名");
    EXPECT_EQ(sex->accessibleName(), "性别");
    EXPECT_EQ(resume->accessibleName(), "个人简历");
    EXPECT_EQ(phone->accessibleName(), "电话");
    EXPECT_EQ(lonely->accessibleName(), "");
    EXPECT_EQ(all->accessibleName(), "全选");
    EXPECT_EQ(worded->accessibleName(), "");
    // The caption is the field's label for assistive tools as well.
    auto *sexCaption = form.findChildren<QLabel *>().at(1);
    EXPECT_EQ(sexCaption->buddy(), sex);
}
