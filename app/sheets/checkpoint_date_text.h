#pragma once

#include <QString>

#include "core/common/iso8601_date.h"

namespace quillmere {

// When a checkpoint was saved, as the user's locale writes a medium date with a short time, in the
// local time zone: "Dec 6, 2024, 7:27 PM" in American English. Empty if the locale's formats
// cannot be loaded.
QString checkpointDateText(Date date);

}  // namespace quillmere
