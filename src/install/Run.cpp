#include "install/Run.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "install/Messages.h"
#include "package/PackageCheck.h"

namespace install {
namespace {

constexpr unsigned SuccessStyle = sys::MbOk | sys::MbIconInformation;
constexpr std::uint16_t ExtractedPosition = 50;
constexpr std::uint16_t DonePosition = 100;
// The record's stored-size field; the run takes the size from the index.
constexpr std::int32_t StoredSizeField = 4;

std::string_view Folder(const char (&buffer)[FolderBufferSize]) {
    const void* end = std::memchr(buffer, '\0', FolderBufferSize);
    return {buffer, end ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer)
                        : FolderBufferSize};
}

// Longer paths cannot be opened on Windows; refusing them here keeps every
// composed path inside the 260 bytes the platform's path buffers hold.
bool Fits(const std::string& path) { return path.size() < sys::MaxPath; }

enum class CopyResult { Done, ReadShort, WriteFailed };

class Run {
public:
    Run(sys::System& system, const pkg::PackageIndex& index, const FolderBuffers& folders,
        InstallView& view)
        : system_(system),
          index_(index),
          expand_(Folder(folders.expand)),
          install_(Folder(folders.install)),
          view_(view),
          // The index holds no more entries than that; the loader refuses
          // packages that claim more.
          count_(std::clamp(index.entryCount, 0, pkg::MaxEntries)) {}

    void Execute() {
        std::string self = system_.GetModuleFileNameA();
        sys::StreamPtr package = system_.OpenRead(self.c_str());
        if (!package) {
            Fail(msg::FileOpenError);
            return;
        }
        view_.SetPosition(0);
        bool extracted = Extract(*package);
        package->Close();
        if (!extracted) return;

        view_.SetPosition(ExtractedPosition);
        bool expanded = Expand();
        // Every temporary was written, so every one is deleted, also those
        // after an entry whose expansion failed.
        for (int i = 0; i < count_; ++i) system_.DeleteFileA(Temporary(i).c_str());
        if (expanded) {
            view_.SetPosition(DonePosition);
            system_.MessageBoxA(msg::InstallSucceeded, msg::ConfirmCaption, SuccessStyle);
        }
        view_.SetPosition(0);
        view_.DisableStart();
    }

private:
    void Fail(const char* text) { ShowFailure(system_, text); }

    std::string_view StoredName(int i) const { return pkg::StoredName(storedNames_[i]); }
    std::string InstalledName(int i) const {
        return pkg::InstalledName(StoredName(i), index_.entries[i].restoreChar);
    }
    std::string Temporary(int i) const { return std::string(expand_).append(StoredName(i)); }

    // The package was checked at start-up, but the file may have changed
    // since: a name read now must still name a file inside the folders.
    bool NamesUsable(int i) const {
        std::string_view stored = StoredName(i);
        return stored.size() < pkg::NameFieldSize &&
               pkg::CheckEntryNames(stored, index_.entries[i].restoreChar) == pkg::PackageFault::None;
    }

    // Writes every entry's data to its temporary. False when the run ends
    // here, after its box; the temporaries written so far stay.
    bool Extract(sys::Stream& package) {
        // A failed seek would leave the stream on the executable's own bytes.
        // With no entries there is nothing to read, and nothing is wrong.
        bool onRecords =
            package.Seek(static_cast<std::int32_t>(index_.dataOffset), sys::SeekOrigin::Current);
        for (int i = 0; i < count_; ++i) {
            package.Seek(StoredSizeField, sys::SeekOrigin::Current);
            if (!onRecords || package.Read(storedNames_[i], pkg::NameFieldSize) != pkg::NameFieldSize ||
                !NamesUsable(i)) {
                Fail(msg::FileReadError);
                return false;
            }
            std::string path = Temporary(i);
            sys::StreamPtr temporary = Fits(path) ? system_.OpenWrite(path.c_str()) : nullptr;
            if (!temporary) {
                Fail(path.c_str());
                return false;
            }
            const pkg::PackageEntry& entry = index_.entries[i];
            CopyResult copied = Copy(package, *temporary, entry.storedSize);
            // A temporary that did not reach the disk whole is never expanded.
            if (copied == CopyResult::Done && !temporary->Close()) copied = CopyResult::WriteFailed;
            if (copied != CopyResult::Done) {
                Fail(copied == CopyResult::ReadShort ? msg::FileReadError : path.c_str());
                temporary->Close();
                system_.DeleteFileA(path.c_str());
                return false;
            }
            view_.SetPosition(AdvanceProgress(view_.Position(), entry.storedSize,
                                              index_.totalStoredSize));
        }
        return true;
    }

    CopyResult Copy(sys::Stream& from, sys::Stream& to, std::uint32_t size) {
        while (size > 0) {
            std::size_t piece = std::min<std::size_t>(size, chunk_.size());
            // A short read means the file was cut or replaced since start-up.
            if (from.Read(chunk_.data(), piece) != piece) return CopyResult::ReadShort;
            if (to.Write(chunk_.data(), piece) != piece) return CopyResult::WriteFailed;
            size -= static_cast<std::uint32_t>(piece);
        }
        return CopyResult::Done;
    }

    // Expands every temporary into the install folder. False after the box
    // of the first entry that fails; later entries are not attempted.
    bool Expand() {
        // One record for every call, as LZ32 fills it in on each.
        sys::OpenFileRecord record;
        for (int i = 0; i < count_; ++i) {
            sys::LzHandle source = system_.LZOpenFileA(Temporary(i).c_str(), record, sys::OfRead);
            if (source < 0) {
                Fail(msg::ExpansionError);
                return false;
            }
            std::string target = std::string(install_).append(InstalledName(i));
            Target created = CreateTarget(target, record);
            if (created.handle < 0 || created.fellBack) {
                Fail(msg::ExpansionError);
                if (created.fellBack) {
                    system_.LZClose(created.handle);
                    system_.DeleteFileA(FallbackName(target).c_str());
                }
                system_.LZClose(source);
                return false;
            }
            sys::LzHandle destination = created.handle;
            const pkg::PackageEntry& entry = index_.entries[i];
            // LZ32 decodes until the data ends, so a damaged stream shows as
            // a size other than the one its header promised.
            std::int32_t copied = system_.LZCopy(source, destination);
            if (copied < 0 || static_cast<std::uint32_t>(copied) != entry.expandedSize) {
                Fail(msg::ExpansionError);
                system_.LZClose(source);
                system_.LZClose(destination);
                return false;
            }
            view_.SetPosition(AdvanceProgress(view_.Position(), entry.expandedSize,
                                              index_.totalExpandedSize));
            system_.LZClose(source);
            system_.LZClose(destination);
        }
        return true;
    }

    struct Target {
        sys::LzHandle handle = -1;
        bool fellBack = false;  // `handle` is open on FallbackName(target) instead
    };

    // When LZ32 cannot create a name it creates the name with its last
    // character replaced by "_" instead, and reports success. That name may
    // belong to another file, so the target is first created as a plain
    // file, which fails where LZ32 would fall back (a folder of that name, a
    // file another program holds open, no right to write); LZ32 then only
    // truncates it again. Should it still fall back, its record says so.
    Target CreateTarget(const std::string& target, sys::OpenFileRecord& record) {
        if (target.size() >= sys::LzMaxPath) return {};
        sys::StreamPtr plain = system_.OpenWrite(target.c_str());
        if (!plain || !plain->Close()) return {};
        Target created{system_.LZOpenFileA(target.c_str(), record, sys::OfCreate)};
        // The record's path is in the OEM code page, but the fallback only
        // ever swaps the last character for an ASCII underscore.
        std::string_view opened = record.pathName;
        created.fellBack = created.handle >= 0 && target.back() != '_' && !opened.empty() &&
                           opened.back() == '_';
        return created;
    }

    static std::string FallbackName(std::string name) {
        name.back() = '_';
        return name;
    }

    sys::System& system_;
    const pkg::PackageIndex& index_;
    std::string_view expand_;
    std::string_view install_;
    InstallView& view_;
    int count_;
    char storedNames_[pkg::MaxEntries][pkg::NameFieldSize] = {};
    std::array<std::uint8_t, CopyChunkSize> chunk_;
};

}  // namespace

std::uint16_t AdvanceProgress(std::uint16_t position, std::uint32_t size, std::uint32_t total) {
    if (total == 0) return position;
    std::uint64_t next = position + std::uint64_t{50} * size / total;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(next, UINT16_MAX));
}

void RunInstallation(sys::System& system, const pkg::PackageIndex& index,
                     const FolderBuffers& folders, InstallView& view) {
    Run run(system, index, folders, view);
    run.Execute();
}

}  // namespace install
