#include "vcl/Mbcs.h"

#include <windows.h>

#include <cstring>

namespace vcl {

ByteClasses SystemByteClasses() {
    unsigned char ranges[12] = {};
    CPINFO info;
    if (GetCPInfo(CP_ACP, &info)) {
        static_assert(sizeof info.LeadByte == sizeof ranges);
        std::memcpy(ranges, info.LeadByte, sizeof ranges);
    }
    return ByteClasses::FromLeadRanges(GetSystemMetrics(SM_DBCSENABLED) != 0, ranges);
}

}  // namespace vcl
