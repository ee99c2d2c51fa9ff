#pragma once
#include "dzglobal.h"
#include <QUuid>

/// A class identifier. Written as "CD69D1EC-2478-47E0-B702-00D53565D476" (braces optional).
class DZCORE_API DzGuid {
public:
    DzGuid() = default;
    static DzGuid fromString(const QString &text);   ///< a null guid when text is not a GUID
    QString toString() const;                        ///< upper case, no braces
    bool isNull() const { return m_uuid.isNull(); }
    friend bool operator==(const DzGuid &a, const DzGuid &b) { return a.m_uuid == b.m_uuid; }

private:
    QUuid m_uuid;
};
