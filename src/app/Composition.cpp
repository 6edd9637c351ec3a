#include "app/Composition.h"

#include "data/AuditLog.h"

#include "admin/frmAbout.h"
#include "admin/frmAuditLog.h"
#include "admin/frmChangePwd.h"
#include "admin/frmDataInOut.h"
#include "admin/frmDbPassword.h"
#include "admin/frmDrawRules.h"
#include "admin/frmSecuritySettings.h"
#include "admin/frmUserRights.h"
#include "data/DrawStore.h"
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
#include "ui/FieldNames.h"

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
    AddScreen<frmUserRights>(r);
    AddScreen<frmAuditLog>(r);
    return r;
}

std::unique_ptr<MDIFrm> MakeMainWindow(AppState &state, ScreenRegistry registry)
{
    auto main = std::make_unique<MDIFrm>(state, std::move(registry));
    main->showChangePassword = [&state](QWidget *owner) {
        frmChangePwd dialog(state, owner);
        NameFieldsByCaptions(&dialog);
        dialog.exec();
    };
    main->askNewPassword = [&state](QWidget *owner) {
        frmChangePwd dialog(state, owner);
        dialog.setReason(QStringLiteral("您仍在使用初始密码，请设置新的密码。"));
        NameFieldsByCaptions(&dialog);
        dialog.exec();
    };
    main->showAbout = [&state](QWidget *owner) {
        const Result<AuditHead> head = ReadAuditHead(state.store);
        frmAbout(state.services, owner, head.ok() ? (head->empty() ? QString() : head->text()) : head.message()).exec();
    };
    main->showDbPassword = [&state](QWidget *owner) { ShowDbPassword(state, owner); };
    main->showSecuritySettings = [&state](QWidget *owner) {
        frmSecuritySettings dialog(state, owner);
        state.services.dialogs->run(dialog);
    };
    main->showDrawRules = [&state](QWidget *owner) {
        frmDrawRules dialog(state, owner);
        state.services.dialogs->run(dialog);
    };
    main->showUserRights = [window = main.get()] { window->openScreen(ScreenId::UserRights); };
    main->showAuditLog = [window = main.get()] { window->openScreen(ScreenId::AuditLog); };
    main->showLogSeal = [&state](QWidget *owner) { ShowLogSeal(state, owner); };
    MDIFrm *window = main.get();
    main->storeDraw = [&state, window]() -> Result<bool> {
        const Result<DrawStoreResult> stored =
            StoreCurrentDraw(state.draw, state.store, state.session, state.services, window);
        if (!stored)
            return stored.failure();
        return stored.value() != DrawStoreResult::Cancelled;
    };
    return main;
}
