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
    AddScreen<frmDisMsg>(r);
    AddScreen<frmExpertList>(r);
    AddScreen<frmExpertListUpd>(r);
    AddScreen<frmExpertListDis>(r);
    AddScreen<frmNewExpert>(r);
    AddScreen<frmSearchExpert>(r);
    AddScreen<frmNewPro>(r);
    AddScreen<frmNewProSelExpert>(r);
    AddScreen<frmExpertHistory>(r);
    AddScreen<frmDataInOut>(r);
    AddScreen<frmProList>(r);
    AddScreen<frmProListDis>(r);
    AddScreen<frmExpertProjects>(r);
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
