#include "DemoDatabase.h"

#include "data/Credit.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/ExpertRecord.h"
#include "data/LibrarySettings.h"
#include "data/PasswordHash.h"
#include "data/Projects.h"
#include "data/Schema.h"
#include "data/SeededDraw.h"
#include "data/UnitHistory.h"
#include "data/Vocabulary.h"
#include "extraction/CandidateFilter.h"
#include "extraction/ProjectDraws.h"

#include <QDate>
#include <QStringList>
#include <random>

namespace {

const QStringList kSurnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙",
                               "马", "朱", "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋",
                               "唐", "许", "韩", "冯", "邓", "曹", "彭", "曾", "萧", "田", "董", "潘"};
const QStringList kGiven = {"卫国", "卫东", "建华", "志强", "秀英", "桂兰", "海燕", "丽华", "明", "伟", "芳",
                            "娜",   "敏",   "静",   "磊",   "洋",   "勇",   "艳",   "杰",   "军", "卫", "晓东",
                            "红梅", "国庆", "振华", "文",   "鹏",   "慧",   "宏伟", "立新", "俊", "婷"};
const QStringList kCities = {"北京", "上海", "天津", "重庆", "广州", "深圳", "杭州", "南京", "武汉", "成都",
                             "西安", "沈阳", "济南", "郑州", "长沙", "合肥", "福州", "昆明", "兰州", "太原"};
const QStringList kSchools = {"清华大学",     "同济大学",         "天津大学", "东南大学", "浙江大学", "哈尔滨工业大学",
                              "华南理工大学", "西安建筑科技大学", "重庆大学", "武汉大学", "中南大学", "大连理工大学"};
const QStringList kCompanies = {
    "中国建筑第八工程局",       "上海建工集团",         "北京城建设计研究总院",       "中铁十二局集团",
    "华东建筑设计研究院",       "广东省建筑设计研究院", "中国电建集团华东勘测设计院", "中交第二航务工程局",
    "浙江省交通规划设计研究院", "四川省建筑科学研究院", "中国华西工程设计建设公司",   "湖南省水利水电勘测设计院"};
// Other names the demo's units go by, so that avoiding one name reaches
// experts recorded under another.
const UnitAliases kAliases = {
    {"中国建筑第八工程局", "中建八局", "中国建筑第八工程局有限公司"},
    {"上海建工集团", "上海建工", "上海建工集团股份有限公司"},
    {"中铁十二局集团", "中铁十二局", "中铁十二局集团有限公司"},
    {"华东建筑设计研究院", "华东院", "华东建筑设计研究院有限公司"},
};
const QStringList kPositions = {"总工程师",   "副总工程师", "项目经理", "技术负责人", "所长",
                                "主任工程师", "高级顾问",   "副院长",   "设计总监"};
const QStringList kProfessions = {"土木工程", "建筑设计", "给排水",   "暖通空调", "电气工程", "工程造价",
                                  "道路桥梁", "水利水电", "岩土工程", "环境工程", "工程管理", "智能建筑"};
const QStringList kTitleTypes = {"工程类", "经济类", "建筑类", "管理类"};
const QStringList kIndustries = {"房屋建筑", "市政公用", "公路工程", "水利工程", "机电安装", "装饰装修"};
const QStringList kQualifications = {"一级建造师",     "注册造价工程师", "注册监理工程师",     "一级注册建筑师",
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
    QDate date(int fromYear, int toYear) { return QDate(fromYear, 1, 1).addDays(below(365 * (toYear - fromYear))); }

private:
    std::mt19937_64 m_engine;
};

QString id6(int n) { return QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')); }

const QStringList kProjectPlaces = {"市体育中心",     "地铁五号线",     "滨江公园", "第一人民医院",
                                    "高新区综合管廊", "老城区供水管网", "会展中心", "职业技术学院新校区",
                                    "环城快速路",     "污水处理厂"};
const QStringList kProjectWorks = {"施工总承包", "监理", "勘察设计", "设备采购", "造价咨询", "改造工程"};
const QStringList kClients = {"市住房和城乡建设局", "市交通运输局",   "市水务局",    "市卫生健康委员会",
                              "市教育局",           "市城市投资集团", "区政府办公室"};
const QStringList kReviewPlaces = {"公共资源交易中心三楼评标室", "公共资源交易中心五楼第二评标室",
                                   "市政府采购中心会议室", "建设工程交易中心一号评标室"};
const QStringList kDeclineReasons = {"出差在外", "身体不适", "与投标人有利害关系", "时间冲突", "联系不上"};
const QStringList kNoShowReasons = {"评审当天未到，电话未接", "临时有事未到", "交通延误未能到场"};
const QStringList kRatingRemarks = {"评审认真", "意见专业", "按时完成", "表述清楚", ""};
const QStringList kMisconductTexts = {"未请假缺席评审", "评审中接打电话", "私下与投标人联系", "迟到一小时"};

// The seeds and numbers of the demo draws come from the demo's own seed, so
// the same seed gives the same file; the draws themselves are the program's.
class DemoRandom : public RandomSource {
public:
    explicit DemoRandom(quint64 seed) : m_engine(seed) {}
    double next() override { return double(m_engine() >> 11) * 0x1.0p-53; }
    quint64 nextSeed() override { return m_engine(); }
    QByteArray nextBytes(int count) override
    {
        QByteArray out;
        while (out.size() < count)
            out.append(char(m_engine() & 0xff));
        return out;
    }

private:
    std::mt19937_64 m_engine;
};

// sel_expert records written since the cache was read, added to it.
void RefreshSelections(Connection &conn, DataStore &store)
{
    const QString last = store.SelectionTable.isEmpty()
                             ? QString()
                             : store.SelectionTable.cell(store.SelectionTable.count() - 1, 0).toString();
    Statement st =
        conn.prepare(QStringLiteral("SELECT Id, Sel_data, Expert_Id FROM sel_expert WHERE Id > ? ORDER BY Id"));
    st.bind(1, last);
    while (st.step())
        store.SelectionTable.append({st.text(0), st.text(1), st.text(2)});
}

// One round as the draw screen makes it; returns the rows confirmed.
TextTable DemoRound(Connection &conn, const DataStore &store, Dice &dice, DemoRandom &random, const QDateTime &now,
                    bool forceWide, DrawSession &session)
{
    SelectionCriteria criteria{};
    AvoidanceRules rules;
    if (!forceWide) {
        if (dice.below(2) == 0)
            criteria[4] = kProfessions[dice.below(int(kProfessions.size()))];
        if (dice.below(4) == 0)
            criteria[5] = QStringLiteral("%1").arg(3 + dice.below(3), 2, 10, QLatin1Char('0'));
        if (dice.below(3) == 0)
            rules.units << kCompanies[dice.below(int(kCompanies.size()))];
        if (dice.below(4) == 0)
            rules.recentDays = 30;
        // The usual years, and the reasons every rule needs.
        rules.formerYears = AvoidanceRules::kDefaultFormerYears;
        if (!rules.units.isEmpty())
            rules.unitsReason = QStringLiteral("投标单位");
        if (rules.recentDays > 0)
            rules.recentReason = QStringLiteral("专家轮换");
    }
    TextTable candidates;
    const KeptOut keptOut =
        BuildCandidates(store, criteria, rules, now.date(), ReadDrawEligibility(conn, now.date()), candidates);
    if (candidates.isEmpty())
        return {};
    const int kind = forceWide ? 0 : dice.below(4);   // random twice as often as the others
    const QString type = kind <= 1 ? RoundType::Random : kind == 2 ? RoundType::Rolling : RoundType::Manual;
    DrawRound round = NewRound(type, criteria, store.TitleTypeTable, rules, keptOut, candidates, now);
    TextTable confirmed;
    if (type == RoundType::Random) {
        // Supervised, as the demo library is set up: the supervisor's dice
        // give a number of six to nine digits.
        const qsizetype n = 2 + dice.below(4);
        if (n < candidates.count()) {
            QString number;
            for (int d = 0, digits = 6 + dice.below(4); d < digits; ++d)
                number += QChar(u'0' + dice.below(10));
            const SupervisedSeed seed = DeriveSupervised(
                round.candidateIds, random.nextBytes(Supervised::kProgramBytes), number,
                dice.below(4) == 0 ? QStringLiteral("%1 福彩3D 5 2 8").arg(now.date().toString(kStoredDateFormat))
                                   : QString(),
                now);
            confirmed = SupervisedPick(round, candidates, n, seed);
        } else {
            confirmed = SeededPick(round, candidates, n, random);
        }
    } else if (type == RoundType::Rolling) {
        const qsizetype index = RandomIndex(candidates.count(), random);
        round.rolledId = candidates.cell(index, 0).toString();
        confirmed.appendRowOf(candidates, index);
    } else {
        confirmed.appendRowOf(candidates, dice.below(int(candidates.count())));
    }
    // On record as drawn, then as confirmed, the way the draw screen does it.
    DrawEvent drawn;
    drawn.kind = DrawEventKind::Draw;
    drawn.at = now;
    drawn.operatorName = QStringLiteral("admin");
    drawn.round = round;
    RecordDrawEvent(conn, session, drawn);
    for (qsizetype r = 0; r < confirmed.count(); ++r)
        round.confirmedIds << confirmed.cell(r, 0).toString();
    DrawEvent confirm;
    confirm.kind = DrawEventKind::Confirm;
    confirm.at = now;
    confirm.operatorName = drawn.operatorName;
    confirm.expertIds = round.confirmedIds;
    RecordDrawEvent(conn, session, confirm);
    session.rounds.append(round);
    return confirmed;
}

// After the review: most attending experts are rated, a few get a 不良记录,
// and some of those are suspended by the administrator.
void WriteDemoConduct(Connection &conn, Dice &dice, const QString &projectId, const QString &op, const QDateTime &at)
{
    const std::optional<ProjectDetail> project = LoadProject(conn, projectId);
    QList<ConductEntry> entries;
    for (const ProjectExpert &e : project->experts) {
        if (e.attendance != Attendance::Confirmed || dice.below(4) == 0)
            continue;
        ConductEntry c;
        c.seq = e.seq;
        c.rating = 3 + dice.below(3);
        c.remark = dice.pick(kRatingRemarks);
        if (dice.below(8) == 0) {
            c.rating = 1 + dice.below(2);
            c.recordKind = dice.pick(MisconductKind::All());
            c.recordText = dice.pick(kMisconductTexts);
        }
        entries.append(c);
    }
    if (entries.isEmpty())
        return;
    WriteConduct(conn, projectId, entries, op, at);
    for (const ConductEntry &c : entries) {
        if (!c.hasRecord() || dice.below(2) == 0)
            continue;
        Suspension s;
        s.expertId = project->expert(c.seq)->id();
        s.recordProject = projectId;
        s.recordSeq = c.seq;
        if (c.recordKind != MisconductKind::Leak)
            s.until = at.date().addMonths(24 + dice.below(24));
        s.reason = QStringLiteral("%1，暂停抽取").arg(c.recordKind);
        SuspendExpert(conn, s, QStringLiteral("admin"), at.addSecs(600));
    }
}

void WriteDemoProjects(Connection &conn, const DemoOptions &options)
{
    DataStore store;
    store.ExpertTable = ReadTable(conn, Schema::ExpertMsg());
    store.TitleTypeTable = ReadTable(conn, Schema::ResourceZhicheng());
    store.SelectionTable = ReadTable(conn, Schema::SelExpert());
    Dice dice(options.seed ^ 0x9E3779B97F4A7C15ULL);
    DemoRandom random(options.seed * 6364136223846793005ULL + 1442695040888963407ULL);

    // All projects in one transaction: each store is a savepoint of it.
    Transaction all(conn);
    WriteLibrarySetting(conn, LibrarySetting::SupervisedDraw, QStringLiteral("1"));
    // Projects follow one another in time: a few a day, in working hours.
    QDateTime next(QDate(2025, 3, 3), QTime(8, 30));
    for (int p = 1; p <= options.projects; ++p) {
        QDateTime now = next.addSecs(60 * (20 + dice.below(90)) + dice.below(60));
        if (now.time().hour() >= 17 || dice.below(3) == 0)
            now = QDateTime(now.date().addDays(1 + dice.below(2)),
                            QTime(8 + dice.below(2), dice.below(60), dice.below(60)));
        // Room for the calls and the substitutes of this project.
        next = now.addSecs(2 * 3600);
        const QDate day = now.date();
        DrawSession session;
        TextTable drawList;
        const int rounds = 2 + dice.below(3);
        for (int r = 0; r < rounds || drawList.isEmpty(); ++r) {
            // Rounds that found nobody are not rounds; after a few, draw from everyone.
            const TextTable picks = DemoRound(conn, store, dice, random, now.addSecs(r * 90), r >= rounds + 2, session);
            MergePicks(drawList, picks);
            if (drawList.isEmpty() && r > rounds + 4)
                throw DbError(QStringLiteral("没有启用的专家，无法生成项目。"));
        }
        const QString place = dice.pick(kProjectPlaces);
        ProjectFacts facts;
        facts.name = place + dice.pick(kProjectWorks) + QStringLiteral("评标");
        facts.code = QStringLiteral("ZB-%1-%2").arg(day.year()).arg(p, 4, 10, QLatin1Char('0'));
        facts.client = dice.pick(kClients);
        facts.reviewTime = day.addDays(1 + dice.below(5)).toString(kStoredDateFormat) + QStringLiteral(" 09:30");
        facts.reviewPlace = dice.pick(kReviewPlaces);
        facts.supervisor = dice.pick(kSurnames) + dice.pick(kGiven);
        facts.remark = dice.below(3) == 0 ? QStringLiteral("资格审查后评标") : QString();
        const QString op = dice.below(3) == 0 ? QStringLiteral("manager") : QStringLiteral("admin");
        store.operatorName = op;   // who the log names for the substitutes
        const StoredDraw stored = StoreDrawProject(conn, store, drawList, session, facts, op, now);
        RefreshSelections(conn, store);

        // Phone calls after the draw: most accept, some decline with a
        // reason; now and then one who accepted does not come.
        const std::optional<ProjectDetail> project = LoadProject(conn, stored.projectId);
        bool declined = false;
        for (const ProjectExpert &e : project->experts) {
            const int answer = dice.below(10);
            const QDateTime called = now.addSecs(600 + 60 * e.seq);
            if (answer < 6) {
                SetAttendance(conn, stored.projectId, e.seq, Attendance::Confirmed, QString(), op, called);
                if (dice.below(12) == 0) {
                    SetAttendance(conn, stored.projectId, e.seq,
                                  AttendanceChange{Attendance::NoShow, QString(), dice.pick(kNoShowReasons)}, op,
                                  called.addSecs(30));
                    declined = true;
                }
            } else if (answer < 8) {
                const QString kind = dice.pick(DeclineKind::All());
                SetAttendance(conn, stored.projectId, e.seq,
                              AttendanceChange{Attendance::Declined, kind, dice.pick(kDeclineReasons)}, op, called);
                declined = true;
            }
        }
        if (!declined) {
            WriteDemoConduct(conn, dice, stored.projectId, op, now.addSecs(5400));
            continue;
        }
        const std::optional<ProjectDetail> withDeclines = LoadProject(conn, stored.projectId);
        const QDateTime later = now.addSecs(3600);
        // Declines of supervised rounds are replaced from their reserve;
        // others by a supervised draw of their own.
        const SuperviseDraw supervise = [&](const DrawRound &r, qsizetype) -> std::optional<SupervisedSeed> {
            return DeriveSupervised(r.candidateIds, random.nextBytes(Supervised::kProgramBytes),
                                    QString::number(100000 + dice.below(900000)), QString(), later);
        };
        QList<SubstituteRound> substitutes =
            DrawSubstitutes(store, *withDeclines, ReadDrawEligibility(conn, ReviewDay(*withDeclines, later.date())),
                            random, later, nullptr, supervise);
        StoreSubstituteRounds(conn, store, stored.projectId, substitutes);
        RefreshSelections(conn, store);
        int seq = int(withDeclines->experts.size());
        for (const SubstituteRound &s : substitutes)
            for (qsizetype i = 0; i < s.picks.size(); ++i)
                SetAttendance(conn, stored.projectId, ++seq, Attendance::Confirmed, QString(), op, later.addSecs(300));
        WriteDemoConduct(conn, dice, stored.projectId, op, now.addSecs(5400));
    }
    all.commit();
}

}   // namespace

void WriteDemoDatabase(const QString &path, const DemoOptions &options)
{
    CreateDataFile(path);
    Connection conn = Connection::open(path);
    Transaction tx(conn);
    Dice dice(options.seed);
    // A project manager and a company leader beside the administrator, their
    // passwords stored hashed as the program stores every password.
    Statement user = conn.prepare("INSERT INTO login_pwd VALUES (?, ?, ?, ?)");
    const QString users[][3] = {{"000002", "manager", "1"}, {"000003", "leader", "2"}};
    for (const auto &u : users) {
        user.reset();
        user.bind(1, u[0]);
        user.bind(2, u[1]);
        user.bind(3, PasswordHash::Make(QString::fromLatin1(kInitialAdminPassword)));
        user.bind(4, u[2]);
        user.step();
    }

    ExpertWriter experts(conn);
    // Former units and other spellings come from their own dice, so that the
    // rest of the library is what the same seed always gave.
    Dice history(options.seed ^ 0xA5A5A5A55A5A5A5AULL);
    Statement former = conn.prepare(QStringLiteral(
        "INSERT INTO expert_former_unit (Expert_Id, Seq, Unit, From_date, To_date) VALUES (?, ?, ?, ?, ?)"));
    for (int i = 1; i <= options.experts; ++i) {
        const QDate birth = dice.date(1950, 1990);
        const QDate graduated = birth.addYears(22 + dice.below(4));
        const int level = 1 + dice.below(5);
        const QString sex = dice.below(3) == 0 ? kSexFemale : kSexMale;
        const QString city = dice.pick(kCities);
        QString company = dice.pick(kCompanies);
        for (const QStringList &names : kAliases)
            if (names.first() == company && history.below(4) == 0)
                company = names[1 + history.below(int(names.size()) - 1)];
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
            city + QStringLiteral("市") + dice.pick(kStreets) + QString::number(1 + dice.below(300)) +
                QStringLiteral("号"),
            dice.digits(6),
            QStringLiteral("%1年毕业于%2，进入%3工作。\r\n%4年起任%5，长期从事%6工作。\r\n多次参加省市重点工程评审。")
                .arg(graduated.year())
                .arg(dice.pick(kSchools), company)
                .arg(qualified.year())
                .arg(dice.pick(kPositions), profession),
            QStringLiteral("%1市体育中心工程（%2）\r\n%3地铁配套项目\r\n%4综合管廊工程")
                .arg(city)
                .arg(profession)
                .arg(dice.pick(kCities), dice.pick(kCities)),
            QDate(2024, 1, 1).addDays(dice.below(700)).toString(kStoredDateFormat),
        };
        experts.insert(id6(i), fields);

        // A third of the experts moved: one or two units before this one.
        const int moves = history.below(3) == 0 ? 1 + history.below(2) : 0;
        for (int m = 1; m <= moves; ++m) {
            const QDate to = QDate(2016, 1, 1).addDays(history.below(3400));
            const QDate from = to.addYears(-(2 + history.below(8)));
            QString unit = history.pick(kCompanies);
            if (history.below(3) == 0)
                for (const QStringList &names : kAliases)
                    if (names.first() == unit)
                        unit = names.last();
            former.reset();
            former.bind(1, id6(i));
            former.bindInt(2, m);
            former.bind(3, unit);
            former.bind(4, from.toString(kStoredDateFormat));
            former.bind(5, to.toString(kStoredDateFormat));
            former.step();
        }
    }
    Statement alias = conn.prepare(QStringLiteral("INSERT INTO unit_alias (Grp, Seq, Name) VALUES (?, ?, ?)"));
    for (qsizetype g = 0; g < kAliases.size(); ++g) {
        for (qsizetype n = 0; n < kAliases[g].size(); ++n) {
            alias.reset();
            alias.bindInt(1, g + 1);
            alias.bindInt(2, n + 1);
            alias.bind(3, kAliases[g][n]);
            alias.step();
        }
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

    if (options.projects > 0)
        WriteDemoProjects(conn, options);
}
