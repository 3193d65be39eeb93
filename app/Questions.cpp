#include "app/Questions.h"

#include "service/SettingsCheck.h"
#include "service/StatusQuery.h"

#include <QCoreApplication>

int AnswerQuestion(const LaunchRequest& request, int argc, char* argv[], Program program)
{
    const QCoreApplication application(argc, argv);
    NameApplication(program);
    return request.check ? PrintSettingsCheck() : QueryStatus(request.json);
}
