#include "package/Loader.h"

namespace pkg {

LoadResult LoadPackageIndex(sys::System& system, PackageIndex& index) {
    std::string path = system.GetModuleFileNameA();
    sys::StreamPtr stream = system.OpenRead(path.c_str());
    if (!stream) return {LoadStatus::OpenFailed, {}};
    ReadPackageIndex(*stream, index);
    PackageCheck check = CheckPackage(*stream, index);
    stream->Close();
    return {check.Ok() ? LoadStatus::Loaded : LoadStatus::Damaged, check};
}

}  // namespace pkg
