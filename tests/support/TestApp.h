#pragma once

#include "FakeServices.h"
#include "ServerDatabase.h"
#include "admin/DataMaintenance.h"
#include "shell/AppState.h"
#include "app/Composition.h"
#include "shell/ScreenHost.h"
#include "ui/Twips.h"

#include <QTemporaryDir>
#include <QWidget>
#include <memory>

// A fresh application folder with its own database file and an AppState
// wired to fake services.
class TestApp {
public:
    // Creates ProSys.mdb (administrator, title levels, degrees), fills the
    // path titles and role names and loads every table.
    explicit TestApp(bool createDatabase = true);
    // The same on a scratch database of the test server when kind is Server
    // (the tables and initial content made as the program's start makes them).
    TestApp(DataSource::Kind kind, bool createDatabase = true);

    AppState state;
    QTemporaryDir dir;
    std::unique_ptr<ServerDatabase> server;
    std::shared_ptr<FakeMessages> messages = std::make_shared<FakeMessages>();
    std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>();
    std::shared_ptr<ScriptedRandom> random = std::make_shared<ScriptedRandom>();
    std::shared_ptr<FakeFileDialogs> files = std::make_shared<FakeFileDialogs>();
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();

    // Another program on the same library (a colleague at another
    // computer): a store of its own with every table loaded.
    struct Colleague {
        explicit Colleague(const TestApp &app);
        DataStore store;
    };

    QString appDir() const { return state.store.appDir; }
    QString dataFile() const { return state.store.dataFilePath(); }
    void reloadAll();

    // Adds an expert straight to the file (29 fields; missing ones become
    // " ") and reloads ExpertTable. Returns the new Id.
    QString addExpert(const QStringList &fields);
    // A typical expert: name, status, kind, star, sex; other fields filled.
    QString addExpert(const QString &name, const QString &status = kStatusEnabled, const QString &kind = kKindRegular,
                      const QString &titleId = "01", const QString &sex = kSexMale);
    // Adds count typical experts in one transaction ("专家1", "专家2", ...),
    // enough of them to fill many pages of the file, and reloads ExpertTable.
    void addExperts(int count);
    void addSelection(const QString &date, const QString &expertId);
    void addUser(const QString &id, const QString &name, const QString &password, const QString &limits);
    // Number of records of a table in the file.
    int countRows(const QString &table);
    // The state's data and draw, as the data maintenance screen hands them over.
    MaintenanceTarget maintenanceTarget();
};

// A user row (Id, User_name, Password, Limits) with its stored password
// replaced by password when it is a hash that password opens; otherwise as
// stored, so that a password kept as typed never compares equal by accident.
QStringList OpenedBy(QStringList userRow, const QString &password);

// A screen area for screen tests: opens screens the program's way on a plain
// widget with fixed sizes, and records what screens are opened with, the
// banner width and exit requests.
class TestHost : public ScreenHost {
public:
    explicit TestHost(AppState &state, ScreenRegistry registry = AllScreens());
    ~TestHost() override;

    // Records what each screen is opened with.
    void openScreen(ScreenId screen, const ScreenArgs &args = {}) override
    {
        ++openCount;
        lastArgs = args;
        ScreenHost::openScreen(screen, args);
    }
    void setBannerWidth(int twips) override { bannerWidth = twips; }
    void exitApplication() override { ++exitRequests; }
    void openChangePassword() override { ++passwordRequests; }

    template <typename T> T *find(const QString &form, const QString &control) const
    {
        ChildScreen *s = screen(form);
        return s ? s->findChild<T *>(control) : nullptr;
    }

    QWidget area;
    int bannerWidth = 0;
    int exitRequests = 0;
    int passwordRequests = 0;
    int openCount = 0;
    ScreenArgs lastArgs;
    PlacementMetrics fixedMetrics{Tw(1280), 2880, Tw(850), 1900};

protected:
    QWidget *screenParent() override { return &area; }
    PlacementMetrics metrics() const override { return fixedMetrics; }
};
