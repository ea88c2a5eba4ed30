// The command line: parsing, help, and the six commands.
#include "Packager.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "Files.h"
#include "Platform.h"
#include "package/PackageCheck.h"
#include "system/ShiftJis.h"
#include "package/Writer.h"
#include "system/StdioStream.h"

namespace packager {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t FourGiB = std::uint64_t{1} << 32;
constexpr std::uint64_t TwoGiB = std::uint64_t{1} << 31;

// ---- help

constexpr char MainHelp[] = R"(Usage: packager COMMAND [OPTION]... ARGUMENT...

Makes and inspects the packages that the installer carries at its end, and
compresses and expands single files in the SZDD format of COMPRESS and EXPAND.

Commands:
  build     copy the installer stub and append files to it as a package
  list      show a package's notice and entries
  verify    check a package as the installer does and expand every entry
  extract   expand every entry of a package into a folder
  compress  compress one file (like COMPRESS -r)
  expand    expand one compressed file (like EXPAND)

Run 'packager COMMAND --help' for a command's arguments and options.

Exit status: 0 on success; 1 on bad or damaged input, or a file that cannot
be read or written; 2 on wrong usage. Nothing is left half-written: every
output appears complete or not at all.
)";

constexpr char BuildHelp[] =
    R"(Usage: packager build --stub STUB -o OUT [--notice TEXT | --notice-file FILE]
                      [--greedy] FILE...

Copies the installer stub STUB to OUT and appends each FILE as an entry of
the package, in the order given, then the package trailer.

An entry is stored under the file's name with its last character replaced by
an underscore ("setup.exe" becomes "setup.ex_"); the installer puts the
character back when it installs the file. Names are converted to Shift-JIS.

Options:
  --stub STUB          the installer executable to start from
  -o, --output OUT     the package to write
  --notice TEXT        the notice the installer shows, in UTF-8; at most 64
                       bytes once converted to Shift-JIS
  --notice-file FILE   the notice as the bytes of FILE, unconverted; at most 64
  --greedy             compress faster, into slightly larger entries
  -h, --help           show this help

Nothing is written, and the reason is given, when: a name has a character
Shift-JIS cannot hold, is longer than 59 bytes, has an underscore before its
last character (or a double-byte character whose second byte is 5Fh, the
underscore byte), ends with an underscore or a double-byte character, or is
not a valid Windows file name; two files give the same name (case is ignored);
there are more than 64 files; the notice is too long; a file or the stub
cannot be read; the files add up to 4 GiB, or the package to 2 GiB, or more.
The same inputs always give the same bytes.
)";

constexpr char ListHelp[] = R"(Usage: packager list PACKAGE

Shows the package's notice, then each entry's stored name, installed name,
stored and expanded sizes and the ratio of the two, then the totals. Fails on
a package that the installer would refuse.

Options:
  -h, --help   show this help
)";

constexpr char VerifyHelp[] = R"(Usage: packager verify PACKAGE

Checks PACKAGE as the installer does when it starts, then expands every entry
in memory, strictly: the compressed data must end on a whole item and give
exactly the size its header states. Says which entry is at fault and why.

Options:
  -h, --help   show this help
)";

constexpr char ExtractHelp[] = R"(Usage: packager extract PACKAGE [-C DIR]

Expands every entry of PACKAGE into the folder DIR (the current folder by
default; created when missing) under its installed name, replacing files of
that name. A damaged package extracts nothing: the files take their places
only once every entry has expanded soundly.

Options:
  -C, --directory DIR   the folder to extract into
  -h, --help            show this help
)";

constexpr char CompressHelp[] = R"(Usage: packager compress [-o OUT] [--greedy] FILE

Compresses FILE into the SZDD format of COMPRESS. The output is named after
FILE with its last character replaced by an underscore, which the header
records so that 'packager expand' can restore it. FILE must be smaller than
4 GiB.

Options:
  -o, --output OUT   write to OUT instead
  --greedy           compress faster, into a slightly larger file
  -h, --help         show this help
)";

constexpr char ExpandHelp[] = R"(Usage: packager expand [-o OUT] FILE

Expands the SZDD file FILE, strictly: the data must end on a whole item and
give exactly the size its header states. The output is named after FILE with
its final underscore replaced by the character the header records; when that
does not give a plain file name (a colon, slash, backslash, control byte and
the like), name the output with -o.

Options:
  -o, --output OUT   write to OUT instead
  -h, --help         show this help
)";

// ---- arguments

struct Option {
    std::vector<std::string> names;
    bool takesValue;
};

struct Arguments {
    std::map<std::string, std::string> values;  // by an option's first name
    std::set<std::string> flags;
    std::vector<std::string> operands;
    bool help = false;

    std::optional<std::string> Value(const std::string& name) const {
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
};

[[noreturn]] void Usage(const std::string& command, const std::string& message) {
    std::string hint = command.empty() ? "packager --help" : "packager " + command + " --help";
    throw Failure{ExitUsage, message + "\nTry '" + hint + "'."};
}

Arguments Parse(const std::string& command, const std::vector<std::string>& args,
                const std::vector<Option>& known) {
    Arguments parsed;
    bool optionsEnd = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg == "-" || arg.empty() || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        auto option = std::find_if(known.begin(), known.end(), [&](const Option& s) {
            return std::find(s.names.begin(), s.names.end(), name) != s.names.end();
        });
        if (option == known.end()) Usage(command, "unknown option '" + arg + "'");
        const std::string& key = option->names.front();
        if (!option->takesValue) {
            if (inlineValue) Usage(command, "option '" + name + "' takes no value");
            parsed.flags.insert(key);
            continue;
        }
        if (!inlineValue) {
            if (i + 1 == args.size()) Usage(command, "option '" + name + "' needs a value");
            inlineValue = args[++i];
        }
        if (parsed.values.count(key)) Usage(command, "option '" + name + "' given twice");
        parsed.values[key] = *inlineValue;
    }
    return parsed;
}

// ---- names and text

// A Shift-JIS name's last character, as the index of its first byte.
std::size_t LastCharacter(std::string_view sjis) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        last = i;
        if (sjis::IsLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size()) ++i;
    }
    return last;
}

// UTF-8 for showing bytes of code page 932; bytes that do not convert are
// shown as \xNN.
std::string Readable(std::string_view cp932) {
    if (auto utf8 = Cp932ToUtf8(cp932)) return *utf8;
    std::string out;
    for (unsigned char c : cp932) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}

// Why a file's base name cannot be an entry, or nothing.
std::optional<std::string> NameProblem(std::string_view sjis) {
    if (sjis.size() > pkg::MaxNameLength) {
        return "the name is " + std::to_string(sjis.size()) + " bytes in Shift-JIS; at most " +
               std::to_string(pkg::MaxNameLength) + " fit";
    }
    std::size_t last = LastCharacter(sjis);
    if (last + 1 != sjis.size()) {
        return "the name ends with a double-byte character; only a single-byte one can be "
               "replaced by the underscore";
    }
    if (sjis.back() == pkg::RestoreMark) {
        return "the name ends with an underscore, which could not be restored";
    }
    for (std::size_t i = 0; i + 1 < sjis.size(); ++i) {
        if (!sjis::IsLeadByte(static_cast<unsigned char>(sjis[i]))) continue;
        if (sjis[++i] == pkg::RestoreMark) {
            return "the name has a double-byte character whose second byte is 5Fh, the underscore "
                   "byte the installer replaces";
        }
    }
    if (sjis.find(pkg::RestoreMark) < last) {
        return "the name has an underscore before its last character, and the installer restores "
               "the first underscore";
    }
    if (!pkg::CheckFileName(sjis)) return "the name is not a valid Windows file name";
    return std::nullopt;
}

// A byte for messages: "':' (3Ah)", or "byte 01h" when it is not printable.
std::string ByteShown(std::uint8_t c) {
    char text[16];
    if (c >= 0x20 && c < 0x7F) {
        std::snprintf(text, sizeof text, "'%c' (%02Xh)", c, c);
    } else {
        std::snprintf(text, sizeof text, "byte %02Xh", c);
    }
    return text;
}

std::string Percent(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%",
                  100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

std::string PadRight(const std::string& text, std::size_t width, std::size_t shown) {
    return text + std::string(width > shown ? width - shown : 0, ' ');
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

std::uint64_t SizeOf(const fs::path& path) {
    std::error_code error;
    if (fs::is_directory(path, error)) Fail("cannot read " + Show(path) + ": it is a folder");
    std::uint64_t size = fs::file_size(path, error);
    if (error) Fail("cannot read " + Show(path) + ": " + error.message());
    return size;
}

void RefuseToReplaceInput(const fs::path& in, const fs::path& out) {
    std::error_code error;
    if (fs::equivalent(in, out, error)) {
        Fail("the output " + Show(out) + " would replace the input");
    }
}

// ---- reading packages

struct Entry {
    std::uint64_t dataPosition = 0;  // of the SZDD data
    std::string stored;              // Shift-JIS
    std::string installed;
    pkg::PackageEntry sizes;
};

// A package file with its index, checked as the installer checks it.
struct OpenedPackage {
    fs::path path;
    File file;
    pkg::PackageIndex index;
    std::vector<Entry> entries;
};

std::string Damaged(const fs::path& path, const pkg::PackageCheck& check) {
    std::string where;
    if (check.otherEntry >= 0) {
        where = "entries " + std::to_string(check.otherEntry) + " and " +
                std::to_string(check.entry) + ": ";
    } else if (check.entry >= 0) {
        where = "entry " + std::to_string(check.entry) + ": ";
    }
    return Show(path) + " is damaged: " + where + pkg::Describe(check.fault);
}

// Reads the index and checks the package through the stream type the
// installer uses. The file stays open, at no particular position.
pkg::PackageCheck CheckAsInstaller(File& file, pkg::PackageIndex& index) {
    sys::StdioStream stream(file.get(), sys::StdioStream::Ownership::Borrowed);
    pkg::ReadPackageIndex(stream, index);
    return pkg::CheckPackage(stream, index);
}

OpenedPackage OpenPackage(const fs::path& path) {
    OpenedPackage package;
    package.path = path;
    package.file = File::Read(path);
    pkg::PackageCheck check = CheckAsInstaller(package.file, package.index);
    if (!check.Ok()) Fail(Damaged(path, check));

    std::uint64_t position = package.index.dataOffset;
    for (int i = 0; i < package.index.entryCount; ++i) {
        Entry entry;
        entry.sizes = package.index.entries[i];
        char field[pkg::NameFieldSize];
        package.file.Seek(position + 4, path);
        package.file.ReadExactly(field, sizeof field, path);
        entry.stored = std::string(pkg::StoredName(field));
        entry.installed = pkg::InstalledName(entry.stored, entry.sizes.restoreChar);
        entry.dataPosition = position + pkg::RecordHeaderSize;
        position = entry.dataPosition + entry.sizes.storedSize;
        package.entries.push_back(std::move(entry));
    }
    return package;
}

// Expands entry `i` strictly into `sink`; fails naming the entry when it is
// not sound.
void ExpandEntry(OpenedPackage& package, std::size_t i, const Sink& sink, Progress& progress) {
    const Entry& entry = package.entries[i];
    package.file.Seek(entry.dataPosition, package.path);
    szdd::Status status =
        ExpandStream(package.file, package.path, entry.sizes.storedSize, sink, &progress);
    if (status != szdd::Status::Ok) {
        Fail(Show(package.path) + " is damaged: entry " + std::to_string(i) + " (" +
             Readable(entry.stored) + "): " + szdd::Describe(status));
    }
}

// The folders that making `dir` creates, removed again unless kept, so that a
// failed extraction leaves no folder behind either.
class MadeFolders {
public:
    explicit MadeFolders(const fs::path& dir) {
        fs::path missing = dir.lexically_normal();
        if (!missing.has_filename()) missing = missing.parent_path();
        std::error_code error;
        while (!missing.empty() && !fs::exists(missing, error) && !error) {
            made_.push_back(missing);
            if (!missing.has_parent_path() || missing.parent_path() == missing) break;
            missing = missing.parent_path();
        }
        fs::create_directories(dir, error);
        if (error) Fail("cannot create " + Show(dir) + ": " + error.message());
    }
    ~MadeFolders() {
        if (kept_) return;
        std::error_code ignored;
        for (const fs::path& folder : made_) fs::remove(folder, ignored);  // deepest first
    }
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;

    void Keep() { kept_ = true; }

private:
    std::vector<fs::path> made_;
    bool kept_ = false;
};

// ---- commands

int Build(const std::vector<std::string>& args, const Console& console) {
    Arguments a = Parse("build", args,
                        {{{"--stub"}, true},
                         {{"-o", "--output"}, true},
                         {{"--notice"}, true},
                         {{"--notice-file"}, true},
                         {{"--greedy"}, false}});
    if (a.help) {
        console.out << BuildHelp;
        return ExitOk;
    }
    auto stubArg = a.Value("--stub");
    auto outArg = a.Value("-o");
    if (!stubArg) Usage("build", "no stub given (--stub STUB)");
    if (!outArg) Usage("build", "no output given (-o OUT)");
    if (a.operands.empty()) Usage("build", "no files given");
    if (a.Value("--notice") && a.Value("--notice-file")) {
        Usage("build", "give --notice or --notice-file, not both");
    }
    const szdd::Level level =
        a.flags.count("--greedy") ? szdd::Level::Greedy : szdd::Level::Optimal;
    const fs::path stubPath = Utf8Path(*stubArg);
    const fs::path outPath = Utf8Path(*outArg);

    std::string notice;
    if (auto text = a.Value("--notice")) {
        auto converted = Utf8ToCp932(*text);
        if (!converted) Fail("the notice has a character that Shift-JIS cannot hold");
        notice = *converted;
    } else if (auto file = a.Value("--notice-file")) {
        fs::path path = Utf8Path(*file);
        File in = File::Read(path);
        char buffer[pkg::NoticeSize + 1];
        notice.assign(buffer, in.ReadSome(buffer, sizeof buffer, path));
        if (notice.size() > pkg::NoticeSize) {
            Fail("the notice in " + Show(path) + " is longer than " +
                 std::to_string(pkg::NoticeSize) + " bytes");
        }
    }
    if (notice.size() > pkg::NoticeSize) {
        Fail("the notice is " + std::to_string(notice.size()) + " bytes in Shift-JIS; at most " +
             std::to_string(pkg::NoticeSize) + " fit");
    }
    if (notice.find('\0') != std::string::npos) {
        Fail("the notice holds a NUL byte, which would end it early");
    }

    if (a.operands.size() > static_cast<std::size_t>(pkg::MaxEntries)) {
        Fail(std::to_string(a.operands.size()) + " files given; a package holds at most " +
             std::to_string(pkg::MaxEntries));
    }
    struct Input {
        fs::path path;
        std::string stored;
        std::string installed;
        std::uint8_t restore;
        std::uint64_t size;
    };
    std::vector<Input> inputs;
    std::uint64_t totalSize = 0;
    for (const std::string& arg : a.operands) {
        Input input;
        input.path = Utf8Path(arg);
        std::string base = Utf8Of(input.path.filename());
        if (base.empty()) Fail(Show(input.path) + " names no file");
        auto sjis = Utf8ToCp932(base);
        if (!sjis) {
            Fail("cannot store " + Show(input.path) +
                 ": the name has a character that Shift-JIS cannot hold");
        }
        if (auto problem = NameProblem(*sjis)) {
            Fail("cannot store " + Show(input.path) + ": " + *problem);
        }
        input.installed = *sjis;
        input.stored = pkg::StoredNameFor(*sjis);
        input.restore = static_cast<std::uint8_t>(sjis->back());
        input.size = SizeOf(input.path);
        if (input.size >= FourGiB) {
            Fail(Show(input.path) + " is 4 GiB or larger; an entry holds less");
        }
        totalSize += input.size;
        for (const Input& other : inputs) {
            if (sjis::FoldAsciiCase(other.stored) == sjis::FoldAsciiCase(input.stored)) {
                Fail(Show(other.path) + " and " + Show(input.path) +
                     " give the same stored name '" + Readable(input.stored) + "'");
            }
            if (sjis::FoldAsciiCase(other.installed) == sjis::FoldAsciiCase(input.installed)) {
                Fail(Show(other.path) + " and " + Show(input.path) +
                     " give the same installed name '" + Readable(input.installed) + "'");
            }
        }
        inputs.push_back(std::move(input));
    }
    if (totalSize >= FourGiB) {
        Fail("the files add up to 4 GiB or more; the installer counts sizes in 32 bits");
    }
    const std::uint64_t stubSize = SizeOf(stubPath);
    // However well the files compress, their records take this much.
    const std::uint64_t smallest =
        stubSize + inputs.size() * (pkg::RecordHeaderSize + szdd::HeaderSize) + pkg::TrailerSize;
    auto tooLarge = [] {
        Fail("the package would be 2 GiB or larger, more than the installer can read");
    };
    if (smallest >= TwoGiB) tooLarge();

    OutputFile out(outPath);
    Progress progress(console, "building " + Utf8Of(outPath.filename()), stubSize + totalSize);
    {
        File stub = File::Read(stubPath);
        std::vector<std::uint8_t> buffer(std::size_t{1} << 18);
        while (std::size_t n = stub.ReadSome(buffer.data(), buffer.size(), stubPath)) {
            out.Write(std::span(buffer).first(n));
            progress.Advance(n);
            if (out.Size() >= TwoGiB) tooLarge();
        }
    }
    const std::uint64_t dataOffset = out.Size();
    std::uint64_t totalExpanded = 0, totalStored = 0;
    for (const Input& input : inputs) {
        const std::uint64_t record = out.Size();
        // Sizes are known once the file is compressed; they are filled in then.
        out.Write(pkg::EncodeRecordHeader(0, input.stored));
        out.Write(szdd::EncodeHeader({input.restore, 0}));
        File in = File::Read(input.path);
        Compressed compressed = CompressStream(in, input.path, out, level, progress);
        const std::uint64_t storedSize = szdd::HeaderSize + compressed.streamSize;
        totalExpanded += compressed.expandedSize;
        totalStored += storedSize;
        if (out.Size() + pkg::TrailerSize >= TwoGiB) tooLarge();
        if (totalExpanded >= FourGiB) {
            Fail("the files add up to 4 GiB or more; the installer counts sizes in 32 bits");
        }
        out.WriteAt(record,
                    pkg::EncodeRecordHeader(static_cast<std::uint32_t>(storedSize), input.stored));
        out.WriteAt(record + pkg::RecordHeaderSize,
                    szdd::EncodeHeader(
                        {input.restore, static_cast<std::uint32_t>(compressed.expandedSize)}));
    }
    pkg::PackageTrailer trailer;
    trailer.dataOffset = static_cast<std::uint32_t>(dataOffset);
    trailer.entryCount = static_cast<std::int32_t>(inputs.size());
    std::copy(notice.begin(), notice.end(), trailer.notice);
    out.Write(pkg::EncodeTrailer(trailer));
    out.Close();

    // What the installer will check, checked on the bytes written.
    pkg::PackageIndex index;
    File written = File::Read(out.Temporary());
    if (pkg::PackageCheck check = CheckAsInstaller(written, index); !check.Ok()) {
        Fail("internal error: " + Damaged(outPath, check));
    }
    written = File();  // Windows renames no file that is open
    out.Publish();
    progress.Done();
    console.out << "built " << Utf8Of(outPath) << ": " << inputs.size() << " entries, "
                << totalExpanded << " bytes compressed to " << totalStored << " ("
                << Percent(totalStored, totalExpanded) << ")\n";
    return ExitOk;
}

int List(const std::vector<std::string>& args, const Console& console) {
    Arguments a = Parse("list", args, {});
    if (a.help) {
        console.out << ListHelp;
        return ExitOk;
    }
    if (a.operands.size() != 1) Usage("list", "give one package");
    OpenedPackage package = OpenPackage(Utf8Path(a.operands[0]));

    console.out << "Notice: " << Readable(package.index.Notice()) << "\n";
    // Shift-JIS bytes are as wide on a terminal as their characters.
    std::size_t storedWidth = 11, installedWidth = 14;
    for (const Entry& entry : package.entries) {
        storedWidth = std::max(storedWidth, entry.stored.size());
        installedWidth = std::max(installedWidth, entry.installed.size());
    }
    auto row = [&](const std::string& stored, std::size_t storedShown, const std::string& installed,
                   std::size_t installedShown, const std::string& s, const std::string& e,
                   const std::string& r) {
        console.out << PadRight(stored, storedWidth, storedShown) << "  "
                    << PadRight(installed, installedWidth, installedShown) << "  " << PadLeft(s, 10)
                    << "  " << PadLeft(e, 10) << "  " << PadLeft(r, 6) << "\n";
    };
    row("Stored name", 11, "Installed name", 14, "Stored", "Expanded", "Ratio");
    std::uint64_t stored = 0, expanded = 0;
    for (const Entry& entry : package.entries) {
        row(Readable(entry.stored), entry.stored.size(), Readable(entry.installed),
            entry.installed.size(), std::to_string(entry.sizes.storedSize),
            std::to_string(entry.sizes.expandedSize),
            Percent(entry.sizes.storedSize, entry.sizes.expandedSize));
        stored += entry.sizes.storedSize;
        expanded += entry.sizes.expandedSize;
    }
    std::string count = std::to_string(package.entries.size()) +
                        (package.entries.size() == 1 ? " entry" : " entries");
    row(count, count.size(), "", 0, std::to_string(stored), std::to_string(expanded),
        Percent(stored, expanded));
    return ExitOk;
}

int Verify(const std::vector<std::string>& args, const Console& console) {
    Arguments a = Parse("verify", args, {});
    if (a.help) {
        console.out << VerifyHelp;
        return ExitOk;
    }
    if (a.operands.size() != 1) Usage("verify", "give one package");
    OpenedPackage package = OpenPackage(Utf8Path(a.operands[0]));
    Progress progress(console, "verifying " + Utf8Of(package.path.filename()),
                      package.index.totalStoredSize);
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        ExpandEntry(
            package, i, [](std::span<const std::uint8_t>) {}, progress);
    }
    progress.Done();
    console.out << Utf8Of(package.path) << ": sound, " << package.entries.size() << " entries\n";
    return ExitOk;
}

int Extract(const std::vector<std::string>& args, const Console& console) {
    Arguments a = Parse("extract", args, {{{"-C", "--directory"}, true}});
    if (a.help) {
        console.out << ExtractHelp;
        return ExitOk;
    }
    if (a.operands.size() != 1) Usage("extract", "give one package");
    const fs::path dir = Utf8Path(a.Value("-C").value_or("."));
    OpenedPackage package = OpenPackage(Utf8Path(a.operands[0]));
    std::vector<fs::path> targets;
    for (const Entry& entry : package.entries) {
        auto name = Cp932ToUtf8(entry.installed);
        if (!name) {
            Fail("cannot extract " + Show(package.path) + ": the name '" +
                 Readable(entry.installed) + "' has no Unicode form");
        }
        targets.push_back(dir / Utf8Path(*name));
    }

    // Every entry is expanded once, next to its target under a temporary
    // name; only when all of them are sound do they replace their targets.
    // On a failure the temporaries, and any folder made for them, go.
    MadeFolders folders(dir);
    std::vector<std::unique_ptr<OutputFile>> outputs;
    Progress progress(console, "extracting " + Utf8Of(package.path.filename()),
                      package.index.totalStoredSize);
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        OutputFile& out = *outputs.emplace_back(std::make_unique<OutputFile>(targets[i]));
        ExpandEntry(
            package, i, [&](std::span<const std::uint8_t> bytes) { out.Write(bytes); }, progress);
        out.Close();
    }
    for (auto& out : outputs) out->Publish();
    folders.Keep();
    progress.Done();
    console.out << "extracted " << package.entries.size() << " entries into " << Utf8Of(dir)
                << "\n";
    return ExitOk;
}

int Compress(const std::vector<std::string>& args, const Console& console) {
    Arguments a = Parse("compress", args, {{{"-o", "--output"}, true}, {{"--greedy"}, false}});
    if (a.help) {
        console.out << CompressHelp;
        return ExitOk;
    }
    if (a.operands.size() != 1) Usage("compress", "give one file");
    const fs::path inPath = Utf8Path(a.operands[0]);
    const std::string base = Utf8Of(inPath.filename());
    if (base.empty()) Fail(Show(inPath) + " names no file");

    // The restore character is the name's last character in Shift-JIS, when
    // that is one byte; otherwise nothing can be restored.
    std::uint8_t restore = 0;
    if (auto sjis = Utf8ToCp932(base); sjis && LastCharacter(*sjis) + 1 == sjis->size()) {
        restore = static_cast<std::uint8_t>(sjis->back());
    }
    fs::path outPath;
    if (auto o = a.Value("-o")) {
        outPath = Utf8Path(*o);
    } else {
        if (base.back() == '_') {
            Fail(Show(inPath) + " already ends with an underscore; name the output with -o");
        }
        std::size_t last = base.size() - 1;
        while (last > 0 && (static_cast<unsigned char>(base[last]) & 0xC0) == 0x80) --last;
        outPath = inPath.parent_path() / Utf8Path(base.substr(0, last) + "_");
    }
    RefuseToReplaceInput(inPath, outPath);
    const std::uint64_t size = SizeOf(inPath);
    if (size >= FourGiB) {
        Fail(Show(inPath) + " is 4 GiB or larger; an SZDD header cannot hold its size");
    }

    File in = File::Read(inPath);
    OutputFile out(outPath);
    out.Write(szdd::EncodeHeader({restore, 0}));
    Progress progress(console, "compressing " + base, size);
    Compressed compressed = CompressStream(
        in, inPath, out, a.flags.count("--greedy") ? szdd::Level::Greedy : szdd::Level::Optimal,
        progress);
    out.WriteAt(0,
                szdd::EncodeHeader({restore, static_cast<std::uint32_t>(compressed.expandedSize)}));
    out.Publish();
    progress.Done();
    console.out << Utf8Of(inPath) << ": " << compressed.expandedSize << " -> " << out.Size()
                << " bytes (" << Percent(out.Size(), compressed.expandedSize) << ") in "
                << Utf8Of(outPath) << "\n";
    return ExitOk;
}

int Expand(const std::vector<std::string>& args, const Console& console) {
    Arguments a = Parse("expand", args, {{{"-o", "--output"}, true}});
    if (a.help) {
        console.out << ExpandHelp;
        return ExitOk;
    }
    if (a.operands.size() != 1) Usage("expand", "give one file");
    const fs::path inPath = Utf8Path(a.operands[0]);
    const std::uint64_t size = SizeOf(inPath);
    File in = File::Read(inPath);
    std::uint8_t header[szdd::HeaderSize];
    std::size_t got = in.ReadSome(header, sizeof header, inPath);
    if (szdd::Status status = szdd::CheckHeader(std::span(header, got));
        status != szdd::Status::Ok) {
        Fail(Show(inPath) + ": " + szdd::Describe(status));
    }
    const std::uint8_t restore = szdd::ParseHeader(header)->restoreChar;

    fs::path outPath;
    if (auto o = a.Value("-o")) {
        outPath = Utf8Path(*o);
    } else {
        const std::string base = Utf8Of(inPath.filename());
        if (base.empty() || base.back() != '_' || restore == 0 || restore == pkg::RestoreMark) {
            Fail("cannot tell the expanded name of " + Show(inPath) +
                 " (it must end with an underscore and its header hold the character to restore); "
                 "name the output with -o");
        }
        // The header's byte comes from whoever made the file: a colon, a
        // separator or a control byte would write elsewhere than beside the
        // input, or fail. The name is judged in Shift-JIS, as names are in a
        // package.
        std::optional<std::string> sjis = Utf8ToCp932(base);
        if (!sjis) {
            Fail("cannot tell the expanded name of " + Show(inPath) +
                 ": its name has a character that Shift-JIS cannot hold; name the output with -o");
        }
        sjis->back() = static_cast<char>(restore);
        std::optional<std::string> name;
        if (pkg::CheckFileName(*sjis)) name = Cp932ToUtf8(*sjis);
        if (!name) {
            Fail("cannot expand " + Show(inPath) + " under the name its header gives: restoring " +
                 ByteShown(restore) +
                 " in place of the final underscore does not make a plain file name; name the "
                 "output with -o");
        }
        outPath = inPath.parent_path() / Utf8Path(*name);
    }
    RefuseToReplaceInput(inPath, outPath);

    OutputFile out(outPath);
    in.Seek(0, inPath);
    Progress progress(console, "expanding " + Utf8Of(inPath.filename()), size);
    szdd::Status status = ExpandStream(
        in, inPath, size, [&](std::span<const std::uint8_t> bytes) { out.Write(bytes); },
        &progress);
    if (status != szdd::Status::Ok) Fail(Show(inPath) + ": " + szdd::Describe(status));
    out.Publish();
    progress.Done();
    console.out << Utf8Of(inPath) << ": " << size << " -> " << out.Size() << " bytes in "
                << Utf8Of(outPath) << "\n";
    return ExitOk;
}

}  // namespace

int Run(const std::vector<std::string>& args, Console console) {
    using Command = int (*)(const std::vector<std::string>&, const Console&);
    static const std::map<std::string, Command> commands = {
        {"build", Build},     {"list", List},         {"verify", Verify},
        {"extract", Extract}, {"compress", Compress}, {"expand", Expand},
    };
    try {
        if (args.size() < 2) Usage("", "no command given");
        const std::string& command = args[1];
        if (command == "-h" || command == "--help" || command == "help") {
            if (command == "help" && args.size() > 2 && commands.count(args[2])) {
                return commands.at(args[2])({args[0], args[2], "--help"}, console);
            }
            console.out << MainHelp;
            return ExitOk;
        }
        auto it = commands.find(command);
        if (it == commands.end()) Usage("", "unknown command '" + command + "'");
        return it->second(args, console);
    } catch (const Failure& failure) {
        console.err << "packager: " << failure.message << "\n";
        return failure.status;
    } catch (const std::exception& error) {
        console.err << "packager: " << error.what() << "\n";
        return ExitBadInput;
    }
}

}  // namespace packager
