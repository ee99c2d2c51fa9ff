#pragma once
#include "dzglobal.h"
#include <QString>

/// A four-part version number: major.minor.revision.build.
struct DZCORE_API DzVersion {
    int major = 0;
    int minor = 0;
    int rev = 0;
    int build = 0;

    constexpr DzVersion() = default;
    constexpr DzVersion(int ma, int mi, int re, int bu) : major(ma), minor(mi), rev(re), build(bu) {}

    QString toString() const;
    friend constexpr bool operator==(const DzVersion &, const DzVersion &) = default;
};

/// The SDK version this host library implements. A plug-in whose getSDKVersion() reports another
/// major version is refused at load.
inline constexpr DzVersion DZ_SDK_VERSION{4, 5, 0, 100};
