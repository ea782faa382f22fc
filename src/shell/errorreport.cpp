#include "errorreport.h"

#include "uiservices.h"

#include "core/runtimeerror.h"

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
