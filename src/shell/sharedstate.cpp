#include "sharedstate.h"

#include "core/logdocument.h"

#include <QCoreApplication>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
std::unique_ptr<LogDocument> &documentSlot()
{
    static std::unique_ptr<LogDocument> document;
    return document;
}

// The document's watch and timer go with the application, not after it.
void dropDocument()
{
    documentSlot().reset();
}
} // namespace

const QString &appTitle()
{
    static const QString title = u"Quandel KRN-740 Data Viewer"_s;
    return title;
}

SharedState &shared()
{
    static SharedState state;
    return state;
}

LogDocument &logDocument()
{
    std::unique_ptr<LogDocument> &document = documentSlot();
    if (!document) {
        static const bool dropped = (qAddPostRoutine(dropDocument), true);
        Q_UNUSED(dropped)
        document = std::make_unique<LogDocument>();
    }
    return *document;
}

void resetShared()
{
    shared() = SharedState{};
    documentSlot().reset();
}
