#include "statusdecoder.h"

namespace orva {

std::optional<QString> decodeStatus(const QByteArray&, const QString&, int, const QString&)
{
    return std::nullopt;
}

} // namespace orva
