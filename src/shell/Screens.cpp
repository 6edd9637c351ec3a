#include "shell/Screens.h"

QString FormName(Form form)
{
    switch (form) {
    case Form::None:
        return QString();
    case Form::frmDisMsg:
        return QStringLiteral("frmDisMsg");
    case Form::frmExpertList:
        return QStringLiteral("frmExpertList");
    case Form::frmExpertListUpd:
        return QStringLiteral("frmExpertListUpd");
    case Form::frmExpertListDis:
        return QStringLiteral("frmExpertListDis");
    case Form::frmNewExpert:
        return QStringLiteral("frmNewExpert");
    case Form::frmSearchExpert:
        return QStringLiteral("frmSearchExpert");
    case Form::frmNewPro:
        return QStringLiteral("frmNewPro");
    case Form::frmNewProSelExpert:
        return QStringLiteral("frmNewProSelExpert");
    case Form::frmExpertHistory:
        return QStringLiteral("frmExpertHistory");
    case Form::frmDataInOut:
        return QStringLiteral("frmDataInOut");
    case Form::frmProList:
        return QStringLiteral("frmProList");
    case Form::frmProListDis:
        return QStringLiteral("frmProListDis");
    case Form::frmExpertProjects:
        return QStringLiteral("frmExpertProjects");
    case Form::frmUserRights:
        return QStringLiteral("frmUserRights");
    case Form::frmAuditLog:
        return QStringLiteral("frmAuditLog");
    }
    return QString();
}
