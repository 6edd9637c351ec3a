#include "app/Composition.h"

#include "admin/frmAbout.h"
#include "admin/frmChangePwd.h"
#include "admin/frmDataInOut.h"
#include "experts/frmExpertList.h"
#include "experts/frmExpertListDis.h"
#include "experts/frmExpertListUpd.h"
#include "experts/frmNewExpert.h"
#include "experts/frmSearchExpert.h"
#include "extraction/frmExpertHistory.h"
#include "extraction/frmExpertProjects.h"
#include "extraction/frmNewPro.h"
#include "extraction/frmNewProSelExpert.h"
#include "extraction/frmProList.h"
#include "extraction/frmProListDis.h"
#include "extraction/frmProject.h"
#include "shell/frmDisMsg.h"

ScreenRegistry AllScreens()
{
    ScreenRegistry r;
    AddScreen<frmDisMsg>(r, QStringLiteral("frmDisMsg"));
    AddScreen<frmExpertList>(r, QStringLiteral("frmExpertList"));
    AddScreen<frmExpertListUpd>(r, QStringLiteral("frmExpertListUpd"));
    AddScreen<frmExpertListDis>(r, QStringLiteral("frmExpertListDis"));
    AddScreen<frmNewExpert>(r, QStringLiteral("frmNewExpert"));
    AddScreen<frmSearchExpert>(r, QStringLiteral("frmSearchExpert"));
    AddScreen<frmNewPro>(r, QStringLiteral("frmNewPro"));
    AddScreen<frmNewProSelExpert>(r, QStringLiteral("frmNewProSelExpert"));
    AddScreen<frmExpertHistory>(r, QStringLiteral("frmExpertHistory"));
    AddScreen<frmDataInOut>(r, QStringLiteral("frmDataInOut"));
    AddScreen<frmProList>(r, QStringLiteral("frmProList"));
    AddScreen<frmProListDis>(r, QStringLiteral("frmProListDis"));
    AddScreen<frmExpertProjects>(r, QStringLiteral("frmExpertProjects"));
    return r;
}

std::unique_ptr<MDIFrm> MakeMainWindow(AppState &state, ScreenRegistry registry)
{
    auto main = std::make_unique<MDIFrm>(state, std::move(registry));
    main->showChangePassword = [&state](QWidget *owner) { frmChangePwd(state, owner).exec(); };
    main->showAbout = [&state](QWidget *owner) { frmAbout(state, owner).exec(); };
    MDIFrm *window = main.get();
    main->storeDraw = [&state, window] { return StoreCurrentDraw(state, window) != DrawStoreResult::Cancelled; };
    return main;
}
