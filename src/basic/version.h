#pragma once

#include <QLatin1String>

namespace tallic {

// The module's version, as its captions and the version tool show it.
inline constexpr QLatin1String VersionText("21.12.28a");

} // namespace tallic
