#include "errorreport.h"

#include "steps.h"
#include "uiservices.h"

#include "core/runtimeerror.h"
#include "core/writetarget.h"

using namespace Qt::StringLiterals;

QString errorReportText(const QString &name, int number, const QString &description)
{
    return u"Error "_s + QString::number(number) + u" = "_s + description + u" in function "_s + name
           + u" occurred."_s + u"\r\n"_s + u"Please contact Halvard with this error."_s;
}

void reportError(const QString &name, const RuntimeError &error)
{
    msgBox(errorReportText(name, error.number(), error.description()), MsgIcon::None, MsgButtons::Ok);
}

bool showRefusedOutput(const RuntimeError &error)
{
    if (!writetarget::isRefusal(error.number()))
        return false;
    steps::ignore([&] { msgBox(error.description(), MsgIcon::Exclamation, MsgButtons::Ok); });
    return true;
}
