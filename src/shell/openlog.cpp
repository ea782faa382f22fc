#include "openlog.h"

#include "core/logdocument.h"

#include <QCoreApplication>

#include <memory>

namespace {

std::unique_ptr<LogDocument> &documentSlot()
{
    static std::unique_ptr<LogDocument> document;
    return document;
}

} // namespace

LogDocument &logDocument()
{
    std::unique_ptr<LogDocument> &document = documentSlot();
    if (!document) {
        // Its watch and timer go with the application, not after it.
        static const bool dropped = (qAddPostRoutine(resetLogDocument), true);
        Q_UNUSED(dropped)
        document = std::make_unique<LogDocument>();
    }
    return *document;
}

void resetLogDocument()
{
    documentSlot().reset();
}
