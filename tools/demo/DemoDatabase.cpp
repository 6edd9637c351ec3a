#include "DemoDatabase.h"

#include "data/Database.h"
#include "data/ExpertRecord.h"
#include "data/Schema.h"
#include "data/Vocabulary.h"

#include <QDate>
#include <QStringList>
#include <random>

namespace {

const QStringList kSurnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙",
                               "马", "朱", "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋",
                               "唐", "许", "韩", "冯", "邓", "曹", "彭", "曾", "萧", "田", "董", "潘"};
const QStringList kGiven = {"卫国", "卫东", "建华", "志强", "秀英", "桂兰", "海燕", "丽华", "明", "伟",
                            "芳", "娜", "敏", "静", "磊", "洋", "勇", "艳", "杰", "军", "卫", "晓东",
                            "红梅", "国庆", "振华", "文", "鹏", "慧", "宏伟", "立新", "俊", "婷"};
const QStringList kCities = {"北京", "上海", "天津", "重庆", "广州", "深圳", "杭州", "南京", "武汉", "成都",
                             "西安", "沈阳", "济南", "郑州", "长沙", "合肥", "福州", "昆明", "兰州", "太原"};
const QStringList kSchools = {"清华大学", "同济大学", "天津大学", "东南大学", "浙江大学", "哈尔滨工业大学",
                              "华南理工大学", "西安建筑科技大学", "重庆大学", "武汉大学", "中南大学", "大连理工大学"};
const QStringList kCompanies = {"中国建筑第八工程局", "上海建工集团", "北京城建设计研究总院", "中铁十二局集团",
                                "华东建筑设计研究院", "广东省建筑设计研究院", "中国电建集团华东勘测设计院",
                                "中交第二航务工程局", "浙江省交通规划设计研究院", "四川省建筑科学研究院",
                                "中国华西工程设计建设公司", "湖南省水利水电勘测设计院"};
const QStringList kPositions = {"总工程师", "副总工程师", "项目经理", "技术负责人", "所长", "主任工程师",
                                "高级顾问", "副院长", "设计总监"};
const QStringList kProfessions = {"土木工程", "建筑设计", "给排水", "暖通空调", "电气工程", "工程造价",
                                  "道路桥梁", "水利水电", "岩土工程", "环境工程", "工程管理", "智能建筑"};
const QStringList kTitleTypes = {"工程类", "经济类", "建筑类", "管理类"};
const QStringList kIndustries = {"房屋建筑", "市政公用", "公路工程", "水利工程", "机电安装", "装饰装修"};
const QStringList kQualifications = {"一级建造师", "注册造价工程师", "注册监理工程师", "一级注册建筑师",
                                     "注册结构工程师", "注册岩土工程师", "咨询工程师（投资）", "注册安全工程师"};
const QStringList kStreets = {"人民路", "解放大道", "建设路", "中山北路", "长江路", "和平街", "科技园路"};

class Dice {
public:
    explicit Dice(quint64 seed) : m_engine(seed) {}
    int below(int n) { return int(m_engine() % quint64(n)); }
    const QString &pick(const QStringList &list) { return list[below(int(list.size()))]; }
    QString digits(int n)
    {
        QString s;
        for (int i = 0; i < n; ++i)
            s += QChar(u'0' + below(10));
        return s;
    }
    QDate date(int fromYear, int toYear)
    {
        return QDate(fromYear, 1, 1).addDays(below(365 * (toYear - fromYear)));
    }

private:
    std::mt19937_64 m_engine;
};

QString id6(int n) { return QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')); }

} // namespace

void WriteDemoDatabase(const QString &path, const DemoOptions &options)
{
    CreateDataFile(path);
    Connection conn = Connection::open(path);
    Transaction tx(conn);
    Dice dice(options.seed);
    // A project manager and a company leader beside the administrator.
    conn.exec("INSERT INTO login_pwd VALUES ('000002', 'manager', '123456', '1')");
    conn.exec("INSERT INTO login_pwd VALUES ('000003', 'leader', '123456', '2')");

    ExpertWriter experts(conn);
    for (int i = 1; i <= options.experts; ++i) {
        const QDate birth = dice.date(1950, 1990);
        const QDate graduated = birth.addYears(22 + dice.below(4));
        const int level = 1 + dice.below(5);
        const QString sex = dice.below(3) == 0 ? kSexFemale : kSexMale;
        const QString city = dice.pick(kCities);
        const QString company = dice.pick(kCompanies);
        const QString profession = dice.pick(kProfessions);
        const QDate qualified = graduated.addYears(3 + dice.below(10));
        // Fields 1..28 in order.
        const QStringList fields = {
            dice.pick(kSurnames) + dice.pick(kGiven),
            dice.below(10) == 0 ? kStatusDisabled : kStatusEnabled,
            dice.below(8) == 0 ? kKindTemporary : kKindRegular,
            StarGrade(level),
            sex,
            birth.toString(kStoredDateFormat),
            QStringLiteral(" "),
            city,
            ReferenceCode(1 + dice.below(5)),
            dice.pick(kSchools),
            graduated.toString(kStoredDateFormat),
            QStringLiteral("1101") + dice.digits(2) + birth.toString("yyyyMMdd") + dice.digits(4),
            company,
            dice.pick(kPositions),
            ReferenceCode(level),
            profession,
            dice.pick(kTitleTypes),
            dice.pick(kIndustries),
            dice.pick(kQualifications),
            qualified.toString(kStoredDateFormat),
            qualified.addYears(1 + dice.below(5)).toString(kStoredDateFormat),
            QStringLiteral("13") + dice.digits(9),
            QStringLiteral("expert%1@example.com").arg(i),
            city + QStringLiteral("市") + dice.pick(kStreets) + QString::number(1 + dice.below(300)) + QStringLiteral("号"),
            dice.digits(6),
            QStringLiteral("%1年毕业于%2，进入%3工作。\r\n%4年起任%5，长期从事%6工作。\r\n多次参加省市重点工程评审。")
                .arg(graduated.year()).arg(dice.pick(kSchools), company).arg(qualified.year())
                .arg(dice.pick(kPositions), profession),
            QStringLiteral("%1市体育中心工程（%2）\r\n%3地铁配套项目\r\n%4综合管廊工程")
                .arg(city).arg(profession).arg(dice.pick(kCities), dice.pick(kCities)),
            QDate(2024, 1, 1).addDays(dice.below(700)).toString(kStoredDateFormat),
        };
        experts.insert(id6(i), fields);
    }

    Statement sel = conn.prepare(QStringLiteral("INSERT INTO sel_expert VALUES (?, ?, ?)"));
    for (int i = 1; options.experts > 0 && i <= options.selections; ++i) {
        sel.reset();
        sel.bind(1, id6(i));
        sel.bind(2, QDate(2023, 1, 1).addDays(dice.below(1400)).toString(kStoredDateFormat));
        sel.bind(3, id6(1 + dice.below(options.experts)));
        sel.step();
    }
    tx.commit();
}
